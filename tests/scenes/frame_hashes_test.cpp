// The whole show's pictures, pinned: frames at spread-out times hashed (red, green and blue
// only), the SIMD routines against the plain ones, and both against a recorded list for
// the generated data set. An optimisation must leave every hash as it was; a change of
// picture on purpose records the list again:
//   TH_RECORD_FRAME_HASHES=1 build/tests/test_scenes --gtest_filter='FrameHashes.*'
// and says why in its commit. While optimising, every frame at 15 fps can be listed and the
// lists of two builds compared:
//   TH_DUMP_FRAME_HASHES=/tmp/a.txt build/tests/test_scenes --gtest_filter='FrameHashes.*'
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "show_fixture.h"

namespace {

constexpr double kFps = 4.0;  // a run from 0 at this rate; its frames at the chosen times
constexpr const char* kRecorded = TH_SOURCE_DIR "/tests/data/frame_hashes.txt";

uint64_t colour_hash(const show_test::Frame& f) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a over the colour bytes
  for (uint32_t p : f)
    for (int s : {0, 8, 16}) {
      h ^= (p >> s) & 0xFF;
      h *= 1099511628211ull;
    }
  return h;
}

// Every 6.25 s from 1 s on (43 frames), played through from 0.
std::vector<std::pair<double, uint64_t>> hashes(bool plain) {
  show_test::prepare(plain);
  std::vector<std::pair<double, uint64_t>> out;
  for (long k = 0;; ++k) {
    const double t = static_cast<double>(k) / kFps;
    if (t > 266.0) break;
    const auto f = show_test::frame_at(static_cast<float>(t));
    const double since = t - 1.0;
    if (since >= 0 && std::fmod(since, 6.25) == 0.0) out.emplace_back(t, colour_hash(f));
  }
  platform::run_options().plain = false;
  return out;
}

std::string listing(const std::vector<std::pair<double, uint64_t>>& v) {
  std::ostringstream s;
  for (const auto& [t, h] : v) {
    char line[64];
    std::snprintf(line, sizeof line, "%.2f %016llx\n", t, static_cast<unsigned long long>(h));
    s << line;
  }
  return s.str();
}

// With TH_DUMP_FRAME_HASHES=FILE: every frame's hash at 15 fps into FILE, for comparing the
// pictures of two builds while optimising.
void dump_every_frame(const char* out) {
  show_test::prepare(false);
  std::ofstream file(out);
  for (long k = 0; k <= 266 * 15; ++k) {
    const double t = static_cast<double>(k) / 15.0;
    char line[64];
    std::snprintf(
        line, sizeof line, "%.3f %016llx\n", t,
        static_cast<unsigned long long>(colour_hash(show_test::frame_at(static_cast<float>(t)))));
    file << line;
  }
  ASSERT_TRUE(file.good()) << "cannot write " << out;
}

TEST(FrameHashes, PlainRoutinesDrawTheSameShow) {
  if (const char* out = std::getenv("TH_DUMP_FRAME_HASHES")) dump_every_frame(out);
  const auto simd = hashes(false);
  const auto plain = hashes(true);
  ASSERT_EQ(simd.size(), 43u);
  EXPECT_EQ(listing(simd), listing(plain));

  const std::string now = listing(simd);
  if (std::getenv("TH_RECORD_FRAME_HASHES")) {
    std::ofstream(kRecorded) << now;
    GTEST_SKIP() << "recorded " << kRecorded;
  }
  std::ifstream in(kRecorded);
  ASSERT_TRUE(in) << kRecorded << " is missing";
  std::stringstream recorded;
  recorded << in.rdbuf();
  EXPECT_EQ(now, recorded.str()) << "the show's pictures changed against the recorded hashes";
}

}  // namespace
