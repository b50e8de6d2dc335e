// Four-neighbour softening and per-channel tints.
//
// blur_cross4 sums a quarter of each of the four neighbours. A quarter of a byte is at most
// 63, so four of them never pass 252: whole-word additions never carry from one byte into
// the next, and the saturating byte additions of the SIMD form never saturate. Both forms
// therefore give the same word, byte 3 included.
//
// The descending order matters in place: when pixel i is computed, its right (i + 1) and
// lower (i + 320) neighbours already hold their new values, its left and upper ones do not.
// The SIMD form keeps that: per row it sums the three neighbours that are fixed before the
// row starts (upper and left: old; lower: the finished row below) four pixels at a time,
// and resolves the chain through the right neighbours four pixels at a time as well.
#include <emmintrin.h>

#include <cstring>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

constexpr int kW = kFrameWidth;
// The last pixel whose lower neighbour is still inside the buffer (last of row 238).
constexpr int kFirstBlurred = kFramePixels - kW - 1;
// Pixel 320 (first of row 1) keeps its value; the loop stops just above it.
constexpr int kLastBlurred = kW + 1;
constexpr uint32_t kQuarterMask = 0x3F3F3F3F;

inline uint32_t quarter(uint32_t p) {
  return (p >> 2) & kQuarterMask;
}

inline __m128i quarter4(const uint32_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_and_si128(_mm_srli_epi32(v, 2), _mm_set1_epi32(static_cast<int>(kQuarterMask)));
}

// dst rows 0 and 239 become src's; nothing to do in place.
void copy_edge_rows(uint32_t* dst, const uint32_t* src) {
  if (dst == src) return;
  std::memcpy(dst, src, kW * sizeof(uint32_t));
  std::memcpy(dst + kFramePixels - kW, src + kFramePixels - kW, kW * sizeof(uint32_t));
}

// Separate buffers: every neighbour comes from src, so all four sums are independent.
void blur_separate_simd(uint32_t* dst, const uint32_t* src) {
  int i = kFirstBlurred;
  // Groups of four ending at i: pixels i-3..i.
  for (; i - 3 >= kLastBlurred; i -= 4) {
    const int j = i - 3;
    __m128i sum = _mm_adds_epu8(quarter4(src + j - kW), quarter4(src + j - 1));
    sum = _mm_adds_epu8(sum, quarter4(src + j + 1));
    sum = _mm_adds_epu8(sum, quarter4(src + j + kW));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j), sum);
  }
  for (; i >= kLastBlurred; --i)
    dst[i] =
        quarter(src[i - kW]) + quarter(src[i - 1]) + quarter(src[i + 1]) + quarter(src[i + kW]);
}

// In place, row by row from the bottom. Per byte a pixel is r = o + floor(r_right / 4), where
// o (the quarters of the upper, left and lower neighbours) is fixed before the row starts.
// Unrolled over four pixels from a known right value R that is
//   r3 = o3 + floor(R / 4),                   r2 = o2 + floor((4 o3 + R) / 16),
//   r1 = o1 + floor((16 o2 + 4 o3 + R) / 64), r0 = o0 + floor((64 o1 + 16 o2 + 4 o3 + R) / 256)
// (floor(floor(x) / 4) = floor(x / 4)), exact in 16-bit lanes (at most 84 x 189 + 252). Only
// r0 feeds the next four, so the serial chain is one add, one shift and one add per four
// pixels instead of per pixel; the other three divisions are multiplies by 2^(16 - shift).
void blur_in_place_simd(uint32_t* buf) {
  const __m128i zero = _mm_setzero_si128();
  // High halves (pixels 1 and 3 of a group) shift by 6 and 2, low halves by 8 and 4.
  const __m128i scale_a = _mm_set_epi16(1024, 1024, 1024, 1024, 256, 256, 256, 256);
  const __m128i scale_b = _mm_set_epi16(16384, 16384, 16384, 16384, 4096, 4096, 4096, 4096);
  for (int row = kFrameHeight - 2; row >= 1; --row) {
    const int row_start = row * kW;
    // Row 1 starts one pixel later: pixel 320 keeps its value.
    const int first = row == 1 ? kLastBlurred : row_start;
    int c = row_start + kW - 1;  // the row's last pixel; its right neighbour is finished
    // R in 16-bit lanes, in both halves.
    __m128i right = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(buf[c + 1])), zero);
    right = _mm_unpacklo_epi64(right, right);
    for (; c - 3 >= first; c -= 4) {
      const uint32_t* p = buf + c - 3;
      // The four pixels' o; the left neighbours are still unsoftened (stored below).
      const __m128i o =
          _mm_add_epi8(_mm_add_epi8(quarter4(p - kW), quarter4(p - 1)), quarter4(p + kW));
      const __m128i a = _mm_unpacklo_epi8(o, zero);                                  // o0 | o1
      const __m128i b = _mm_unpackhi_epi8(o, zero);                                  // o2 | o3
      const __m128i o3 = _mm_srli_si128(b, 8);                                       // o3 | 0
      const __m128i o1 = _mm_srli_si128(a, 8);                                       // o1 | 0
      const __m128i t = _mm_slli_epi16(_mm_add_epi16(_mm_slli_epi16(b, 2), o3), 2);  // 16 o2 + 4 o3
      const __m128i w0 = _mm_add_epi16(t, _mm_slli_epi16(o1, 6));  // 64 o1 + 16 o2 + 4 o3
      const __m128i wa = _mm_unpacklo_epi64(w0, t);
      const __m128i wb = _mm_slli_epi16(o3, 2);
      const __m128i ra = _mm_add_epi16(a, _mm_mulhi_epu16(_mm_add_epi16(wa, right), scale_a));
      const __m128i rb = _mm_add_epi16(b, _mm_mulhi_epu16(_mm_add_epi16(wb, right), scale_b));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(buf + c - 3), _mm_packus_epi16(ra, rb));
      // r0, by the short path.
      right = _mm_add_epi16(_mm_unpacklo_epi64(a, a),
                            _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(w0, w0), right), 8));
    }
    // Row 1's first three pixels, one at a time.
    uint32_t r = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(right, right)));
    for (; c >= first; --c) {
      r = quarter(buf[c - kW]) + quarter(buf[c - 1]) + quarter(buf[c + kW]) + quarter(r);
      buf[c] = r;
    }
  }
}

}  // namespace

void blur_cross4_plain(uint32_t* dst, const uint32_t* src) {
  copy_edge_rows(dst, src);
  for (int i = kFirstBlurred; i >= kLastBlurred; --i)
    dst[i] =
        quarter(src[i - kW]) + quarter(src[i - 1]) + quarter(src[i + 1]) + quarter(src[i + kW]);
}

void blur_cross4_simd(uint32_t* dst, const uint32_t* src) {
  copy_edge_rows(dst, src);
  if (dst == src)
    blur_in_place_simd(dst);
  else
    blur_separate_simd(dst, src);
}

void blur_cross4(uint32_t* dst, const uint32_t* src) {
  if (has_mmx)
    blur_cross4_simd(dst, src);
  else
    blur_cross4_plain(dst, src);
}

void tint_copy(uint32_t* dst, const uint32_t* src, int red, int green, int blue, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t r = ((p >> 16) & 0xFF) * static_cast<uint32_t>(red) >> 8;
    const uint32_t g = ((p >> 8) & 0xFF) * static_cast<uint32_t>(green) >> 8;
    const uint32_t b = (p & 0xFF) * static_cast<uint32_t>(blue) >> 8;
    dst[i] = (dst[i] & 0xFF000000u) | (r << 16) | (g << 8) | b;
  }
}
