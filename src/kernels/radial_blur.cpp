// The radial glow: every pixel takes in light from a pixel nearer a centre, worked outward
// from the centre in place, so bright pixels throw rays away from it. Each quarter of the
// screen is one pass; within a pass a pixel's inward neighbour has already been replaced,
// which is what makes the rays long.
#include <emmintrin.h>

#include <algorithm>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

struct BlurSetup {
  int cx, cy;
  int wo, wi;  // own and inward factors, 0..255
  int dx[kFrameWidth];
  int dy[kFrameHeight];
};

int weight(float w) {
  // Out-of-range floats (NaN included) must not reach the integer conversion.
  const float scaled = 255.0f * w;
  if (!(scaled > 0.0f)) return 0;
  if (scaled >= 255.0f) return 255;
  return static_cast<int>(scaled);
}

// Far-off centres are pulled in to where every offset still fits an int; the pixels they
// reach are clamped to the screen anyway.
int centre(float c) {
  if (!(c > -1.0e6f)) return -1000000;
  if (c > 1.0e6f) return 1000000;
  return static_cast<int>(c);
}

int offset(float reach, int d) {
  const float o = reach * static_cast<float>(d);
  if (!(o > -1.0e6f)) return -1000000;
  if (o > 1.0e6f) return 1000000;
  return static_cast<int>(o);
}

void setup(BlurSetup& s, float centre_x, float centre_y, float reach, float own_weight,
           float inward_weight) {
  s.cx = centre(centre_x);
  s.cy = centre(centre_y);
  s.wo = weight(own_weight);
  s.wi = weight(inward_weight);
  // The inward pixel is clamped to the screen: a centre off screen, or a reach outside
  // 0..1, would otherwise send it past the buffer.
  for (int x = 0; x < kFrameWidth; ++x)
    s.dx[x] = std::clamp(x + offset(reach, s.cx - x), 0, kFrameWidth - 1) - x;
  for (int y = 0; y < kFrameHeight; ++y)
    s.dy[y] = std::clamp(y + offset(reach, s.cy - y), 0, kFrameHeight - 1) - y;
}

inline uint32_t blend_plain(uint32_t own, uint32_t in, int wo, int wi) {
  const int32_t* mo = multiply_table + wo;  // [channel][weight]
  const int32_t* mi = multiply_table + wi;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = mo[((own >> shift) & 0xFF) * 256] & 0xFF;
    const int b = mi[((in >> shift) & 0xFF) * 256] & 0xFF;
    out |= static_cast<uint32_t>(std::min(255, a + b)) << shift;
  }
  return out;  // byte 3 is 0
}

// One row of a pass, columns from x_from to x_to (inclusive, either direction).
void row_plain(uint32_t* buf, const BlurSetup& s, int y, int x_from, int x_to) {
  uint32_t* row = buf + y * kFrameWidth;
  const uint32_t* in_row = buf + (y + s.dy[y]) * kFrameWidth;
  const int step = x_from <= x_to ? 1 : -1;
  for (int x = x_from;; x += step) {
    row[x] = blend_plain(row[x], in_row[x + s.dx[x]], s.wo, s.wi);
    if (x == x_to) break;
  }
}

// Pixels x..x + 3 of a row at once: every read (own pixels and inward pixels) is made
// before the four are stored.
inline void blend4(uint32_t* row, const uint32_t* in_row, const BlurSetup& s, int x) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wo = _mm_set1_epi16(static_cast<short>(s.wo));
  const __m128i wi = _mm_set1_epi16(static_cast<short>(s.wi));
  const __m128i in = _mm_setr_epi32(
      static_cast<int>(in_row[x + s.dx[x]]), static_cast<int>(in_row[x + 1 + s.dx[x + 1]]),
      static_cast<int>(in_row[x + 2 + s.dx[x + 2]]), static_cast<int>(in_row[x + 3 + s.dx[x + 3]]));
  const __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
  // (c x w) >> 8 equals the product table: with c in the high half of a 16-bit lane it is
  // the high half of the product. The pack saturates the sum at 255 as the plain min does.
  const __m128i lo = _mm_adds_epu16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, own), wo),
                                    _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, in), wi));
  const __m128i hi = _mm_adds_epu16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, own), wo),
                                    _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, in), wi));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x),
                   _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF)));
}

// A row whose inward row is another row: that row is not written while this one is worked,
// so the order within the row is free and the colours are the plain form's.
void row_simd(uint32_t* buf, const BlurSetup& s, int y, int x_lo, int x_hi) {
  uint32_t* row = buf + y * kFrameWidth;
  const uint32_t* in_row = buf + (y + s.dy[y]) * kFrameWidth;
  int x = x_lo;
  for (; x + 4 <= x_hi + 1; x += 4) blend4(row, in_row, s, x);
  for (; x <= x_hi; ++x) row[x] = blend_plain(row[x], in_row[x + s.dx[x]], s.wo, s.wi);
}

// A row that takes its light from itself (the rows through the centre). In pass order a
// pixel may read one replaced just before it; four pixels go together only where none of
// them reads another of the four that comes earlier in the pass (an inward offset of 1 to 3
// towards the group's start). Pixels reading themselves (offset 0) or lying further in
// (already replaced, in both forms) or further out (not yet replaced) are free.
void row_in_itself_simd(uint32_t* buf, const BlurSetup& s, int y, int x_from, int x_to) {
  uint32_t* row = buf + y * kFrameWidth;
  if (x_from <= x_to) {
    // Outward to the right: pixel x + k reads one earlier in the group when -k <= dx < 0.
    int x = x_from;
    while (x <= x_to) {
      if (x + 3 <= x_to && !(s.dx[x + 1] == -1) && !(s.dx[x + 2] >= -2 && s.dx[x + 2] < 0) &&
          !(s.dx[x + 3] >= -3 && s.dx[x + 3] < 0)) {
        blend4(row, row, s, x);
        x += 4;
      } else {
        row[x] = blend_plain(row[x], row[x + s.dx[x]], s.wo, s.wi);
        ++x;
      }
    }
  } else {
    // Outward to the left: pixel x - k reads one earlier in the group when 0 < dx <= k.
    int x = x_from;
    while (x >= x_to) {
      if (x - 3 >= x_to && !(s.dx[x - 1] == 1) && !(s.dx[x - 2] > 0 && s.dx[x - 2] <= 2) &&
          !(s.dx[x - 3] > 0 && s.dx[x - 3] <= 3)) {
        blend4(row, row, s, x - 3);
        x -= 4;
      } else {
        row[x] = blend_plain(row[x], row[x + s.dx[x]], s.wo, s.wi);
        --x;
      }
    }
  }
}

template <bool kSimd>
void radial_blur_passes(uint32_t* buf, const BlurSetup& s) {
  // Rows and columns outward from the centre, cut to the screen.
  const int up_from = std::min(s.cy, kFrameHeight - 1), down_from = std::max(s.cy + 1, 0);
  const int left_from = std::min(s.cx, kFrameWidth - 1), right_from = std::max(s.cx + 1, 0);
  struct Pass {
    int y_from, y_to, y_step, x_from, x_to;
  };
  const Pass passes[4] = {{up_from, 0, -1, left_from, 0},
                          {up_from, 0, -1, right_from, kFrameWidth - 1},
                          {down_from, kFrameHeight - 1, 1, left_from, 0},
                          {down_from, kFrameHeight - 1, 1, right_from, kFrameWidth - 1}};
  for (const Pass& p : passes) {
    if ((p.y_to - p.y_from) * p.y_step < 0) continue;  // the pass starts off screen
    const int x_lo = std::min(p.x_from, p.x_to), x_hi = std::max(p.x_from, p.x_to);
    if (p.x_from < 0 || p.x_from >= kFrameWidth || x_lo > x_hi) continue;
    for (int y = p.y_from;; y += p.y_step) {
      if (!kSimd)
        row_plain(buf, s, y, p.x_from, p.x_to);
      else if (s.dy[y] != 0)
        row_simd(buf, s, y, x_lo, x_hi);
      else
        row_in_itself_simd(buf, s, y, p.x_from, p.x_to);
      if (y == p.y_to) break;
    }
  }
}

}  // namespace

void radial_blur_plain(uint32_t* buffer, float centre_x, float centre_y, float reach,
                       float own_weight, float inward_weight) {
  BlurSetup s;
  setup(s, centre_x, centre_y, reach, own_weight, inward_weight);
  radial_blur_passes<false>(buffer, s);
}

void radial_blur_simd(uint32_t* buffer, float centre_x, float centre_y, float reach,
                      float own_weight, float inward_weight) {
  BlurSetup s;
  setup(s, centre_x, centre_y, reach, own_weight, inward_weight);
  radial_blur_passes<true>(buffer, s);
}

void radial_blur(uint32_t* buffer, float centre_x, float centre_y, float reach, float own_weight,
                 float inward_weight) {
  if (has_mmx)
    radial_blur_simd(buffer, centre_x, centre_y, reach, own_weight, inward_weight);
  else
    radial_blur_plain(buffer, centre_x, centre_y, reach, own_weight, inward_weight);
}
