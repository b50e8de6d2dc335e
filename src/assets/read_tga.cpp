// TGA: 18-byte header, image ID, optional colour map, then colour-mapped or true-colour
// pixels, plain or run-length, stored bottom row first unless the origin bit says top.
#include <algorithm>

#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {
namespace {

// One colour-map entry of `bytes` bytes as 0x00RRGGBB; entries of unknown sizes stay black.
uint32_t map_entry(const uint8_t* p, int bytes) {
  switch (bytes) {
    case 2: {
      uint32_t v = le16(p);
      uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
      return rgb(r << 3 | r >> 2, g << 3 | g >> 2, b << 3 | b >> 2);
    }
    case 3:
    case 4:
      return rgb(p[2], p[1], p[0]);
    default:
      return 0;
  }
}

}  // namespace

void read_tga(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "TGA file not found\n"));
  FILE* f = file.get();
  uint8_t header[18];
  if (!read_exact(f, header, sizeof header)) refuse("%s is not a valid .TGA file\n", name);
  const int64_t width = le16(header + 12);
  const int64_t height = le16(header + 14);
  publish_size(name, "TGA", width, height, dest);
  if (!dest.pixels) return;

  const int type = header[2];
  const int depth = header[16];
  const bool true_colour = type == 2 || type == 10;
  int pixel_bytes = 1;
  if (true_colour) {
    if (depth != 24 && depth != 32)
      refuse("%s: TGA pixel depth %d is not supported\n", name, depth);
    pixel_bytes = depth / 8;  // a 32-bit pixel's fourth byte is alpha, dropped
  }

  if (!skip(f, header[0])) return;
  uint32_t map[256] = {};
  if (header[1] == 1) {
    const int64_t entries = le16(header + 5);
    const int entry_bytes = (header[7] + 7) / 8;
    for (int64_t i = 0; i < entries; ++i) {
      uint8_t entry[32];  // entry bits up to 255 round up to 32 bytes
      if (!read_exact(f, entry, static_cast<size_t>(entry_bytes))) return;
      if (i < 256) map[i] = map_entry(entry, entry_bytes);
    }
  }

  auto read_value = [&](uint32_t& out) {
    uint8_t p[4];
    if (!read_exact(f, p, static_cast<size_t>(pixel_bytes))) return false;
    out = true_colour ? rgb(p[2], p[1], p[0]) : map[p[0]];
    return true;
  };

  uint32_t* const out = dest.pixels;
  const int64_t total = width * height;
  if (type == 1 || type == 2) {
    for (int64_t i = 0; i < total; ++i)
      if (!read_value(out[i])) break;
  } else if (type == 9 || type == 10) {
    int64_t i = 0;
    while (i < total) {
      int h = std::fgetc(f);
      if (h == EOF) break;
      int64_t count = h >= 0x80 ? h - 127 : h + 1;
      count = std::min(count, total - i);
      if (h >= 0x80) {
        uint32_t value;
        if (!read_value(value)) break;
        std::fill_n(out + i, count, value);
        i += count;
      } else {
        bool ok = true;
        for (int64_t k = 0; k < count && ok; ++k) ok = read_value(out[i++]);
        if (!ok) break;
      }
    }
  }
  // Descriptor bit 5: rows stored top row first; otherwise bottom row first.
  if (!(header[17] & 0x20)) flip_rows(out, width, height);
}

}  // namespace image_io
