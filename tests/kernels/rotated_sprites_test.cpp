// Turned sprites through the rasterizer: shape, blending, refused sizes and the target's
// bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"

namespace {

constexpr int kPad = 4 * 320;  // guard rows above and below the target

struct Guarded {
  std::vector<uint32_t> words = std::vector<uint32_t>(76800 + 2 * kPad, 0xDEADBEEF);
  Guarded() { std::fill(target(), target() + 76800, 0u); }
  uint32_t* target() { return words.data() + kPad; }
  bool guards_intact() const {
    for (int i = 0; i < kPad; ++i)
      if (words[i] != 0xDEADBEEF || words[kPad + 76800 + i] != 0xDEADBEEF) return false;
    return true;
  }
};

TEST(RotatedSprite, CornersLieOnTheEllipseWithTheirMappingDepthAndIntensity) {
  Vertex c[4];
  sprite_rotozoom_corners(c, 100.0f, 50.0f, 64.0f, 32.0f, 0.0f);
  // Angle 0 stands the square on a corner: right, bottom, left, top.
  EXPECT_NEAR(c[0].screen_x, 132.0f, 1e-4f);
  EXPECT_NEAR(c[0].screen_y, 50.0f, 1e-4f);
  EXPECT_NEAR(c[1].screen_x, 100.0f, 1e-4f);
  EXPECT_NEAR(c[1].screen_y, 66.0f, 1e-4f);
  EXPECT_NEAR(c[2].screen_x, 68.0f, 1e-4f);
  EXPECT_NEAR(c[3].screen_y, 34.0f, 1e-4f);
  const float u[4] = {0, 255, 255, 0}, v[4] = {0, 0, 255, 255};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(c[k].u, u[k]);
    EXPECT_EQ(c[k].v, v[k]);
    EXPECT_EQ(c[k].depth, 1.0f);
    EXPECT_EQ(c[k].intensity, 128.0f);
  }
}

TEST(RotatedSprite, QuarterTurnDrawsAnUprightSquareThatAddsAndSaturates) {
  std::vector<uint32_t> source(64 * 64, 0x00FFFFFF);
  Guarded g;
  std::fill(g.target(), g.target() + 76800, 0x00102030u);
  ASSERT_TRUE(sprite_draw_rotozoom(g.target(), 160.0f, 120.0f, 64.0f, 64.0f, 0.785398163f,
                                   source.data(), 64, 64));
  int left = 320, right = -1, top = 240, bottom = -1, touched = 0;
  for (int p = 0; p < 76800; ++p) {
    if (g.target()[p] == 0x00102030u) continue;
    // A white texel adds 254 (alpha 1.0 is mul[255]): every channel saturates.
    ASSERT_EQ(g.target()[p] & 0x00FFFFFF, 0x00FFFFFFu) << "pixel " << p;
    ++touched;
    left = std::min(left, p % 320), right = std::max(right, p % 320);
    top = std::min(top, p / 320), bottom = std::max(bottom, p / 320);
  }
  // Side 64 / sqrt 2 = 45.25 about the centre: columns and rows 138..182.
  EXPECT_EQ(left, 138);
  EXPECT_EQ(right, 182);
  EXPECT_EQ(top, 98);
  EXPECT_EQ(bottom, 142);
  EXPECT_NEAR(touched, 45 * 45, 45);  // the two triangles share their diagonal exactly once

  // Black texels leave the target as it was.
  std::vector<uint32_t> black(64 * 64, 0);
  Guarded h;
  std::fill(h.target(), h.target() + 76800, 0x00102030u);
  sprite_draw_rotozoom(h.target(), 160.0f, 120.0f, 64.0f, 64.0f, 0.3f, black.data(), 64, 64);
  EXPECT_TRUE(
      std::all_of(h.target(), h.target() + 76800, [](uint32_t p) { return p == 0x00102030u; }));
}

TEST(RotatedSprite, RefusesSourceSizesThatAreNotTextureSizes) {
  std::vector<uint32_t> source(100 * 100, 0x00FFFFFF);
  for (auto [w, h] : {std::pair{48, 64}, {64, 16}, {512, 512}, {0, 0}, {100, 100}}) {
    Guarded g;
    EXPECT_FALSE(
        sprite_draw_rotozoom(g.target(), 160.0f, 120.0f, 64.0f, 64.0f, 0.0f, source.data(), w, h))
        << w << " x " << h;
    EXPECT_TRUE(std::all_of(g.target(), g.target() + 76800, [](uint32_t p) { return p == 0; }));
  }
  Guarded g;
  EXPECT_TRUE(
      sprite_draw_rotozoom(g.target(), 160.0f, 120.0f, 64.0f, 64.0f, 0.0f, source.data(), 32, 256));
}

TEST(RotatedSprite, NeverWritesOutsideTheTarget) {
  std::vector<uint32_t> source(64 * 64, 0x00FFFFFF);
  Guarded g;
  const float spots[][2] = {{-30, -30}, {350, 260}, {-5, 120},  {325, 120}, {160, -40},
                            {160, 280}, {0, 0},     {319, 239}, {160, 120}};
  for (const auto& s : spots)
    for (float size : {8.0f, 64.0f, 300.0f, 2000.0f})
      for (float angle : {0.0f, 0.4f, 2.0f, -5.0f})
        sprite_draw_rotozoom(g.target(), s[0], s[1], size, size * 0.7f, angle, source.data(), 64,
                             64);
  EXPECT_TRUE(g.guards_intact());
}

}  // namespace
