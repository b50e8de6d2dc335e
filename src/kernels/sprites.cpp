// Scaled sprites added onto a 320 x 240 picture with saturation. Both drawers share one
// geometry step: the 16.16 stepping of the source, the clip to the target, and a table of
// source columns, so every sampled texel lies inside the source whatever the position,
// size or rounding (a sprite far off screen or magnified a million times included).
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

int sprite_source_width = 256;
int sprite_source_height = 256;

namespace {

// Coordinates beyond this lie far outside any target; clamping them first keeps every
// conversion to an integer defined without moving a pixel that can be seen.
constexpr float kFar = 1.0e12f;

struct SpriteLayout {
  int x, y, w, h;         // first target column and row, columns and rows drawn
  int64_t v, dv;          // 16.16 source row of the first row, its step
  int cols[kFrameWidth];  // source column of each drawn column
};

// Steps the geometry of a sprite; false when nothing of it lands in the target.
bool sprite_layout(float x, float y, float width, float height, SpriteLayout& out) {
  const int src_w = sprite_source_width, src_h = sprite_source_height;
  if (src_w <= 0 || src_h <= 0) return false;
  // Below one pixel the truncated size is 0; NaN and infinite sizes draw nothing either.
  if (!(width >= 1.0f) || !(height >= 1.0f) || std::isinf(width) || std::isinf(height))
    return false;
  if (!(std::fabs(x) < kFar) || !(std::fabs(y) < kFar)) return false;
  width = std::min(width, kFar);
  height = std::min(height, kFar);

  const float su = static_cast<float>(src_w) / width;
  const float sv = static_cast<float>(src_h) / height;
  int64_t w = static_cast<int64_t>(width);
  int64_t h = static_cast<int64_t>(height);
  const int64_t du = static_cast<int64_t>(su * 65536.0f);
  const int64_t dv = static_cast<int64_t>(sv * 65536.0f);

  const float x0 = x - width * 0.5f;
  const float y0 = y - height * 0.5f;
  const float fx = std::ceil(x0), fy = std::ceil(y0);
  int64_t X = static_cast<int64_t>(fx);
  int64_t Y = static_cast<int64_t>(fy);
  float ustart = (fx - x0) * su;
  float vstart = (fy - y0) * sv;
  if (Y < 0) {
    vstart += static_cast<float>(-Y) * sv;
    h += Y;
    Y = 0;
  }
  if (X < 0) {
    ustart += static_cast<float>(-X) * su;
    w += X;
    X = 0;
  }
  // Clipped at the target's last column and row themselves, so a sprite that covers the
  // picture reaches its right and bottom edges.
  if (X + w > sprite_target_width) w = sprite_target_width - X;
  if (Y + h > sprite_target_height) h = sprite_target_height - Y;
  if (w <= 0 || h <= 0) return false;

  const int64_t last_col = src_w - 1;
  int64_t u = static_cast<int64_t>(std::min(ustart, kFar) * 65536.0f);
  for (int64_t c = 0; c < w; ++c, u += du)
    out.cols[c] = static_cast<int>(std::clamp<int64_t>(u >> 16, 0, last_col));
  out.x = static_cast<int>(X);
  out.y = static_cast<int>(Y);
  out.w = static_cast<int>(w);
  out.h = static_cast<int>(h);
  out.v = static_cast<int64_t>(std::min(vstart, kFar) * 65536.0f);
  out.dv = dv;
  return true;
}

inline const uint32_t* source_row(const uint32_t* source, int64_t v) {
  const int64_t row = std::clamp<int64_t>(v >> 16, 0, sprite_source_height - 1);
  return source + row * sprite_source_width;
}

inline int tint_factor(float f) {
  // Factors outside 0..1 would index the product table out of its rows.
  if (!(f > 0.0f)) return 0;
  if (f >= 1.0f) return 255;
  return static_cast<int>(f * 255.0f);
}

inline uint32_t add_saturate_rgb(uint32_t dst, uint32_t texel) {
  const uint32_t r = std::min<uint32_t>(255, ((dst >> 16) & 0xFF) + ((texel >> 16) & 0xFF));
  const uint32_t g = std::min<uint32_t>(255, ((dst >> 8) & 0xFF) + ((texel >> 8) & 0xFF));
  const uint32_t b = std::min<uint32_t>(255, (dst & 0xFF) + (texel & 0xFF));
  return (texel & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

inline __m128i gather4(const uint32_t* row, const int* cols) {
  return _mm_set_epi32(static_cast<int>(row[cols[3]]), static_cast<int>(row[cols[2]]),
                       static_cast<int>(row[cols[1]]), static_cast<int>(row[cols[0]]));
}

}  // namespace

void sprite_draw_additive_plain(float x, float y, float width, float height, uint32_t* target,
                                const uint32_t* source) {
  SpriteLayout L;
  if (!sprite_layout(x, y, width, height, L)) return;
  int64_t v = L.v;
  for (int r = 0; r < L.h; ++r, v += L.dv) {
    const uint32_t* src = source_row(source, v);
    uint32_t* dst = target + static_cast<int64_t>(L.y + r) * sprite_target_pitch + L.x;
    for (int c = 0; c < L.w; ++c) dst[c] = add_saturate_rgb(dst[c], src[L.cols[c]]);
  }
}

void sprite_draw_additive_simd(float x, float y, float width, float height, uint32_t* target,
                               const uint32_t* source) {
  SpriteLayout L;
  if (!sprite_layout(x, y, width, height, L)) return;
  int64_t v = L.v;
  for (int r = 0; r < L.h; ++r, v += L.dv) {
    const uint32_t* src = source_row(source, v);
    uint32_t* dst = target + static_cast<int64_t>(L.y + r) * sprite_target_pitch + L.x;
    int c = 0;
    for (; c + 4 <= L.w; c += 4) {
      __m128i* d = reinterpret_cast<__m128i*>(dst + c);
      _mm_storeu_si128(d, _mm_adds_epu8(_mm_loadu_si128(d), gather4(src, L.cols + c)));
    }
    // The swarm's sprites are a few pixels wide, so the rest of a row is a good part of the
    // work: one saturating add a pixel there too, rather than three clamped channel sums.
    for (; c < L.w; ++c) {
      const __m128i t = _mm_cvtsi32_si128(static_cast<int>(src[L.cols[c]]));
      const __m128i d = _mm_cvtsi32_si128(static_cast<int>(dst[c]));
      dst[c] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_adds_epu8(d, t)));
    }
  }
}

void sprite_draw_tinted_plain(float x, float y, float width, float height, uint32_t* target,
                              const uint32_t* source, float red, float green, float blue) {
  SpriteLayout L;
  if (!sprite_layout(x, y, width, height, L)) return;
  const int32_t* kr = multiply_table + tint_factor(red) * 256;
  const int32_t* kg = multiply_table + tint_factor(green) * 256;
  const int32_t* kb = multiply_table + tint_factor(blue) * 256;
  int64_t v = L.v;
  for (int r = 0; r < L.h; ++r, v += L.dv) {
    const uint32_t* src = source_row(source, v);
    uint32_t* dst = target + static_cast<int64_t>(L.y + r) * sprite_target_pitch + L.x;
    for (int c = 0; c < L.w; ++c) {
      const uint32_t t = src[L.cols[c]];
      const uint32_t tinted = (t & 0xFF000000u) | (uint32_t(kr[(t >> 16) & 0xFF]) << 16) |
                              (uint32_t(kg[(t >> 8) & 0xFF]) << 8) | uint32_t(kb[t & 0xFF]);
      dst[c] = add_saturate_rgb(dst[c], tinted);
    }
  }
}

void sprite_draw_tinted_simd(float x, float y, float width, float height, uint32_t* target,
                             const uint32_t* source, float red, float green, float blue) {
  SpriteLayout L;
  if (!sprite_layout(x, y, width, height, L)) return;
  const int16_t kr = static_cast<int16_t>(tint_factor(red));
  const int16_t kg = static_cast<int16_t>(tint_factor(green));
  const int16_t kb = static_cast<int16_t>(tint_factor(blue));
  // Lanes of two pixels: blue, green, red, byte 3 (which takes no tint and carries no colour).
  const __m128i k = _mm_setr_epi16(kb, kg, kr, 0, kb, kg, kr, 0);
  const __m128i zero = _mm_setzero_si128();
  const int32_t* tr = multiply_table + kr * 256;
  const int32_t* tg = multiply_table + kg * 256;
  const int32_t* tb = multiply_table + kb * 256;
  int64_t v = L.v;
  for (int row = 0; row < L.h; ++row, v += L.dv) {
    const uint32_t* src = source_row(source, v);
    uint32_t* dst = target + static_cast<int64_t>(L.y + row) * sprite_target_pitch + L.x;
    int c = 0;
    for (; c + 4 <= L.w; c += 4) {
      const __m128i t = gather4(src, L.cols + c);
      // (k * c) >> 8 stays below 256, so the pack never saturates.
      const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), k), 8);
      const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), k), 8);
      __m128i* d = reinterpret_cast<__m128i*>(dst + c);
      _mm_storeu_si128(d, _mm_adds_epu8(_mm_loadu_si128(d), _mm_packus_epi16(lo, hi)));
    }
    for (; c < L.w; ++c) {
      const uint32_t t = src[L.cols[c]];
      const uint32_t tinted = (uint32_t(tr[(t >> 16) & 0xFF]) << 16) |
                              (uint32_t(tg[(t >> 8) & 0xFF]) << 8) | uint32_t(tb[t & 0xFF]);
      dst[c] = add_saturate_rgb(dst[c], tinted);
    }
  }
}

void sprite_draw_additive(float x, float y, float width, float height, uint32_t* target,
                          const uint32_t* source) {
  if (has_mmx)
    sprite_draw_additive_simd(x, y, width, height, target, source);
  else
    sprite_draw_additive_plain(x, y, width, height, target, source);
}

void sprite_draw_tinted(float x, float y, float width, float height, uint32_t* target,
                        const uint32_t* source, float red, float green, float blue) {
  if (has_mmx)
    sprite_draw_tinted_simd(x, y, width, height, target, source, red, green, blue);
  else
    sprite_draw_tinted_plain(x, y, width, height, target, source, red, green, blue);
}
