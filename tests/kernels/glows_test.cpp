// The radial glow, the show's random numbers, the glow images and the swarm's shapes and
// blending.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "platform/files.h"
#include "sequencer/sequencer.h"

namespace {

using Buffer = std::vector<uint32_t>;
using BlurFn = void (*)(uint32_t*, float, float, float, float, float);
constexpr uint32_t kColour = 0x00FFFFFF;

class RadialBlur : public ::testing::TestWithParam<BlurFn> {
 protected:
  void SetUp() override { init_fades(kFrameWidth, kFrameHeight, 0); }
};

Buffer noise(uint32_t seed) {
  Buffer b(kFramePixels);
  for (auto& p : b) {
    seed = seed * 1664525u + 1013904223u;
    p = seed;  // byte 3 too: it must come out 0
  }
  return b;
}

uint32_t scaled(uint32_t p, int w) {
  auto c = [&](int s) { return ((((p >> s) & 0xFF) * static_cast<uint32_t>(w)) >> 8) << s; };
  return c(16) | c(8) | c(0);
}

TEST_P(RadialBlur, WeightsZeroGiveBlackAndOwnWeightOneOnlyScales) {
  Buffer b = noise(7);
  GetParam()(b.data(), 160.0f, 120.0f, 0.3f, 0.0f, 0.0f);
  for (uint32_t p : b) ASSERT_EQ(p, 0u);

  const Buffer before = noise(8);
  b = before;
  GetParam()(b.data(), 160.0f, 175.0f, 0.16f, 1.0f, 0.0f);
  for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(b[i], scaled(before[i], 255)) << i;
}

TEST_P(RadialBlur, CentreOffScreenStillWorksEveryPixelAndReadsOnlyTheScreen) {
  // Centres off every side, reaches beyond 0..1 and negative: without the clamp the inward
  // pixel would lie outside the screen. The words around the black buffer are white, so a
  // read outside it would light a pixel.
  const float centres[][2] = {{400, -50}, {-80, 300}, {160, 120}, {-1e9f, 1e9f}};
  constexpr int kGuard = 100000;
  for (const auto& c : centres)
    for (float reach : {0.16f, 1.0f, 2.5f, -1.5f}) {
      Buffer guarded(kFramePixels + 2 * kGuard, 0x00FFFFFFu);
      uint32_t* b = guarded.data() + kGuard;
      std::fill(b, b + kFramePixels, 0u);
      GetParam()(b, c[0], c[1], reach, 1.0f, 1.0f);
      for (int i = 0; i < kFramePixels; ++i) ASSERT_EQ(b[i], 0u) << c[0] << "," << c[1] << " " << i;
      ASSERT_EQ(guarded[kGuard - 1], 0x00FFFFFFu);
      ASSERT_EQ(guarded[kGuard + kFramePixels], 0x00FFFFFFu);

      // Every pixel is worked, whichever passes start on the screen.
      const Buffer before = noise(9);
      Buffer all = before;
      GetParam()(all.data(), c[0], c[1], reach, 1.0f, 0.0f);
      for (int i = 0; i < kFramePixels; ++i)
        ASSERT_EQ(all[i], scaled(before[i], 255)) << c[0] << "," << c[1] << " " << i;
    }
}

TEST_P(RadialBlur, LightRunsOutwardFromTheCentreOnly) {
  Buffer b(kFramePixels, 0);
  b[120 * kFrameWidth + 200] = 0x00FFFFFF;  // 40 right of the centre
  GetParam()(b.data(), 160.0f, 120.0f, 0.5f, 1.0f, 1.0f);
  // (240, 120) takes in (240 - 40, 120), itself scaled by 255/256 first; nothing nearer
  // the centre lights up.
  EXPECT_EQ(b[120 * kFrameWidth + 200], 0x00FEFEFEu);
  EXPECT_EQ(b[120 * kFrameWidth + 240], 0x00FDFDFDu);
  for (int x = 160; x < 200; ++x) ASSERT_EQ(b[120 * kFrameWidth + x], 0u) << x;
  for (int x = 0; x < 160; ++x) ASSERT_EQ(b[120 * kFrameWidth + x], 0u) << x;
  // Worked in place: 319 takes in 319 - 79 = 240, already lit.
  EXPECT_EQ(b[120 * kFrameWidth + 319], 0x00FCFCFCu);
}

INSTANTIATE_TEST_SUITE_P(Forms, RadialBlur, ::testing::Values(radial_blur_plain, radial_blur_simd));

TEST(RadialBlurForms, SimdGivesThePlainColoursInPlace) {
  init_fades(kFrameWidth, kFrameHeight, 0);
  struct Case {
    float cx, cy, reach, own, in;
  };
  const Case cases[] = {{160, 175, 0.16f, 0.8f, 0.5f},
                        {160, 120, 0.031f, 0.45f, 0.85f},
                        {160, 120, 0.09f, 0.45f, 0.85f},
                        {10.7f, 230.2f, 0.7f, 1.2f, -0.3f},
                        {330, 250, 0.4f, 0.5f, 0.9f},
                        {50, 60, -0.3f, 0.6f, 0.6f},
                        // Offsets that jump by more than one a pixel (1, 3, 4, ...).
                        {160, 120, 1.5f, 0.5f, 0.7f},
                        {160.5f, 100, -1.5f, 0.5f, 0.7f}};
  for (const Case& c : cases) {
    Buffer plain = noise(11), simd = plain;
    radial_blur_plain(plain.data(), c.cx, c.cy, c.reach, c.own, c.in);
    radial_blur_simd(simd.data(), c.cx, c.cy, c.reach, c.own, c.in);
    for (int i = 0; i < kFramePixels; ++i)
      ASSERT_EQ(plain[i] & kColour, simd[i] & kColour) << c.cx << "," << c.cy << " at " << i;
  }
}

TEST(RandomNumbers, FirstTenFromSeedOne) {
  random_seed(1);
  const int want[10] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int w : want) EXPECT_EQ(random_next(), w);
  random_seed(1);
  EXPECT_EQ(random_next(), 41);  // a reseed starts over
  for (int i = 0; i < 100000; ++i) {
    const int r = random_next();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
}

TEST(GlowMake, RoundSymmetricAndBlackFrom128Out) {
  std::vector<uint32_t> g(256 * 256, 0xDEADBEEF);
  glow_make(g.data(), 256, 256, 0.8f, 0.3f, 0.2f);
  const uint32_t peak = (101u << 16) | (38u << 8) | 25u;  // trunc(127 x factor)
  for (int i : {127 * 256 + 127, 127 * 256 + 128, 128 * 256 + 127, 128 * 256 + 128})
    EXPECT_EQ(g[i], peak);
  EXPECT_EQ(g[0], 0u);
  EXPECT_EQ(g[128 * 256 + 0], 0u);  // 128 from the centre
  // 64 from the centre: m = 64.
  EXPECT_EQ(g[128 * 256 + 64], (51u << 16) | (19u << 8) | 12u);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint32_t p = g[y * 256 + x];
      ASSERT_EQ(p, g[y * 256 + 255 - x]);
      ASSERT_EQ(p, g[(255 - y) * 256 + x]);
      ASSERT_LE((p >> 16) & 0xFF, 127u);
      ASSERT_EQ(p >> 24, 0u);
    }
  // Factors above 1 saturate a channel instead of carrying into the next.
  glow_make(g.data(), 256, 256, 0.0f, 3.0f, 0.0f);
  EXPECT_EQ(g[128 * 256 + 128], 0x0000FF00u);
}

class Swarm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::set_data_dir(TH_BINARY_DIR "/data");
    sprites_init();
  }
};

TEST_F(Swarm, RandomNumbersAreDrawnColoursFirstThenS0ThenS5) {
  random_seed(1);
  for (int i = 0; i < kSwarmPoints; ++i) ASSERT_EQ(swarm_colour_index(i), random_next() % 4);
  auto unit = [](int r) { return (static_cast<float>(r) / 32767.0f - 0.5f); };
  const Vec3* s0 = swarm_shape(0);
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    ASSERT_EQ(s0[k].x, unit(random_next()) * 300.0f);
    ASSERT_EQ(s0[k].y, unit(random_next()) * 300.0f);
    ASSERT_EQ(s0[k].z, unit(random_next()) * 300.0f);
  }
  const Vec3* s5 = swarm_shape(5);
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    ASSERT_EQ(s5[k].x, unit(random_next()) * 50.0f);
    ASSERT_EQ(s5[k].y, unit(random_next()) * 50.0f);
    ASSERT_EQ(s5[k].z, unit(random_next()) * 50.0f);
  }
  // The torus knot S1 starts at (150, 0, 0); S2's first point at (50 (2 - 4/3), 0, 0).
  EXPECT_FLOAT_EQ(swarm_shape(1)[0].x, 150.0f);
  EXPECT_NEAR(swarm_shape(2)[0].x, 50.0f * (2.0f - 4.0f / 3.0f), 1e-4f);
}

TEST_F(Swarm, CopiesTrailTenUnitsAlongTheCycle) {
  std::vector<Vec3> p(kSwarmPoints);
  auto expect_blend = [&](int copy, int from, int to, double u) {
    const Vec3 *a = swarm_shape(from), *b = swarm_shape(to);
    for (int k = 0; k < kSwarmShapePoints; ++k) {
      const Vec3& q = p[copy * kSwarmShapePoints + k];
      ASSERT_NEAR(q.x, a[k].x + u * (b[k].x - a[k].x), 1e-3) << copy << " " << k;
      ASSERT_NEAR(q.y, a[k].y + u * (b[k].y - a[k].y), 1e-3) << copy << " " << k;
      ASSERT_NEAR(q.z, a[k].z + u * (b[k].z - a[k].z), 1e-3) << copy << " " << k;
    }
  };
  const double pi = 3.14159265358979;
  // Time 0: the first copy on S0; the others 10 and 20 units on towards S1.
  swarm_blend_points(0.0f, p.data());
  expect_blend(0, 0, 1, 0.0);
  expect_blend(1, 0, 1, std::sin(10 * pi / 256));
  expect_blend(2, 0, 1, std::sin(20 * pi / 256));
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    ASSERT_EQ(p[k].x, swarm_shape(0)[k].x);
    ASSERT_EQ(p[k].z, swarm_shape(0)[k].z);
  }
  // 64 units into a segment the blend is sin(pi / 4); the segments go S2 -> S5 -> S3.
  swarm_blend_points(256.0f + 64.0f, p.data());
  expect_blend(0, 2, 5, std::sin(pi / 4));
  swarm_blend_points(384.0f - 10.0f, p.data());
  expect_blend(1, 5, 3, 0.0);
  expect_blend(2, 5, 3, std::sin(10 * pi / 256));
  // The last segment closes the cycle on S0; 1023 later it begins again.
  swarm_blend_points(1000.0f, p.data());
  expect_blend(0, 7, 0, std::sin(104 * pi / 256));
  expect_blend(2, 7, 0, std::sin(124 * pi / 256));
  swarm_blend_points(1023.0f + 384.0f, p.data());
  expect_blend(0, 5, 3, 0.0);
  // Before 0 the cycle runs back from its end instead of leaving the table.
  swarm_blend_points(-23.0f, p.data());
  expect_blend(0, 7, 0, std::sin(104 * pi / 256));
}

TEST_F(Swarm, DrawsInFrontOfTheViewerOnlyAndLeavesTheSourceAt256) {
  init_fades(kFrameWidth, kFrameHeight, 0);
  sprite_source_width = sprite_source_height = 64;
  std::vector<uint32_t> target(kFramePixels, 0);
  // 160 units ahead: the swarm stands round the centre, inside the frame.
  swarm_draw(target.data(), 0.3f, 0.2f, 0.1f, 0.0f, 0.0f, 160.0f, 384.0f);
  EXPECT_EQ(sprite_source_width, 256);
  EXPECT_EQ(sprite_source_height, 256);
  int lit = 0;
  for (uint32_t p : target) lit += (p & kColour) != 0;
  EXPECT_GT(lit, 1000);
  EXPECT_NE(target[120 * kFrameWidth + 160] & kColour, 0u);
  EXPECT_EQ(target[0] & kColour, 0u);

  // Behind the viewer, or nearer than 2 units: nothing.
  std::fill(target.begin(), target.end(), 0u);
  swarm_draw(target.data(), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, -400.0f, 0.0f);
  for (uint32_t p : target) ASSERT_EQ(p, 0u);
}

TEST_F(Swarm, NeverWritesOutsideItsTarget) {
  init_fades(kFrameWidth, kFrameHeight, 0);
  // Close up (sprites many times the screen's size), off to each side, and far away.
  constexpr int kGuard = 8192;
  const float places[][3] = {
      {0, 0, 3}, {-300, 0, 100}, {300, 200, 100}, {0, -250, 60}, {0, 0, 1e6f}};
  for (const auto& at : places) {
    std::vector<uint32_t> buf(kFramePixels + 2 * kGuard, 0x01010101u);
    swarm_draw(buf.data() + kGuard, 0.7f, 1.1f, 0.2f, at[0], at[1], at[2], 200.0f);
    for (int i = 0; i < kGuard; ++i) {
      ASSERT_EQ(buf[i], 0x01010101u) << at[2];
      ASSERT_EQ(buf[kGuard + kFramePixels + i], 0x01010101u) << at[2];
    }
  }
}

}  // namespace
