// libFuzzer harness for the flare bitmaps and their glow. The first byte picks the file the
// rest of the input replaces (0: the glow picture, 1 to 9: a raw flare bitmap); the other
// files are valid ones made here. A set that loads is drawn, so whatever sizes a reader let
// through must still keep the glow and the chain inside the frame.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>  // before the JPEG library's header, which uses FILE and size_t
#include <cstdlib>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <string>
#include <vector>

#include "assets/data_files.h"
#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "sequencer/sequencer.h"

namespace {

constexpr int kSizes[kFlareElements][2] = {{40, 40}, {9, 10}, {8, 10},  {6, 6}, {18, 18},
                                           {7, 7},   {6, 7},  {11, 11}, {7, 7}};
std::string root;
std::vector<std::string> valid(kFlareElements + 1);  // each file's valid bytes

std::string path_of(int k) {
  return platform::data_path(k == 0 ? data_file::kLightTexture : data_file::kFlares[k - 1]);
}

void write_file(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

// A 128 x 128 grey glow, encoded by the library into memory.
std::string glow_jpeg() {
  jpeg_compress_struct c = {};
  jpeg_error_mgr err = {};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&c, &out, &out_size);
  c.image_width = c.image_height = 128;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(128 * 3);
  while (c.next_scanline < 128) {
    for (int x = 0; x < 128; ++x) {
      const int dx = x - 64, dy = static_cast<int>(c.next_scanline) - 64;
      const int v = dx * dx + dy * dy < 4096 ? 255 - (dx * dx + dy * dy) / 16 : 0;
      row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = static_cast<uint8_t>(v);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), out_size);
  std::free(out);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  root = "/tmp/th-fuzz-flares-" + std::to_string(getpid());
  mkdir(root.c_str(), 0700);
  mkdir((root + "/flares").c_str(), 0700);
  mkdir((root + "/textures").c_str(), 0700);
  platform::set_data_dir(root);
  valid[0] = glow_jpeg();
  for (int k = 0; k < kFlareElements; ++k) {
    std::string& v = valid[k + 1];
    v.resize(static_cast<size_t>(kSizes[k][0]) * kSizes[k][1] * 3);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<char>(i * 7 + k * 31);
  }
  init_fades(kFrameWidth, kFrameHeight, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int replaced = data[0] % (kFlareElements + 1);
  for (int k = 0; k <= kFlareElements; ++k) {
    if (k == replaced)
      write_file(path_of(k), data + 1, size - 1);
    else
      write_file(path_of(k), reinterpret_cast<const uint8_t*>(valid[k].data()), valid[k].size());
  }
  try {
    flares_load();
  } catch (const platform::ProcessExit&) {
    return 0;
  }
  // Exactly frame-sized buffers (the depth buffer with its guard rows), so AddressSanitizer
  // sees any draw past them. Lights at the centre and at two corners fan the chain out.
  static std::vector<uint32_t> frame(kFramePixels);
  static std::vector<int32_t> depth(kFramePixels + 2 * kFrameWidth, 0);
  View view = {};
  if (!view_init(&view, 16, kFrameWidth, kFrameHeight)) return 0;
  view_set_fov(&view, 100.0f);
  view_set_target(&view, kFramePitchBytes, frame.data(), depth.data() + kFrameWidth);
  mat_identity(&view.view_matrix);
  Light light = {};
  light.r = light.g = light.b = 1.0f;
  const Vec3 places[] = {{0.0f, 0.0f, 100.0f}, {-110.0f, 75.0f, 100.0f}, {115.0f, -80.0f, 90.0f}};
  for (const Vec3& p : places) {
    light.position = p;
    FlareState s = {&light, 1, 0.0f, 400.0f, 400.0f};
    flare_draw_faded(frame.data(), &s, &view, 0.0f, 1);
  }
  view_free(&view);
  return 0;
}
