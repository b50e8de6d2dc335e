#include "display/convert.h"

#include <emmintrin.h>

#include <cstring>

void convert_32_plain(void* dst, const uint32_t* src, int count) {
  if (count > 0) std::memcpy(dst, src, static_cast<size_t>(count) * 4);
}

void convert_32_simd(void* dst, const uint32_t* src, int count) {
  auto* d = static_cast<uint8_t*>(dst);
  const auto* s = reinterpret_cast<const uint8_t*>(src);
  int i = 0;
  // 32 bytes (8 pixels) a step; surface memory need not be aligned.
  for (; i + 8 <= count; i += 8) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4 + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * 4 + 16), b);
  }
  if (i < count) std::memcpy(d + i * 4, s + i * 4, static_cast<size_t>(count - i) * 4);
}

void convert_24(void* dst, const uint32_t* src, int count) {
  auto* d = static_cast<uint8_t*>(dst);
  for (int i = 0; i < count; ++i) {
    uint32_t p = src[i];
    d[0] = static_cast<uint8_t>(p);
    d[1] = static_cast<uint8_t>(p >> 8);
    d[2] = static_cast<uint8_t>(p >> 16);
    d += 3;
  }
}

uint16_t pixel_to_565(uint32_t p) {
  return static_cast<uint16_t>(((p >> 19) & 0x1f) << 11 | ((p >> 10) & 0x3f) << 5 |
                               ((p >> 3) & 0x1f));
}

void convert_16(void* dst, const uint32_t* src, int count) {
  auto* d = static_cast<uint8_t*>(dst);
  int i = 0;
  for (; i + 2 <= count; i += 2) {
    uint32_t two = static_cast<uint32_t>(pixel_to_565(src[i])) |
                   static_cast<uint32_t>(pixel_to_565(src[i + 1])) << 16;
    std::memcpy(d + i * 2, &two, 4);  // little-endian: the first pixel in the low word
  }
  if (i < count) {
    uint16_t last = pixel_to_565(src[i]);
    std::memcpy(d + i * 2, &last, 2);
  }
}

void fill_plain(uint32_t* dst, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) dst[i] = value;
}

void fill_simd(uint32_t* dst, uint32_t value, int count) {
  // The frame is cleared to 0 (a value of one repeated byte): the C library's fill uses the
  // widest stores the processor has.
  if (value == (value & 0xFFu) * 0x01010101u) {
    if (count > 0)
      std::memset(dst, static_cast<int>(value & 0xFFu), static_cast<size_t>(count) * 4);
    return;
  }
  __m128i v = _mm_set1_epi32(static_cast<int>(value));
  int i = 0;
  for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
  for (; i < count; ++i) dst[i] = value;
}
