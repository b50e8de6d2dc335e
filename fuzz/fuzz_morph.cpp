// libFuzzer harness for the morph file: load it, then draw a few states of the morph with
// whatever grid it left (points far off the pictures must stay on the frame).
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
  build_row_offsets();
  init_fades(320, 240, 0);  // the morph cross-fades through the blend slots
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/th-fuzz-" + std::to_string(getpid()) + ".amf";
  static std::vector<uint32_t> a(320 * 240, 0x00102030), b(320 * 240, 0x00405060), dst(320 * 240),
      scratch(320 * 240);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  morph_grid = MorphGrid{};
  MorphFileInfo info = load_morph(path.c_str());
  // A refused file leaves the grid empty; drawing it would only slow the search down.
  if (info.result == MorphLoad::kLoaded || info.result == MorphLoad::kShort)
    morph(dst.data(), scratch.data(), a.data(), b.data(), size ? data[size - 1] / 200.0f : 0.5f);
  return 0;
}
