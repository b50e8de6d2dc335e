// Shared body of the picture harnesses: the readers read files, so each input is written
// to a scratch file with the reader's extension first.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/image.h"
#include "platform/exit.h"

namespace fuzz {

inline std::string scratch_file(const char* ext) {
  return "/tmp/th-fuzz-" + std::to_string(getpid()) + "." + ext;
}

inline bool write_input(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

inline void quiet_init() {
  // The readers' one-line messages would drown the fuzzer's own output.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  // Progressive JPEG headers can ask for huge coefficient buffers; the library refuses
  // past this budget through its own error exit.
  setenv("JPEGMEM", "256m", 1);
}

inline void run_picture(const char* ext, const uint8_t* data, size_t size) {
  static const std::string path = scratch_file(ext);
  if (!write_input(path, data, size)) return;
  try {
    read_image_file(path.c_str(), nullptr);
    // Large valid sizes only cost time (the probe has run their checks); decoding them
    // would slow every run to a few a second.
    if (int64_t{image_width} * image_height > (int64_t{1} << 16)) return;
    std::unique_ptr<Image> image = load_image(path.c_str());
    std::unique_ptr<Image> texture = load_texture(path.c_str());
    if (image && image->width * image->height > 0) {
      volatile uint32_t sink = image->pixels[image->width * image->height - 1];
      (void)sink;
    }
  } catch (const platform::ProcessExit&) {
  }
}

}  // namespace fuzz

#define TH_PICTURE_FUZZER(ext)                                              \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {                      \
    fuzz::quiet_init();                                                     \
    return 0;                                                               \
  }                                                                         \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    fuzz::run_picture(ext, data, size);                                     \
    return 0;                                                               \
  }
