// libFuzzer harness for the morph file: load into an empty grid, then draw a morph along
// whatever grid it gave, so a point anywhere must still keep the fill inside its buffers.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/morph.h"
#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  init_fades(kFrameWidth, kFrameHeight, 0);
  build_row_offsets();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/th-fuzz-" + std::to_string(getpid()) + ".amf";
  // Exactly frame-sized heap buffers, so AddressSanitizer sees a read or write past them.
  static std::vector<uint32_t> first(kFramePixels, 0x00102030), second(kFramePixels, 0x00405060);
  static std::vector<uint32_t> dst(kFramePixels), scratch(kFramePixels);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  morph_grid = {};
  // The morph costs a whole frame's fill; only a file that gave points has a grid to draw.
  if (load_morph(path.c_str()).values_read > 0)
    morph(dst.data(), scratch.data(), first.data(), second.data(), 0.37f);
  return 0;
}
