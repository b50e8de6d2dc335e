// The morph grid between the two portraits: 9 x 7 points through the same features on
// both faces, the border points on the picture edges, the second picture's x + 320.

#include "assets/data_files.h"
#include "forge_3d.h"
#include "portrait_layout.h"

namespace forge {

std::vector<uint8_t> morph_bytes() {
  using namespace portrait;
  std::vector<uint8_t> b;
  const char* magic = "QUB HAR KULT MORPHEPROGRAM";
  for (const char* c = magic; *c; ++c) b.push_back(static_cast<uint8_t>(*c));
  b.push_back(0);
  auto i32 = [&](int32_t v) {
    for (int i = 0; i < 4; ++i)
      b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  };
  i32(kColumns);
  i32(kRows);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kColumns; ++c) {
      i32(grid_x(kFirst, c));
      i32(grid_y(kFirst, r));
      i32(grid_x(kSecond, c) + 320);
      i32(grid_y(kSecond, r));
    }
  return b;
}

void make_morph(Forge& f) {
  f.write(data_file::kMorph, morph_bytes());
}

}  // namespace forge
