// JPEG through the IJG library's classic API: one scan line at a time into the picture.
// The library reports fatal errors through error_exit; ours jumps back out of the
// library's C frames with longjmp before anything C++ unwinds.
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "assets/image.h"
#include "assets/readers.h"
#include "platform/exit.h"
#include "platform/files.h"

namespace image_io {
namespace {

struct ErrorJump {
  jpeg_error_mgr mgr;  // first, so the library's pointer to it is a pointer to us
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void error_exit(j_common_ptr cinfo) {
  ErrorJump* err = reinterpret_cast<ErrorJump*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

enum class Outcome { kDone, kLibraryError, kBadSize };

struct Result {
  Outcome outcome = Outcome::kDone;
  int64_t width = 0;
  int64_t height = 0;
};

bool size_fits(int64_t width, int64_t height, const Dest& dest) {
  if (width < 1 || height < 1 || width > kImageMaxSide || height > kImageMaxSide) return false;
  return !dest.pixels || dest.expect_width < 0 ||
         (width == dest.expect_width && height == dest.expect_height);
}

// Only trivially destructible locals here: error_exit longjmps into this frame.
void decode(FILE* f, const Dest& dest, ErrorJump& err, Result& result) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = error_exit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    result.outcome = Outcome::kLibraryError;
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  // The output size without starting the decoder: probing decodes nothing.
  jpeg_calc_output_dimensions(&cinfo);
  result.width = cinfo.output_width;
  result.height = cinfo.output_height;
  if (!size_fits(result.width, result.height, dest)) {
    jpeg_destroy_decompress(&cinfo);
    result.outcome = Outcome::kBadSize;
    return;
  }
  image_width = static_cast<int32_t>(result.width);
  image_height = static_cast<int32_t>(result.height);
  if (!dest.pixels) {
    jpeg_destroy_decompress(&cinfo);
    return;
  }

  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  const JDIMENSION width = cinfo.output_width;
  // Freed with the decompressor, also when the library gives up half way.
  JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               width * static_cast<JDIMENSION>(components), 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t* row = dest.pixels + int64_t{cinfo.output_scanline} * width;
    if (jpeg_read_scanlines(&cinfo, line, 1) != 1) break;
    const JSAMPLE* s = line[0];
    if (components == 1) {
      for (JDIMENSION x = 0; x < width; ++x) row[x] = rgb(s[x], s[x], s[x]);
    } else if (components == 3) {
      for (JDIMENSION x = 0; x < width; ++x) row[x] = rgb(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

}  // namespace

void read_jpg(const char* name, const Dest& dest) {
  FILE* raw = platform::data_fopen(name, "rb");
  if (!raw) {
    std::printf("JPG file not found (%s)\n", name);
    platform::process_exit(1);
  }
  File file(raw);
  ErrorJump err;
  Result result;
  decode(file.get(), dest, err, result);
  if (result.outcome == Outcome::kLibraryError) {
    std::printf("%s\n", err.message);
    platform::process_exit(255);
  }
  if (result.outcome == Outcome::kBadSize)
    publish_size(name, "JPEG", result.width, result.height, dest);  // refuses with its line
}

}  // namespace image_io
