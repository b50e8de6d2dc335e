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
// then adds the right neighbour from right to left one pixel at a time.
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

// In place: row by row from the bottom, three neighbours by vector, the right one serially.
void blur_in_place_simd(uint32_t* buf) {
  uint32_t fixed[kW];
  for (int row = kFrameHeight - 2; row >= 1; --row) {
    const int row_start = row * kW;
    // Row 1 starts one pixel later: pixel 320 keeps its value.
    const int first = row == 1 ? kLastBlurred : row_start;
    const int last = row_start + kW - 1;  // inclusive
    const int n = last - first + 1;
    uint32_t* out = fixed + (first - row_start);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
      const uint32_t* p = buf + first + k;
      __m128i sum = _mm_adds_epu8(quarter4(p - kW), quarter4(p - 1));
      sum = _mm_adds_epu8(sum, quarter4(p + kW));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), sum);
    }
    for (; k < n; ++k) {
      const uint32_t* p = buf + first + k;
      out[k] = quarter(p[-kW]) + quarter(p[-1]) + quarter(p[kW]);
    }
    // The right neighbour of the row's last pixel is the first of the row below, finished.
    uint32_t right = buf[last + 1];
    for (int c = n - 1; c >= 0; --c) {
      right = out[c] + quarter(right);
      buf[first + c] = right;
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
