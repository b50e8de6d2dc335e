#include "assets/image.h"

#include <cstdarg>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "assets/readers.h"
#include "engine/kelp.h"
#include "platform/exit.h"
#include "platform/files.h"

int32_t image_width = 0;
int32_t image_height = 0;

namespace image_io {

FILE* open_or_exit(const char* name, const char* missing_line) {
  FILE* f = platform::data_fopen(name, "rb");
  if (!f) {
    std::fputs(missing_line, stdout);
    platform::process_exit(1);
  }
  return f;
}

void refuse(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  platform::process_exit(1);
}

void publish_size(const char* name, const char* kind, int64_t width, int64_t height,
                  const Dest& dest) {
  if (width < 1 || height < 1 || width > kImageMaxSide || height > kImageMaxSide)
    refuse("%s: %s picture of %lld x %lld pixels is not supported\n", name, kind,
           static_cast<long long>(width), static_cast<long long>(height));
  image_width = static_cast<int32_t>(width);
  image_height = static_cast<int32_t>(height);
  // The caller sized its buffer from an earlier probe; never decode past it.
  if (dest.pixels && dest.expect_width >= 0 &&
      (width != dest.expect_width || height != dest.expect_height))
    refuse("%s changed size between probe and decode\n", name);
}

bool read_exact(FILE* f, void* buf, size_t n) {
  return std::fread(buf, 1, n, f) == n;
}

int64_t file_length(FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return end;
}

bool skip(FILE* f, int64_t n) {
  if (n <= 0) return n == 0;
  long here = std::ftell(f);
  int64_t len = file_length(f);
  if (here < 0 || len < 0 || n > len - here) {
    std::fseek(f, 0, SEEK_END);
    return false;
  }
  return std::fseek(f, static_cast<long>(here + n), SEEK_SET) == 0;
}

void flip_rows(uint32_t* pixels, int64_t width, int64_t height) {
  for (int64_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint32_t* a = pixels + top * width;
    uint32_t* b = pixels + bottom * width;
    for (int64_t x = 0; x < width; ++x) std::swap(a[x], b[x]);
  }
}

namespace {

struct Format {
  const char* ext;
  void (*reader)(const char*, const Dest&);
};

// Searched in this order.
constexpr Format kFormats[] = {
    {"PCX", read_pcx}, {"TGA", read_tga}, {"BMP", read_bmp}, {"IFF", read_lbm}, {"LBM", read_lbm},
    {"RIX", read_rix}, {"SCX", read_rix}, {"JPG", read_jpg}, {"CEL", read_cel},
};

bool same_letters(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

void read_any(const char* name, const Dest& dest) {
  const char* dot = std::strrchr(name, '.');
  if (!dot) {
    std::printf("sorry, unable to detect filetype of file: %s\n", name);
    platform::process_exit(1);
  }
  // Only the first three letters count, so ".jpeg" reads as ".jpe" and is refused.
  std::string ext(dot + 1, strnlen(dot + 1, 3));
  for (const Format& format : kFormats) {
    if (same_letters(ext, format.ext)) {
      format.reader(name, dest);
      return;
    }
  }
  std::printf("sorry, files of .%s type are not supported\n", ext.c_str());
  platform::process_exit(1);
}

}  // namespace image_io

void read_image_file(const char* name, uint32_t* dst) {
  image_io::Dest dest;
  dest.pixels = dst;
  image_io::read_any(name, dest);
}

namespace {

// Zeroed, so whatever a reader leaves undecoded comes out black.
uint32_t* alloc_pixels(int64_t count) {
  return new (std::nothrow) uint32_t[count]();
}

// Probes, then decodes into a zeroed block of the probed size; null when out of memory.
uint32_t* decode_stored(const char* name, int64_t& width, int64_t& height) {
  image_io::read_any(name, image_io::Dest{});
  width = image_width;
  height = image_height;
  uint32_t* pixels = alloc_pixels(width * height);
  if (!pixels) return nullptr;
  image_io::Dest dest{pixels, width, height};
  try {
    image_io::read_any(name, dest);
  } catch (...) {
    delete[] pixels;
    throw;
  }
  return pixels;
}

}  // namespace

std::unique_ptr<Image> load_image(const char* name) {
  std::unique_ptr<Image> image(new (std::nothrow) Image);
  if (!image) return nullptr;
  int64_t width = 0, height = 0;
  image->pixels = decode_stored(name, width, height);
  if (!image->pixels) return nullptr;
  image->width = static_cast<int32_t>(width);
  image->height = static_cast<int32_t>(height);
  return image;
}

std::unique_ptr<Image> load_texture(const char* name) {
  std::unique_ptr<Image> image(new (std::nothrow) Image);
  if (!image) return nullptr;
  int64_t width = 0, height = 0;
  std::unique_ptr<uint32_t[]> stored(decode_stored(name, width, height));
  if (!stored) return nullptr;
  image->width = texture_target_side(static_cast<int>(width));
  image->height = texture_target_side(static_cast<int>(height));
  image->pixels = alloc_pixels(int64_t{image->width} * image->height);
  if (!image->pixels) return nullptr;
  image->size_code = texture_resample(stored.get(), static_cast<int32_t>(height), image->pixels,
                                      static_cast<int32_t>(width));
  return image;
}
