// Test soundtracks: MP3 files encoded with libmp3lame from known signals, and mpg123's own
// decoding of them for comparison.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testmp3 {

// Writes an MP3 of seconds at 44,100 Hz: stereo (a 440 Hz tone left, a 660 Hz tone and a
// slow sweep right, plus a little noise) or mono. Returns false when lame refuses.
bool encode(const std::string& path, double seconds, bool mono, unsigned seed = 1);

// The file decoded in one go by mpg123 with the music's settings: interleaved left/right
// pairs, signed 16- or 8-bit, down-sampled by 0, 1 or 2.
struct Decoded {
  int rate = 0;
  std::vector<int16_t> pcm16;  // 16-bit
  std::vector<int8_t> pcm8;    // 8-bit
  size_t pairs() const { return pcm16.empty() ? pcm8.size() / 2 : pcm16.size() / 2; }
};
Decoded decode(const std::string& path, int bits, int down_sampling);

// A fresh data folder under the test binary's folder holding music/var56.mp3.
std::string data_folder(const std::string& name);

// Reads a 16-bit stereo WAV's samples; empty when it is not one.
std::vector<int16_t> read_wav(const std::string& path, int* rate);

}  // namespace testmp3
