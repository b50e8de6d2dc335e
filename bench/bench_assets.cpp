// Loading a 256 x 256 JPEG texture, the show's commonest start-up read.
#include <benchmark/benchmark.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <string>
#include <vector>

#include "assets/image.h"

namespace {

// A colourful 256 x 256 picture at quality 90, written once per run.
const std::string& texture_jpeg() {
  static const std::string path = [] {
    std::string p = std::string(TH_BINARY_DIR) + "/bench-texture.jpg";
    FILE* f = std::fopen(p.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = c.image_height = 256;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(256 * 3);
    while (c.next_scanline < 256) {
      const unsigned y = c.next_scanline;
      for (unsigned x = 0; x < 256; ++x) {
        row[3 * x] = static_cast<JSAMPLE>(x ^ y);
        row[3 * x + 1] = static_cast<JSAMPLE>(x * y >> 8);
        row[3 * x + 2] = static_cast<JSAMPLE>((x + 2 * y) & 255);
      }
      JSAMPROW r = row.data();
      jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return p;
  }();
  return path;
}

void BM_LoadTextureJpeg256(benchmark::State& state) {
  const std::string& path = texture_jpeg();
  for (auto _ : state) {
    std::unique_ptr<Image> texture = load_texture(path.c_str());
    benchmark::DoNotOptimize(texture->pixels);
  }
}
BENCHMARK(BM_LoadTextureJpeg256)->Unit(benchmark::kMicrosecond);

}  // namespace
