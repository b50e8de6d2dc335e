// Checks what the show played against mpg123's own decoding of the same MP3 (forced
// stereo, gapless, signed 16-bit, full rate), for the system tests:
//   music-compare exact MP3 CAPTURE.wav [SKIP_SECONDS]
//       every sample of the capture equals the decoding from SKIP_SECONDS on
//   music-compare correlate MP3 OUTPUT.raw MIN_SECONDS
//       a raw 44,100 Hz stereo S16 recording (SDL's disk driver) holds at least
//       MIN_SECONDS of sound whose left and right channels correlate with the decoding
// Exit status 0 when the check holds, 1 when it does not, 2 for bad arguments or files.
#include <mpg123.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool decode(const char* path, std::vector<int16_t>* pcm) {
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return false;
  mpg123_param(mh, MPG123_FLAGS, MPG123_FORCE_STEREO | MPG123_GAPLESS | MPG123_QUIET, 0);
  mpg123_format_none(mh);
  const long* rates;
  size_t count;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(mh, path) != MPG123_OK) {
    mpg123_delete(mh);
    return false;
  }
  std::vector<int16_t> chunk(16384);
  for (;;) {
    size_t done = 0;
    int rc =
        mpg123_read(mh, reinterpret_cast<unsigned char*>(chunk.data()), chunk.size() * 2, &done);
    pcm->insert(pcm->end(), chunk.begin(), chunk.begin() + static_cast<long>(done / 2));
    if (rc == MPG123_NEW_FORMAT) continue;
    if (rc != MPG123_OK) break;
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  return !pcm->empty();
}

bool read_file(const char* path, long skip, std::vector<int16_t>* out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fseek(f, skip, SEEK_SET);
  int16_t buf[8192];
  size_t n;
  while ((n = std::fread(buf, 2, 8192, f)) > 0) out->insert(out->end(), buf, buf + n);
  std::fclose(f);
  return true;
}

int exact(const char* mp3, const char* wav, double skip_seconds) {
  std::vector<int16_t> ref, got;
  if (!decode(mp3, &ref) || !read_file(wav, 44, &got)) {
    std::fprintf(stderr, "music-compare: cannot read %s or %s\n", mp3, wav);
    return 2;
  }
  size_t skip = static_cast<size_t>(skip_seconds * 44100) * 2;
  for (size_t i = 0; i < got.size(); ++i) {
    int16_t want = skip + i < ref.size() ? ref[skip + i] : 0;
    if (got[i] != want) {
      std::printf("differs at sample %zu (%s, %.4f s): %d instead of %d\n", i / 2,
                  i % 2 ? "right" : "left", static_cast<double>(i / 2) / 44100, got[i], want);
      return 1;
    }
  }
  std::printf("%zu samples (%.2f s) equal\n", got.size() / 2,
              static_cast<double>(got.size() / 2) / 44100);
  return 0;
}

double correlation(const std::vector<int16_t>& a, size_t a0, const std::vector<int16_t>& b,
                   size_t b0, size_t pairs, int channel) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  for (size_t i = 0; i < pairs; ++i) {
    double x = a[2 * (a0 + i) + static_cast<size_t>(channel)];
    double y = b[2 * (b0 + i) + static_cast<size_t>(channel)];
    sa += x;
    sb += y;
    saa += x * x;
    sbb += y * y;
    sab += x * y;
  }
  double n = static_cast<double>(pairs);
  double cov = sab - sa * sb / n, va = saa - sa * sa / n, vb = sbb - sb * sb / n;
  return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
}

size_t first_sound(const std::vector<int16_t>& pcm) {
  for (size_t i = 0; i < pcm.size(); ++i)
    if (pcm[i] != 0) return i / 2;
  return pcm.size() / 2;
}

int correlate(const char* mp3, const char* raw, double min_seconds) {
  std::vector<int16_t> ref, got;
  if (!decode(mp3, &ref) || !read_file(raw, 0, &got)) {
    std::fprintf(stderr, "music-compare: cannot read %s or %s\n", mp3, raw);
    return 2;
  }
  size_t r0 = first_sound(ref), g0 = first_sound(got);
  size_t heard = 0;
  for (size_t i = 0; i + 1 < got.size(); i += 2)
    if (got[i] != 0 || got[i + 1] != 0) ++heard;
  double seconds = static_cast<double>(heard) / 44100;
  if (g0 >= got.size() / 2) {
    std::printf("the recording is silent\n");
    return 1;
  }
  size_t pairs = std::min(got.size() / 2 - g0, ref.size() / 2 - r0);
  pairs = std::min<size_t>(pairs, 15 * 44100);
  double best[2] = {-1, -1};
  long lag_at = 0;
  // The recording starts where the music starts, give or take the output's latency.
  for (long lag = -64; lag <= 64; ++lag) {
    if (static_cast<long>(g0) + lag < 0) continue;
    size_t g = static_cast<size_t>(static_cast<long>(g0) + lag);
    if (g + pairs > got.size() / 2) continue;
    double l = correlation(ref, r0, got, g, pairs, 0);
    if (l > best[0]) {
      best[0] = l;
      best[1] = correlation(ref, r0, got, g, pairs, 1);
      lag_at = lag;
    }
  }
  std::printf("heard %.2f s; correlation over %.2f s: left %.4f right %.4f (lag %ld)\n", seconds,
              static_cast<double>(pairs) / 44100, best[0], best[1], lag_at);
  return seconds >= min_seconds && best[0] > 0.95 && best[1] > 0.95 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "exact") == 0)
    return exact(argv[2], argv[3], argc > 4 ? std::atof(argv[4]) : 0.0);
  if (argc == 5 && std::strcmp(argv[1], "correlate") == 0)
    return correlate(argv[2], argv[3], std::atof(argv[4]));
  std::fprintf(stderr,
               "usage: music-compare exact MP3 WAV [SKIP] | correlate MP3 RAW MIN_SECONDS\n");
  return 2;
}
