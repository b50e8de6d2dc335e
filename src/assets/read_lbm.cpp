// LBM/IFF: the FORM header and BMHD give the size; the chunk walk reads the palette.
// Bodies (planar, maybe ByteRun1-packed) are not decoded: such files give their size and
// black pixels.
#include <algorithm>

#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {

void read_lbm(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "LBM/IFF file not found\n"));
  FILE* f = file.get();
  uint8_t head[40];
  if (!read_exact(f, head, sizeof head)) refuse("%s is not a valid .LBM/IFF file\n", name);
  publish_size(name, "LBM/IFF", be16(head + 20), be16(head + 22), dest);
  if (!dest.pixels) return;

  uint8_t palette[768] = {};
  bool seen_cmap = false, seen_body = false;
  uint8_t chunk[8];
  while (!(seen_cmap && seen_body) && read_exact(f, chunk, sizeof chunk)) {
    // Chunks are padded to an even length.
    int64_t length = be32(chunk + 4);
    int64_t padded = length + (length & 1);
    if (std::equal(chunk, chunk + 4, "CMAP")) {
      int64_t kept = std::min<int64_t>(length, sizeof palette);
      if (!read_exact(f, palette, static_cast<size_t>(kept))) break;
      seen_cmap = true;
      padded -= kept;
    } else if (std::equal(chunk, chunk + 4, "BODY")) {
      seen_body = true;
    }
    if (!skip(f, padded)) break;
  }
}

}  // namespace image_io
