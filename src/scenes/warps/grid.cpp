// Grid warps. Inside a cell the edges and the rows step by differences shifted down by the
// cell's side (a power of two), so a cell costs no division; the SIMD forms step four
// pixels of a row at once and read the texels one by one.
#include "scenes/warps/grid.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "display/frame.h"
#include "sequencer/sequencer.h"

namespace {

int log2_exact(int n) {
  int s = 0;
  while ((1 << s) < n) ++s;
  return (1 << s) == n ? s : -1;
}

struct CellShape {
  int width, height, width_shift, height_shift;
};

bool cell_shape(int columns, int rows, CellShape* shape) {
  if (columns < 1 || rows < 1 || columns > kWarpGridMaxColumns || rows > kWarpGridMaxRows)
    return false;
  if (kFrameWidth % columns != 0 || kFrameHeight % rows != 0) return false;
  shape->width = kFrameWidth / columns;
  shape->height = kFrameHeight / rows;
  shape->width_shift = log2_exact(shape->width);
  shape->height_shift = log2_exact(shape->height);
  return shape->width_shift >= 0 && shape->height_shift >= 0;
}

// The per-step difference, in 64 bits so corners far apart cannot overflow the subtraction.
inline int32_t step(int32_t from, int32_t to, int shift) {
  return static_cast<int32_t>((static_cast<int64_t>(to) - from) >> shift);
}

// Whether every sample of a cell lies inside a frame-sized picture. The edges and the rows
// step by differences rounded down, so a sample lies at most (cell width - 1) + (cell height
// - 1) units of 1/65536 pixel below the smallest corner, and never above the largest.
bool cell_inside(const int32_t* u, const int32_t* v, int stride, const CellShape& cs) {
  const int64_t margin = cs.width - 1 + cs.height - 1;
  const auto inside = [&](const int32_t* c, int limit) {
    const int64_t lo = std::min({c[0], c[1], c[stride], c[stride + 1]});
    const int64_t hi = std::max({c[0], c[1], c[stride], c[stride + 1]});
    return lo >= margin && hi < (int64_t{limit} << 16);
  };
  return inside(u, kFrameWidth) && inside(v, kFrameHeight);
}

// Walks every cell and hands each pixel row of it to span(dst, u, v, du, dv, count, inside),
// inside telling whether the cell's samples all lie in a frame-sized picture.
template <class Span>
bool grid_walk(uint32_t* target, const WarpGrid& grid, int columns, int rows, Span span) {
  CellShape cs;
  if (!cell_shape(columns, rows, &cs)) return false;
  const int stride = columns + 1;
  for (int cy = 0; cy < rows; ++cy) {
    for (int cx = 0; cx < columns; ++cx) {
      const int k = cy * stride + cx;
      const bool inside = cell_inside(grid.u + k, grid.v + k, stride, cs);
      int32_t lu = grid.u[k], lv = grid.v[k];
      int32_t ru = grid.u[k + 1], rv = grid.v[k + 1];
      const int32_t dlu = step(lu, grid.u[k + stride], cs.height_shift);
      const int32_t dlv = step(lv, grid.v[k + stride], cs.height_shift);
      const int32_t dru = step(ru, grid.u[k + stride + 1], cs.height_shift);
      const int32_t drv = step(rv, grid.v[k + stride + 1], cs.height_shift);
      uint32_t* dst = target + cy * cs.height * kFrameWidth + cx * cs.width;
      for (int y = 0; y < cs.height; ++y, dst += kFrameWidth) {
        span(dst, lu, lv, step(lu, ru, cs.width_shift), step(lv, rv, cs.width_shift), cs.width,
             inside);
        lu += dlu, lv += dlv, ru += dru, rv += drv;
      }
    }
  }
  return true;
}

inline uint32_t texture_index(uint32_t u, uint32_t v) {
  return ((v >> 8) & 0xFF00) | ((u >> 16) & 0xFF);
}

inline uint32_t picture_index(int32_t u, int32_t v) {
  const int x = std::clamp(u >> 16, 0, kFrameWidth - 1);
  const int y = std::clamp(v >> 16, 0, kFrameHeight - 1);
  return static_cast<uint32_t>(y * kFrameWidth + x);
}

// Four lanes u, u + du, u + 2 du, u + 3 du with 32-bit wrap-around like the plain adds.
inline __m128i lanes(int32_t start, int32_t delta) {
  const uint32_t s = static_cast<uint32_t>(start), d = static_cast<uint32_t>(delta);
  return _mm_setr_epi32(static_cast<int>(s), static_cast<int>(s + d), static_cast<int>(s + 2 * d),
                        static_cast<int>(s + 3 * d));
}

// Lanes clamped to 0..hi (SSE2 has no 32-bit min or max).
inline __m128i clamp_lanes(__m128i x, int hi) {
  x = _mm_andnot_si128(_mm_cmplt_epi32(x, _mm_setzero_si128()), x);
  const __m128i top = _mm_set1_epi32(hi);
  const __m128i over = _mm_cmpgt_epi32(x, top);
  return _mm_or_si128(_mm_and_si128(over, top), _mm_andnot_si128(over, x));
}

template <class Index>
inline void span_simd(uint32_t* dst, const uint32_t* src, int32_t u, int32_t v, int32_t du,
                      int32_t dv, int count, Index index) {
  __m128i uu = lanes(u, du), vv = lanes(v, dv);
  const __m128i du4 = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(du) * 4));
  const __m128i dv4 = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(dv) * 4));
  alignas(16) uint32_t at[4];
  int c = 0;
  for (; c + 4 <= count; c += 4) {
    _mm_store_si128(reinterpret_cast<__m128i*>(at), index(uu, vv));
    dst[c] = src[at[0]];
    dst[c + 1] = src[at[1]];
    dst[c + 2] = src[at[2]];
    dst[c + 3] = src[at[3]];
    uu = _mm_add_epi32(uu, du4);
    vv = _mm_add_epi32(vv, dv4);
  }
  // Cells narrower than four pixels (never the scenes' 8) finish one at a time.
  uint32_t pu = static_cast<uint32_t>(u) + static_cast<uint32_t>(du) * c;
  uint32_t pv = static_cast<uint32_t>(v) + static_cast<uint32_t>(dv) * c;
  for (; c < count; ++c, pu += du, pv += dv) {
    _mm_store_si128(reinterpret_cast<__m128i*>(at), index(_mm_set1_epi32(static_cast<int>(pu)),
                                                          _mm_set1_epi32(static_cast<int>(pv))));
    dst[c] = src[at[0]];
  }
}

}  // namespace

bool grid_warp_texture_plain(uint32_t* target, const uint32_t* texture, const WarpGrid& grid,
                             int columns, int rows) {
  return grid_walk(
      target, grid, columns, rows,
      [texture](uint32_t* dst, int32_t u, int32_t v, int32_t du, int32_t dv, int n, bool) {
        uint32_t pu = static_cast<uint32_t>(u), pv = static_cast<uint32_t>(v);
        for (int c = 0; c < n; ++c, pu += du, pv += dv) dst[c] = texture[texture_index(pu, pv)];
      });
}

bool grid_warp_texture_simd(uint32_t* target, const uint32_t* texture, const WarpGrid& grid,
                            int columns, int rows) {
  const auto index = [](__m128i u, __m128i v) {
    return _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 8), _mm_set1_epi32(0xFF00)),
                        _mm_and_si128(_mm_srli_epi32(u, 16), _mm_set1_epi32(0xFF)));
  };
  return grid_walk(target, grid, columns, rows,
                   [&](uint32_t* dst, int32_t u, int32_t v, int32_t du, int32_t dv, int n, bool) {
                     span_simd(dst, texture, u, v, du, dv, n, index);
                   });
}

bool grid_warp_texture(uint32_t* target, const uint32_t* texture, const WarpGrid& grid, int columns,
                       int rows) {
  return has_mmx ? grid_warp_texture_simd(target, texture, grid, columns, rows)
                 : grid_warp_texture_plain(target, texture, grid, columns, rows);
}

bool grid_warp_picture_plain(uint32_t* target, const uint32_t* picture, const WarpGrid& grid,
                             int columns, int rows) {
  return grid_walk(
      target, grid, columns, rows,
      [picture](uint32_t* dst, int32_t u, int32_t v, int32_t du, int32_t dv, int n, bool) {
        uint32_t pu = static_cast<uint32_t>(u), pv = static_cast<uint32_t>(v);
        for (int c = 0; c < n; ++c, pu += du, pv += dv)
          dst[c] = picture[picture_index(static_cast<int32_t>(pu), static_cast<int32_t>(pv))];
      });
}

bool grid_warp_picture_simd(uint32_t* target, const uint32_t* picture, const WarpGrid& grid,
                            int columns, int rows) {
  const auto index = [](__m128i u, __m128i v) {
    const __m128i x = clamp_lanes(_mm_srai_epi32(u, 16), kFrameWidth - 1);
    const __m128i y = clamp_lanes(_mm_srai_epi32(v, 16), kFrameHeight - 1);
    // y * 320 = (y << 8) + (y << 6): no 32-bit lane multiply in SSE2.
    return _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(y, 8), _mm_slli_epi32(y, 6)), x);
  };
  // Cells whose samples all lie inside the picture (nearly all: the lens keeps its corners
  // a pixel inside) need no clamping.
  const auto inside_index = [](__m128i u, __m128i v) {
    const __m128i y = _mm_srli_epi32(v, 16);
    return _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(y, 8), _mm_slli_epi32(y, 6)),
                         _mm_srli_epi32(u, 16));
  };
  return grid_walk(
      target, grid, columns, rows,
      [&](uint32_t* dst, int32_t u, int32_t v, int32_t du, int32_t dv, int n, bool inside) {
        if (inside)
          span_simd(dst, picture, u, v, du, dv, n, inside_index);
        else
          span_simd(dst, picture, u, v, du, dv, n, index);
      });
}

bool grid_warp_picture(uint32_t* target, const uint32_t* picture, const WarpGrid& grid, int columns,
                       int rows) {
  return has_mmx ? grid_warp_picture_simd(target, picture, grid, columns, rows)
                 : grid_warp_picture_plain(target, picture, grid, columns, rows);
}

namespace {

int32_t to_fixed(float v) {
  return static_cast<int32_t>(v * 65536.0f);
}

template <class Corner>
void fill_corners(WarpGrid& grid, Corner corner) {
  for (int j = 0; j <= kWarpGridRows; ++j) {
    for (int i = 0; i <= kWarpGridColumns; ++i) {
      const float x = static_cast<float>(8 * (i - 20)), y = static_cast<float>(8 * (j - 15));
      const int k = j * (kWarpGridColumns + 1) + i;
      corner(x, y, &grid.u[k], &grid.v[k]);
    }
  }
}

}  // namespace

void warp_grid_sphere(WarpGrid& grid, float amount, float angle) {
  const float a = std::clamp(amount, 0.0f, 1.0f);
  const float d = 1000.0f - 950.0f * a;
  const float o = std::sqrt(d * d + 40000.0f);
  const float k = 1.0f - 0.1f * a;
  const float s = std::sin(angle), c = std::cos(angle);
  fill_corners(grid, [&](float x, float y, int32_t* u, int32_t* v) {
    const float px = x * k, py = y * k;
    const float rx = c * px - s * py, ry = s * px + c * py;
    const float len = 1.0f / std::sqrt(rx * rx + ry * ry + d * d);
    // One pixel inside the picture on every side.
    *u = std::clamp(to_fixed(160.0f + rx * o * len), 65536, 20840448);
    *v = std::clamp(to_fixed(120.0f + ry * o * len), 65536, 15597568);
  });
}

void warp_grid_swirls(WarpGrid& grid, float phase, float strength, float time) {
  const float c1x = 40.0f * std::cos(1.5f * time) + 20.0f;
  const float c1y = 80.0f * std::sin(1.5f * time) + 70.0f;
  const float c2x = 40.0f + 34.0f * std::cos(time + 123.0f);
  const float c2y = 25.0f - 50.0f * std::sin((time + 123.0f) * 0.5f);
  const float k = 1.0f / std::sqrt(625.0f);
  fill_corners(grid, [&](float x, float y, int32_t* u, int32_t* v) {
    // The first swirl turns about C1 by an angle that rings outwards from it...
    const float px = x + c1x, py = y + c1y;
    const float h1 = strength * std::cos(std::sqrt(px * px + py * py) * 0.5f * k + phase);
    const float c = std::cos(h1), s = std::sin(h1);
    const float rx = px * c - py * s - c1x, ry = px * s + py * c - c1y;
    // ...and the second turns the result about C2 the other way round the rings.
    const float sx = rx + c2x, sy = ry + c2y;
    const float h2 = strength * std::sin(std::sqrt(sx * sx + sy * sy) * 0.5f * k - phase);
    const float c2 = std::cos(h2), s2 = std::sin(h2);
    const float tx = sx * c2 - sy * s2, ty = sx * s2 + sy * c2;
    *u = to_fixed((tx - c2x) * 1.25f * 0.5f + 128.0f + 128.0f);
    *v = to_fixed(128.0f + ty - c2y);
  });
}
