// The four blend routines, plain and SIMD. The SIMD forms follow the old 64-bit register
// method (each byte widened to a 16-bit lane, multiplied, shifted right by 8, packed back
// with unsigned saturation) on four pixels per SSE2 step; red, green and blue come out
// exactly as in the plain forms. Unlike the plain forms they treat the fourth byte as a
// channel too.
#include <emmintrin.h>

#include <algorithm>

#include "sequencer/sequencer.h"

namespace {

inline int clamp_amount(int a) {
  return std::clamp(a, 0, 255);
}

inline uint32_t channel(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

inline uint32_t pack(uint32_t r, uint32_t g, uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

// Per-pixel tail of the SIMD forms: all four bytes, as the vector code treats them.
inline uint32_t lanes4(uint32_t p, uint32_t q, int wa, int wb) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    const uint32_t v = std::min<uint32_t>(255, (channel(p, s) * wa) >> 8) +
                       std::min<uint32_t>(255, (channel(q, s) * wb) >> 8);
    out |= std::min<uint32_t>(255, v) << s;
  }
  return out;
}

// (p * a) >> 8 per byte, four pixels at a time. Each byte goes to the high half of its
// lane (c << 8), so the high half of the product with a is already (c * a) >> 8.
inline __m128i scale4(__m128i p, __m128i amount) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, p), amount);
  const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, p), amount);
  return _mm_packus_epi16(lo, hi);
}

}  // namespace

void whiten_plain(uint32_t* dst, const uint32_t* src, int amount, int count) {
  const uint32_t a = clamp_amount(amount);
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t r = channel(p, 16), g = channel(p, 8), b = channel(p, 0);
    dst[i] = pack(r + ((255 - r) * a) / 256, g + ((255 - g) * a) / 256, b + ((255 - b) * a) / 256);
  }
}

void darken_plain(uint32_t* dst, const uint32_t* src, int amount, int count) {
  const uint32_t a = clamp_amount(amount);
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    dst[i] = pack((channel(p, 16) * a) / 256, (channel(p, 8) * a) / 256, (channel(p, 0) * a) / 256);
  }
}

void crossfade_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int amount, int count) {
  const uint32_t w = clamp_amount(amount);
  for (int i = 0; i < count; ++i) {
    const uint32_t p = a[i], q = b[i];
    uint32_t c[3];
    for (int k = 0; k < 3; ++k) {
      const int s = 16 - 8 * k;
      c[k] = (channel(p, s) * (255 - w)) / 256 + (channel(q, s) * w) / 256;
    }
    dst[i] = pack(c[0], c[1], c[2]);
  }
}

void mix_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int wa, int wb, int count) {
  const uint32_t x = clamp_amount(wa), y = clamp_amount(wb);
  for (int i = 0; i < count; ++i) {
    const uint32_t p = a[i], q = b[i];
    uint32_t c[3];
    for (int k = 0; k < 3; ++k) {
      const int s = 16 - 8 * k;
      c[k] = std::min<uint32_t>(255, (channel(p, s) * x) / 256 + (channel(q, s) * y) / 256);
    }
    dst[i] = pack(c[0], c[1], c[2]);
  }
}

void whiten_simd(uint32_t* dst, const uint32_t* src, int amount, int count) {
  const int a = clamp_amount(amount);
  const __m128i am = _mm_set1_epi16(static_cast<short>(a));
  const __m128i ones = _mm_set1_epi32(-1);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i inv = _mm_xor_si128(p, ones);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(scale4(inv, am), p));
  }
  for (; i < count; ++i) dst[i] = lanes4(~src[i], src[i], a, 256);
}

void darken_simd(uint32_t* dst, const uint32_t* src, int amount, int count) {
  const int a = clamp_amount(amount);
  const __m128i am = _mm_set1_epi16(static_cast<short>(a));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), scale4(p, am));
  }
  for (; i < count; ++i) dst[i] = lanes4(src[i], 0, a, 0);
}

void mix_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int wa, int wb, int count) {
  const int x = clamp_amount(wa), y = clamp_amount(wb);
  const __m128i ax = _mm_set1_epi16(static_cast<short>(x));
  const __m128i by = _mm_set1_epi16(static_cast<short>(y));
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_adds_epu8(scale4(p, ax), scale4(q, by)));
  }
  for (; i < count; ++i) dst[i] = lanes4(a[i], b[i], x, y);
}

void crossfade_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int amount, int count) {
  const int w = clamp_amount(amount);
  mix_simd(dst, a, b, 255 - w, w, count);
}
