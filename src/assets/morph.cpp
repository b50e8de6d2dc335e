#include "assets/morph.h"

#include <cstring>

#include "assets/readers.h"
#include "platform/files.h"

MorphGrid morph_grid = {};

namespace {

// 26 characters and the terminator, compared as one 27-byte block.
constexpr char kMagic[27] = "QUB HAR KULT MORPHEPROGRAM";
static_assert(sizeof(kMagic) == 27);

bool read_i32(FILE* f, int32_t& out) {
  uint8_t b[4];
  if (!image_io::read_exact(f, b, 4)) return false;
  out = static_cast<int32_t>(image_io::le32(b));
  return true;
}

}  // namespace

MorphFileInfo load_morph(const char* path) {
  MorphFileInfo info;
  image_io::File file(platform::data_fopen(path, "rb"));
  if (!file) return info;
  FILE* f = file.get();

  char magic[sizeof kMagic];
  if (!image_io::read_exact(f, magic, sizeof magic) ||
      std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
    info.result = MorphLoad::kNotMorph;
    return info;
  }
  if (!read_i32(f, info.columns) || !read_i32(f, info.rows)) {
    info.columns = info.rows = 0;
    info.result = MorphLoad::kShort;
    return info;
  }
  // The grid has no room for more; storing the extra points would run past it.
  if (info.columns > kMorphColumns || info.rows > kMorphRows) {
    info.result = MorphLoad::kTooLarge;
    return info;
  }

  info.result = MorphLoad::kLoaded;
  for (int32_t r = 0; r < info.rows; ++r)
    for (int32_t c = 0; c < info.columns; ++c) {
      int32_t* slots[4] = {&morph_grid.first[r][c].x, &morph_grid.first[r][c].y,
                           &morph_grid.second[r][c].x, &morph_grid.second[r][c].y};
      for (int32_t* slot : slots) {
        // Only whole values are stored; what came before the end stays.
        if (!read_i32(f, *slot)) {
          info.result = MorphLoad::kShort;
          return info;
        }
        ++info.values_read;
      }
    }
  return info;
}
