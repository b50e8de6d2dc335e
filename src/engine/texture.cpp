// Texture size codes, their sampling parameters and the resampler that brings any picture
// to one of the sizes the rasterizers can address by shift and mask.
#include "engine/kelp.h"

// Mapping reaches the rasterizers as 16.16 fixed point of a 256-unit repeat, so one
// repeat is 2^24 for every size: u shift = 24 - log2(width), v shift brings the row
// into place for a row pitch of `width` texels.
const TextureSize kTextureSizes[17] = {
    {0, 0, 0, 0, 0, 0},
    {256, 256, 16, 255, 8, 0xff00},
    {128, 128, 17, 127, 10, 0x3f80},
    {64, 64, 18, 63, 12, 0xfc0},
    {32, 32, 19, 31, 14, 0x3e0},
    {256, 128, 16, 255, 9, 0x7f00},
    {256, 64, 16, 255, 10, 0x3f00},
    {256, 32, 16, 255, 11, 0x1f00},
    {128, 256, 17, 127, 9, 0x7f80},
    {128, 64, 17, 127, 11, 0x1f80},
    {128, 32, 17, 127, 12, 0xf80},
    {64, 256, 18, 63, 10, 0x3fc0},
    {64, 128, 18, 63, 11, 0x1fc0},
    {64, 32, 18, 63, 13, 0x7c0},
    {32, 256, 19, 31, 11, 0x1fe0},
    {32, 128, 19, 31, 12, 0xfe0},
    {32, 64, 19, 31, 13, 0x7e0},
};

int texture_size_code(int width, int height) {
  for (int code = 1; code <= 16; ++code) {
    if (kTextureSizes[code].width == width && kTextureSizes[code].height == height) return code;
  }
  return 0;
}

int texture_target_side(int side) {
  if (side > 255) return 256;
  if (side <= 32) return 32;
  if (side <= 64) return 64;
  if (side <= 128) return 128;
  return 256;
}

void material_set_texture(Material* mat, const uint32_t* texels, int flags, int reserved,
                          int size_code) {
  mat->flags = flags;
  mat->reserved0 = reserved;
  mat->texels = texels;
  mat->size_code = size_code;
  if (size_code >= 1 && size_code <= 4) {
    mat->width = kTextureSizes[size_code].width;
    mat->height = kTextureSizes[size_code].height;
  }
  // An unknown code leaves the sampling parameters and the ready flag as they were.
  if (size_code < 1 || size_code > 16) return;
  const TextureSize& ts = kTextureSizes[size_code];
  mat->u_shift = ts.u_shift;
  mat->u_mask = ts.u_mask;
  mat->v_shift = ts.v_shift;
  mat->v_mask = ts.v_mask;
  mat->texture_ready = 1;
}

int texture_resample(const uint32_t* src, int src_height, uint32_t* dst, int src_width) {
  if (src_width <= 0 || src_height <= 0) return 0;
  const int dst_width = texture_target_side(src_width);
  const int dst_height = texture_target_side(src_height);
  // 16.16 steps, accumulated; 64-bit so wide sources cannot overflow the product.
  const int64_t step_x = (int64_t)src_width * 65536 / dst_width;
  const int64_t step_y = (int64_t)src_height * 65536 / dst_height;
  int64_t pos_y = 0;
  for (int row = 0; row < dst_height; ++row) {
    const uint32_t* src_row = src + (size_t)src_width * (size_t)(pos_y >> 16);
    int64_t pos_x = 0;
    uint32_t* out = dst + (size_t)row * dst_width;
    for (int col = 0; col < dst_width; ++col) {
      out[col] = src_row[pos_x >> 16];
      pos_x += step_x;
    }
    pos_y += step_y;
  }
  return texture_size_code(dst_width, dst_height);
}
