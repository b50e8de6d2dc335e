// Whole-buffer blends, fills and keyed copies. The SIMD forms work four pixels at a time
// and finish any remainder with the plain loop, so every count is safe; the plain forms
// leave the fourth byte of the destination as it was, the SIMD forms compute it by the
// same rule (it carries no colour).
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

constexpr uint32_t kColourMask = 0x00FFFFFF;

inline uint32_t keep_byte3(uint32_t old_dst, uint32_t colour) {
  return (old_dst & ~kColourMask) | (colour & kColourMask);
}

}  // namespace

void row_multiply_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  // The 64K product table instead of three multiplies a pixel.
  for (int i = 0; i < count; ++i) {
    const uint32_t p = a[i], q = b[i];
    const uint32_t r = multiply_table[((p >> 16) & 0xFF) * 256 + ((q >> 16) & 0xFF)];
    const uint32_t g = multiply_table[((p >> 8) & 0xFF) * 256 + ((q >> 8) & 0xFF)];
    const uint32_t bl = multiply_table[(p & 0xFF) * 256 + (q & 0xFF)];
    dst[i] = keep_byte3(dst[i], ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (bl & 0xFF));
  }
}

void row_multiply_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    // Bytes of a in the high half of 16-bit lanes (a << 8), of b in the low half: the high
    // half of their product is (a * b) >> 8 <= 254, so the pack never saturates.
    const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, p), _mm_unpacklo_epi8(q, zero));
    const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, p), _mm_unpackhi_epi8(q, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
  row_multiply_plain(dst + i, a + i, b + i, count - i);
}

void row_add_saturate_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = a[i], q = b[i];
    const uint32_t r = std::min<uint32_t>(255, ((p >> 16) & 0xFF) + ((q >> 16) & 0xFF));
    const uint32_t g = std::min<uint32_t>(255, ((p >> 8) & 0xFF) + ((q >> 8) & 0xFF));
    const uint32_t bl = std::min<uint32_t>(255, (p & 0xFF) + (q & 0xFF));
    dst[i] = keep_byte3(dst[i], (r << 16) | (g << 8) | bl);
  }
}

void row_add_saturate_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(p, q));
  }
  row_add_saturate_plain(dst + i, a + i, b + i, count - i);
}

void fill_words_plain(void* dst, uint32_t value, int bytes) {
  uint32_t* w = static_cast<uint32_t*>(dst);
  for (int i = 0; i < bytes / 4; ++i) w[i] = value;
}

void fill_words_simd(void* dst, uint32_t value, int bytes) {
  const int words = bytes / 4;
  // The show's fills (0 for depth, 0x3C3C3C3C for the light buffer) repeat one byte: the C
  // library's fill uses the widest stores the processor has.
  if (value == (value & 0xFFu) * 0x01010101u) {
    if (words > 0)
      std::memset(dst, static_cast<int>(value & 0xFFu), static_cast<size_t>(words) * 4);
    return;
  }
  uint32_t* w = static_cast<uint32_t*>(dst);
  const __m128i v = _mm_set1_epi32(static_cast<int>(value));
  int i = 0;
  for (; i + 4 <= words; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i), v);
  for (; i < words; ++i) w[i] = value;
}

void copy_keyed_plain(uint32_t* dst, const uint32_t* src, uint32_t key, int count) {
  for (int i = 0; i < count; ++i)
    if (src[i] != key) dst[i] = src[i];
}

void copy_keyed_simd(uint32_t* dst, const uint32_t* src, uint32_t key, int count) {
  const __m128i k = _mm_set1_epi32(static_cast<int>(key));
  int i = 0;
  // Keyed pictures come in runs (a title on a plain ground): eight pixels with no key word are
  // stored as they are, eight key words leave the destination alone, and only the eights that
  // mix the two are blended.
  for (; i + 8 <= count; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    const __m128i key0 = _mm_cmpeq_epi32(s0, k), key1 = _mm_cmpeq_epi32(s1, k);
    const int mask = _mm_movemask_epi8(_mm_packs_epi32(key0, key1));
    __m128i* d = reinterpret_cast<__m128i*>(dst + i);
    if (mask == 0) {
      _mm_storeu_si128(d, s0);
      _mm_storeu_si128(d + 1, s1);
    } else if (mask != 0xFFFF) {
      const __m128i d0 = _mm_loadu_si128(d), d1 = _mm_loadu_si128(d + 1);
      _mm_storeu_si128(d, _mm_or_si128(_mm_and_si128(key0, d0), _mm_andnot_si128(key0, s0)));
      _mm_storeu_si128(d + 1, _mm_or_si128(_mm_and_si128(key1, d1), _mm_andnot_si128(key1, s1)));
    }
  }
  copy_keyed_plain(dst + i, src + i, key, count - i);
}

void row_multiply(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  if (has_mmx)
    row_multiply_simd(dst, a, b, count);
  else
    row_multiply_plain(dst, a, b, count);
}

void row_add_saturate(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count) {
  if (has_mmx)
    row_add_saturate_simd(dst, a, b, count);
  else
    row_add_saturate_plain(dst, a, b, count);
}

void fill_words(void* dst, uint32_t value, int bytes) {
  if (has_mmx)
    fill_words_simd(dst, value, bytes);
  else
    fill_words_plain(dst, value, bytes);
}

void copy_keyed(uint32_t* dst, const uint32_t* src, uint32_t key, int count) {
  if (has_mmx)
    copy_keyed_simd(dst, src, key, count);
  else
    copy_keyed_plain(dst, src, key, count);
}

PulsePoint* pulse_track_build(int pulse_count, float step, float rise, float fall, float peak,
                              float base) {
  if (pulse_count <= 0) return nullptr;
  PulsePoint* track = new (std::nothrow) PulsePoint[static_cast<size_t>(pulse_count) * 3];
  if (!track) return nullptr;
  for (int i = 0; i < pulse_count; ++i) {
    const float at = static_cast<float>(i) * step;
    track[i * 3 + 0] = {at, base};
    track[i * 3 + 1] = {at + rise, peak};
    track[i * 3 + 2] = {at + fall, base};
  }
  return track;
}

float pulse_track_eval(const PulsePoint* track, int pulse_count, float time, float start) {
  // A track whose build failed is still read every frame: it stays at rest.
  if (!track || pulse_count <= 0) return 0.0f;
  const float x = time - start;
  const int last = pulse_count * 3 - 1;
  if (x < 0.0f) return track[0].value;
  if (x > track[last].time) return track[last].value;
  int i = 0;
  while (i < last && track[i].time < x) ++i;
  if (i == 0) return track[0].value;
  const PulsePoint& a = track[i - 1];
  const PulsePoint& b = track[i];
  return a.value + (x - a.time) * (b.value - a.value) / (b.time - a.time);
}
