// The rasterizer family. Every member shares the set-up (corner order, start rows, area,
// slopes, long-edge side), the plane gradients and the edge walker; the members differ in
// the span: mapping (affine in 16.16, or perspective divided once per run of 16 pixels),
// depth (none, test only, test and write; trunc(1e9 / z), larger is nearer) and pixel rule.
//
// All set-up and stepping is single-precision float, and every float-to-integer conversion
// truncates toward zero (a C++ cast), so the same corners give the same pixels everywhere.
#include "engine/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/kelp.h"

uint8_t raster_mul_table[65536];
uint8_t raster_add_table[65536];

void raster_build_tables() {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) {
      raster_mul_table[i * 256 + j] = static_cast<uint8_t>(static_cast<int>(i * j * 0.00390625));
      raster_add_table[i * 256 + j] = static_cast<uint8_t>(std::min(i + j, 255));
    }
  }
}

int raster_mode_for_flags(int f) {
  const bool lit = f & kMatLit, shaded = f & kMatShaded, half = f & kMatHalf;
  const bool add = f & kMatAdditive, alpha = f & kMatAlpha, persp = f & kMatPerspective;
  if (f == -1) return kRasterSolid;
  if (shaded && !persp) return kRasterShaded;
  if (add && !persp && !alpha) return kRasterAddTest;
  if (add && persp && alpha) return kRasterAddAlphaPersp;
  if (add && alpha && !persp) return kRasterAddAlpha;
  if (add && persp && !alpha) return kRasterAddWrite;
  if (lit) return kRasterLit;
  if (persp && half) return kRasterHalf;
  if (persp) return kRasterPersp;
  return kRasterPlain;
}

bool raster_mode_uses_alpha(int mode) {
  return mode == kRasterAddAlphaPersp || mode == kRasterAddAlpha;
}

namespace {

// Truncating float to 16.16 (or any) fixed point. Coordinates wrap modulo 2^32 so a texture
// keeps tiling far from the origin; NaN and infinities (a corner at z = 0 from an outside
// caller) become 0 instead of undefined behaviour.
inline uint32_t to_fixed(float f) {
  if (!(f > -9.0e18f && f < 9.0e18f)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(f));
}

// Depth values saturate: a wrapped depth would turn near into far.
inline uint32_t to_depth(float f) {
  if (!(f > -2147483648.0f)) return 0x80000000u;
  if (!(f < 2147483520.0f)) return 0x7fffff80u;
  return static_cast<uint32_t>(static_cast<int32_t>(f));
}

inline int ceil_int(float f) {
  if (!(f > -1.0e9f)) return -1000000000;
  if (!(f < 1.0e9f)) return 1000000000;
  return static_cast<int>(std::ceil(f));
}

template <int M>
struct Traits {
  static constexpr bool persp =
      M == kRasterAddAlphaPersp || M == kRasterLit || M == kRasterHalf || M == kRasterPersp;
  // 0 none, 1 test only, 2 test and write
  static constexpr int depth = (M == kRasterSolid || M == kRasterShaded || M == kRasterAddAlpha)
                                   ? 0
                                   : (M == kRasterAddTest ? 1 : 2);
  static constexpr bool intensity =
      M == kRasterShaded || M == kRasterAddTest || M == kRasterAddWrite;
  static constexpr bool colour = M == kRasterLit;
  // Interpolated quantities, in this order:
  //   affine:      u, v, [1/z], [intensity]
  //   perspective: u/z, v/z, 1/z, [r, g, b]
  static constexpr int count = M == kRasterSolid ? 0
                               : persp           ? (colour ? 6 : 3)
                                                 : 2 + (depth ? 1 : 0) + (intensity ? 1 : 0);
  static constexpr int depth_index = 2;
  static constexpr int intensity_index = depth ? 3 : 2;
};

template <int M>
inline void load_quantities(const RasterVertex& p, float* q) {
  using T = Traits<M>;
  if constexpr (T::persp) {
    const float w = 1.0f / p.z;
    q[0] = p.u * w;
    q[1] = p.v * w;
    q[2] = w;
    if constexpr (T::colour) {
      q[3] = p.r;
      q[4] = p.g;
      q[5] = p.b;
    }
  } else if constexpr (T::count > 0) {
    q[0] = p.u;
    q[1] = p.v;
    if constexpr (T::depth) q[T::depth_index] = 1.0f / p.z;
    if constexpr (T::intensity) q[T::intensity_index] = p.i;
  }
}

inline uint32_t channel_index(uint32_t fixed) {
  const int32_t v = static_cast<int32_t>(fixed) >> kRasterFixedShift;
  return static_cast<uint32_t>(std::clamp(v, 0, 255));
}

// Texel times a 256-byte table row, per channel.
inline uint32_t scale_texel(uint32_t t, const uint8_t* row) {
  return (uint32_t(row[(t >> 16) & 255]) << 16) | (uint32_t(row[(t >> 8) & 255]) << 8) |
         row[t & 255];
}

inline uint32_t add_pixel(uint32_t d, uint32_t m) {
  const uint8_t* add = raster_add_table;
  return (uint32_t(add[((d >> 8) & 0xff00) | ((m >> 16) & 255)]) << 16) |
         (uint32_t(add[(d & 0xff00) | ((m >> 8) & 255)]) << 8) |
         add[((d << 8) & 0xff00) | (m & 255)];
}

// Per-row state handed to a span.
// Pixel x of a span (0 <= x < count) is column first + x of the row; only [lo, hi) lies in
// the target and is touched.
struct Span {
  uint32_t* colour;  // the row
  int32_t* depth;
  int first;
  int count, lo, hi;
  float q[6];  // values at pixel 0
};

struct Steps {
  float dqdx[6];
  uint32_t fixed[6];  // per-pixel fixed-point steps
};

struct Context {
  const uint32_t* texels;
  uint32_t u_shift, u_mask, v_shift, v_mask;
  const uint8_t* alpha_row;
};

// Texel at 16.16 (u, v): coordinates wrap by masking.
inline uint32_t sample(const Context& c, uint32_t u, uint32_t v) {
  return c.texels[((u >> c.u_shift) & c.u_mask) + ((v >> c.v_shift) & c.v_mask)];
}

// Clamp = false: the caller has made sure r, g, b lie in 0..255 (16.16) for the whole span.
template <int M, bool Clamp = true>
inline void put_pixel(uint32_t* dst, uint32_t texel, uint32_t i, uint32_t r, uint32_t g, uint32_t b,
                      const Context& c) {
  if constexpr (M == kRasterPlain || M == kRasterPersp) {
    *dst = texel;
  } else if constexpr (M == kRasterShaded) {
    *dst = scale_texel(texel, raster_mul_table + channel_index(i) * 256);
  } else if constexpr (M == kRasterAddTest || M == kRasterAddWrite) {
    *dst = add_pixel(*dst, scale_texel(texel, raster_mul_table + channel_index(i) * 256));
  } else if constexpr (M == kRasterAddAlpha || M == kRasterAddAlphaPersp) {
    *dst = add_pixel(*dst, scale_texel(texel, c.alpha_row));
  } else if constexpr (M == kRasterLit) {
    const uint8_t* mul = raster_mul_table;
    const uint32_t ri = Clamp ? channel_index(r) : r >> kRasterFixedShift;
    const uint32_t gi = Clamp ? channel_index(g) : g >> kRasterFixedShift;
    const uint32_t bi = Clamp ? channel_index(b) : b >> kRasterFixedShift;
    *dst = (uint32_t(mul[ri * 256 + ((texel >> 16) & 255)]) << 16) |
           (uint32_t(mul[gi * 256 + ((texel >> 8) & 255)]) << 8) | mul[bi * 256 + (texel & 255)];
  } else if constexpr (M == kRasterHalf) {
    // mul[128][x] is x >> 1 exactly, so half and half is two shifted halves, no carry.
    *dst = ((*dst >> 1) & 0x7f7f7f) + ((texel >> 1) & 0x7f7f7f);
  }
}

template <int M>
void span_affine(const Span& s, const Steps& st, const Context& c) {
  using T = Traits<M>;
  uint32_t u = to_fixed(s.q[0] * kRasterFixedOne), v = to_fixed(s.q[1] * kRasterFixedOne);
  uint32_t z = 0, i = 0;
  if constexpr (T::depth) z = to_depth(s.q[T::depth_index] * kRasterDepthScale);
  if constexpr (T::intensity) i = to_fixed(s.q[T::intensity_index] * kRasterFixedOne);
  const uint32_t du = st.fixed[0], dv = st.fixed[1];
  const uint32_t dz = T::depth ? st.fixed[T::depth_index] : 0;
  const uint32_t di = T::intensity ? st.fixed[T::intensity_index] : 0;
  if (s.lo > 0) {
    const uint32_t k = static_cast<uint32_t>(s.lo);
    u += du * k;
    v += dv * k;
    z += dz * k;
    i += di * k;
  }
  uint32_t* col = s.colour + (s.first + s.lo);
  int32_t* dep = T::depth ? s.depth + (s.first + s.lo) : nullptr;
  for (int x = 0, n = s.hi - s.lo; x < n; ++x) {
    // The texel is fetched only for pixels that pass: nearest-first drawing fails many.
    if constexpr (T::depth) {
      if (static_cast<int32_t>(z) >= dep[x]) {
        put_pixel<M>(col + x, sample(c, u, v), i, 0, 0, 0, c);
        if constexpr (T::depth == 2) dep[x] = static_cast<int32_t>(z);
      }
    } else {
      put_pixel<M>(col + x, sample(c, u, v), i, 0, 0, 0, c);
    }
    u += du;
    v += dv;
    if constexpr (T::depth) z += dz;
    if constexpr (T::intensity) i += di;
  }
}

// Perspective: u and v are divided exactly at both ends of every run of 16 pixels (the last
// run may be shorter) and step linearly inside it; depth steps linearly in 1e9 / z.
template <int M, bool Clamp>
void span_persp(const Span& s, const Steps& st, const Context& c) {
  using T = Traits<M>;
  float uz = s.q[0], vz = s.q[1], w = s.q[2];
  const float duz = st.dqdx[0], dvz = st.dqdx[1], dw = st.dqdx[2];
  const float duz16 = duz * 16.0f, dvz16 = dvz * 16.0f, dw16 = dw * 16.0f;
  uint32_t z = to_depth(w * kRasterDepthScale);
  const uint32_t dz = st.fixed[2];
  uint32_t r = 0, g = 0, b = 0, dr = 0, dg = 0, db = 0;
  if constexpr (T::colour) {
    r = to_fixed(s.q[3] * kRasterFixedOne);
    g = to_fixed(s.q[4] * kRasterFixedOne);
    b = to_fixed(s.q[5] * kRasterFixedOne);
    dr = st.fixed[3];
    dg = st.fixed[4];
    db = st.fixed[5];
  }
  uint32_t u0 = 0, v0 = 0;
  bool have_start = false;
  for (int p = 0; p < s.hi;) {
    const int len = std::min(16, s.count - p);
    float uz1, vz1, w1;
    if (len == 16) {
      uz1 = uz + duz16;
      vz1 = vz + dvz16;
      w1 = w + dw16;
    } else {
      const float n = static_cast<float>(len);
      uz1 = uz + duz * n;
      vz1 = vz + dvz * n;
      w1 = w + dw * n;
    }
    if (p + len > s.lo) {
      if (!have_start) {
        u0 = to_fixed(uz * kRasterFixedOne / w);
        v0 = to_fixed(vz * kRasterFixedOne / w);
        have_start = true;
      }
      const uint32_t u1 = to_fixed(uz1 * kRasterFixedOne / w1),
                     v1 = to_fixed(vz1 * kRasterFixedOne / w1);
      int32_t du, dv;
      if (len == 16) {
        du = static_cast<int32_t>(u1 - u0) >> 4;
        dv = static_cast<int32_t>(v1 - v0) >> 4;
      } else {
        du = static_cast<int32_t>(u1 - u0) / len;
        dv = static_cast<int32_t>(v1 - v0) / len;
      }
      const int a = std::max(s.lo - p, 0), e = std::min(s.hi - p, len);
      const uint32_t k = static_cast<uint32_t>(a), kp = static_cast<uint32_t>(p + a);
      uint32_t u = u0 + static_cast<uint32_t>(du) * k, v = v0 + static_cast<uint32_t>(dv) * k;
      uint32_t zz = z + dz * kp;
      uint32_t rr = r + dr * kp, gg = g + dg * kp, bb = b + db * kp;
      uint32_t* col = s.colour + (s.first + p + a);
      int32_t* dep = s.depth + (s.first + p + a);
      for (int x = 0; x < e - a; ++x) {
        if (static_cast<int32_t>(zz) >= dep[x]) {
          put_pixel<M, Clamp>(col + x, sample(c, u, v), 0, rr, gg, bb, c);
          dep[x] = static_cast<int32_t>(zz);
        }
        u += static_cast<uint32_t>(du);
        v += static_cast<uint32_t>(dv);
        zz += dz;
        if constexpr (T::colour) {
          rr += dr;
          gg += dg;
          bb += db;
        }
      }
      u0 = u1;
      v0 = v1;
    }
    uz = uz1;
    vz = vz1;
    w = w1;
    p += len;
  }
}

// True when a colour channel that starts at `start` (16.16, at pixel 0 of the span) and
// steps by `step` stays within 0..255 over pixels lo .. hi - 1 of the span: it moves in a
// straight line, so both ends inside means no pixel in between leaves the table's rows.
inline bool channel_stays_in_range(uint32_t start, uint32_t step, const Span& s) {
  const uint32_t first = start + step * static_cast<uint32_t>(s.lo);
  const int64_t a = static_cast<int32_t>(first);
  const int64_t b = a + int64_t{static_cast<int32_t>(step)} * (s.hi - 1 - s.lo);
  constexpr int64_t kTop = int64_t{256} << kRasterFixedShift;
  return a >= 0 && a < kTop && b >= 0 && b < kTop;
}

template <int M>
inline void run_span(const Span& s, const Steps& st, const Context& c) {
  if constexpr (M == kRasterSolid) {
    std::memset(s.colour + (s.first + s.lo), 0, static_cast<size_t>(s.hi - s.lo) * 4);
  } else if constexpr (Traits<M>::persp) {
    if constexpr (Traits<M>::colour) {
      // The per-pixel clamps are needed only where a channel leaves 0..255.
      if (channel_stays_in_range(to_fixed(s.q[3] * kRasterFixedOne), st.fixed[3], s) &&
          channel_stays_in_range(to_fixed(s.q[4] * kRasterFixedOne), st.fixed[4], s) &&
          channel_stays_in_range(to_fixed(s.q[5] * kRasterFixedOne), st.fixed[5], s)) {
        span_persp<M, false>(s, st, c);
        return;
      }
    }
    span_persp<M, true>(s, st, c);
  } else {
    span_affine<M>(s, st, c);
  }
}

inline bool usable(const RasterVertex& p) {
  // Far beyond any target: such corners only come from broken callers.
  return std::fabs(p.x) < 1.0e7f && std::fabs(p.y) < 1.0e7f;
}

template <int M>
void triangle(RasterVertex a, RasterVertex b, RasterVertex c, const RasterTexture& tex,
              const uint8_t* alpha_row, const RasterTarget& tg) {
  using T = Traits<M>;
  constexpr int N = T::count;
  if (!usable(a) || !usable(b) || !usable(c)) return;
  if constexpr (M != kRasterSolid) {
    if (tex.texels == nullptr) return;
  }
  if (a.y < 1.0f) a.y = 0.0f;
  if (b.y < 1.0f) b.y = 0.0f;
  if (c.y < 1.0f) c.y = 0.0f;
  const RasterVertex* top = &a;
  const RasterVertex* mid = &b;
  const RasterVertex* bot = &c;
  if (bot->y < mid->y) std::swap(bot, mid);
  if (bot->y < top->y) std::swap(bot, top);
  if (mid->y < top->y) std::swap(mid, top);
  const int row_top = ceil_int(top->y), row_mid = ceil_int(mid->y), row_bot = ceil_int(bot->y);
  if (row_top == row_mid && row_mid == row_bot) return;

  const float dxb = bot->x - top->x, dyb = bot->y - top->y;
  const float dxm = mid->x - top->x, dym = mid->y - top->y;
  const float area = dxb * dym - dxm * dyb;
  if (area == 0.0f) return;
  const float inv_area = 1.0f / area;
  const float dy_mb = bot->y - mid->y;
  float slope_tm = 0.0f, slope_tb = 0.0f, slope_mb = 0.0f;
  if (dym > 0.0f) slope_tm = dxm / dym;
  if (dyb > 0.0f) slope_tb = dxb / dyb;
  if (dy_mb > 0.0f) slope_mb = (bot->x - mid->x) / dy_mb;
  bool long_right;
  if (top->y == mid->y) {
    long_right = top->x > mid->x;
  } else if (mid->y == bot->y) {
    long_right = bot->x > mid->x;
  } else {
    long_right = slope_tb > slope_tm;
  }

  float qt[6] = {}, qm[6] = {}, qb[6] = {};
  load_quantities<M>(*top, qt);
  load_quantities<M>(*mid, qm);
  load_quantities<M>(*bot, qb);
  Steps st{};
  float dqdy[6] = {};
  for (int k = 0; k < N; ++k) {
    const float db = qb[k] - qt[k], dm = qm[k] - qt[k];
    st.dqdx[k] = (db * dym - dm * dyb) * inv_area;
    dqdy[k] = (dm * dxb - db * dxm) * inv_area;
    st.fixed[k] = to_fixed(st.dqdx[k] * kRasterFixedOne);
  }
  if constexpr (T::depth)
    st.fixed[T::depth_index] = to_depth(st.dqdx[T::depth_index] * kRasterDepthScale);

  Context ctx{tex.texels,
              static_cast<uint32_t>(tex.u_shift),
              static_cast<uint32_t>(tex.u_mask),
              static_cast<uint32_t>(tex.v_shift),
              static_cast<uint32_t>(tex.v_mask),
              alpha_row};

  // The edges: the long one runs top to bottom; the short ones top to middle, middle to bottom.
  float x_long = top->x + slope_tb * (static_cast<float>(row_top) - top->y);
  float q_long[6] = {}, q_long_step[6] = {};
  for (int k = 0; k < N; ++k) {
    q_long_step[k] = dqdy[k] + slope_tb * st.dqdx[k];
    q_long[k] = qt[k] + (static_cast<float>(row_top) - top->y) * q_long_step[k];
  }

  auto walk = [&](int row0, int row1, float x_short, float slope_short, const float* q_short0,
                  float q_short_step_slope) {
    // Only a short edge on the left carries values into the spans.
    float q_short[6] = {}, q_short_step[6] = {};
    if (long_right) {
      for (int k = 0; k < N; ++k) {
        q_short_step[k] = dqdy[k] + q_short_step_slope * st.dqdx[k];
        q_short[k] = q_short0[k];
      }
    }
    const int end = std::min(row1, tg.height);
    for (int row = row0; row < end; ++row) {
      const float xl = long_right ? x_short : x_long;
      const float xr = long_right ? x_long : x_short;
      const int first = ceil_int(xl);
      const int last = ceil_int(xr);
      const int lo = std::max(0, -first);
      const int hi = std::min(last, tg.width) - first;
      if (last > first && hi > lo) {
        Span s;
        const size_t row_off = static_cast<size_t>(row) * static_cast<size_t>(tg.pitch);
        s.colour = tg.colour + row_off;
        s.depth = tg.depth ? tg.depth + row_off : nullptr;
        s.first = first;
        s.count = last - first;
        s.lo = lo;
        s.hi = hi;
        const float sub = static_cast<float>(first) - xl;
        const float* ql = long_right ? q_short : q_long;
        for (int k = 0; k < N; ++k) s.q[k] = ql[k] + st.dqdx[k] * sub;
        run_span<M>(s, st, ctx);
      }
      x_long += slope_tb;
      x_short += slope_short;
      for (int k = 0; k < N; ++k) {
        q_long[k] += q_long_step[k];
        q_short[k] += q_short_step[k];
      }
    }
    // Rows below the target are skipped, but the long edge must still arrive at the middle.
    for (int row = std::max(end, row0); row < row1; ++row) {
      x_long += slope_tb;
      for (int k = 0; k < N; ++k) q_long[k] += q_long_step[k];
    }
  };

  if constexpr (T::depth) {
    if (tg.depth == nullptr) return;
  }
  // Upper part: short edge from the top vertex.
  {
    float q0[6] = {};
    const float off = static_cast<float>(row_top) - top->y;
    for (int k = 0; k < N; ++k) q0[k] = qt[k] + off * (dqdy[k] + slope_tm * st.dqdx[k]);
    walk(row_top, row_mid, top->x + slope_tm * off, slope_tm, q0, slope_tm);
  }
  // Lower part: short edge restarts at the middle vertex.
  if (row_mid < tg.height) {
    float q0[6] = {};
    const float off = static_cast<float>(row_mid) - mid->y;
    for (int k = 0; k < N; ++k) q0[k] = qm[k] + off * (dqdy[k] + slope_mb * st.dqdx[k]);
    walk(row_mid, row_bot, mid->x + slope_mb * off, slope_mb, q0, slope_mb);
  }
}

using TriangleFn = void (*)(RasterVertex, RasterVertex, RasterVertex, const RasterTexture&,
                            const uint8_t*, const RasterTarget&);

constexpr TriangleFn kTriangles[11] = {
    nullptr,
    triangle<kRasterSolid>,
    triangle<kRasterShaded>,
    triangle<kRasterAddTest>,
    triangle<kRasterAddAlphaPersp>,
    triangle<kRasterAddAlpha>,
    triangle<kRasterAddWrite>,
    triangle<kRasterLit>,
    triangle<kRasterHalf>,
    triangle<kRasterPersp>,
    triangle<kRasterPlain>,
};

}  // namespace

void raster_triangle(int mode, RasterVertex a, RasterVertex b, RasterVertex c,
                     const RasterTexture& texture, const uint8_t* alpha_row,
                     const RasterTarget& target) {
  if (mode < kRasterSolid || mode > kRasterPlain || target.colour == nullptr) return;
  if (alpha_row == nullptr) alpha_row = raster_mul_table + 255 * 256;
  kTriangles[mode](a, b, c, texture, alpha_row, target);
}
