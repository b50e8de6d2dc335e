// The soundtrack decoded the way the show decodes it (libmpg123, gapless): long enough,
// the right format, and a hit on every white flash.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>

#include "audio_synth.h"
#include "forgemedia_support.h"

namespace {

struct Decoded {
  long rate = 0;
  int channels = 0;
  int version = -1, layer = 0;
  std::vector<float> mono;  // (left + right) / 2
  std::vector<float> side;  // (left - right) / 2
};

Decoded decode(const std::string& path) {
  Decoded d;
  mpg123_init();
  int err = 0;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
  if (mpg123_open(h, path.c_str()) != MPG123_OK) {
    mpg123_delete(h);
    return d;
  }
  int enc = 0;
  mpg123_getformat(h, &d.rate, &d.channels, &enc);
  mpg123_format_none(h);
  mpg123_format(h, d.rate, d.channels, MPG123_ENC_SIGNED_16);
  std::vector<unsigned char> buf(1 << 16);
  size_t got = 0;
  for (;;) {
    int rc = mpg123_read(h, buf.data(), buf.size(), &got);
    const int16_t* s = reinterpret_cast<const int16_t*>(buf.data());
    for (size_t i = 0; i + 1 < got / 2; i += 2) {
      d.mono.push_back((s[i] + s[i + 1]) / 65536.0f);
      d.side.push_back((s[i] - s[i + 1]) / 65536.0f);
    }
    if (rc == MPG123_DONE || (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)) break;
  }
  mpg123_frameinfo fi{};
  if (mpg123_info(h, &fi) == MPG123_OK) {
    d.version = fi.version;
    d.layer = fi.layer;
  }
  mpg123_close(h);
  mpg123_delete(h);
  return d;
}

// Onset strength per 2.9 ms step: how far the bright (high-passed) energy of a 5.8 ms
// window rises above the loudest of the previous 35 ms, in natural-log units.
std::vector<float> onsets(const std::vector<float>& x, int hop, int win) {
  std::vector<float> e;
  for (size_t i = win; i + 1 < x.size(); i += hop) {
    double s = 0;
    for (size_t k = i - win + 1; k <= i; ++k) {
      double d = x[k] - x[k - 1];
      s += d * d;
    }
    e.push_back(static_cast<float>(std::log(s + 1e-9)));
  }
  std::vector<float> o(e.size(), 0);
  for (size_t i = 12; i < e.size(); ++i) {
    float before = e[i - 12];
    for (size_t k = i - 12; k < i - 1; ++k) before = std::max(before, e[k]);
    o[i] = std::max(0.0f, e[i] - before);
  }
  return o;
}

class ForgeMediaMusic : public ::testing::Test {
 protected:
  static const Decoded& track() {
    static const Decoded d = decode(forgemedia_test::file("music\\var56.mp3").string());
    return d;
  }
};

TEST_F(ForgeMediaMusic, DecodesToLongStereoLayerThree) {
  const Decoded& d = track();
  EXPECT_EQ(d.rate, 44100);
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.version, MPG123_1_0);
  EXPECT_EQ(d.layer, 3);
  const double seconds = static_cast<double>(d.mono.size()) / 44100.0;
  std::printf("[ music    ] %.2f s decoded\n", seconds);
  EXPECT_GE(seconds, 280.0);
  // Stereo in earnest, and never silent for long before the last fade.
  double side = 0, mid = 0;
  for (size_t i = 0; i < d.mono.size(); i += 7) {
    side += d.side[i] * d.side[i];
    mid += d.mono[i] * d.mono[i];
  }
  EXPECT_GT(side, mid * 0.003);
  for (double t = 0.5; t < 270; t += 1.0) {
    double s = 0;
    for (size_t i = static_cast<size_t>(t * 44100), e = i + 44100; i < e; ++i)
      s += d.mono[i] * d.mono[i];
    EXPECT_GT(std::sqrt(s / 44100), 0.01) << "quiet second at " << t;
  }
}

TEST_F(ForgeMediaMusic, AHitLandsOnEveryWhiteFlash) {
  const Decoded& d = track();
  ASSERT_GT(d.mono.size(), 44100u * 230);
  const int hop = 128, win = 256;
  const auto o = onsets(d.mono, hop, win);
  auto step_time = [&](size_t i) { return (win + static_cast<double>(i) * hop) / 44100.0; };
  const double flashes[] = {29.3,  90,    144.6, 180.6, 181.5, 182.7, 183.6, 184.5, 185.5, 186.4,
                            187.3, 188.2, 189.1, 190.0, 190.9, 191.7, 192.6, 195,   202,   217};
  double worst = 0;
  for (double f : flashes) {
    // The strongest onset within 150 ms either side must be a big one, and within 30 ms.
    size_t best = 0;
    float strength = -1;
    for (size_t i = 0; i < o.size(); ++i) {
      double t = step_time(i);
      if (std::fabs(t - f) <= 0.15 && o[i] > strength) {
        strength = o[i];
        best = i;
      }
    }
    const double off = step_time(best) - f;
    worst = std::max(worst, std::fabs(off));
    EXPECT_GT(strength, 1.5f) << "no hit near " << f;
    EXPECT_LE(std::fabs(off), 0.030) << "hit for " << f << " lands at " << step_time(best);
  }
  std::printf("[ music    ] worst hit offset from its flash: %.1f ms\n", worst * 1000);
}

// Loudness in dB of five bands (split by one-pole low-passes at 150, 600, 2,500 and
// 8,000 Hz) over [t0, t1).
std::vector<double> band_levels(const std::vector<float>& x, double t0, double t1) {
  const double cut[4] = {150, 600, 2500, 8000};
  double lp[4] = {0, 0, 0, 0}, a[4], e[5] = {0, 0, 0, 0, 0};
  for (int k = 0; k < 4; ++k) a[k] = 1 - std::exp(-2 * 3.14159265 * cut[k] / 44100);
  const size_t i0 = static_cast<size_t>(t0 * 44100), i1 = static_cast<size_t>(t1 * 44100);
  for (size_t i = i0 - 4410; i < i1; ++i) {  // 0.1 s to settle the filters
    for (int k = 0; k < 4; ++k) lp[k] += a[k] * (x[i] - lp[k]);
    if (i < i0) continue;
    double b[5] = {lp[0], lp[1] - lp[0], lp[2] - lp[1], lp[3] - lp[2], x[i] - lp[3]};
    for (int k = 0; k < 5; ++k) e[k] += b[k] * b[k];
  }
  std::vector<double> db;
  for (double v : e) db.push_back(10 * std::log10(v / (i1 - i0) + 1e-12));
  return db;
}

double band_distance(const std::vector<float>& x, double t) {
  auto a = band_levels(x, t - 2.5, t - 0.2), b = band_levels(x, t + 0.2, t + 2.5);
  double d = 0;
  for (size_t k = 0; k < a.size(); ++k) d += std::fabs(a[k] - b[k]);
  return d / a.size();
}

// The sound changes where the pictures change scene: the bands' levels differ across each
// scene change clearly more than they typically do across the middle of a section.
TEST_F(ForgeMediaMusic, TheArrangementChangesWithTheScenes) {
  const Decoded& d = track();
  // The opening also cuts to close-ups at 14 and 22.3 s; the credits run to 266 s.
  const std::vector<double> edges = {22.3,  29.3,  58,    72.6, 87,  99,  116, 132, 144.6,
                                     166.5, 173.6, 180.6, 195,  224, 238, 252, 266};
  std::vector<double> inside;
  for (size_t i = 0; i + 1 < edges.size(); ++i)
    inside.push_back(band_distance(d.mono, (edges[i] + edges[i + 1]) / 2));
  std::sort(inside.begin(), inside.end());
  const double typical = inside[inside.size() / 2];
  std::printf("[ music    ] typical change inside a section: %.1f dB\n", typical);
  for (size_t i = 1; i + 1 < edges.size(); ++i) {
    const double across = band_distance(d.mono, edges[i]);
    std::printf("[ music    ] %6.1f s: %.1f dB across\n", edges[i], across);
    EXPECT_GT(across, std::max(1.0, 2.5 * typical)) << "no change of sound at " << edges[i];
  }
}

// (Same seed, same bytes is checked on the whole data set.)
TEST(ForgeMediaSynth, OtherSeedOtherTuneAndTheDelayShiftOnly) {
  const auto a = forge::audio::render(7), c = forge::audio::render(8);
  EXPECT_EQ(a.size(), static_cast<size_t>(forge::audio::kLength * forge::audio::kRate + 0.5) * 2);
  EXPECT_FALSE(a == c);
  // Dropping samples for a codec's delay shifts the piece and nothing else.
  const auto s = forge::audio::render(7, 1000);
  ASSERT_EQ(s.size() + 2000, a.size());
  EXPECT_TRUE(std::equal(s.begin(), s.end(), a.begin() + 2000));
}

}  // namespace
