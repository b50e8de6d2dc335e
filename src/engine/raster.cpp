// The rasterizer family. Every member shares the set-up (corner order, start rows, area,
// slopes, long-edge side), the plane gradients and the edge walker; the members differ in
// the span: mapping (affine in 16.16, or perspective divided once per run of 16 pixels),
// depth (none, test only, test and write; trunc(1e9 / z), larger is nearer) and pixel rule.
//
// All set-up and stepping is single-precision float, and every float-to-integer conversion
// truncates toward zero (a C++ cast), so the same corners give the same pixels everywhere.
#include "engine/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/kelp.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

uint8_t raster_mul_table[65536];
uint8_t raster_add_table[65536];
#ifdef __SSE2__
bool raster_use_simd = true;
#else
bool raster_use_simd = false;
#endif
bool raster_depth_pass = false;
bool raster_depth_settled = false;

int raster_depth_role(int mode) {
  if (!raster_use_simd) return kRasterDepthBarrier;
  switch (mode) {
    case kRasterLit:
    case kRasterPersp:
      return kRasterDepthWriter;
    case kRasterPlain:
      return kRasterDepthOpaque;
    case kRasterSolid:
    case kRasterShaded:
    case kRasterAddTest:
    case kRasterAddAlpha:
      return kRasterDepthBlind;
    default:
      return kRasterDepthBarrier;
  }
}

void raster_build_tables() {
  for (int i = 0; i < 256; ++i) {
    for (int j = 0; j < 256; ++j) {
      raster_mul_table[i * 256 + j] = static_cast<uint8_t>(static_cast<int>(i * j * 0.00390625));
      raster_add_table[i * 256 + j] = static_cast<uint8_t>(std::min(i + j, 255));
    }
  }
}

namespace {

// Multipliers m = ceil(2^(32 + l) / d) with 2^l >= d: (n * m) >> (32 + l) is n / d for every
// n below 2^32, and n <= 2^31 keeps the product inside 64 bits.
struct ShortDivisor {
  uint64_t multiplier;
  int shift;
};

constexpr ShortDivisor short_divisor(int d) {
  int l = 0;
  while ((1 << l) < d) ++l;
  const uint64_t top = uint64_t{1} << (32 + l);
  return ShortDivisor{(top + static_cast<uint64_t>(d) - 1) / static_cast<uint64_t>(d), 32 + l};
}

constexpr ShortDivisor kShortDivisors[17] = {
    {0, 0},
    short_divisor(1),
    short_divisor(2),
    short_divisor(3),
    short_divisor(4),
    short_divisor(5),
    short_divisor(6),
    short_divisor(7),
    short_divisor(8),
    short_divisor(9),
    short_divisor(10),
    short_divisor(11),
    short_divisor(12),
    short_divisor(13),
    short_divisor(14),
    short_divisor(15),
    short_divisor(16),
};

}  // namespace

namespace {

inline int32_t divide_short(int32_t x, int len) {
  const ShortDivisor& k = kShortDivisors[len];
  const uint32_t n = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
  const uint32_t q = static_cast<uint32_t>((uint64_t{n} * k.multiplier) >> k.shift);
  return static_cast<int32_t>(x < 0 ? 0u - q : q);
}

}  // namespace

int32_t raster_divide_short(int32_t x, int len) {
  return divide_short(x, len);
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
  int pitch;       // pixels per row of both buffers
  bool simd;       // the 4-pixel form may draw this triangle
  uint32_t alpha;  // the row's index in the multiply table, for the 4-pixel form
};

// What steps from pixel to pixel: mapping, depth, intensity and colour, all fixed point and
// wrapping modulo 2^32 (unused members stay 0).
struct Walk {
  uint32_t u, v, z, i, r, g, b;
};

// The pixel rule on one texel. Clamp = false: the caller has made sure r, g, b lie in
// 0..255 (16.16) for the whole span.
template <int M, bool Clamp>
inline uint32_t shade(uint32_t dst, uint32_t texel, const Walk& w, const uint8_t* alpha_row) {
  if constexpr (M == kRasterPlain || M == kRasterPersp) {
    return texel;
  } else if constexpr (M == kRasterShaded) {
    return scale_texel(texel, raster_mul_table + channel_index(w.i) * 256);
  } else if constexpr (M == kRasterAddTest || M == kRasterAddWrite) {
    return add_pixel(dst, scale_texel(texel, raster_mul_table + channel_index(w.i) * 256));
  } else if constexpr (M == kRasterAddAlpha || M == kRasterAddAlphaPersp) {
    return add_pixel(dst, scale_texel(texel, alpha_row));
  } else if constexpr (M == kRasterLit) {
    const uint8_t* mul = raster_mul_table;
    const uint32_t ri = Clamp ? channel_index(w.r) : w.r >> kRasterFixedShift;
    const uint32_t gi = Clamp ? channel_index(w.g) : w.g >> kRasterFixedShift;
    const uint32_t bi = Clamp ? channel_index(w.b) : w.b >> kRasterFixedShift;
    return (uint32_t(mul[ri * 256 + ((texel >> 16) & 255)]) << 16) |
           (uint32_t(mul[gi * 256 + ((texel >> 8) & 255)]) << 8) | mul[bi * 256 + (texel & 255)];
  } else {
    static_assert(M == kRasterHalf);
    // mul[128][x] is x >> 1 exactly, so half and half is two shifted halves, no carry.
    return ((dst >> 1) & 0x7f7f7f) + ((texel >> 1) & 0x7f7f7f);
  }
}

template <int M>
inline void advance(Walk& w, const Walk& d, uint32_t k) {
  using T = Traits<M>;
  w.u += d.u * k;
  w.v += d.v * k;
  if constexpr (T::depth) w.z += d.z * k;
  if constexpr (T::intensity) w.i += d.i * k;
  if constexpr (T::colour) {
    w.r += d.r * k;
    w.g += d.g * k;
    w.b += d.b * k;
  }
}

// One pixel at a time, without a branch on the depth test: a wrongly guessed branch throws
// away the texel fetches already under way. The texel is fetched for every pixel (masked
// indices are always inside the texture), so its address never waits for the depth load.
template <int M, bool Clamp>
inline void pixels_scalar(uint32_t* col, int32_t* dep, int from, int n, Walk& w, const Walk& d,
                          const Context& c) {
  using T = Traits<M>;
  // Locals: the colour and depth stores could alias the Context's fields.
  const uint32_t* const texels = c.texels;
  const uint32_t us = c.u_shift, um = c.u_mask, vs = c.v_shift, vm = c.v_mask;
  const uint8_t* const alpha_row = c.alpha_row;
  Walk s = w;
  for (int x = from; x < n; ++x) {
    const uint32_t index = ((s.u >> us) & um) + ((s.v >> vs) & vm);
    const uint32_t old = col[x];
    if constexpr (T::depth) {
      const int32_t z = static_cast<int32_t>(s.z), stored = dep[x];
      const bool pass = z >= stored;
      const uint32_t pixel = shade<M, Clamp>(old, texels[index], s, alpha_row);
      col[x] = pass ? pixel : old;
      if constexpr (T::depth == 2) dep[x] = pass ? z : stored;
    } else {
      col[x] = shade<M, Clamp>(old, texels[index], s, alpha_row);
    }
    advance<M>(s, d, 1);
  }
  w = s;
}

#ifdef __SSE2__
// Four pixels a step, the same bytes as pixels_scalar: the byte tables become exact
// arithmetic (mul[i][j] = (i * j) >> 8 is a 16-bit multiply and shift, add is a saturating
// byte add) and a channel index clamped from (int32 >> 16) to 0..255 is a 16-bit pack and
// clamp.
// One quantity's per-pixel step as lanes: offset k is k steps, step4 is 4 steps.
struct LaneStep {
  __m128i offset, step4;
};

inline LaneStep lane_step(uint32_t step) {
  return LaneStep{_mm_setr_epi32(0, static_cast<int32_t>(step), static_cast<int32_t>(step * 2u),
                                 static_cast<int32_t>(step * 3u)),
                  _mm_set1_epi32(static_cast<int32_t>(step * 4u))};
}

// The steps of every quantity a mode walks; u and v change with each perspective run, the
// rest are made once per span.
struct SpanLanes {
  LaneStep u, v, z, i, r, g, b;
};

template <int M>
inline void set_lanes(SpanLanes& l, const Walk& d) {
  using T = Traits<M>;
  l.u = lane_step(d.u);
  l.v = lane_step(d.v);
  if constexpr (T::depth) l.z = lane_step(d.z);
  if constexpr (T::intensity) l.i = lane_step(d.i);
  if constexpr (T::colour) {
    l.r = lane_step(d.r);
    l.g = lane_step(d.g);
    l.b = lane_step(d.b);
  }
}

// Lane k holds the value at pixel k.
inline __m128i lane_values(uint32_t start, const LaneStep& s) {
  return _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(start)), s.offset);
}

// The texels at four indices, one load each (SSE2 has no gather).
inline __m128i gather4(const uint32_t* texels, __m128i idx) {
  const uint64_t i01 = static_cast<uint64_t>(_mm_cvtsi128_si64(idx));
  const uint64_t i23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(idx, idx)));
  return _mm_setr_epi32(static_cast<int32_t>(texels[static_cast<uint32_t>(i01)]),
                        static_cast<int32_t>(texels[static_cast<uint32_t>(i01 >> 32)]),
                        static_cast<int32_t>(texels[static_cast<uint32_t>(i23)]),
                        static_cast<int32_t>(texels[static_cast<uint32_t>(i23 >> 32)]));
}

// Lane by lane: keep's lanes from old, the others from value.
inline __m128i keep_or(__m128i keep, __m128i old, __m128i value) {
  return _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, value));
}

// The vector edge walks hold both edges' x in lanes: lane 0 the left edge, lane 1 the right.
template <bool LongRight>
inline __m128 edge_lanes(float x_long, float x_short) {
  return LongRight ? _mm_setr_ps(x_short, x_long, 0.0f, 0.0f)
                   : _mm_setr_ps(x_long, x_short, 0.0f, 0.0f);
}

template <bool LongRight>
inline float long_edge(__m128 x) {
  return _mm_cvtss_f32(LongRight ? _mm_shuffle_ps(x, x, 0x55) : x);
}

// ceil_int of the edges' lanes: clamped to +-1e9 (NaN to -1e9), truncated, plus one where a
// positive fraction was cut off.
inline __m128i ceil_edges(__m128 x) {
  const __m128 xc = _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-1.0e9f)), _mm_set1_ps(1.0e9f));
  const __m128i t = _mm_cvttps_epi32(xc);
  return _mm_sub_epi32(t, _mm_castps_si128(_mm_cmplt_ps(_mm_cvtepi32_ps(t), xc)));
}

// Channel indices 0..255 of four 16.16 values, as 16-bit lanes 0..3 (and again in 4..7).
// Clamp = false: the values are known to lie in 0..255 already.
template <bool Clamp = true>
inline __m128i channel_index4(__m128i fixed) {
  const __m128i v = _mm_srai_epi32(fixed, kRasterFixedShift);
  const __m128i p = _mm_packs_epi32(v, v);
  if constexpr (!Clamp) return p;
  return _mm_min_epi16(_mm_max_epi16(p, _mm_setzero_si128()), _mm_set1_epi16(255));
}

// Per channel (t * m) >> 8 of four pixels; mlo holds the 16-bit factors of pixels 0 and 1
// (blue, green, red, byte 3), mhi those of pixels 2 and 3.
inline __m128i mul4(__m128i t, __m128i mlo, __m128i mhi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), mlo), 8);
  const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), mhi), 8);
  return _mm_packus_epi16(lo, hi);
}

// One factor per pixel on all of its bytes.
inline __m128i mul4_by_pixel(__m128i t, __m128i fixed) {
  const __m128i c = channel_index4(fixed);
  const __m128i cc = _mm_unpacklo_epi16(c, c);
  return mul4(t, _mm_unpacklo_epi32(cc, cc), _mm_unpackhi_epi32(cc, cc));
}

template <int M, bool Clamp>
inline __m128i shade4(__m128i dst, __m128i texel, __m128i i, __m128i r, __m128i g, __m128i b,
                      __m128i alpha) {
  const __m128i rgb = _mm_set1_epi32(0x00ffffff);
  if constexpr (M == kRasterPlain || M == kRasterPersp) {
    return texel;
  } else if constexpr (M == kRasterShaded) {
    return _mm_and_si128(mul4_by_pixel(texel, i), rgb);
  } else if constexpr (M == kRasterAddTest || M == kRasterAddWrite) {
    return _mm_and_si128(_mm_adds_epu8(dst, mul4_by_pixel(texel, i)), rgb);
  } else if constexpr (M == kRasterAddAlpha || M == kRasterAddAlphaPersp) {
    return _mm_and_si128(_mm_adds_epu8(dst, mul4(texel, alpha, alpha)), rgb);
  } else if constexpr (M == kRasterLit) {
    // Factors (b, g, r, 0) per pixel: byte 3 comes out 0 as in the one-pixel form.
    const __m128i bg = _mm_unpacklo_epi16(channel_index4<Clamp>(b), channel_index4<Clamp>(g));
    const __m128i r0 = _mm_unpacklo_epi16(channel_index4<Clamp>(r), _mm_setzero_si128());
    return mul4(texel, _mm_unpacklo_epi32(bg, r0), _mm_unpackhi_epi32(bg, r0));
  } else {
    static_assert(M == kRasterHalf);
    const __m128i half = _mm_set1_epi32(0x7f7f7f);
    return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(dst, 1), half),
                         _mm_and_si128(_mm_srli_epi32(texel, 1), half));
  }
}

// Draws pixels [0, n) and returns how many it drew (all of them, or those below n & ~3
// when fewer than 4 pixels of the row lie past the last full group); w is advanced past
// them. The last 1 to 3 pixels are a group whose other lanes read and write back the
// row's next pixels unchanged: `room` is the number of pixels from col to the end of the
// row in the buffer.
template <int M, bool Clamp>
inline int pixels_simd(uint32_t* col, int32_t* dep, int n, int room, Walk& w, const Walk& d,
                       const SpanLanes& l, const Context& c) {
  using T = Traits<M>;
  const int full = n >> 2, rest = n & 3;
  const bool tail = rest != 0 && room - full * 4 >= 4;
  const int groups = full + (tail ? 1 : 0);
  if (groups == 0) return 0;
  const uint32_t* const texels = c.texels;
  const __m128i us = _mm_cvtsi32_si128(static_cast<int>(c.u_shift));
  const __m128i vs = _mm_cvtsi32_si128(static_cast<int>(c.v_shift));
  const __m128i um = _mm_set1_epi32(static_cast<int32_t>(c.u_mask));
  const __m128i vm = _mm_set1_epi32(static_cast<int32_t>(c.v_mask));
  const __m128i alpha = _mm_set1_epi16(static_cast<int16_t>(c.alpha));
  __m128i u = lane_values(w.u, l.u), v = lane_values(w.v, l.v);
  __m128i z{}, i{}, r{}, g{}, b{};
  if constexpr (T::depth) z = lane_values(w.z, l.z);
  if constexpr (T::intensity) i = lane_values(w.i, l.i);
  if constexpr (T::colour) {
    r = lane_values(w.r, l.r);
    g = lane_values(w.g, l.g);
    b = lane_values(w.b, l.b);
  }
  for (int k = 0; k < groups; ++k) {
    __m128i* const cp = reinterpret_cast<__m128i*>(col + k * 4);
    __m128i* const dp = T::depth ? reinterpret_cast<__m128i*>(dep + k * 4) : nullptr;
    // Lanes that keep what is there: behind the stored depth, or past the run's end.
    __m128i keep = _mm_setzero_si128();
    if (k == full) keep = _mm_cmpgt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(rest - 1));
    __m128i stored = _mm_setzero_si128();
    if constexpr (T::depth) {
      stored = _mm_loadu_si128(dp);
      keep = _mm_or_si128(keep, _mm_cmpgt_epi32(stored, z));  // passes where z >= stored
    }
    // Groups hidden as a whole are common (nearest faces first) and skipped.
    if (!T::depth || _mm_movemask_epi8(keep) != 0xffff) {
      // Every lane fetches: the addresses must not wait for the depth load and compare.
      const __m128i idx = _mm_add_epi32(_mm_and_si128(_mm_srl_epi32(u, us), um),
                                        _mm_and_si128(_mm_srl_epi32(v, vs), vm));
      const __m128i texel = gather4(texels, idx);
      const __m128i old = _mm_loadu_si128(cp);
      const __m128i pixel = shade4<M, Clamp>(old, texel, i, r, g, b, alpha);
      _mm_storeu_si128(cp, keep_or(keep, old, pixel));
      if constexpr (T::depth == 2) {
        _mm_storeu_si128(dp, keep_or(keep, stored, z));
      }
    }
    u = _mm_add_epi32(u, l.u.step4);
    v = _mm_add_epi32(v, l.v.step4);
    if constexpr (T::depth) z = _mm_add_epi32(z, l.z.step4);
    if constexpr (T::intensity) i = _mm_add_epi32(i, l.i.step4);
    if constexpr (T::colour) {
      r = _mm_add_epi32(r, l.r.step4);
      g = _mm_add_epi32(g, l.g.step4);
      b = _mm_add_epi32(b, l.b.step4);
    }
  }
  const int done = tail ? n : full * 4;
  advance<M>(w, d, static_cast<uint32_t>(done));
  return done;
}
#endif

// Pixels [0, n) of a run starting at col / dep with the values w (advanced past them).
// Shorter runs are drawn one pixel at a time: setting up the lanes would cost more than
// the four-pixel steps save.
constexpr int kWideRun = 4;

#ifndef __SSE2__
struct SpanLanes {};
template <int M>
inline void set_lanes(SpanLanes&, const Walk&) {}
#endif

template <int M, bool Clamp>
inline void pixels(uint32_t* col, int32_t* dep, int n, int room, Walk& w, const Walk& d,
                   const SpanLanes& l, const Context& c) {
  int x = 0;
#ifdef __SSE2__
  if (c.simd && n >= kWideRun) x = pixels_simd<M, Clamp>(col, dep, n, room, w, d, l, c);
#else
  (void)room;
  (void)l;
#endif
  pixels_scalar<M, Clamp>(col, dep, x, n, w, d, c);
}

template <int M>
[[gnu::always_inline]] inline void span_affine(const Span& s, const Steps& st, const Context& c) {
  using T = Traits<M>;
  Walk w{to_fixed(s.q[0] * kRasterFixedOne), to_fixed(s.q[1] * kRasterFixedOne), 0, 0, 0, 0, 0};
  if constexpr (T::depth) w.z = to_depth(s.q[T::depth_index] * kRasterDepthScale);
  if constexpr (T::intensity) w.i = to_fixed(s.q[T::intensity_index] * kRasterFixedOne);
  Walk d{st.fixed[0], st.fixed[1], 0, 0, 0, 0, 0};
  if constexpr (T::depth) d.z = st.fixed[T::depth_index];
  if constexpr (T::intensity) d.i = st.fixed[T::intensity_index];
  if (s.lo > 0) advance<M>(w, d, static_cast<uint32_t>(s.lo));
  uint32_t* col = s.colour + (s.first + s.lo);
  int32_t* dep = T::depth ? s.depth + (s.first + s.lo) : nullptr;
  SpanLanes l;
  if (c.simd && s.hi - s.lo >= kWideRun) set_lanes<M>(l, d);
  pixels<M, true>(col, dep, s.hi - s.lo, c.pitch - (s.first + s.lo), w, d, l, c);
}

// u/z, v/z and 1/z from pixel 0 of a span to the ends of its runs of 16 pixels, stepped run
// by run (the last run may be shorter); the mapping at an end is divided exactly.
struct PerspEnds {
  float uz, vz, w;
  float duz, dvz, dw;

  PerspEnds(const Span& s, const Steps& st)
      : uz(s.q[0]), vz(s.q[1]), w(s.q[2]), duz(st.dqdx[0]), dvz(st.dqdx[1]), dw(st.dqdx[2]) {}

  // One form for every length: a full run's step times 16.0f is the product a branch on the
  // length would take (guessed wrong at the end of every span).
  void step(int len) {
    const float n = static_cast<float>(len);
    uz += duz * n;
    vz += dvz * n;
    w += dw * n;
  }
  uint32_t u() const { return to_fixed(uz * kRasterFixedOne / w); }
  uint32_t v() const { return to_fixed(vz * kRasterFixedOne / w); }
};

// The per-pixel step of a run of len pixels from mapping a to b: a shift for a full run.
inline uint32_t run_step(uint32_t a, uint32_t b, int len) {
  const int32_t d = static_cast<int32_t>(b - a);
  return static_cast<uint32_t>(len == 16 ? d >> 4 : divide_short(d, len));
}

// Perspective: u and v are divided exactly at both ends of every run of 16 pixels (the last
// run may be shorter) and step linearly inside it; depth steps linearly in 1e9 / z.
template <int M, bool Clamp>
[[gnu::always_inline]] inline void span_persp(const Span& s, const Steps& st, const Context& c) {
  using T = Traits<M>;
  // Depth and colour at pixel 0; u and v are set per run.
  Walk at{0, 0, to_depth(s.q[2] * kRasterDepthScale), 0, 0, 0, 0};
  Walk d{0, 0, st.fixed[2], 0, 0, 0, 0};
  if constexpr (T::colour) {
    at.r = to_fixed(s.q[3] * kRasterFixedOne);
    at.g = to_fixed(s.q[4] * kRasterFixedOne);
    at.b = to_fixed(s.q[5] * kRasterFixedOne);
    d.r = st.fixed[3];
    d.g = st.fixed[4];
    d.b = st.fixed[5];
  }
  // The divisions of a batch of runs are made first: they do not depend on each other or on
  // the pixels, so they overlap instead of holding up each run's first texel fetches.
  struct Run {
    int p, len;
    uint32_t u1, v1;  // mapping at the run's end
  };
  constexpr int kBatch = 32;
  Run runs[kBatch];
  int batched = 0;
  uint32_t u0 = 0, v0 = 0;  // mapping at the start of the next run to draw
  SpanLanes l;
  if (c.simd && s.hi - s.lo >= kWideRun) set_lanes<M>(l, d);  // u and v are set per run
  auto draw_batch = [&]() {
    for (int j = 0; j < batched; ++j) {
      const Run& run = runs[j];
      const int p = run.p, len = run.len;
      const int a = std::max(s.lo - p, 0), e = std::min(s.hi - p, len);
      d.u = run_step(u0, run.u1, len);
      d.v = run_step(v0, run.v1, len);
#ifdef __SSE2__
      if (c.simd && e - a >= kWideRun) {
        l.u = lane_step(d.u);
        l.v = lane_step(d.v);
      }
#endif
      Walk w_run = at;
      w_run.u = u0;
      w_run.v = v0;
      advance<M>(w_run, Walk{d.u, d.v, 0, 0, 0, 0, 0}, static_cast<uint32_t>(a));
      advance<M>(w_run, Walk{0, 0, d.z, 0, d.r, d.g, d.b}, static_cast<uint32_t>(p + a));
      pixels<M, Clamp>(s.colour + (s.first + p + a), s.depth + (s.first + p + a), e - a,
                       c.pitch - (s.first + p + a), w_run, d, l, c);
      u0 = run.u1;
      v0 = run.v1;
    }
    batched = 0;
  };
  PerspEnds ends(s, st);
  bool have_start = false;
  for (int p = 0; p < s.hi;) {
    const int len = std::min(16, s.count - p);
    const bool drawn = p + len > s.lo;
    if (drawn && !have_start) {
      u0 = ends.u();
      v0 = ends.v();
      have_start = true;
    }
    ends.step(len);
    if (drawn) {
      runs[batched++] = Run{p, len, ends.u(), ends.v()};
      if (batched == kBatch) draw_batch();
    }
    p += len;
  }
  draw_batch();
}

#ifdef __SSE2__
// Four values in fixed point, truncated and wrapped exactly as to_fixed does (lane
// depth_lane, if any, saturated as to_depth does). The vector conversion gives their values
// wherever it does not answer 0x80000000 (out of range or NaN, or truly -2^31); such lanes go
// one by one.
inline __m128i fixed4(__m128 f, int depth_lane) {
  const __m128i v = _mm_cvttps_epi32(f);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, _mm_set1_epi32(INT32_MIN))) == 0) [[likely]]
    return v;
  alignas(16) float a[4];
  alignas(16) uint32_t q[4];
  _mm_store_ps(a, f);
  for (int k = 0; k < 4; ++k) q[k] = k == depth_lane ? to_depth(a[k]) : to_fixed(a[k]);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(q));
}
#endif

#ifdef __SSE2__
// The four-pixel perspective span comes in two stages. The first divides: the mapping at
// the start of every 16-pixel run and its step, exactly as span_persp makes them. The
// second fetches the texels of the runs, then draws four pixels at a time. A triangle
// makes the first stage of many rows before it draws any, so the texel addresses are ready
// when the drawing needs them instead of waiting on the divisions one row at a time.
struct PerspRun {
  int p;            // first pixel of the run in the span
  uint32_t u, v;    // mapping at p
  uint32_t du, dv;  // per pixel
  int from, to;     // the pixels of the run that may show, relative to p
  uint32_t shows;   // bit k: pixel p + k passes the depth test
};

// The most runs a span of n pixels needs: its part of the first run, full runs, and the
// part of the last.
constexpr int persp_runs_needed(int n) {
  return n / 16 + 2;
}

// Pixels [a, e) of the span against the depth buffer: the first and one past the last that
// pass the depth test (from >= to: none). Groups start at a; the last may hang past e while
// the row has room, its extra lanes left out.
inline uint32_t visible_pixels(const Span& s, uint32_t z0, uint32_t dz, const LaneStep& lz,
                               int pitch, int p, int a, int e, int& from, int& to) {
  const int32_t* const dep = s.depth + s.first;
  __m128i z = lane_values(z0 + dz * static_cast<uint32_t>(a), lz);
  if (s.first + a + 16 <= pitch) {
    // Sixteen lanes from a, one mask: loads past e stay inside the row, and their lanes are
    // left out. Most runs are partial (a span's ends, short spans), and a branch per group
    // would be guessed wrong.
    unsigned hidden = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dep + a + 4 * k));
      hidden |= static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(stored, z))))
                << (4 * k);
      z = _mm_add_epi32(z, lz.step4);
    }
    const unsigned shows = ~hidden & ((1u << (e - a)) - 1u);
    from = shows ? a + std::countr_zero(shows) : e;
    to = shows ? a + 32 - std::countl_zero(shows) : a;
    return shows << (a - p);
  }
  from = e;
  to = a;
  uint32_t all = 0;
  for (int x = a; x < e; x += 4) {
    unsigned bits;
    if (s.first + x + 4 <= pitch) {
      const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dep + x));
      bits = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(stored, z))));
      bits = ~bits & 15u;
    } else {
      bits = 0;
      for (int k = 0; k < 4 && x + k < e; ++k) {
        const int32_t zz = static_cast<int32_t>(z0 + dz * static_cast<uint32_t>(x + k));
        if (zz >= dep[x + k]) bits |= 1u << k;
      }
    }
    bits &= (1u << std::min(4, e - x)) - 1u;
    if (bits != 0) {
      from = std::min(from, x + std::countr_zero(bits));
      to = x + 32 - std::countl_zero(bits);
      all |= bits << (x - p);
    }
    z = _mm_add_epi32(z, lz.step4);
  }
  return all;
}

// The runs of a span that hold pixels of [lo, hi). Settled: only those with pixels that
// pass the depth test. The depth buffer under the span does not change before it is drawn
// (a triangle's rows never overlap), so a hidden run needs neither its divisions nor its
// texels; testing pays only after a depth pass, when most runs are hidden.
template <bool Settled>
int persp_runs(const Span& s, const Steps& st, const LaneStep& lz, int pitch, PerspRun* out) {
  PerspEnds ends(s, st);
  const uint32_t z0 = to_depth(s.q[2] * kRasterDepthScale), dz = st.fixed[2];
  bool have_start = false;  // u0, v0 hold the mapping at p
  uint32_t u0 = 0, v0 = 0;
  int n = 0;
  for (int p = 0; p < s.hi;) {
    const int len = std::min(16, s.count - p);
    bool shows = false;
    int from = 0, to = 0;
    uint32_t mask = 0;
    if (p + len > s.lo) {
      const int a = std::max(s.lo, p), e = std::min(s.hi, p + len);
      if constexpr (Settled) {
        mask = visible_pixels(s, z0, dz, lz, pitch, p, a, e, from, to);
        shows = from < to;
      } else {
        from = a;
        to = e;
        shows = true;
      }
    }
    if (shows && !have_start) {
      u0 = ends.u();
      v0 = ends.v();
    }
    ends.step(len);
    if (shows) {
      const uint32_t u1 = ends.u(), v1 = ends.v();
      out[n++] =
          PerspRun{p, u0, v0, run_step(u0, u1, len), run_step(v0, v1, len), from - p, to - p, mask};
      u0 = u1;
      v0 = v1;
    }
    have_start = shows;
    p += len;
  }
  return n;
}

// Steps of depth and colour as lanes, the same for every row of a triangle.
struct PerspLanes {
  LaneStep z, r, g, b;
};

// Texels of a chunk of up to four runs, four at a time (indices are masked, so always
// inside the texture), and then its pixels, four at a time over the chunk's part of the span.
constexpr int kPerspChunk = 64;

// The lanes of a group, from four bits of a visibility mask.
alignas(16) constexpr int32_t kLaneBits[16][4] = {
    {0, 0, 0, 0},   {-1, 0, 0, 0},   {0, -1, 0, 0},   {-1, -1, 0, 0},
    {0, 0, -1, 0},  {-1, 0, -1, 0},  {0, -1, -1, 0},  {-1, -1, -1, 0},
    {0, 0, 0, -1},  {-1, 0, 0, -1},  {0, -1, 0, -1},  {-1, -1, 0, -1},
    {0, 0, -1, -1}, {-1, 0, -1, -1}, {0, -1, -1, -1}, {-1, -1, -1, -1},
};

// Settled: the depth buffer already holds the final depth of every writer drawn after it
// (their depth pass came first), so a passing pixel's depth is the one stored, and the
// runs' visibility masks stand for the depth test.
template <int M, bool Settled>
void persp_draw(const Span& s, const Steps& st, const Context& c, const PerspLanes& lanes,
                const PerspRun* runs, int count) {
  using T = Traits<M>;
  if (count == 0) return;
  const uint32_t* const texels = c.texels;
  const __m128i usv = _mm_cvtsi32_si128(static_cast<int>(c.u_shift));
  const __m128i vsv = _mm_cvtsi32_si128(static_cast<int>(c.v_shift));
  const __m128i umv = _mm_set1_epi32(static_cast<int32_t>(c.u_mask));
  const __m128i vmv = _mm_set1_epi32(static_cast<int32_t>(c.v_mask));
  const __m128i ramp = _mm_setr_epi32(0, 1, 2, 3);
  // Depth and colour are straight lines over the whole span; their starts in one conversion.
  const __m128 start =
      _mm_mul_ps(_mm_loadu_ps(s.q + 2),
                 _mm_setr_ps(kRasterDepthScale, kRasterFixedOne, kRasterFixedOne, kRasterFixedOne));
  alignas(16) uint32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), fixed4(start, 0));
  const uint32_t z0 = at[0], dz = st.fixed[2];
  uint32_t r0 = 0, g0 = 0, b0 = 0, dr = 0, dg = 0, db = 0;
  if constexpr (T::colour) {
    r0 = at[1];
    g0 = at[2];
    b0 = at[3];
    dr = st.fixed[3];
    dg = st.fixed[4];
    db = st.fixed[5];
  }
  const LaneStep lz = lanes.z, lr = lanes.r, lg = lanes.g, lb = lanes.b;
  const __m128i alpha = _mm_set1_epi16(static_cast<int16_t>(c.alpha));
  const __m128i zero = _mm_setzero_si128();
  // Texel of pixel base + k. The last group of a chunk may read up to three entries past
  // its pixels, which no run may have filled: those lanes keep what is there, and the
  // entries exist.
  alignas(16) uint32_t tex[kPerspChunk + 4];

  for (int j0 = 0, j1 = 0; j0 < count; j0 = j1) {
    // A chunk: up to four runs side by side (hidden runs between leave gaps).
    const int base = runs[j0].p;
    j1 = j0 + 1;
    while (j1 < count && j1 - j0 < kPerspChunk / 16 && runs[j1].p == runs[j1 - 1].p + 16) ++j1;
    for (int j = j0; j < j1; ++j) {
      const PerspRun& run = runs[j];
      // Only the run's groups that hold pixels passing the depth test are fetched: a
      // minified texture puts the others' texels on cache lines of their own.
      const int k_from = run.from & ~3, k_to = run.to;
      const uint32_t kf = static_cast<uint32_t>(k_from);
      __m128i uu = lane_values(run.u + run.du * kf, lane_step(run.du));
      __m128i vv = lane_values(run.v + run.dv * kf, lane_step(run.dv));
      const __m128i du4 = _mm_set1_epi32(static_cast<int32_t>(run.du * 4u));
      const __m128i dv4 = _mm_set1_epi32(static_cast<int32_t>(run.dv * 4u));
      uint32_t* const out = tex + (run.p - base);
      for (int k = k_from; k < k_to; k += 4) {
        const __m128i idx = _mm_add_epi32(_mm_and_si128(_mm_srl_epi32(uu, usv), umv),
                                          _mm_and_si128(_mm_srl_epi32(vv, vsv), vmv));
        const uint64_t i01 = static_cast<uint64_t>(_mm_cvtsi128_si64(idx));
        const uint64_t i23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(idx, idx)));
        out[k] = texels[static_cast<uint32_t>(i01)];
        out[k + 1] = texels[static_cast<uint32_t>(i01 >> 32)];
        out[k + 2] = texels[static_cast<uint32_t>(i23)];
        out[k + 3] = texels[static_cast<uint32_t>(i23 >> 32)];
        uu = _mm_add_epi32(uu, du4);
        vv = _mm_add_epi32(vv, dv4);
      }
    }

    // Pixels [x0, x1) of the span.
    const int x0 = std::max(s.lo, base + runs[j0].from);
    const int x1 = std::min(s.hi, runs[j1 - 1].p + runs[j1 - 1].to);
    uint32_t* const col = s.colour + (s.first + x0);
    int32_t* const dep = s.depth + (s.first + x0);
    const uint32_t* const t = tex + (x0 - base);
    const int n = x1 - x0;
    const uint32_t k0 = static_cast<uint32_t>(x0);
    __m128i z = lane_values(z0 + dz * k0, lz), r = zero, g = zero, b = zero;
    if constexpr (T::colour) {
      r = lane_values(r0 + dr * k0, lr);
      g = lane_values(g0 + dg * k0, lg);
      b = lane_values(b0 + db * k0, lb);
    }
    // The last group may hang past x1 (its extra lanes keep what is there) while the row
    // has room for it; against the row's end the last pixels go one at a time.
    const int room = c.pitch - (s.first + x0);
    const int groups = std::min(n + 3, room) >> 2;
    const __m128i last = _mm_set1_epi32(n - 1);
    // The chunk's visibility, bit i for pixel base + i (runs in a chunk lie side by side).
    uint64_t shows = 0;
    if constexpr (Settled) {
      for (int j = j0; j < j1; ++j) shows |= uint64_t{runs[j].shows} << (runs[j].p - base);
      shows >>= x0 - base;
    }
    for (int k = 0; k < groups; ++k) {
      __m128i* const cp = reinterpret_cast<__m128i*>(col + k * 4);
      __m128i* const dp = reinterpret_cast<__m128i*>(dep + k * 4);
      // Lanes that keep what is there: hidden, or past the end. Groups hidden as a whole are
      // common (overdraw behind nearer faces) and skipped.
      __m128i keep, stored{};
      bool draws;
      if constexpr (Settled) {
        const unsigned bits = static_cast<unsigned>(shows >> (4 * k)) & 15u;
        keep = _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneBits[~bits & 15u]));
        draws = bits != 0;
      } else {
        const __m128i lane = _mm_add_epi32(ramp, _mm_set1_epi32(k * 4));
        stored = _mm_loadu_si128(dp);
        keep = _mm_or_si128(_mm_cmpgt_epi32(stored, z), _mm_cmpgt_epi32(lane, last));
        draws = _mm_movemask_epi8(keep) != 0xffff;
      }
      if (draws) {
        const __m128i texel = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k * 4));
        const __m128i old = _mm_loadu_si128(cp);
        const __m128i pixel = shade4<M, true>(old, texel, zero, r, g, b, alpha);
        _mm_storeu_si128(cp, keep_or(keep, old, pixel));
        if constexpr (!Settled) _mm_storeu_si128(dp, keep_or(keep, stored, z));
      }
      z = _mm_add_epi32(z, lz.step4);
      if constexpr (T::colour) {
        r = _mm_add_epi32(r, lr.step4);
        g = _mm_add_epi32(g, lg.step4);
        b = _mm_add_epi32(b, lb.step4);
      }
    }
    for (int x = groups * 4; x < n; ++x) {
      const uint32_t k = k0 + static_cast<uint32_t>(x);
      const Walk w{0, 0, z0 + dz * k, 0, r0 + dr * k, g0 + dg * k, b0 + db * k};
      const int32_t zz = static_cast<int32_t>(w.z), stored = dep[x];
      const bool pass = zz >= stored;
      const uint32_t pixel = shade<M, true>(col[x], t[x], w, c.alpha_row);
      col[x] = pass ? pixel : col[x];
      dep[x] = pass ? zz : stored;
    }
  }
}

// The depth pass over one span: pixels [lo, hi) keep the larger of their depth and the
// span's, which is what the depth test and write leave.
inline void depth_raise(const Span& s, const Steps& st, const LaneStep& lz, int pitch) {
  const uint32_t dz = st.fixed[2];
  const uint32_t z0 = to_depth(s.q[2] * kRasterDepthScale);
  int32_t* const dep = s.depth + s.first;
  int x = s.lo;
  __m128i z = lane_values(z0 + dz * static_cast<uint32_t>(x), lz);
  for (; x + 4 <= s.hi; x += 4) {
    __m128i* const dp = reinterpret_cast<__m128i*>(dep + x);
    const __m128i stored = _mm_loadu_si128(dp);
    const __m128i keep = _mm_cmpgt_epi32(stored, z);
    _mm_storeu_si128(dp, keep_or(keep, stored, z));
    z = _mm_add_epi32(z, lz.step4);
  }
  if (x >= s.hi) return;
  if (s.first + x + 4 <= pitch) {
    // The last pixels as one group; lanes past hi keep what is there.
    __m128i* const dp = reinterpret_cast<__m128i*>(dep + x);
    const __m128i stored = _mm_loadu_si128(dp);
    const __m128i past = _mm_cmpgt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(s.hi - x - 1));
    const __m128i keep = _mm_or_si128(_mm_cmpgt_epi32(stored, z), past);
    _mm_storeu_si128(dp, keep_or(keep, stored, z));
    return;
  }
  for (; x < s.hi; ++x) {
    const int32_t zz = static_cast<int32_t>(z0 + dz * static_cast<uint32_t>(x));
    dep[x] = std::max(dep[x], zz);
  }
}

// Spans of one triangle waiting for their second stage. The rows of a triangle never
// overlap, so drawing them later changes no pixel.
struct PerspBatch {
  static constexpr int kSpans = 16;
  static constexpr int kRuns = 96;
  PerspLanes lanes;  // the triangle's steps of depth and colour
  Span spans[kSpans];
  int run_end[kSpans];
  PerspRun runs[kRuns];
  int span_count = 0;
};

template <int M>
void persp_flush(PerspBatch& b, const Steps& st, const Context& c) {
  int from = 0;
  for (int i = 0; i < b.span_count; ++i) {
    if (raster_depth_settled) {
      persp_draw<M, true>(b.spans[i], st, c, b.lanes, b.runs + from, b.run_end[i] - from);
    } else {
      persp_draw<M, false>(b.spans[i], st, c, b.lanes, b.runs + from, b.run_end[i] - from);
    }
    from = b.run_end[i];
  }
  b.span_count = 0;
}

template <int M>
void persp_add(PerspBatch& b, const Span& s, const Steps& st, const Context& c) {
  const int need = persp_runs_needed(s.hi - s.lo);
  if (need > PerspBatch::kRuns) {
    // Wider than any frame: the one-pixel form, which gives the same pixels.
    span_persp<M, true>(s, st, c);
    return;
  }
  int used = b.span_count > 0 ? b.run_end[b.span_count - 1] : 0;
  if (b.span_count == PerspBatch::kSpans || used + need > PerspBatch::kRuns) {
    persp_flush<M>(b, st, c);
    used = 0;
  }
  const int n = raster_depth_settled ? persp_runs<true>(s, st, b.lanes.z, c.pitch, b.runs + used)
                                     : persp_runs<false>(s, st, b.lanes.z, c.pitch, b.runs + used);
  if (n == 0) return;  // hidden as a whole: nothing to draw
  b.spans[b.span_count] = s;
  b.run_end[b.span_count] = used + n;
  ++b.span_count;
}
#endif

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
    uint32_t* const col = s.colour + (s.first + s.lo);
    const int n = s.hi - s.lo;
#ifdef __SSE2__
    // Short spans (most of a shadow's) as two masked stores instead of a call whose size
    // dispatch is guessed wrong half the time.
    if (c.simd && n <= 8 && c.pitch - (s.first + s.lo) >= 8) {
      const __m128i count = _mm_set1_epi32(n);
      __m128i* const p = reinterpret_cast<__m128i*>(col);
      const __m128i in0 = _mm_cmpgt_epi32(count, _mm_setr_epi32(0, 1, 2, 3));
      const __m128i in1 = _mm_cmpgt_epi32(count, _mm_setr_epi32(4, 5, 6, 7));
      _mm_storeu_si128(p, _mm_andnot_si128(in0, _mm_loadu_si128(p)));
      _mm_storeu_si128(p + 1, _mm_andnot_si128(in1, _mm_loadu_si128(p + 1)));
      return;
    }
#endif
    std::memset(col, 0, static_cast<size_t>(n) * 4);
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

// The 4-pixel form shifts by the vector count (0 at 32 and beyond, where a scalar shift is
// undefined) and knows an alpha row only as a row of the multiply table.
inline bool simd_can_draw(int mode, const RasterTexture& tex, const uint8_t* alpha_row,
                          uint32_t* alpha) {
  if (!raster_use_simd) return false;
  if (mode == kRasterSolid) return true;  // no texture
  if (tex.u_shift < 0 || tex.u_shift > 31 || tex.v_shift < 0 || tex.v_shift > 31) return false;
  if (raster_mode_uses_alpha(mode)) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(raster_mul_table);
    const uintptr_t at = reinterpret_cast<uintptr_t>(alpha_row);
    if (at < base || at - base > 255u * 256u || (at - base) % 256u != 0) return false;
    *alpha = static_cast<uint32_t>((at - base) / 256u);
  }
  return true;
}

inline bool usable(const RasterVertex& p) {
  // Far beyond any target: such corners only come from broken callers.
  return std::fabs(p.x) < 1.0e7f && std::fabs(p.y) < 1.0e7f;
}

#ifdef __SSE2__
// The affine members and Solid have their own edge walk: their rows are mostly 0 to 4
// pixels wide (slivers of finely cut meshes), so what costs is the work around a span, and
// above all the branches on its width, which no predictor guesses. Both edges' x and the
// left edge's values are vectors (values in Traits' order, unused lanes 0) stepped with the
// same additions, in the same order, as one quantity at a time; a span of at most 4 pixels
// is one masked group with no branch on its width or on the depth test.
template <int M>
struct AffineWalk {
  __m128 dqdx;
  __m128 scale;  // lane by lane to fixed point: 16.16, or 1e9 for depth
  Walk d;        // per-pixel steps
  SpanLanes lanes;
  Context ctx;
  RasterTarget tg;
};

// The lanes of an affine member in fixed point (depth at its own lane).
template <int M>
inline __m128i affine_fixed(__m128 f) {
  using T = Traits<M>;
  return fixed4(f, T::depth ? T::depth_index : -1);
}

// Where a short edge starts: its x and slope, and (used when it is the left edge) its
// values and their step per row.
struct ShortEdge {
  float x, slope;
  __m128 q, q_step;
};

// Rows [row0, min(row2, height)) of a triangle in one loop: the short edge is the upper one
// above row1 and the lower one from row1 on, while the long edge steps on across row1 (two
// loops per triangle would end on two guessed-wrong branches, and most triangles have only
// a few rows). The left edge's values step in q.
template <int M, bool LongRight>
inline void affine_rows(const AffineWalk<M>& a, int row0, int row1, int row2, float x_long,
                        float slope_long, const ShortEdge& upper, const ShortEdge& lower,
                        __m128 q_long, __m128 long_step) {
  using T = Traits<M>;
  const int end = std::min(row2, a.tg.height);
  if (row0 >= end) return;
  // Everything the rows read, in locals: the buffer stores could alias a's fields.
  const Context c = a.ctx;
  const Walk d = a.d;
  const __m128i off_u = a.lanes.u.offset, off_v = a.lanes.v.offset;
  __m128i off_z{}, off_i{};
  if constexpr (T::depth) off_z = a.lanes.z.offset;
  if constexpr (T::intensity) off_i = a.lanes.i.offset;
  const __m128 dqdx = a.dqdx, scale = a.scale;
  const __m128i us = _mm_cvtsi32_si128(static_cast<int>(c.u_shift));
  const __m128i vs = _mm_cvtsi32_si128(static_cast<int>(c.v_shift));
  const __m128i um = _mm_set1_epi32(static_cast<int32_t>(c.u_mask));
  const __m128i vm = _mm_set1_epi32(static_cast<int32_t>(c.v_mask));
  const __m128i alpha = _mm_set1_epi16(static_cast<int16_t>(c.alpha));
  const uint32_t* const texels = c.texels;
  const int width = a.tg.width, pitch = c.pitch;
  const int group_room = M == kRasterSolid ? 8 : 4;
  const int group_last = c.simd ? pitch - group_room : -1;  // last column a group may start at
  uint32_t* col_row = a.tg.colour + static_cast<size_t>(row0) * static_cast<size_t>(pitch);
  int32_t* dep_row = nullptr;
  if constexpr (T::depth) dep_row = a.tg.depth + static_cast<size_t>(row0) * pitch;
  const ShortEdge& first_edge = row0 < row1 ? upper : lower;
  __m128 x = edge_lanes<LongRight>(x_long, first_edge.x);
  __m128 dx = edge_lanes<LongRight>(slope_long, first_edge.slope);
  __m128 q = LongRight ? first_edge.q : q_long;
  __m128 q_left_step = LongRight ? first_edge.q_step : long_step;
  for (int row = row0; row < end; ++row) {
    if (row == row1 && row > row0) {
      x = edge_lanes<LongRight>(long_edge<LongRight>(x), lower.x);
      dx = edge_lanes<LongRight>(slope_long, lower.slope);
      if constexpr (LongRight) {
        q = lower.q;
        q_left_step = lower.q_step;
      }
    }
    const __m128i ceiled = ceil_edges(x);
    const int first = _mm_cvtsi128_si32(ceiled);
    const int last = _mm_cvtsi128_si32(_mm_shuffle_epi32(ceiled, 0x55));
    const int x0 = std::max(first, 0);
    const int n = std::min(last, width) - x0;
    if constexpr (M == kRasterSolid) {
      if (x0 <= group_last && n <= 8) {
        // Rows of 0 to 8 pixels (nearly all of a shadow's) as two masked stores.
        const __m128i count = _mm_set1_epi32(n);
        __m128i* const p = reinterpret_cast<__m128i*>(col_row + x0);
        const __m128i in0 = _mm_cmpgt_epi32(count, _mm_setr_epi32(0, 1, 2, 3));
        const __m128i in1 = _mm_cmpgt_epi32(count, _mm_setr_epi32(4, 5, 6, 7));
        _mm_storeu_si128(p, _mm_andnot_si128(in0, _mm_loadu_si128(p)));
        _mm_storeu_si128(p + 1, _mm_andnot_si128(in1, _mm_loadu_si128(p + 1)));
      } else if (n > 0) {
        std::memset(col_row + x0, 0, static_cast<size_t>(n) * 4);
      }
    } else {
      // Rows without a pixel (a third of a sliver mesh's) need no values.
      if (n > 0) {
        // Values at pixel first: the left edge's plus dq/dx times the sub-pixel step.
        const __m128 sub = _mm_sub_ps(_mm_cvtepi32_ps(ceiled), x);
        const __m128 qs = _mm_add_ps(q, _mm_mul_ps(dqdx, _mm_shuffle_ps(sub, sub, 0)));
        const __m128i fixed = affine_fixed<M>(_mm_mul_ps(qs, scale));
        if (x0 <= group_last && n <= 4 && first >= 0) {
          // One group; lanes at or past n keep what is there.
          const __m128i u = _mm_add_epi32(_mm_shuffle_epi32(fixed, 0x00), off_u);
          const __m128i v = _mm_add_epi32(_mm_shuffle_epi32(fixed, 0x55), off_v);
          __m128i z{}, i{};
          if constexpr (T::depth)
            z = _mm_add_epi32(_mm_shuffle_epi32(fixed, T::depth_index * 0x55), off_z);
          if constexpr (T::intensity)
            i = _mm_add_epi32(_mm_shuffle_epi32(fixed, T::intensity_index * 0x55), off_i);
          const __m128i past = _mm_cmpgt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(n - 1));
          __m128i keep = past;
          __m128i* const cp = reinterpret_cast<__m128i*>(col_row + x0);
          __m128i* const dp = T::depth ? reinterpret_cast<__m128i*>(dep_row + x0) : nullptr;
          __m128i stored{};
          if constexpr (T::depth) {
            stored = _mm_loadu_si128(dp);
            keep = _mm_or_si128(keep, _mm_cmpgt_epi32(stored, z));
          }
          // A row hidden as a whole fetches nothing. Rows of one face mostly share their
          // fate, so the branch is guessed right.
          if (_mm_movemask_epi8(keep) != 0xffff) {
            // Lanes past the span (never lane 0 here) fetch pixel 0's texel again: a minified
            // texture would put theirs on other cache lines, and a miss costs more than the
            // span.
            const __m128i at = _mm_add_epi32(_mm_and_si128(_mm_srl_epi32(u, us), um),
                                             _mm_and_si128(_mm_srl_epi32(v, vs), vm));
            const __m128i idx = keep_or(past, _mm_shuffle_epi32(at, 0), at);
            const __m128i texel = gather4(texels, idx);
            const __m128i old = _mm_loadu_si128(cp);
            const __m128i zero = _mm_setzero_si128();
            const __m128i pixel = shade4<M, true>(old, texel, i, zero, zero, zero, alpha);
            _mm_storeu_si128(cp, keep_or(keep, old, pixel));
            if constexpr (T::depth == 2) {
              _mm_storeu_si128(dp, keep_or(keep, stored, z));
            }
          }
        } else {
          alignas(16) uint32_t f[4];
          _mm_store_si128(reinterpret_cast<__m128i*>(f), fixed);
          Walk w{f[0], f[1], 0, 0, 0, 0, 0};
          if constexpr (T::depth) w.z = f[T::depth_index];
          if constexpr (T::intensity) w.i = f[T::intensity_index];
          if (first < 0) advance<M>(w, d, static_cast<uint32_t>(-first));
          pixels<M, true>(col_row + x0, T::depth ? dep_row + x0 : nullptr, n, pitch - x0, w, d,
                          a.lanes, c);
        }
      }
      q = _mm_add_ps(q, q_left_step);
    }
    x = _mm_add_ps(x, dx);
    col_row += pitch;
    if constexpr (T::depth) dep_row += pitch;
  }
}

template <int M, bool LongRight>
void affine_triangle(const AffineWalk<M>& a, const RasterVertex* top, const RasterVertex* mid,
                     int row_top, int row_mid, int row_bot, float slope_tm, float slope_tb,
                     float slope_mb, __m128 qt, __m128 qm, __m128 gy) {
  const __m128 dqdx = a.dqdx;
  const float off_top = static_cast<float>(row_top) - top->y;
  const float x_long = top->x + slope_tb * off_top;
  // The long edge's values, needed only when it is the left edge.
  const __m128 long_step = _mm_add_ps(gy, _mm_mul_ps(_mm_set1_ps(slope_tb), dqdx));
  const __m128 q_long = _mm_add_ps(qt, _mm_mul_ps(_mm_set1_ps(off_top), long_step));
  // Upper part: short edge from the top vertex.
  const __m128 step_tm = _mm_add_ps(gy, _mm_mul_ps(_mm_set1_ps(slope_tm), dqdx));
  const ShortEdge upper{top->x + slope_tm * off_top, slope_tm,
                        _mm_add_ps(qt, _mm_mul_ps(_mm_set1_ps(off_top), step_tm)), step_tm};
  // Lower part: short edge restarts at the middle vertex.
  const float off = static_cast<float>(row_mid) - mid->y;
  const __m128 step_mb = _mm_add_ps(gy, _mm_mul_ps(_mm_set1_ps(slope_mb), dqdx));
  const ShortEdge lower{mid->x + slope_mb * off, slope_mb,
                        _mm_add_ps(qm, _mm_mul_ps(_mm_set1_ps(off), step_mb)), step_mb};
  affine_rows<M, LongRight>(a, row_top, row_mid, row_bot, x_long, slope_tb, upper, lower, q_long,
                            long_step);
}
#endif

#ifdef __SSE2__
// The perspective members' edge walk, like the affine one: both edges' x and the left edge's
// six values (two vectors) step with the same additions, in the same order, as one quantity
// at a time, and each row's span goes to the batch.
struct PerspValues {
  __m128 a, b;  // values 0..3 and 4..5
};

inline PerspValues persp_load(const float* q) {
  return PerspValues{_mm_loadu_ps(q), _mm_setr_ps(q[4], q[5], 0.0f, 0.0f)};
}

// q + step * t, lane by lane.
inline PerspValues persp_along(const PerspValues& q, const PerspValues& step, float t) {
  const __m128 tt = _mm_set1_ps(t);
  return PerspValues{_mm_add_ps(q.a, _mm_mul_ps(tt, step.a)),
                     _mm_add_ps(q.b, _mm_mul_ps(tt, step.b))};
}

// dq/dy + slope * dq/dx: the values' step along an edge.
inline PerspValues persp_edge_step(const PerspValues& gy, const PerspValues& gx, float slope) {
  const __m128 sl = _mm_set1_ps(slope);
  return PerspValues{_mm_add_ps(gy.a, _mm_mul_ps(sl, gx.a)),
                     _mm_add_ps(gy.b, _mm_mul_ps(sl, gx.b))};
}

template <int M, bool LongRight, bool DepthOnly>
void persp_part(PerspBatch& batch, const Steps& st, const Context& c, const RasterTarget& tg,
                int row0, int row1, float& x_long, float slope_long, float x_short,
                float slope_short, PerspValues& q_left, const PerspValues& step) {
  const int end = std::min(row1, tg.height);
  if (row0 >= end) return;
  const PerspValues gx = persp_load(st.dqdx);
  __m128 x = edge_lanes<LongRight>(x_long, x_short);
  const __m128 dx = edge_lanes<LongRight>(slope_long, slope_short);
  PerspValues q = q_left;
  Span s;
  for (int row = row0; row < end; ++row) {
    const __m128i ceiled = ceil_edges(x);
    const int first = _mm_cvtsi128_si32(ceiled);
    const int last = _mm_cvtsi128_si32(_mm_shuffle_epi32(ceiled, 0x55));
    const int lo = std::max(0, -first);
    const int hi = std::min(last, tg.width) - first;
    if (last > first && hi > lo) {
      const size_t row_off = static_cast<size_t>(row) * static_cast<size_t>(tg.pitch);
      s.colour = tg.colour + row_off;
      s.depth = tg.depth + row_off;
      s.first = first;
      s.count = last - first;
      s.lo = lo;
      s.hi = hi;
      // Values at pixel first: the left edge's plus dq/dx times the sub-pixel step.
      const __m128 sub4 = _mm_sub_ps(_mm_cvtepi32_ps(ceiled), x);
      const __m128 sub = _mm_shuffle_ps(sub4, sub4, 0);
      _mm_storeu_ps(s.q, _mm_add_ps(q.a, _mm_mul_ps(gx.a, sub)));
      _mm_storel_pi(reinterpret_cast<__m64*>(s.q + 4), _mm_add_ps(q.b, _mm_mul_ps(gx.b, sub)));
      if constexpr (DepthOnly) {
        depth_raise(s, st, batch.lanes.z, c.pitch);
      } else {
        persp_add<M>(batch, s, st, c);
      }
    }
    q.a = _mm_add_ps(q.a, step.a);
    q.b = _mm_add_ps(q.b, step.b);
    x = _mm_add_ps(x, dx);
  }
  x_long = long_edge<LongRight>(x);
  q_left = q;
}

template <int M, bool LongRight, bool DepthOnly>
void persp_triangle(const Steps& st, const Context& c, const RasterTarget& tg,
                    const RasterVertex* top, const RasterVertex* mid, int row_top, int row_mid,
                    int row_bot, float slope_tm, float slope_tb, float slope_mb, const float* qt,
                    const float* qm, const float* dqdy) {
  PerspBatch batch;
  batch.lanes.z = lane_step(st.fixed[2]);
  if constexpr (Traits<M>::colour) {
    batch.lanes.r = lane_step(st.fixed[3]);
    batch.lanes.g = lane_step(st.fixed[4]);
    batch.lanes.b = lane_step(st.fixed[5]);
  } else {
    batch.lanes.r = batch.lanes.g = batch.lanes.b = LaneStep{};
  }
  const PerspValues gx = persp_load(st.dqdx), gy = persp_load(dqdy);
  const PerspValues vt = persp_load(qt), vm = persp_load(qm);
  const float off_top = static_cast<float>(row_top) - top->y;
  float x_long = top->x + slope_tb * off_top;
  // The long edge's values, needed only when it is the left edge.
  const PerspValues long_step = persp_edge_step(gy, gx, slope_tb);
  PerspValues q_long = persp_along(vt, long_step, off_top);
  {
    const PerspValues step = persp_edge_step(gy, gx, slope_tm);
    PerspValues q_short = persp_along(vt, step, off_top);
    if (LongRight) {
      persp_part<M, true, DepthOnly>(batch, st, c, tg, row_top, row_mid, x_long, slope_tb,
                                     top->x + slope_tm * off_top, slope_tm, q_short, step);
    } else {
      persp_part<M, false, DepthOnly>(batch, st, c, tg, row_top, row_mid, x_long, slope_tb,
                                      top->x + slope_tm * off_top, slope_tm, q_long, long_step);
    }
  }
  // When the upper part stopped at the target's last row the lower one lies wholly below it.
  if (row_mid < tg.height) {
    const float off = static_cast<float>(row_mid) - mid->y;
    const PerspValues step = persp_edge_step(gy, gx, slope_mb);
    PerspValues q_short = persp_along(vm, step, off);
    if (LongRight) {
      persp_part<M, true, DepthOnly>(batch, st, c, tg, row_mid, row_bot, x_long, slope_tb,
                                     mid->x + slope_mb * off, slope_mb, q_short, step);
    } else {
      persp_part<M, false, DepthOnly>(batch, st, c, tg, row_mid, row_bot, x_long, slope_tb,
                                      mid->x + slope_mb * off, slope_mb, q_long, long_step);
    }
  }
  if constexpr (!DepthOnly) persp_flush<M>(batch, st, c);
}
#endif

template <int M>
void triangle(RasterVertex a, RasterVertex b, RasterVertex c, const RasterTexture& tex,
              const uint8_t* alpha_row, const RasterTarget& tg) {
  using T = Traits<M>;
  constexpr int N = T::count;
  if constexpr (M != kRasterLit && M != kRasterPersp) {
    if (raster_depth_pass) return;
  }
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

#ifdef __SSE2__
  if constexpr (!T::persp) {
    if constexpr (T::depth) {
      if (tg.depth == nullptr) return;
    }
    AffineWalk<M> aw;  // the lanes of the quantities M does not walk stay unset
    __m128 qt{}, qm{}, qb{}, gy{};
    aw.dqdx = _mm_setzero_ps();
    if constexpr (N > 0) {
      // The corners' values in the lanes' order; the three 1 / z in one division.
      const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_setr_ps(top->z, mid->z, bot->z, 1.0f));
      alignas(16) float wz[4];
      _mm_store_ps(wz, w);
      auto corner = [&](const RasterVertex* p, float inv_z) {
        alignas(16) float q[4] = {p->u, p->v, 0.0f, 0.0f};
        if constexpr (T::depth) q[T::depth_index] = inv_z;
        if constexpr (T::intensity) q[T::intensity_index] = p->i;
        return _mm_load_ps(q);
      };
      qt = corner(top, wz[0]);
      qm = corner(mid, wz[1]);
      qb = corner(bot, wz[2]);
      const __m128 db = _mm_sub_ps(qb, qt), dm = _mm_sub_ps(qm, qt);
      const __m128 ia = _mm_set1_ps(inv_area);
      aw.dqdx = _mm_mul_ps(
          _mm_sub_ps(_mm_mul_ps(db, _mm_set1_ps(dym)), _mm_mul_ps(dm, _mm_set1_ps(dyb))), ia);
      gy = _mm_mul_ps(
          _mm_sub_ps(_mm_mul_ps(dm, _mm_set1_ps(dxb)), _mm_mul_ps(db, _mm_set1_ps(dxm))), ia);
    }
    alignas(16) float scale[4] = {};
    for (int k = 0; k < N; ++k)
      scale[k] = T::depth && k == T::depth_index ? kRasterDepthScale : kRasterFixedOne;
    aw.scale = _mm_load_ps(scale);
    // Per-pixel steps, and as lanes: k steps in lane k (offsets), 4 steps (step4).
    const __m128i d1 = affine_fixed<M>(_mm_mul_ps(aw.dqdx, aw.scale));
    const __m128i d2 = _mm_add_epi32(d1, d1), d3 = _mm_add_epi32(d2, d1);
    const __m128i d4 = _mm_add_epi32(d2, d2), zero = _mm_setzero_si128();
    const __m128i lo0 = _mm_unpacklo_epi32(zero, d1), lo1 = _mm_unpacklo_epi32(d2, d3);
    const __m128i hi0 = _mm_unpackhi_epi32(zero, d1), hi1 = _mm_unpackhi_epi32(d2, d3);
    const LaneStep lanes[4] = {
        {_mm_unpacklo_epi64(lo0, lo1), _mm_shuffle_epi32(d4, 0x00)},
        {_mm_unpackhi_epi64(lo0, lo1), _mm_shuffle_epi32(d4, 0x55)},
        {_mm_unpacklo_epi64(hi0, hi1), _mm_shuffle_epi32(d4, 0xaa)},
        {_mm_unpackhi_epi64(hi0, hi1), _mm_shuffle_epi32(d4, 0xff)},
    };
    alignas(16) uint32_t fixed[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(fixed), d1);
    aw.d = Walk{fixed[0], fixed[1], 0, 0, 0, 0, 0};
    aw.lanes.u = lanes[0];
    aw.lanes.v = lanes[1];
    if constexpr (T::depth) {
      aw.d.z = fixed[T::depth_index];
      aw.lanes.z = lanes[T::depth_index];
    }
    if constexpr (T::intensity) {
      aw.d.i = fixed[T::intensity_index];
      aw.lanes.i = lanes[T::intensity_index];
    }
    aw.ctx = Context{tex.texels,
                     static_cast<uint32_t>(tex.u_shift),
                     static_cast<uint32_t>(tex.u_mask),
                     static_cast<uint32_t>(tex.v_shift),
                     static_cast<uint32_t>(tex.v_mask),
                     alpha_row,
                     tg.pitch,
                     false,
                     0};
    aw.ctx.simd = simd_can_draw(M, tex, alpha_row, &aw.ctx.alpha);
    aw.tg = tg;
    if (long_right) {
      affine_triangle<M, true>(aw, top, mid, row_top, row_mid, row_bot, slope_tm, slope_tb,
                               slope_mb, qt, qm, gy);
    } else {
      affine_triangle<M, false>(aw, top, mid, row_top, row_mid, row_bot, slope_tm, slope_tb,
                                slope_mb, qt, qm, gy);
    }
    return;
  }
#endif

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
              alpha_row,
              tg.pitch,
              false,
              0};
  ctx.simd = simd_can_draw(M, tex, alpha_row, &ctx.alpha);

#ifdef __SSE2__
  if constexpr (T::persp) {
    // The depth pass takes the four-pixel walk whatever the texture: the walks give the
    // same pixels and depths.
    if (ctx.simd || raster_depth_pass) {
      if (tg.depth == nullptr) return;
      if (raster_depth_pass) {
        if constexpr (M == kRasterLit || M == kRasterPersp) {
          if (long_right) {
            persp_triangle<M, true, true>(st, ctx, tg, top, mid, row_top, row_mid, row_bot,
                                          slope_tm, slope_tb, slope_mb, qt, qm, dqdy);
          } else {
            persp_triangle<M, false, true>(st, ctx, tg, top, mid, row_top, row_mid, row_bot,
                                           slope_tm, slope_tb, slope_mb, qt, qm, dqdy);
          }
        }
        return;
      }
      if (long_right) {
        persp_triangle<M, true, false>(st, ctx, tg, top, mid, row_top, row_mid, row_bot, slope_tm,
                                       slope_tb, slope_mb, qt, qm, dqdy);
      } else {
        persp_triangle<M, false, false>(st, ctx, tg, top, mid, row_top, row_mid, row_bot, slope_tm,
                                        slope_tb, slope_mb, qt, qm, dqdy);
      }
      return;
    }
  }
#endif

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
