// PCX: 128-byte header, run-length lines of 1 plane (palette indices, 256-colour palette
// at the end of version 5 files) or 3 planes (red, green, blue).
#include <algorithm>
#include <vector>

#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {

void read_pcx(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "PCX file not found\n"));
  FILE* f = file.get();
  uint8_t header[128];
  if (!read_exact(f, header, sizeof header)) refuse("%s is not a valid .PCX file\n", name);

  // Signed sides so that a maximum below its minimum is refused, not wrapped.
  int64_t width = int64_t{le16(header + 8)} - le16(header + 4) + 1;
  int64_t height = int64_t{le16(header + 10)} - le16(header + 6) + 1;
  publish_size(name, "PCX", width, height, dest);

  uint8_t palette[768] = {};
  if (header[1] == 5) {
    // Marker byte and 768 palette bytes close the file. A file too short to hold them
    // after its header keeps a black palette rather than reading its own header as colours.
    int64_t length = file_length(f);
    if (length >= 128 + 769 && std::fseek(f, static_cast<long>(length - 768), SEEK_SET) == 0)
      read_exact(f, palette, sizeof palette);
    std::fseek(f, 128, SEEK_SET);
  }
  if (!dest.pixels) return;

  const int64_t planes = header[65];
  const int64_t bytes_per_line = le16(header + 66);
  const int64_t line_length = planes * bytes_per_line;
  if (line_length == 0) return;
  // A line shorter than the picture leaves the pixels it lacks as they are.
  const int64_t used = std::min(width, bytes_per_line);
  // Only the first `used` bytes of the first three planes are kept, so a header that
  // claims huge lines costs no memory; the rest of each line is decoded and passed over.
  const int64_t kept_planes = std::min<int64_t>(planes, 3);
  std::vector<uint8_t> line(static_cast<size_t>(kept_planes * used));

  for (int64_t y = 0; y < height; ++y) {
    int64_t filled = 0;
    while (filled < line_length) {
      int c = std::fgetc(f);
      if (c == EOF) return;
      int64_t count = 1;
      if (c > 0xC0) {
        count = c - 0xC0;
        c = std::fgetc(f);
        if (c == EOF) return;
      }
      // A run that would pass the line's end is cut there.
      count = std::min(count, line_length - filled);
      for (int64_t end = filled + count; filled < end; ++filled) {
        const int64_t plane = filled / bytes_per_line, offset = filled % bytes_per_line;
        if (plane < kept_planes && offset < used)
          line[static_cast<size_t>(plane * used + offset)] = static_cast<uint8_t>(c);
      }
    }
    uint32_t* row = dest.pixels + y * width;
    if (planes == 1) {
      for (int64_t x = 0; x < used; ++x) {
        const uint8_t* p = palette + 3 * line[x];
        row[x] = rgb(p[0], p[1], p[2]);
      }
    } else if (planes == 3) {
      const uint8_t* r = line.data();
      const uint8_t* g = r + used;
      const uint8_t* b = g + used;
      for (int64_t x = 0; x < used; ++x) row[x] = rgb(r[x], g[x], b[x]);
    }
  }
}

}  // namespace image_io
