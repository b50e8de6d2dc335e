// Offset-table warps: the byte sums, the texel origin, the fields and the two forms.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "kernels/kernels.h"

namespace {

using Frame = std::vector<uint32_t>;

// Texel i holds i, so a pixel names the index that picked it.
std::vector<uint32_t> index_texture() {
  std::vector<uint32_t> t(65536);
  for (uint32_t i = 0; i < t.size(); ++i) t[i] = i;
  return t;
}

class WarpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { warp_tables_init(); }
  const std::vector<uint32_t> texture = index_texture();
};

using RowFn = void (*)(uint32_t*, const uint8_t*, const uint8_t*, int, int, const uint32_t*,
                       uint32_t);

TEST_F(WarpTest, ByteSumsWrapAndTheOffsetWrapsWithinTheTexture) {
  // Three windows 400 bytes apart: 200 + 100 - 10 is 34 as a byte, not 290.
  std::vector<uint8_t> high(1200, 0), low(1200, 0);
  for (int c = 0; c < 320; ++c) {
    high[c] = 200, high[400 + c] = 100, high[800 + c] = 10;
    low[c] = static_cast<uint8_t>(c), low[400 + c] = 5, low[800 + c] = 10;  // c - 5 wraps too
  }
  for (RowFn row : {RowFn(warp_row_plain), RowFn(warp_row_simd)}) {
    Frame dst(320);
    row(dst.data(), high.data(), low.data(), 400, 800, texture.data(), 0);
    EXPECT_EQ(dst[0], 34u * 256 + 251);  // low 0 + 5 - 10 = 251 without a borrow
    EXPECT_EQ(dst[100], 34u * 256 + 95);
    // A negative offset (the usual case) moves back and wraps, never before the texture.
    row(dst.data(), high.data(), low.data(), 400, 800, texture.data(),
        static_cast<uint32_t>(-35 * 256));
    EXPECT_EQ(dst[0], 0xFF00u + 251);
    EXPECT_EQ(dst[100], 0xFF00u + 95);
    // A positive one carries from the low byte into the high byte.
    row(dst.data(), high.data(), low.data(), 400, 800, texture.data(), 10);
    EXPECT_EQ(dst[0], 35u * 256 + 5);
  }
}

TEST_F(WarpTest, FieldsHoldTheScaledDirectionsAndTheFlatCentrePointsNowhere) {
  auto at = [](WarpField f, int c, int r) { return warp_field(f)[r * 640 + c]; };
  // The top-left corner reaches the bottom of the byte range, the bottom-right nearly its top.
  EXPECT_EQ(at(WarpField::kY30, 0, 0), 0);
  EXPECT_EQ(at(WarpField::kX30, 0, 0), 0);
  EXPECT_EQ(at(WarpField::kY30, 639, 479), 255);
  EXPECT_EQ(at(WarpField::kX175, 639, 479), 255);
  // Flat field: at the left edge of the middle row the x part is -160, kept as its low byte.
  EXPECT_EQ(at(WarpField::kX0, 0, 240), 224);
  EXPECT_EQ(at(WarpField::kY0, 320, 0), 171);  // 128 - 213.3, truncated to -85
  // Where the flat field has no direction it holds the middle value, not a NaN's garbage.
  EXPECT_EQ(at(WarpField::kX0, 320, 240), 128);
  EXPECT_EQ(at(WarpField::kY0, 320, 240), 128);
  // On the centre column a horizontal field has no x part, on the centre row a vertical one.
  for (int r : {0, 10, 479}) EXPECT_EQ(at(WarpField::kX175, 320, r), 128);
  for (int c : {0, 10, 639}) EXPECT_EQ(at(WarpField::kY15, c, 240), 128);
}

TEST_F(WarpTest, ThreeCentresFollowTheirPathsAndSetTheTexelOrigin) {
  // At t = 0 the centres are (320, 120), (160, 220), (160, 210) and the origin is
  // 256 * 256 + 0, which wraps to nothing.
  Frame f(76800);
  warp_three_centres_plain(f.data(), texture.data(), 0.0f);
  EXPECT_EQ(warp_texture_offset(), 65536);
  const uint8_t* h = warp_field(WarpField::kX30);
  const uint8_t* l = warp_field(WarpField::kY30);
  const int a0 = 120 * 640 + 320, a1 = 220 * 640 + 160, a2 = 210 * 640 + 160;
  for (int p : {0, 319, 161 * 320 + 77, 76799}) {
    const int i = a0 + (p / 320) * 640 + p % 320;
    const uint8_t hi = static_cast<uint8_t>(h[i] + h[i - a0 + a1] - h[i - a0 + a2]);
    const uint8_t lo = static_cast<uint8_t>(l[i] + l[i - a0 + a1] - l[i - a0 + a2]);
    EXPECT_EQ(f[p], hi * 256u + lo) << "pixel " << p;
  }
}

TEST_F(WarpTest, ModeFormKeepsTheLastOriginAndIgnoresOtherModes) {
  Frame with_origin(76800), without(76800);
  warp_tables_init();
  warp_three_centres_mode_plain(without.data(), texture.data(), 3.0f, 1);
  warp_three_centres_plain(with_origin.data(), texture.data(), 500.0f);
  const uint32_t origin = static_cast<uint32_t>(warp_texture_offset());
  ASSERT_NE(origin & 0xFFFF, 0u);
  warp_three_centres_mode_plain(with_origin.data(), texture.data(), 3.0f, 1);
  for (int p = 0; p < 76800; p += 997) EXPECT_EQ(with_origin[p], (without[p] + origin) & 0xFFFF);
  // Unknown modes leave the target alone.
  Frame kept(76800, 0x123456);
  for (int mode : {-1, 3, 100}) {
    warp_three_centres_mode_plain(kept.data(), texture.data(), 1.0f, mode);
    warp_three_centres_mode_simd(kept.data(), texture.data(), 1.0f, mode);
  }
  EXPECT_EQ(kept, Frame(76800, 0x123456));
}

TEST_F(WarpTest, PlainAndSimdFormsDrawTheSameFrames) {
  for (float t : {0.0f, 37.5f, -1234.25f, 9999.0f}) {
    Frame a(76800), b(76800);
    warp_three_centres_plain(a.data(), texture.data(), t);
    warp_three_centres_simd(b.data(), texture.data(), t);
    ASSERT_EQ(a, b) << "t " << t;
    for (int mode = 0; mode < 3; ++mode) {
      warp_three_centres_mode_plain(a.data(), texture.data(), t / 40.0f, mode);
      warp_three_centres_mode_simd(b.data(), texture.data(), t / 40.0f, mode);
      ASSERT_EQ(a, b) << "t " << t << " mode " << mode;
    }
  }
}

}  // namespace
