// The picture morph, its textured triangle fill and the scan-order smear.
#include "assets/morph.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

// One channel's accumulator step: the accumulator holds the channel in bits 16..23 and moves
// k/128 of the way towards the pixel. It never leaves 0 .. 255 << 16 for k up to 127, so the
// channel read back from bits 16..23 is always the filtered value.
inline int32_t smear_step(int32_t acc, uint32_t channel, int32_t k) {
  return acc + ((static_cast<int32_t>(channel << 16) - acc) >> 7) * k;
}

inline uint32_t smear_pixel(uint32_t pixel, int32_t acc[3], int32_t k) {
  acc[0] = smear_step(acc[0], pixel & 0xFF, k);
  acc[1] = smear_step(acc[1], (pixel >> 8) & 0xFF, k);
  acc[2] = smear_step(acc[2], (pixel >> 16) & 0xFF, k);
  return ((static_cast<uint32_t>(acc[2]) >> 16 & 0xFF) << 16) |
         ((static_cast<uint32_t>(acc[1]) >> 16 & 0xFF) << 8) |
         (static_cast<uint32_t>(acc[0]) >> 16 & 0xFF);
}

}  // namespace

void smear_scan(uint32_t* buffer, int strength) {
  const int32_t k = std::clamp(strength, 1, 127);
  int32_t back[3] = {0, 0, 0};
  for (int i = kFramePixels - 1; i >= 0; --i) buffer[i] = smear_pixel(buffer[i], back, k);
  int32_t forth[3] = {0, 0, 0};
  for (int i = 0; i < kFramePixels; ++i) buffer[i] = smear_pixel(buffer[i], forth, k);
}

namespace {

int32_t row_offsets[kFrameHeight] = {};

// The largest texel position in 16.16 fixed point along each axis.
constexpr int64_t kMaxU = (int64_t{kFrameWidth} << 16) - 1;
constexpr int64_t kMaxV = (int64_t{kFrameHeight} << 16) - 1;

inline int32_t float_bits(float f) {
  return std::bit_cast<int32_t>(f);
}

// Compared as bit patterns, so every negative value (and a negative NaN) counts as below 1
// and a positive NaN as above the far border.
inline void clamp_corner(MorphVertex* p) {
  if (float_bits(p->x) < float_bits(1.0f))
    p->x = 0.0f;
  else if (float_bits(p->x) > float_bits(318.0f))
    p->x = 320.0f;
  if (float_bits(p->y) < float_bits(1.0f))
    p->y = 0.0f;
  else if (float_bits(p->y) >= float_bits(239.0f))
    p->y = 240.0f;
  // The source's continuous extent; the span reads are kept inside it below.
  p->u = p->u >= 0.0f ? std::min(p->u, static_cast<float>(kFrameWidth)) : 0.0f;
  p->v = p->v >= 0.0f ? std::min(p->v, static_cast<float>(kFrameHeight)) : 0.0f;
}

// Truncation to 16.16 that cannot overflow (a sliver triangle can have huge gradients) and
// takes a NaN as 0.
inline int64_t to_fixed(float f) {
  const double d = static_cast<double>(f) * 65536.0;
  if (!(d == d)) return 0;
  return static_cast<int64_t>(std::clamp(d, -2147483648.0, 2147483647.0));
}

inline int ceil_column(float x) {
  // Float error on a long edge may step a hair past the screen.
  return static_cast<int>(std::ceil(std::clamp(x, 0.0f, static_cast<float>(kFrameWidth))));
}

struct Edge {
  float x = 0.0f, step = 0.0f;
};

struct Gradients {
  float du_dx, dv_dx, du_dy, dv_dy;
  int64_t du_fixed, dv_fixed;
};

void draw_span(uint32_t* row, const uint32_t* src, int xl, int xr, int64_t u, int64_t v,
               const Gradients& g) {
  const int64_t n = xr - xl;
  const int64_t u_last = u + g.du_fixed * (n - 1), v_last = v + g.dv_fixed * (n - 1);
  if (std::min(u, u_last) >= 0 && std::max(u, u_last) <= kMaxU && std::min(v, v_last) >= 0 &&
      std::max(v, v_last) <= kMaxV) {
    // Both ends inside the source, so every pixel between is: the plain inner loop.
    // Unsigned steps: the step after the last pixel may leave the int range (a sliver's
    // gradient), which must wrap harmlessly rather than overflow.
    uint32_t fu = static_cast<uint32_t>(u), fv = static_cast<uint32_t>(v);
    const uint32_t du = static_cast<uint32_t>(g.du_fixed), dv = static_cast<uint32_t>(g.dv_fixed);
    for (int x = xl; x < xr; ++x) {
      row[x] = src[(fu >> 16) + row_offsets[fv >> 16]];
      fu += du;
      fv += dv;
    }
    return;
  }
  // Rounding took a span's end past the source's border: the texel is held at the border.
  for (int x = xl; x < xr; ++x) {
    const int64_t cu = std::clamp<int64_t>(u, 0, kMaxU), cv = std::clamp<int64_t>(v, 0, kMaxV);
    row[x] = src[(cu >> 16) + row_offsets[cv >> 16]];
    u += g.du_fixed;
    v += g.dv_fixed;
  }
}

// Rows y_begin..y_end-1 between two edges; u and v follow the left edge.
void fill_rows(uint32_t* dst, const uint32_t* src, int y_begin, int y_end, Edge& left, Edge& right,
               float& u, float& v, float du_row, float dv_row, const Gradients& g) {
  for (int y = y_begin; y < y_end; ++y) {
    const int xl = ceil_column(left.x), xr = ceil_column(right.x);
    if (xr - xl > 0) {
      const float pre = static_cast<float>(xl) - left.x;
      draw_span(dst + y * kFrameWidth, src, xl, xr, to_fixed(u + pre * g.du_dx),
                to_fixed(v + pre * g.dv_dx), g);
    }
    left.x += left.step;
    right.x += right.step;
    u += du_row;
    v += dv_row;
  }
}

}  // namespace

void build_row_offsets() {
  for (int y = 0; y < kFrameHeight; ++y) row_offsets[y] = y * kFrameWidth;
}

void fill_textured_triangle(MorphVertex* a, MorphVertex* b, MorphVertex* c, uint32_t* dst,
                            const uint32_t* src) {
  clamp_corner(a);
  clamp_corner(b);
  clamp_corner(c);
  const MorphVertex* top = a;
  const MorphVertex* mid = b;
  const MorphVertex* bot = c;
  if (bot->y < mid->y) std::swap(mid, bot);
  if (bot->y < top->y) std::swap(top, bot);
  if (mid->y < top->y) std::swap(top, mid);

  const int y0 = static_cast<int>(std::ceil(top->y));
  const int y1 = static_cast<int>(std::ceil(mid->y));
  const int y2 = static_cast<int>(std::ceil(bot->y));
  if (y0 == y1 && y1 == y2) return;

  const float dx1 = mid->x - top->x, dy1 = mid->y - top->y;
  const float dx2 = bot->x - top->x, dy2 = bot->y - top->y;
  const float dx3 = bot->x - mid->x, dy3 = bot->y - mid->y;
  const float slope_short = dy1 > 0.0f ? dx1 / dy1 : 0.0f;
  const float slope_long = dy2 > 0.0f ? dx2 / dy2 : 0.0f;
  const float slope_lower = dy3 > 0.0f ? dx3 / dy3 : 0.0f;

  const float d = dx2 * dy1 - dx1 * dy2;
  if (d == 0.0f) return;
  const float du1 = mid->u - top->u, dv1 = mid->v - top->v;
  const float du2 = bot->u - top->u, dv2 = bot->v - top->v;
  Gradients g;
  g.du_dx = (dy1 * du2 - dy2 * du1) / d;
  g.dv_dx = (dy1 * dv2 - dy2 * dv1) / d;
  g.du_dy = (dx2 * du1 - dx1 * du2) / d;
  g.dv_dy = (dx2 * dv1 - dx1 * dv2) / d;
  g.du_fixed = to_fixed(g.du_dx);
  g.dv_fixed = to_fixed(g.dv_dx);

  bool long_on_right = slope_long > slope_short;
  if (top->y == mid->y) long_on_right = top->x > mid->x;
  if (mid->y == bot->y) long_on_right = bot->x > mid->x;

  // The long edge runs through both halves; the short edge is replaced at the middle row.
  const float pre_top = static_cast<float>(y0) - top->y;
  Edge long_edge{top->x + slope_long * pre_top, slope_long};
  Edge short_edge{top->x + slope_short * pre_top, slope_short};
  float u = top->u, v = top->v;
  float du_row = 0.0f, dv_row = 0.0f;
  auto follow_left = [&](const MorphVertex& from, float slope, float pre) {
    du_row = g.du_dy + g.du_dx * slope;
    dv_row = g.dv_dy + g.dv_dx * slope;
    u = from.u + du_row * pre;
    v = from.v + dv_row * pre;
  };
  if (y0 < y1) {
    follow_left(*top, long_on_right ? slope_short : slope_long, pre_top);
    if (long_on_right)
      fill_rows(dst, src, y0, y1, short_edge, long_edge, u, v, du_row, dv_row, g);
    else
      fill_rows(dst, src, y0, y1, long_edge, short_edge, u, v, du_row, dv_row, g);
  } else {
    follow_left(*top, slope_long, pre_top);
  }
  if (y1 < y2) {
    const float pre_mid = static_cast<float>(y1) - mid->y;
    Edge lower_edge{mid->x + slope_lower * pre_mid, slope_lower};
    if (long_on_right) {
      follow_left(*mid, slope_lower, pre_mid);
      fill_rows(dst, src, y1, y2, lower_edge, long_edge, u, v, du_row, dv_row, g);
    } else {
      // The long edge stays on the left: its u and v carry on from the upper half.
      fill_rows(dst, src, y1, y2, long_edge, lower_edge, u, v, du_row, dv_row, g);
    }
  }
}

namespace {

// The two warps share one walk of the grid: `from` is where the texture is read and the
// screen position moves weight w of the way to `to`.
void warp(uint32_t* dst, const uint32_t* src, const MorphPoint (&from)[kMorphRows][kMorphColumns],
          float from_dx, const MorphPoint (&to)[kMorphRows][kMorphColumns], float to_dx, float w) {
  static MorphVertex corner;
  static MorphVertex pair[2];
  auto at = [&](int r, int c) {
    const float ax = static_cast<float>(from[r][c].x) - from_dx;
    const float ay = static_cast<float>(from[r][c].y);
    const float bx = static_cast<float>(to[r][c].x) - to_dx;
    const float by = static_cast<float>(to[r][c].y);
    return MorphVertex{ax + w * (bx - ax), ay + w * (by - ay), ax, ay};
  };
  for (int r = 0; r + 1 < kMorphRows; ++r)
    for (int c = 0; c + 1 < kMorphColumns; ++c) {
      corner = at(r, c);
      pair[0] = at(r, c + 1);
      pair[1] = at(r + 1, c);
      fill_textured_triangle(&corner, &pair[0], &pair[1], dst, src);
      corner = at(r + 1, c + 1);
      pair[0] = at(r, c + 1);
      pair[1] = at(r + 1, c);
      fill_textured_triangle(&corner, &pair[0], &pair[1], dst, src);
    }
}

}  // namespace

void morph(uint32_t* dst, uint32_t* scratch, const uint32_t* first, const uint32_t* second,
           float s) {
  if (!(s > 0.0f)) s = 0.0f;
  if (s > 1.0f) s = 1.0f;
  // Cells the grid leaves out (all of them for a grid never loaded) would otherwise show
  // whatever another scene left in these shared buffers.
  fill_words(dst, 0, kFrameBytes);
  fill_words(scratch, 0, kFrameBytes);
  warp(dst, first, morph_grid.first, 0.0f, morph_grid.second, 320.0f, s);
  warp(scratch, second, morph_grid.second, 320.0f, morph_grid.first, 0.0f, 1.0f - s);
  crossfade(dst, dst, scratch, static_cast<int>(s * 255.0f), kFramePixels);
}
