// libFuzzer harness for the soundtrack: the input is the MP3 file; it is read into the
// memory stream, primed, started and pumped over a few seconds of the virtual clock on the
// headless sound device, then stopped, as the show does.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "music/music.h"
#include "music/streaming.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/options.h"

namespace {
std::string dir;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  dir = "/tmp/th-fuzz-music-" + std::to_string(getpid());
  std::filesystem::create_directories(dir + "/music");
  platform::set_data_dir(dir);
  platform::run_options().headless = true;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen((dir + "/music/var56.mp3").c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  // The first byte picks the output form, so every option's decoder path is reached.
  static const char* const words[] = {"", "8bit", "mono", "2to1", "4to1", "8bit mono 4to1"};
  const char* line = words[size ? data[0] % 6 : 0];
  platform::virtual_clock_enable(0.0);
  if (music_init(nullptr, line)) {
    music_start();
    for (int k = 0; k < 40; ++k) {
      platform::virtual_clock_set(k * 0.25);
      music_pump(static_cast<float>(k * 0.25));
    }
    music_stop();
  }
  sound_shutdown();
  return 0;
}
