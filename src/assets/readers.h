// What the picture readers share. Not for callers outside the readers: they use image.h.
#pragma once
#include <cstdint>
#include <cstdio>

namespace image_io {

// Where a reader decodes to. pixels == nullptr: probe only. expect_width/height >= 0 are
// the sides the caller allocated for; a file that now says otherwise is refused.
struct Dest {
  uint32_t* pixels = nullptr;
  int64_t expect_width = -1;
  int64_t expect_height = -1;
};

// Closes the file whichever way the reader leaves (return or process_exit).
class File {
 public:
  explicit File(FILE* f) : f_(f) {}
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() {
    if (f_) std::fclose(f_);
  }
  FILE* get() const { return f_; }
  explicit operator bool() const { return f_ != nullptr; }

 private:
  FILE* f_;
};

// Opens a show file for binary reading; on failure prints `missing_line` and exits 1.
FILE* open_or_exit(const char* name, const char* missing_line);

// Prints one formatted line (the format carries its newline) and exits with status 1.
[[noreturn]] void refuse(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Checks the sides (1..kImageMaxSide), publishes them in image_width/image_height, and
// checks them against what the caller allocated for. `kind` names the format in messages.
void publish_size(const char* name, const char* kind, int64_t width, int64_t height,
                  const Dest& dest);

// Reads exactly n bytes; false when the file ends first.
bool read_exact(FILE* f, void* buf, size_t n);

// Length of the file in bytes (-1 if it cannot be told); keeps the position.
int64_t file_length(FILE* f);

// Moves forward by n bytes; false past the end of the file.
bool skip(FILE* f, int64_t n);

// Reverses the row order in place.
void flip_rows(uint32_t* pixels, int64_t width, int64_t height);

inline uint32_t le16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
inline uint32_t le32(const uint8_t* p) {
  return le16(p) | le16(p + 2) << 16;
}
inline uint32_t be16(const uint8_t* p) {
  return uint32_t(p[0]) << 8 | uint32_t(p[1]);
}
inline uint32_t be32(const uint8_t* p) {
  return be16(p) << 16 | be16(p + 2);
}
inline uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r << 16 | g << 8 | b;
}

// One function per format; each sets the shared size, then decodes unless probing.
void read_pcx(const char* name, const Dest& dest);
void read_tga(const char* name, const Dest& dest);
void read_bmp(const char* name, const Dest& dest);
void read_lbm(const char* name, const Dest& dest);
void read_rix(const char* name, const Dest& dest);
void read_jpg(const char* name, const Dest& dest);
void read_cel(const char* name, const Dest& dest);

// RIX and CEL: 768 bytes of 6-bit red, green, blue, then `count` index bytes.
void read_vga_indices(FILE* f, uint32_t* out, int64_t count);

// Chooses the reader by extension (the first three letters after the last dot, any case).
void read_any(const char* name, const Dest& dest);

}  // namespace image_io
