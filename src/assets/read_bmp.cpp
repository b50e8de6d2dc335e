// BMP: file header, information header, palette for 8 bits or fewer, then rows of 8-bit
// indices or 24-bit blue-green-red (padded to 4 bytes), or 8-bit run-length data.
#include <algorithm>
#include <vector>

#include "assets/image.h"
#include "assets/readers.h"

namespace image_io {
namespace {

void decode_rle8(FILE* f, uint32_t* out, int64_t width, int64_t height, const uint32_t* palette) {
  int64_t x = 0, y = 0;  // y counts rows in file order
  auto put = [&](int index) {
    if (x < width && y < height) out[y * width + x] = palette[index];
    ++x;
  };
  while (y < height) {
    int count = std::fgetc(f);
    int second = std::fgetc(f);
    if (count == EOF || second == EOF) return;
    if (count > 0) {
      // An encoded run stays on its row; what passes the row's end is dropped.
      for (int i = 0; i < count; ++i) put(second);
      continue;
    }
    if (second == 0) {  // end of line
      x = 0;
      ++y;
    } else if (second == 1) {  // end of bitmap
      return;
    } else if (second == 2) {  // delta: move right and up
      int dx = std::fgetc(f);
      int dy = std::fgetc(f);
      if (dx == EOF || dy == EOF) return;
      x += dx;
      y += dy;
    } else {  // absolute run, padded to an even length
      for (int i = 0; i < second; ++i) {
        int index = std::fgetc(f);
        if (index == EOF) return;
        put(index);
      }
      if (second & 1) std::fgetc(f);
    }
  }
}

}  // namespace

void read_bmp(const char* name, const Dest& dest) {
  File file(open_or_exit(name, "BMP file not found\n"));
  FILE* f = file.get();
  uint8_t head[14];
  if (!read_exact(f, head, sizeof head) || head[0] != 'B' || head[1] != 'M')
    refuse("%s is not a valid .BMP file\n", name);
  uint8_t info[40];
  if (!read_exact(f, info, sizeof info) || le32(info) < 40)
    refuse("%s is not a valid .BMP file\n", name);

  const int64_t width = static_cast<int32_t>(le32(info + 4));
  const int64_t stored_height = static_cast<int32_t>(le32(info + 8));
  // A negative height means the rows are stored top row first.
  const bool top_down = stored_height < 0;
  const int64_t height = top_down ? -stored_height : stored_height;
  publish_size(name, "BMP", width, height, dest);
  if (!dest.pixels) return;

  const int bits = static_cast<int>(le16(info + 14));
  const uint32_t compression = le32(info + 16);
  uint32_t palette[256] = {};
  if (bits <= 8) {
    int64_t colours = le32(info + 32);
    if (colours == 0) colours = int64_t{1} << bits;
    // Later header versions are longer than 40 bytes; the palette follows the whole header.
    std::fseek(f, static_cast<long>(14 + std::min<uint32_t>(le32(info), 1u << 20)), SEEK_SET);
    for (int64_t i = 0; i < std::min<int64_t>(colours, 256); ++i) {
      uint8_t e[4];
      if (!read_exact(f, e, sizeof e)) break;
      palette[i] = rgb(e[2], e[1], e[0]);
    }
  }
  const uint32_t offset = le32(head + 10);
  int64_t length = file_length(f);
  if (length < 0 || offset > length || std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0)
    return;

  uint32_t* const out = dest.pixels;
  if (compression == 0 && (bits == 8 || bits == 24)) {
    const int64_t row_bytes = (width * bits / 8 + 3) / 4 * 4;
    std::vector<uint8_t> row(static_cast<size_t>(row_bytes));
    for (int64_t y = 0; y < height; ++y) {
      // A short last row still gives what it holds.
      size_t got = std::fread(row.data(), 1, row.size(), f);
      std::fill(row.begin() + static_cast<int64_t>(got), row.end(), 0);
      uint32_t* o = out + y * width;
      if (bits == 8) {
        for (int64_t x = 0; x < width && x < static_cast<int64_t>(got); ++x) o[x] = palette[row[x]];
      } else {
        for (int64_t x = 0; x < width && 3 * x + 3 <= static_cast<int64_t>(got); ++x)
          o[x] = rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
      }
      if (got < row.size()) break;
    }
  } else if (compression == 1 && bits == 8) {
    decode_rle8(f, out, width, height, palette);
  }
  if (!top_down) flip_rows(out, width, height);
}

}  // namespace image_io
