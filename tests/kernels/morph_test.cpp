#include <gtest/gtest.h>

#include <vector>

#include "kernels/kernels.h"

namespace {

using Frame = std::vector<uint32_t>;

Frame frame_of(uint32_t colour) {
  return Frame(kFramePixels, colour);
}

int red(uint32_t p) {
  return (p >> 16) & 0xFF;
}

// ---- smear_scan ----

TEST(SmearScan, StrengthOutsideOneTo127IsClamped) {
  Frame base = frame_of(0);
  for (int i = 0; i < kFramePixels; i += 97) base[i] = 0x00FF8040 + static_cast<uint32_t>(i);
  auto smeared = [&](int k) {
    Frame f = base;
    smear_scan(f.data(), k);
    return f;
  };
  EXPECT_EQ(smeared(0), smeared(1));
  EXPECT_EQ(smeared(-40), smeared(1));
  EXPECT_EQ(smeared(128), smeared(127));
  EXPECT_EQ(smeared(100000), smeared(127));
  EXPECT_NE(smeared(1), smeared(127));
}

// One bright pixel at the end of a row spreads both ways along the scan, into the next
// row's first pixels too, and further for a small strength than for a large one.
TEST(SmearScan, SpreadsBothWaysAcrossRowEnds) {
  const int at = 5 * kFrameWidth + kFrameWidth - 1;
  auto reach = [&](int k) {
    Frame f = frame_of(0);
    f[at] = 0x00FFFFFF;
    smear_scan(f.data(), k);
    EXPECT_GT(red(f[at + 1]), 0) << k;  // the next row's first pixel
    EXPECT_GT(red(f[at - 1]), 0) << k;
    int right = 0, left = 0;
    while (at + right + 1 < kFramePixels && red(f[at + right + 1]) > 0) ++right;
    while (at - left - 1 >= 0 && red(f[at - left - 1]) > 0) ++left;
    return std::pair{left, right};
  };
  const auto [long_left, long_right] = reach(4);
  const auto [short_left, short_right] = reach(100);
  EXPECT_GT(long_left, short_left);
  EXPECT_GT(long_right, short_right);
}

// The accumulators must never step below zero or above the pixel: a stray step would show
// as a channel read back as 255 in the black that follows a bright run.
TEST(SmearScan, BlackStaysBlackAfterBrightRunsAndByte3IsCleared) {
  for (int k = 1; k <= 127; ++k) {
    Frame f = frame_of(0xFF000000);
    for (int i = 40000; i < 40000 + 300; ++i) f[i] = 0xFFFF7F01;
    smear_scan(f.data(), k);
    for (int i = 0; i < kFramePixels; ++i) {
      ASSERT_EQ(f[i] >> 24, 0u) << k;
      ASSERT_LE(f[i] & 0xFF, 1u) << "k " << k << " pixel " << i;
    }
    EXPECT_EQ(f[0], 0u) << k;
    EXPECT_EQ(f[kFramePixels - 1], 0u) << k;
  }
}

// A flat grey is kept (within the filter's rounding) away from the ends and pulled towards
// black at both ends; the first pixel most, as the second pass starts there from black.
TEST(SmearScan, FlatPictureKeptInsideAndDarkenedAtTheEnds) {
  Frame f = frame_of(0x00808080);
  smear_scan(f.data(), 16);
  EXPECT_NEAR(red(f[kFramePixels / 2]), 0x80, 2);
  EXPECT_LT(red(f[0]), 0x40);
  EXPECT_LT(red(f[kFramePixels - 1]), 0x78);
}

}  // namespace
