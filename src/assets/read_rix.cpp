// RIX/SCX: "RIX3", width, height, a 6-bit VGA palette and one index byte per pixel.
#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {

void read_vga_indices(FILE* f, uint32_t* out, int64_t count) {
  uint8_t palette[768] = {};
  if (!read_exact(f, palette, sizeof palette)) return;
  uint32_t colours[256];
  for (int i = 0; i < 256; ++i) {
    // The DAC holds six bits; higher bits would spill into the next channel.
    const uint8_t* p = palette + 3 * i;
    colours[i] = rgb((p[0] & 63u) << 2, (p[1] & 63u) << 2, (p[2] & 63u) << 2);
  }
  for (int64_t i = 0; i < count; ++i) {
    int index = std::fgetc(f);
    if (index == EOF) return;
    out[i] = colours[index];
  }
}

void read_rix(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "RIX file not found\n"));
  FILE* f = file.get();
  uint8_t head[10];
  // The signature is checked before the size is published, so a stray file never makes
  // its caller allocate for a size it made up.
  if (!read_exact(f, head, sizeof head) || head[0] != 'R' || head[1] != 'I' || head[2] != 'X' ||
      head[3] != '3')
    refuse("%s is not a valid .RIX file\n", name);
  const int64_t width = le16(head + 4);
  const int64_t height = le16(head + 6);
  publish_size(name, "RIX", width, height, dest);
  if (!dest.pixels) return;
  read_vga_indices(f, dest.pixels, width * height);
}

}  // namespace image_io
