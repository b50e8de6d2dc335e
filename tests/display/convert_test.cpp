#include "display/convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

TEST(Convert, SixteenBitsTruncateToFiveSixFive) {
  const uint32_t src[3] = {0x00FFFFFF, 0x00808080, 0x00070307};
  uint16_t out[4] = {0x1111, 0x1111, 0x1111, 0x1111};
  convert_16(out, src, 3);
  EXPECT_EQ(out[0], 0xFFFF);
  EXPECT_EQ(out[1], 0x8410);
  EXPECT_EQ(out[2], 0x0000);
  EXPECT_EQ(out[3], 0x1111) << "an odd last pixel is stored alone";
  // The fourth byte never leaks into the colour.
  EXPECT_EQ(pixel_to_565(0xFF000000u), 0);
  EXPECT_EQ(pixel_to_565(0x00F80000u), 0xF800);
  EXPECT_EQ(pixel_to_565(0x0000FC00u), 0x07E0);
  EXPECT_EQ(pixel_to_565(0x000000F8u), 0x001F);
}

TEST(Convert, TwentyFourBitsAreBlueGreenRedPacked) {
  const uint32_t src[2] = {0xAA112233, 0x00445566};
  uint8_t out[7];
  std::memset(out, 0xEE, sizeof out);
  convert_24(out, src, 2);
  const uint8_t want[7] = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0xEE};
  EXPECT_EQ(0, std::memcmp(out, want, 7));
}

TEST(Convert, SimdFormsMatchPlainOnRandomPixelsAndCounts) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    int count = static_cast<int>(rng() % 70);
    int offset = static_cast<int>(rng() % 4);  // unaligned destinations too
    std::vector<uint32_t> src(count);
    for (auto& p : src) p = rng();
    std::vector<uint8_t> a(count * 4 + 32, 0x77), b(count * 4 + 32, 0x77);
    convert_32_plain(a.data() + offset, src.data(), count);
    convert_32_simd(b.data() + offset, src.data(), count);
    ASSERT_EQ(a, b) << "count " << count;
    if (count) {
      EXPECT_EQ(0, std::memcmp(b.data() + offset, src.data(), count * 4));
    }

    // Any value, and the clear's 0 (one repeated byte).
    for (uint32_t value : {static_cast<uint32_t>(rng()), 0u}) {
      std::vector<uint32_t> fa(count + 4, 1), fb(count + 4, 1);
      fill_plain(fa.data(), value, count);
      fill_simd(fb.data(), value, count);
      ASSERT_EQ(fa, fb) << "count " << count;
      EXPECT_EQ(fb[count], 1u) << "fill stops at count";
    }
  }
}
