#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "sequencer/sequencer.h"

namespace {

constexpr uint32_t kRgb = 0x00FFFFFF;

std::vector<uint32_t> random_pixels(std::mt19937& rng, int n) {
  std::vector<uint32_t> v(n);
  for (auto& p : v) p = rng();
  return v;
}

uint8_t ch(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

// Every count from 0 to 37 covers the vector body and each length of the tail.
TEST(Blend, SimdAndPlainGiveTheSameColours) {
  std::mt19937 rng(1234);
  const int amounts[] = {-5, 0, 1, 127, 128, 200, 254, 255, 256, 999};
  for (int count = 0; count < 38; ++count) {
    for (int a : amounts) {
      auto src = random_pixels(rng, count), other = random_pixels(rng, count);
      std::vector<uint32_t> p(count), s(count);
      whiten_plain(p.data(), src.data(), a, count);
      whiten_simd(s.data(), src.data(), a, count);
      for (int i = 0; i < count; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "whiten " << a;
      darken_plain(p.data(), src.data(), a, count);
      darken_simd(s.data(), src.data(), a, count);
      for (int i = 0; i < count; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "darken " << a;
      crossfade_plain(p.data(), src.data(), other.data(), a, count);
      crossfade_simd(s.data(), src.data(), other.data(), a, count);
      for (int i = 0; i < count; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "crossfade " << a;
      for (int b : amounts) {
        mix_plain(p.data(), src.data(), other.data(), a, b, count);
        mix_simd(s.data(), src.data(), other.data(), a, b, count);
        for (int i = 0; i < count; ++i)
          ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "mix " << a << "," << b;
      }
    }
  }
}

// Every channel value under every amount: the SIMD forms' products must be exact throughout.
TEST(Blend, SimdFormsAreExactForEveryChannelAndAmount) {
  std::vector<uint32_t> src(256), p(256), s(256);
  for (uint32_t c = 0; c < 256; ++c) src[c] = c * 0x010101u | (255 - c) << 24;
  const std::vector<uint32_t> other(src.rbegin(), src.rend());
  for (int a = 0; a < 256; ++a) {
    whiten_plain(p.data(), src.data(), a, 256);
    whiten_simd(s.data(), src.data(), a, 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "whiten " << a;
    darken_plain(p.data(), src.data(), a, 256);
    darken_simd(s.data(), src.data(), a, 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "darken " << a;
    mix_plain(p.data(), src.data(), other.data(), a, 255 - a / 2, 256);
    mix_simd(s.data(), src.data(), other.data(), a, 255 - a / 2, 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(p[i] & kRgb, s[i] & kRgb) << "mix " << a;
  }
}

TEST(Blend, RoutinesMayWriteOverTheirSource) {
  std::mt19937 rng(7);
  auto src = random_pixels(rng, 101);
  auto expect = src;
  whiten_plain(expect.data(), src.data(), 77, 101);
  auto in_place = src;
  whiten_simd(in_place.data(), in_place.data(), 77, 101);
  for (int i = 0; i < 101; ++i) EXPECT_EQ(expect[i] & kRgb, in_place[i] & kRgb);
}

TEST(Blend, FormulasAndClamps) {
  using Fn = void (*)(uint32_t*, const uint32_t*, int, int);
  for (Fn whiten_fn : {Fn(whiten_plain), Fn(whiten_simd)}) {
    uint32_t px = 0x00102030, out = 0;
    whiten_fn(&out, &px, 0, 1);
    EXPECT_EQ(out & kRgb, 0x00102030u);  // amount 0 changes nothing
    uint32_t black = 0, white = 0x00FFFFFF;
    whiten_fn(&out, &black, 255, 1);
    EXPECT_EQ(out & kRgb, 0x00FEFEFEu);  // 0 + 255*255/256
    whiten_fn(&out, &white, 255, 1);
    EXPECT_EQ(out & kRgb, 0x00FFFFFFu);
  }
  for (Fn darken_fn : {Fn(darken_plain), Fn(darken_simd)}) {
    uint32_t px = 0x00FF8001, a = 0, b = 0;
    darken_fn(&a, &px, 256, 1);
    darken_fn(&b, &px, 255, 1);
    EXPECT_EQ(a & kRgb, b & kRgb);  // above 255 behaves as 255
    EXPECT_EQ(a & kRgb, 0x00FE7F00u);
    darken_fn(&a, &px, -3, 1);
    EXPECT_EQ(a & kRgb, 0u);  // negative behaves as 0
    darken_fn(&a, &px, 128, 1);
    EXPECT_EQ(a & kRgb, 0x007F4000u);  // (c * 128) / 256
  }
  uint32_t white = 0x00FFFFFF, out = 0;
  mix_plain(&out, &white, &white, 255, 255, 1);
  EXPECT_EQ(out, 0x00FFFFFFu);  // saturates at 255, not 508
  mix_simd(&out, &white, &white, 255, 255, 1);
  EXPECT_EQ(out & kRgb, 0x00FFFFFFu);
  // Each term truncates on its own: 100*128/256 + 51*127/256 = 50 + 25.
  uint32_t a = 100, b = 51;
  crossfade_plain(&out, &a, &b, 127, 1);
  EXPECT_EQ(out & 0xFF, 75u);
  // The plain routines leave 0 in the byte that carries no colour.
  uint32_t tagged = 0xAB123456;
  darken_plain(&out, &tagged, 255, 1);
  EXPECT_EQ(out >> 24, 0u);
}

TEST(Blend, InitChoosesTheSetAndBuildsTheMultiplyTable) {
  init_fades(320, 240, 1);
  EXPECT_EQ(has_mmx, 0);
  EXPECT_EQ(whiten, &whiten_plain);
  EXPECT_EQ(mix, &mix_plain);
  init_fades(320, 240, 0);
  EXPECT_EQ(has_mmx, detect_mmx());
#if defined(__x86_64__)
  EXPECT_EQ(has_mmx, 1);
  EXPECT_EQ(darken, &darken_simd);
  EXPECT_EQ(crossfade, &crossfade_simd);
#endif
  EXPECT_EQ(multiply_table[255 * 256 + 255], 254);
  EXPECT_EQ(multiply_table[128 * 256 + 3], 1);
  EXPECT_EQ(multiply_table[0 * 256 + 200], 0);
  EXPECT_EQ(multiply_table[200 * 256 + 0], 0);
  EXPECT_EQ(ch(0x00ABCDEF, 8), 0xCD);
}

}  // namespace
