// CEL: 32-byte header with width and height, a 6-bit VGA palette and index bytes.
#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {

void read_cel(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "CEL file not found\n"));
  FILE* f = file.get();
  uint8_t head[32];
  if (!read_exact(f, head, sizeof head)) refuse("%s is not a valid .CEL file\n", name);
  const int64_t width = le16(head + 2);
  const int64_t height = le16(head + 4);
  publish_size(name, "CEL", width, height, dest);
  if (!dest.pixels) return;
  read_vga_indices(f, dest.pixels, width * height);
}

}  // namespace image_io
