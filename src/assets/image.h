// Pictures and textures: one entry point picks a reader by the file's extension, each
// reader decodes into 32-bit 0x00RRGGBB pixels, rows top to bottom.
#pragma once
#include <cstdint>
#include <memory>

// A decoded picture. Pixels are width x height, top row first, no padding, owned here.
struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int32_t size_code = 0;  // texture size code; set only by load_texture
  uint32_t* pixels = nullptr;

  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  ~Image() { delete[] pixels; }
};

// Size of the last file read or probed. Every reader writes them before decoding, so a
// probe and the decode that relies on it must not be separated by another read.
extern int32_t image_width;
extern int32_t image_height;

// The largest side any reader accepts; larger, zero or negative sides are refused.
constexpr int32_t kImageMaxSide = 16384;

// Picks the reader by extension and runs it. A null destination only probes (sets
// image_width / image_height); otherwise the destination must hold that many pixels.
// Unreadable or unrecognised files print one line and end the process (status 1, or
// 255 for a JPEG stream the JPEG library rejects) through platform::process_exit.
void read_image_file(const char* name, uint32_t* dst);

// The picture at its stored size; null when the pixels cannot be allocated.
std::unique_ptr<Image> load_image(const char* name);

// The picture resampled to power-of-two sides from 32 to 256, with its size code; null
// when an allocation fails.
std::unique_ptr<Image> load_texture(const char* name);
