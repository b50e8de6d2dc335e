#include "mp3_fixture.h"

#include <lame/lame.h>
#include <mpg123.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace testmp3 {

bool encode(const std::string& path, double seconds, bool mono, unsigned seed) {
  const int rate = 44100;
  const int n = static_cast<int>(seconds * rate);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(-800.0, 800.0);
  std::vector<short> left(static_cast<size_t>(n)), right(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / rate;
    left[static_cast<size_t>(i)] =
        static_cast<short>(9000 * std::sin(2 * M_PI * 440 * t) + noise(rng));
    right[static_cast<size_t>(i)] =
        static_cast<short>(7000 * std::sin(2 * M_PI * (660 + 40 * t) * t) +
                           3000 * std::sin(2 * M_PI * 3 * t) + noise(rng));
  }
  lame_global_flags* gf = lame_init();
  if (!gf) return false;
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, mono ? 1 : 2);
  lame_set_mode(gf, mono ? MONO : JOINT_STEREO);
  lame_set_brate(gf, 128);
  lame_set_quality(gf, 7);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    return false;
  }
  std::vector<unsigned char> out(static_cast<size_t>(1.25 * n + 7200) * 2);
  int bytes = lame_encode_buffer(gf, left.data(), mono ? nullptr : right.data(), n, out.data(),
                                 static_cast<int>(out.size()));
  if (bytes < 0) {
    lame_close(gf);
    return false;
  }
  int tail = lame_encode_flush(gf, out.data() + bytes, static_cast<int>(out.size()) - bytes);
  bytes += tail > 0 ? tail : 0;
  // The LAME tag at the front carries the encoder delay and padding for gapless decoding.
  unsigned char tag[2880];
  size_t tag_bytes = lame_get_lametag_frame(gf, tag, sizeof tag);
  if (tag_bytes > 0 && tag_bytes <= static_cast<size_t>(bytes))
    std::memcpy(out.data(), tag, tag_bytes);
  lame_close(gf);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(out.data(), 1, static_cast<size_t>(bytes), f) == static_cast<size_t>(bytes);
  return std::fclose(f) == 0 && ok;
}

Decoded decode(const std::string& path, int bits, int down_sampling) {
  Decoded d;
  mpg123_init();
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  mpg123_param(mh, MPG123_FLAGS, MPG123_FORCE_STEREO | MPG123_GAPLESS | MPG123_QUIET, 0);
  mpg123_param(mh, MPG123_DOWN_SAMPLE, down_sampling, 0);
  mpg123_format_none(mh);
  const long* rates;
  size_t count;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    mpg123_format(mh, rates[i], MPG123_STEREO,
                  bits == 16 ? MPG123_ENC_SIGNED_16 : MPG123_ENC_SIGNED_8);
  if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
    mpg123_delete(mh);
    return d;
  }
  std::vector<unsigned char> all;
  unsigned char chunk[16384];
  for (;;) {
    size_t done = 0;
    int rc = mpg123_read(mh, chunk, sizeof chunk, &done);
    all.insert(all.end(), chunk, chunk + done);
    if (rc == MPG123_NEW_FORMAT) continue;
    if (rc != MPG123_OK) break;
  }
  long rate;
  int channels, encoding;
  mpg123_getformat(mh, &rate, &channels, &encoding);
  d.rate = static_cast<int>(rate);
  mpg123_close(mh);
  mpg123_delete(mh);
  if (bits == 16) {
    d.pcm16.resize(all.size() / 2);
    std::memcpy(d.pcm16.data(), all.data(), d.pcm16.size() * 2);
  } else {
    d.pcm8.resize(all.size());
    std::memcpy(d.pcm8.data(), all.data(), all.size());
  }
  return d;
}

std::string data_folder(const std::string& name) {
  // One folder per process: ctest runs the cases as parallel processes.
  std::string dir =
      std::string(TH_BINARY_DIR) + "/tests/music_data/" + std::to_string(::getpid()) + "/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir + "/music");
  return dir;
}

std::vector<int16_t> read_wav(const std::string& path, int* rate) {
  std::vector<int16_t> samples;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return samples;
  unsigned char h[44];
  if (std::fread(h, 1, 44, f) == 44 && std::memcmp(h, "RIFF", 4) == 0 && h[22] == 2 &&
      h[34] == 16) {
    *rate = h[24] | h[25] << 8 | h[26] << 16 | h[27] << 24;
    uint32_t bytes = h[40] | h[41] << 8 | h[42] << 16 | static_cast<uint32_t>(h[43]) << 24;
    samples.resize(bytes / 2);
    samples.resize(std::fread(samples.data(), 2, samples.size(), f));
  }
  std::fclose(f);
  return samples;
}

}  // namespace testmp3
