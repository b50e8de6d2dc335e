// Offset-table warps: a 256 x 256 texture seen through three copies of one direction field,
// each centred on its own moving point. The fields are byte tables twice the screen's size,
// so a screen-sized window of them can sit anywhere; per pixel the three windows are added
// and subtracted bytewise and the two bytes pick the texel.
#include <emmintrin.h>

#include <cmath>
#include <cstdint>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

constexpr int kTableWidth = 2 * kFrameWidth;
constexpr int kTableHeight = 2 * kFrameHeight;
constexpr int kTableBytes = kTableWidth * kTableHeight;
constexpr float kPi = 3.1415926535f;

// Only these six fields are ever read; the others a build makes are never used.
uint8_t field_y15[kTableBytes], field_x175[kTableBytes], field_y0[kTableBytes],
    field_x0[kTableBytes], field_y30[kTableBytes], field_x30[kTableBytes];

// The texel origin that warp_three_centres last moved to; the mode form reuses it.
int32_t texture_offset = 0;

// One component of the unit vector from a point at height depth above the table's centre,
// scaled so the corners reach the ends of the byte range; the low byte is kept (columns far
// from the centre of the flat fields wrap, and the pictures rely on that).
void build_field(uint8_t* table, double depth, bool vertical) {
  const double reach = std::sqrt(320.0 * 320.0 + 240.0 * 240.0 + depth * depth);
  const double k = vertical ? 128.0 * reach / 240.0 : 128.0 * reach / 320.0;
  for (int r = 0; r < kTableHeight; ++r) {
    for (int c = 0; c < kTableWidth; ++c) {
      const double x = c - 320.0, y = r - 240.0;
      const double len = std::sqrt(x * x + y * y + depth * depth);
      // The centre of a flat (depth 0) field has no direction: it points nowhere (128).
      const double part = len > 0.0 ? (vertical ? y : x) * k / len : 0.0;
      table[r * kTableWidth + c] = static_cast<uint8_t>(static_cast<int>(128.0 + part) & 0xFF);
    }
  }
}

struct Centres {
  int x[3], y[3];
};

// The centres are truncated like every float-to-integer conversion of the show; they stay
// within 0..320 x 0..240, so each window stays inside its table.
int centre_coord(float v) {
  return static_cast<int>(v);
}

using RowFn = void (*)(uint32_t* dst, const uint8_t* high, const uint8_t* low, int d1, int d12,
                       const uint32_t* texture, uint32_t offset);

void warp_draw(RowFn row, uint32_t* target, const uint32_t* texture, const Centres& p,
               const uint8_t* high, const uint8_t* low) {
  const int a0 = p.y[0] * kTableWidth + p.x[0];
  const int a1 = p.y[1] * kTableWidth + p.x[1];
  const int a2 = p.y[2] * kTableWidth + p.x[2];
  const int d1 = a1 - a0, d12 = a2 - a0;
  const uint32_t offset = static_cast<uint32_t>(texture_offset);
  for (int r = 0; r < kFrameHeight; ++r) {
    const int i = a0 + r * kTableWidth;
    row(target + r * kFrameWidth, high + i, low + i, d1, d12, texture, offset);
  }
}

Centres three_centres(float t) {
  const float T = t * kPi;
  Centres p;
  p.x[0] = centre_coord(160.0f + 160.0f * std::cos(T / 128.0f));
  p.y[0] = centre_coord(120.0f + 50.0f * std::sin(T / 128.0f));
  p.x[1] = centre_coord(160.0f + 130.0f * std::sin(T / 248.0f));
  p.y[1] = centre_coord(120.0f + 100.0f * std::cos(T / 168.0f));
  p.x[2] = centre_coord(160.0f + 70.0f * std::sin(T / 228.0f));
  p.y[2] = centre_coord(120.0f + 90.0f * std::cos(T / 328.0f));
  return p;
}

Centres mode_centres(float t) {
  Centres p;
  p.x[0] = centre_coord(160.0f + 160.0f * std::cos(t));
  p.y[0] = centre_coord(120.0f + 50.0f * std::sin(t));
  p.x[1] = centre_coord(160.0f + 130.0f * std::sin(2.0f * t / 3.0f));
  p.y[1] = centre_coord(120.0f + 100.0f * std::cos(5.0f * t / 6.0f));
  p.x[2] = centre_coord(160.0f + 70.0f * std::sin(5.0f * t / 8.0f));
  p.y[2] = centre_coord(120.0f + 90.0f * std::cos(5.0f * t / 9.0f));
  return p;
}

void three_centres(RowFn row, uint32_t* target, const uint32_t* texture, float t) {
  const float T = t * kPi;
  texture_offset = static_cast<int32_t>(256.0f * std::cos(T / 412.0f)) * 256 +
                   static_cast<int32_t>(256.0f * std::sin(T / 312.0f));
  warp_draw(row, target, texture, three_centres(t), field_x30, field_y30);
}

void three_centres_mode(RowFn row, uint32_t* target, const uint32_t* texture, float t, int mode) {
  static const uint8_t* const high[3] = {field_x175, field_y0, field_x0};
  static const uint8_t* const low[3] = {field_x0, field_x175, field_y15};
  if (mode < 0 || mode > 2) return;
  warp_draw(row, target, texture, mode_centres(t), high[mode], low[mode]);
}

}  // namespace

void warp_row_plain(uint32_t* dst, const uint8_t* high, const uint8_t* low, int d1, int d12,
                    const uint32_t* texture, uint32_t offset) {
  for (int c = 0; c < kFrameWidth; ++c) {
    const uint32_t h = static_cast<uint8_t>(high[c] + high[c + d1] - high[c + d12]);
    const uint32_t l = static_cast<uint8_t>(low[c] + low[c + d1] - low[c + d12]);
    // Unsigned and masked: the offset is often negative, and the sum must wrap within
    // the texture rather than index before it.
    dst[c] = texture[(h * 256 + l + offset) & 0xFFFF];
  }
}

void warp_row_simd(uint32_t* dst, const uint8_t* high, const uint8_t* low, int d1, int d12,
                   const uint32_t* texture, uint32_t offset) {
  const __m128i off = _mm_set1_epi16(static_cast<short>(offset & 0xFFFF));
  alignas(16) uint16_t index[16];
  for (int c = 0; c < kFrameWidth; c += 16) {
    const auto load = [](const uint8_t* p) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    // Sixteen byte sums at once, wrapping as bytes do.
    const __m128i h =
        _mm_sub_epi8(_mm_add_epi8(load(high + c), load(high + c + d1)), load(high + c + d12));
    const __m128i l =
        _mm_sub_epi8(_mm_add_epi8(load(low + c), load(low + c + d1)), load(low + c + d12));
    // Interleaved (low, high) bytes are the 16-bit index; the 16-bit add wraps it.
    _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_add_epi16(_mm_unpacklo_epi8(l, h), off));
    _mm_store_si128(reinterpret_cast<__m128i*>(index + 8),
                    _mm_add_epi16(_mm_unpackhi_epi8(l, h), off));
    for (int k = 0; k < 16; ++k) dst[c + k] = texture[index[k]];
  }
}

void warp_tables_init() {
  build_field(field_y15, 15.0, true);
  build_field(field_x175, 175.0, false);
  build_field(field_y0, 0.0, true);
  build_field(field_x0, 0.0, false);
  build_field(field_y30, 30.0, true);
  build_field(field_x30, 30.0, false);
  texture_offset = 0;
}

int32_t warp_texture_offset() {
  return texture_offset;
}

const uint8_t* warp_field(WarpField field) {
  switch (field) {
    case WarpField::kY15:
      return field_y15;
    case WarpField::kX175:
      return field_x175;
    case WarpField::kY0:
      return field_y0;
    case WarpField::kX0:
      return field_x0;
    case WarpField::kY30:
      return field_y30;
    case WarpField::kX30:
      return field_x30;
  }
  return nullptr;
}

void warp_three_centres_plain(uint32_t* target, const uint32_t* texture, float t) {
  three_centres(warp_row_plain, target, texture, t);
}
void warp_three_centres_simd(uint32_t* target, const uint32_t* texture, float t) {
  three_centres(warp_row_simd, target, texture, t);
}
void warp_three_centres(uint32_t* target, const uint32_t* texture, float t) {
  three_centres(has_mmx ? warp_row_simd : warp_row_plain, target, texture, t);
}

void warp_three_centres_mode_plain(uint32_t* target, const uint32_t* texture, float t, int mode) {
  three_centres_mode(warp_row_plain, target, texture, t, mode);
}
void warp_three_centres_mode_simd(uint32_t* target, const uint32_t* texture, float t, int mode) {
  three_centres_mode(warp_row_simd, target, texture, t, mode);
}
void warp_three_centres_mode(uint32_t* target, const uint32_t* texture, float t, int mode) {
  three_centres_mode(has_mmx ? warp_row_simd : warp_row_plain, target, texture, t, mode);
}
