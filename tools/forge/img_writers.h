// File writers for the show's picture formats: JPEG (through libjpeg), PCX version 5,
// TGA, and the headerless RGB bitmaps of the lens flares.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "img_canvas.h"

namespace forge {

// Baseline JPEG, 3 components, or 1 (grey: the red channel) when `grey`.
std::vector<uint8_t> encode_jpeg(const Bitmap& b, int quality = 92, bool grey = false);

// 8-bit PCX with the 256-colour palette after the 0x0C marker. `index` holds w x h
// palette indices; `palette` 768 bytes red, green, blue.
std::vector<uint8_t> encode_pcx8(int w, int h, const std::vector<uint8_t>& index,
                                 const std::vector<uint8_t>& palette);
// 24-bit PCX: three planes (red, green, blue) per line.
std::vector<uint8_t> encode_pcx24(const Bitmap& b);

// An indexed copy of b for encode_pcx8: palette entry 0 is exactly the first pixel (the
// key colour of captions) and no other pixel maps to it; the rest are the picture's most
// used colours.
struct Indexed {
  std::vector<uint8_t> index, palette;
};
Indexed quantise_keyed(const Bitmap& b);

// 24-bit TGA, bottom row first: type 2 (raw) or type 10 (run-length).
std::vector<uint8_t> encode_tga(const Bitmap& b, bool rle);

// Headerless red, green, blue bytes, row by row (the lens-flare bitmaps).
std::vector<uint8_t> encode_raw_rgb(const Bitmap& b);

}  // namespace forge
