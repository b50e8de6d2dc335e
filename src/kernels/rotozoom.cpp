// Full-screen texture mappers in 16.16 fixed point: a rotated, zoomed tiling of a 256 x 256
// texture, and an enlarged centre window of a frame-sized picture added onto the frame.
// Both step linearly across the target, so the SIMD forms compute four coordinates at once;
// the texel reads stay one at a time.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

constexpr float kCentre = 127.5f + 1024.0f;  // the 1024 keeps every coordinate positive

struct RotozoomSteps {
  uint32_t u, v;            // row start: u the texture row, v the texture column
  uint32_t du, dv;          // per pixel to the right
  uint32_t du_row, dv_row;  // per row down
};

int32_t fixed(float v) {
  return static_cast<int32_t>(v * 65536.0f);
}

RotozoomSteps rotozoom_steps(float angle, float radius) {
  auto point = [radius](float degrees) {
    const float b = degrees * 3.141592f / 180.0f;
    return std::pair{kCentre + radius * std::cos(b), kCentre + radius * std::sin(b)};
  };
  // Top-left, top-right and bottom-left corners of the target.
  const auto [x0, y0] = point(angle);
  const auto [x1, y1] = point(angle + 90.0f);
  const auto [x3, y3] = point(angle + 270.0f);
  RotozoomSteps s;
  s.v = static_cast<uint32_t>(fixed(x0));
  s.u = static_cast<uint32_t>(fixed(y0));
  s.dv = static_cast<uint32_t>(fixed((x1 - x0) / 320.0f));
  s.du = static_cast<uint32_t>(fixed((y1 - y0) / 320.0f));
  s.dv_row = static_cast<uint32_t>(fixed((x3 - x0) / 240.0f));
  s.du_row = static_cast<uint32_t>(fixed((y3 - y0) / 240.0f));
  return s;
}

// Row from bits 16..23 of u, column from bits 16..23 of v: the tiling wraps by masking.
inline uint32_t rotozoom_index(uint32_t u, uint32_t v) {
  return ((u >> 8) & 0xFF00) | ((v >> 16) & 0xFF);
}

// Where each target column reads its source column (the same on every row), and the run of
// columns that read inside the picture: columns left of 0 are skipped, the row ends at the
// first past 319.
struct ZoomColumns {
  int source[kFrameWidth];
  int first = 0, end = 0;
  int32_t v = 0, dv = 0;
};

ZoomColumns zoom_columns(float s) {
  s = std::max(s, 3.0f);
  const float x0 = 160.0f - 0.5f * s, y0 = 120.0f - 0.375f * s;
  const float du = s / 320.0f, dv = 0.75f * s / 240.0f;
  const float u = x0 + (std::ceil(x0) - x0) * du, v = y0 + (std::ceil(y0) - y0) * dv;
  ZoomColumns z;
  uint32_t fu = static_cast<uint32_t>(fixed(u));
  const uint32_t fdu = static_cast<uint32_t>(fixed(du));
  z.first = kFrameWidth;
  z.end = kFrameWidth;
  for (int c = 0; c < kFrameWidth; ++c, fu += fdu) {
    const int sx = static_cast<int32_t>(fu) >> 16;
    z.source[c] = sx;
    if (sx < 0) continue;
    if (sx > kFrameWidth - 1) {
      z.end = c;
      break;
    }
    z.first = std::min(z.first, c);
  }
  z.end = std::max(z.end, z.first);
  z.v = fixed(v);
  z.dv = fixed(dv);
  return z;
}

template <class Row>
void zoom_rows(uint32_t* target, const ZoomColumns& z, Row row) {
  uint32_t v = static_cast<uint32_t>(z.v);
  for (int r = 0; r < kFrameHeight; ++r, v += static_cast<uint32_t>(z.dv)) {
    const int sy = static_cast<int32_t>(v) >> 16;
    if (sy < 0) continue;
    if (sy > kFrameHeight - 1) break;
    row(target + r * kFrameWidth, sy * kFrameWidth);
  }
}

inline uint32_t add_bytes_saturate(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF);
    out |= std::min<uint32_t>(sum, 255) << shift;
  }
  return out;
}

}  // namespace

void rotozoom_draw_plain(uint32_t* target, const uint32_t* texture, float angle, float radius) {
  RotozoomSteps s = rotozoom_steps(angle, radius);
  for (int r = 0; r < kFrameHeight; ++r) {
    uint32_t u = s.u, v = s.v;
    uint32_t* row = target + r * kFrameWidth;
    for (int c = 0; c < kFrameWidth; ++c, u += s.du, v += s.dv)
      row[c] = texture[rotozoom_index(u, v)];
    s.u += s.du_row;
    s.v += s.dv_row;
  }
}

void rotozoom_draw_simd(uint32_t* target, const uint32_t* texture, float angle, float radius) {
  RotozoomSteps s = rotozoom_steps(angle, radius);
  const auto lanes = [](uint32_t step) {
    return _mm_setr_epi32(0, static_cast<int>(step), static_cast<int>(2 * step),
                          static_cast<int>(3 * step));
  };
  const __m128i du_lanes = lanes(s.du), dv_lanes = lanes(s.dv);
  const __m128i du4 = _mm_set1_epi32(static_cast<int>(s.du * 4));
  const __m128i dv4 = _mm_set1_epi32(static_cast<int>(s.dv * 4));
  const __m128i row_mask = _mm_set1_epi32(0xFF00), col_mask = _mm_set1_epi32(0xFF);
  alignas(16) uint32_t index[4];
  for (int r = 0; r < kFrameHeight; ++r) {
    __m128i u = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(s.u)), du_lanes);
    __m128i v = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(s.v)), dv_lanes);
    uint32_t* row = target + r * kFrameWidth;
    for (int c = 0; c < kFrameWidth; c += 4) {
      const __m128i i = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(u, 8), row_mask),
                                     _mm_and_si128(_mm_srli_epi32(v, 16), col_mask));
      _mm_store_si128(reinterpret_cast<__m128i*>(index), i);
      row[c] = texture[index[0]];
      row[c + 1] = texture[index[1]];
      row[c + 2] = texture[index[2]];
      row[c + 3] = texture[index[3]];
      u = _mm_add_epi32(u, du4);
      v = _mm_add_epi32(v, dv4);
    }
    s.u += s.du_row;
    s.v += s.dv_row;
  }
}

void rotozoom_draw(uint32_t* target, const uint32_t* texture, float angle, float radius) {
  if (has_mmx)
    rotozoom_draw_simd(target, texture, angle, radius);
  else
    rotozoom_draw_plain(target, texture, angle, radius);
}

void zoom_add_draw_plain(uint32_t* target, const uint32_t* source, float width) {
  const ZoomColumns z = zoom_columns(width);
  zoom_rows(target, z, [&](uint32_t* dst, int src_row) {
    for (int c = z.first; c < z.end; ++c)
      dst[c] = add_bytes_saturate(dst[c], source[src_row + z.source[c]]);
  });
}

void zoom_add_draw_simd(uint32_t* target, const uint32_t* source, float width) {
  const ZoomColumns z = zoom_columns(width);
  zoom_rows(target, z, [&](uint32_t* dst, int src_row) {
    const uint32_t* src = source + src_row;
    int c = z.first;
    for (; c + 4 <= z.end; c += 4) {
      const __m128i s = _mm_setr_epi32(
          static_cast<int>(src[z.source[c]]), static_cast<int>(src[z.source[c + 1]]),
          static_cast<int>(src[z.source[c + 2]]), static_cast<int>(src[z.source[c + 3]]));
      __m128i* d = reinterpret_cast<__m128i*>(dst + c);
      _mm_storeu_si128(d, _mm_adds_epu8(_mm_loadu_si128(d), s));
    }
    for (; c < z.end; ++c) dst[c] = add_bytes_saturate(dst[c], src[z.source[c]]);
  });
}

void zoom_add_draw(uint32_t* target, const uint32_t* source, float width) {
  if (has_mmx)
    zoom_add_draw_simd(target, source, width);
  else
    zoom_add_draw_plain(target, source, width);
}
