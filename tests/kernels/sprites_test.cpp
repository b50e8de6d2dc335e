// The two sprite drawers: texel-to-pixel mapping, saturation, tints, and the clip that keeps
// every write inside the target and every read inside the source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

using Draw = void (*)(float, float, float, float, uint32_t*, const uint32_t*);

struct Tint {
  float r, g, b;
};

class Sprites : public ::testing::Test {
 protected:
  void SetUp() override {
    init_fades(kFrameWidth, kFrameHeight, 0);  // the product table
    sprite_source_width = sprite_source_height = 256;
  }
  void TearDown() override { sprite_source_width = sprite_source_height = 256; }
};

// Every texel different: red and green carry the column, blue the row.
std::vector<uint32_t> numbered(int w, int h) {
  std::vector<uint32_t> img(static_cast<size_t>(w) * h);
  for (int v = 0; v < h; ++v)
    for (int u = 0; u < w; ++u) img[v * w + u] = (u << 16) | ((u >> 8) << 8) | v;
  return img;
}

void expect_one_to_one(Draw draw, const char* name) {
  const auto src = numbered(256, 256);
  std::vector<uint32_t> frame(kFramePixels, 0);
  draw(160.0f, 120.0f, 256.0f, 256.0f, frame.data(), src.data());
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x) {
      const uint32_t want = (x >= 32 && x < 288) ? src[(y + 8) * 256 + (x - 32)] : 0;
      ASSERT_EQ(frame[y * kFrameWidth + x] & 0xFFFFFF, want) << name << " at " << x << "," << y;
    }
}

TEST_F(Sprites, FullSizeSpriteMapsTexelToPixelFromColumn32AndRowMinus8) {
  expect_one_to_one(sprite_draw_additive_plain, "plain");
  expect_one_to_one(sprite_draw_additive_simd, "simd");
}

TEST_F(Sprites, AddsWithSaturationAndBlackLeavesTheTargetAlone) {
  sprite_source_width = sprite_source_height = 2;
  const uint32_t src[4] = {0x00C80000, 0x00000000, 0x00C8C8C8, 0x00010203};
  for (Draw draw : {sprite_draw_additive_plain, sprite_draw_additive_simd}) {
    std::vector<uint32_t> frame(kFramePixels, 0x00646464);
    draw(11.0f, 11.0f, 2.0f, 2.0f, frame.data(), src);  // pixels (10..11, 10..11)
    EXPECT_EQ(frame[10 * 320 + 10] & 0xFFFFFF, 0x00FF6464u);
    EXPECT_EQ(frame[10 * 320 + 11] & 0xFFFFFF, 0x00646464u);
    EXPECT_EQ(frame[11 * 320 + 10] & 0xFFFFFF, 0x00FFFFFFu);
    EXPECT_EQ(frame[11 * 320 + 11] & 0xFFFFFF, 0x00656667u);
    EXPECT_EQ(frame[9 * 320 + 10] & 0xFFFFFF, 0x00646464u);
  }
}

TEST_F(Sprites, TintScalesEachChannelAndClampsFactorsOutsideZeroToOne) {
  sprite_source_width = sprite_source_height = 1;
  const uint32_t white = 0x00FFFFFF;
  using TintDraw =
      void (*)(float, float, float, float, uint32_t*, const uint32_t*, float, float, float);
  for (TintDraw draw : {sprite_draw_tinted_plain, sprite_draw_tinted_simd}) {
    std::vector<uint32_t> frame(kFramePixels, 0);
    // Eight pixels wide, so the SIMD form's four-pixel path runs as well as its tail.
    draw(104.0f, 100.5f, 8.0f, 1.0f, frame.data(), &white, 1.0f, 0.5f, 0.0f);
    for (int x = 100; x < 108; ++x) EXPECT_EQ(frame[100 * 320 + x] & 0xFFFFFF, 0x00FE7E00u);
    draw(104.0f, 120.5f, 8.0f, 1.0f, frame.data(), &white, 7.0f, -3.0f, NAN);
    for (int x = 100; x < 108; ++x) EXPECT_EQ(frame[120 * 320 + x] & 0xFFFFFF, 0x00FE0000u);
  }
}

TEST_F(Sprites, SpritesOffTheTargetOrTooSmallDrawNothing) {
  const auto src = numbered(256, 256);
  const float cases[][4] = {{-20, 100, 40, 40},      {100, -20, 40, 40},   {340, 100, 40, 40},
                            {100, 260, 40, 40},      {100, 100, 0.5f, 40}, {100, 100, 40, -4},
                            {NAN, 100, 40, 40},      {100, 100, NAN, 40},  {1e30f, 100, 40, 40},
                            {100, 100, INFINITY, 40}};
  for (const auto& c : cases)
    for (Draw draw : {sprite_draw_additive_plain, sprite_draw_additive_simd}) {
      std::vector<uint32_t> frame(kFramePixels, 0);
      draw(c[0], c[1], c[2], c[3], frame.data(), src.data());
      for (uint32_t p : frame) ASSERT_EQ(p, 0u) << c[0] << " " << c[1] << " " << c[2];
    }
}

TEST_F(Sprites, ACoveringSpriteReachesTheLastColumnAndRow) {
  const auto src = numbered(256, 256);
  std::vector<uint32_t> frame(kFramePixels, 0);
  sprite_draw_additive(160.0f, 120.0f, 640.0f, 480.0f, frame.data(), src.data());
  EXPECT_NE(frame[kFramePixels - 1] & 0xFFFFFF, 0u);
  EXPECT_NE(frame[319] & 0xFFFFFF, 0u);
  EXPECT_NE(frame[239 * 320] & 0xFF, 0u);
}

// Random positions and sizes, from sub-pixel to enormous, with guard bands around the
// target and the source: a guard word changed is a write outside the target, a red channel
// in the target is a texel read outside the source (inside, only blue and green are set).
TEST_F(Sprites, NoPositionOrSizeWritesOutsideTheTargetOrReadsOutsideTheSource) {
  constexpr int kGuard = 4096;
  constexpr uint32_t kMark = 0xDEADBEEF;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> pos(-700.0f, 1000.0f);
  std::uniform_real_distribution<float> expo(-1.0f, 6.0f);
  std::uniform_int_distribution<int> side(1, 300);
  for (int round = 0; round < 400; ++round) {
    const int sw = side(rng), sh = side(rng);
    std::vector<uint32_t> src(static_cast<size_t>(sw) * sh + 2 * kGuard, 0x00FF0000);
    for (int i = 0; i < sw * sh; ++i) src[kGuard + i] = 0x00000101;
    std::vector<uint32_t> frame(kFramePixels + 2 * kGuard, kMark);
    std::fill(frame.begin() + kGuard, frame.end() - kGuard, 0u);
    sprite_source_width = sw;
    sprite_source_height = sh;
    const float w = std::pow(10.0f, expo(rng)), h = std::pow(10.0f, expo(rng));
    const float x = pos(rng), y = pos(rng);
    if (round % 2)
      sprite_draw_additive_simd(x, y, w, h, frame.data() + kGuard, src.data() + kGuard);
    else
      sprite_draw_tinted_simd(x, y, w, h, frame.data() + kGuard, src.data() + kGuard, 1, 1, 1);
    sprite_draw_additive_plain(x, y, w, h, frame.data() + kGuard, src.data() + kGuard);
    for (int i = 0; i < kGuard; ++i) {
      ASSERT_EQ(frame[i], kMark) << "before the target: " << x << "," << y << " " << w << "x" << h;
      ASSERT_EQ(frame[kGuard + kFramePixels + i], kMark) << "after the target";
    }
    for (int i = 0; i < kFramePixels; ++i)
      ASSERT_EQ(frame[kGuard + i] & 0x00FF0000, 0u)
          << "read outside the source: " << x << "," << y << " " << w << "x" << h;
  }
}

TEST_F(Sprites, PlainAndSimdGiveTheSameColours) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> pos(-100.0f, 420.0f), size(1.0f, 300.0f), f(0.0f, 1.0f);
  std::uniform_int_distribution<uint32_t> word;
  std::vector<uint32_t> src(256 * 256);
  for (auto& p : src) p = word(rng);
  std::vector<uint32_t> base(kFramePixels);
  for (auto& p : base) p = word(rng) & 0x7F7F7F7F;
  auto plain = base, simd = base;
  for (int i = 0; i < 200; ++i) {
    const float x = pos(rng), y = pos(rng), w = size(rng), h = size(rng);
    const Tint t{f(rng), f(rng), f(rng)};
    if (i % 2) {
      sprite_draw_additive_plain(x, y, w, h, plain.data(), src.data());
      sprite_draw_additive_simd(x, y, w, h, simd.data(), src.data());
    } else {
      sprite_draw_tinted_plain(x, y, w, h, plain.data(), src.data(), t.r, t.g, t.b);
      sprite_draw_tinted_simd(x, y, w, h, simd.data(), src.data(), t.r, t.g, t.b);
    }
  }
  for (int i = 0; i < kFramePixels; ++i)
    ASSERT_EQ(plain[i] & 0xFFFFFF, simd[i] & 0xFFFFFF) << "pixel " << i;
}

}  // namespace
