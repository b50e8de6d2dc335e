// The warp scenes: the grid warp and its builders on their own, then the scenes through
// the show's frames.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/warps/grid.h"
#include "show_fixture.h"

namespace {

using show_test::Frame;
using WarpFn = bool (*)(uint32_t*, const uint32_t*, const WarpGrid&, int, int);

constexpr int kStride = kWarpGridColumns + 1;

Frame numbered(int count) {
  Frame f(count);
  for (int i = 0; i < count; ++i) f[i] = static_cast<uint32_t>(i);
  return f;
}

void fill_grid(WarpGrid& g, int32_t (*u)(int, int), int32_t (*v)(int, int)) {
  for (int j = 0; j <= kWarpGridRows; ++j)
    for (int i = 0; i <= kWarpGridColumns; ++i) {
      g.u[j * kStride + i] = u(i, j);
      g.v[j * kStride + i] = v(i, j);
    }
}

TEST(GridWarp, IdentityCornersReproduceThePictureAndTileTheTexture) {
  static WarpGrid g;
  fill_grid(
      g, [](int i, int) { return (8 * i) << 16; }, [](int, int j) { return (8 * j) << 16; });
  const Frame picture = numbered(76800), texture = numbered(65536);
  for (WarpFn warp : {WarpFn(grid_warp_picture_plain), WarpFn(grid_warp_picture_simd)}) {
    Frame f(76800);
    ASSERT_TRUE(warp(f.data(), picture.data(), g, 40, 30));
    EXPECT_EQ(f, picture);
  }
  for (WarpFn warp : {WarpFn(grid_warp_texture_plain), WarpFn(grid_warp_texture_simd)}) {
    Frame f(76800);
    ASSERT_TRUE(warp(f.data(), texture.data(), g, 40, 30));
    for (int p = 0; p < 76800; p += 7)
      ASSERT_EQ(f[p], static_cast<uint32_t>(((p / 320) & 255) * 256 + ((p % 320) & 255)));
  }
}

TEST(GridWarp, ConstantCornersGiveOneTexelAndThePictureIsNeverReadOutside) {
  static WarpGrid g;
  const Frame picture = numbered(76800), texture = numbered(65536);
  // The texture wraps by AND 255: column 261 is 5, row -1 is 255.
  fill_grid(
      g, [](int, int) { return 261 << 16; }, [](int, int) { return -(1 << 16); });
  for (WarpFn warp : {WarpFn(grid_warp_texture_plain), WarpFn(grid_warp_texture_simd)}) {
    Frame f(76800);
    warp(f.data(), texture.data(), g, 40, 30);
    EXPECT_EQ(f, Frame(76800, 255 * 256 + 5));
  }
  // Far left of and below the picture: every sample is clamped to its bottom-left pixel.
  fill_grid(
      g, [](int i, int) { return (-50 - i) << 16; }, [](int, int j) { return (300 + j) << 16; });
  for (WarpFn warp : {WarpFn(grid_warp_picture_plain), WarpFn(grid_warp_picture_simd)}) {
    Frame f(76800);
    warp(f.data(), picture.data(), g, 40, 30);
    EXPECT_EQ(f, Frame(76800, 239 * 320));
  }
  // Grids that swing across all of it stay on picture pixels too, in both forms alike.
  fill_grid(
      g, [](int i, int j) { return ((i * 37 + j * 91) % 900 - 300) << 16; },
      [](int i, int j) { return ((i * 53 - j * 29) % 700 - 200) << 16; });
  Frame a(76800), b(76800);
  grid_warp_picture_plain(a.data(), picture.data(), g, 40, 30);
  grid_warp_picture_simd(b.data(), picture.data(), g, 40, 30);
  EXPECT_EQ(a, b);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](uint32_t p) { return p < 76800; }));
}

// Corners a few 1/65536 pixel either side of the picture's edges, stepping up and down: the
// samples that round down past an edge must be clamped in both forms alike.
TEST(GridWarp, CornersAtThePicturesEdgesGiveThePlainSamples) {
  static WarpGrid g;
  const Frame picture = numbered(76800);
  uint32_t seed = 5;
  const auto next = [&seed](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int trial = 0; trial < 40; ++trial) {
    for (int k = 0; k < 41 * 31; ++k) {
      g.u[k] = trial % 2 ? next(40) : (320 << 16) - 20 + next(40);
      g.v[k] = trial % 4 < 2 ? next(40) : (240 << 16) - 20 + next(40);
    }
    Frame a(76800), b(76800);
    grid_warp_picture_plain(a.data(), picture.data(), g, 40, 30);
    grid_warp_picture_simd(b.data(), picture.data(), g, 40, 30);
    ASSERT_EQ(a, b) << trial;
  }
}

TEST(GridWarp, CellsThatAreNotPowersOfTwoOrDoNotTileTheFrameAreRefused) {
  static WarpGrid g = {};
  const Frame texture = numbered(65536);
  for (auto [c, r] :
       {std::pair{0, 30}, {40, 0}, {81, 30}, {40, 61}, {64, 30}, {30, 30}, {40, 24}}) {
    Frame f(76800, 7);
    EXPECT_FALSE(grid_warp_texture(f.data(), texture.data(), g, c, r)) << c << " x " << r;
    EXPECT_FALSE(grid_warp_picture(f.data(), texture.data(), g, c, r)) << c << " x " << r;
    EXPECT_EQ(f, Frame(76800, 7));
  }
  Frame f(76800);
  EXPECT_TRUE(grid_warp_texture(f.data(), texture.data(), g, 80, 60));  // 4 x 4 cells
}

TEST(GridBuilders, SphereBulgesAboutTheCentreInsideThePictureAndSwirlsChainTwoTurns) {
  static WarpGrid g;
  const int centre = 15 * kStride + 20, corner = 0, last = 30 * kStride + 40;
  warp_grid_sphere(g, 0.0f, 0.0f);
  EXPECT_EQ(g.u[centre], 160 << 16);
  EXPECT_EQ(g.v[centre], 120 << 16);
  EXPECT_NEAR(g.u[corner] / 65536.0, 1.0, 0.01);  // nearly flat: the corner near the edge
  EXPECT_NEAR(g.u[last] / 65536.0, 318.0, 0.01);
  warp_grid_sphere(g, 5.0f, 0.7f);  // amounts above 1 act as 1
  static WarpGrid full;
  warp_grid_sphere(full, 1.0f, 0.7f);
  EXPECT_EQ(std::memcmp(&g, &full, sizeof g), 0);
  EXPECT_EQ(full.u[centre], 160 << 16);
  for (int k = 0; k < kStride * 31; ++k) {
    ASSERT_GE(full.u[k], 65536);
    ASSERT_LE(full.u[k], 20840448);
    ASSERT_GE(full.v[k], 65536);
    ASSERT_LE(full.v[k], 15597568);
  }
  // Strength 0 turns nothing: the grid is the screen offsets, squeezed across and moved to
  // the texture's middle.
  warp_grid_swirls(g, 1.3f, 0.0f, 42.0f);
  EXPECT_NEAR(g.u[corner] / 65536.0, -160 * 0.625 + 256, 1e-3);
  EXPECT_NEAR(g.v[corner] / 65536.0, -120 + 128, 1e-3);
  EXPECT_NEAR(g.u[last] / 65536.0, 160 * 0.625 + 256, 1e-3);
  warp_grid_swirls(g, 1.3f, 1.7f, 42.0f);
  EXPECT_GT(std::abs(g.u[corner] / 65536.0 - 156.0), 1.0);
}

TEST(GridWarp, PlainAndSimdAgreeOverTheScenesGrids) {
  static WarpGrid g;
  const Frame texture = numbered(65536);
  for (float t : {185.5f, 186.0f, 191.2f, -3.0f}) {
    warp_grid_swirls(g, 1.4f * t, 1.7f * std::sin((t - 103.0f) * 1.5f), t);
    Frame a(76800), b(76800);
    grid_warp_texture_plain(a.data(), texture.data(), g, 40, 30);
    grid_warp_texture_simd(b.data(), texture.data(), g, 40, 30);
    ASSERT_EQ(a, b) << t;
  }
}

// ---- The scenes ----

class WarpScenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { show_test::prepare(); }
};

TEST_F(WarpScenes, DoublePictureComesOutOfWhiteAndStandsStillFromHalfWay) {
  const uint32_t* picture = show().double_picture->pixels;
  Frame f(76800, 0);
  DoublePictureScene(f.data(), nullptr, 0, 29.3f, 29.3f, 32.0f, 0.0f, 0);
  EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](uint32_t p) {
    return (p & 0xFF) >= 250 && ((p >> 8) & 0xFF) >= 250 && ((p >> 16) & 0xFF) >= 250;
  }));
  std::fill(f.begin(), f.end(), 0u);
  DoublePictureScene(f.data(), nullptr, 0, 30.65f, 29.3f, 32.0f, 0.5f, 0);
  EXPECT_EQ(std::memcmp(f.data(), picture, kFrameBytes), 0);
  // Just below half-way: the add of a window nearly the picture's size, not the copy.
  std::fill(f.begin(), f.end(), 0u);
  DoublePictureScene(f.data(), nullptr, 0, 30.6f, 29.3f, 32.0f, 0.49f, 0);
  EXPECT_NE(std::memcmp(f.data(), picture, kFrameBytes), 0);
  EXPECT_EQ(show_test::first_colour_difference(show_test::frame_at(31.0f),
                                               Frame(picture, picture + kFramePixels)),
            -1);
}

TEST_F(WarpScenes, FaceBlendStartsFromAWhiteFaceAndEndsOnBothLayers) {
  Frame warp(76800);
  for (int i = 0; i < 76800; ++i) warp[i] = (i * 2654435761u) & 0x00FFFFFF;
  Frame f = warp;
  FaceBlendScene(f.data(), nullptr, 0, 32.0f, 32.0f, 35.5f, 0.0f, 0);
  // A white face multiplies each channel by 254 / 256 at most: one step darker or less.
  for (int i = 0; i < 76800; i += 13)
    for (int s = 0; s < 24; s += 8) {
      const int was = (warp[i] >> s) & 0xFF, now = (f[i] >> s) & 0xFF;
      ASSERT_LE(was - now, 1 + was / 128) << i;
      ASSERT_LE(now, was);
    }
  f = warp;
  FaceBlendScene(f.data(), nullptr, 0, 34.0f, 32.0f, 35.5f, 0.6f, 0);
  Frame want = warp;
  row_multiply_plain(want.data(), want.data(), show().face_back->pixels, 76800);
  row_add_saturate_plain(want.data(), want.data(), show().face_front->pixels, 76800);
  EXPECT_EQ(show_test::first_colour_difference(f, want), -1);
}

TEST_F(WarpScenes, SlidesMultiplyTheirRotozoomIntoTheFrame) {
  Frame f(76800, 0x00FFFFFF);
  TextureSlideScene(f.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.4f, 0);
  Frame want(76800);
  rotozoom_draw_plain(want.data(), show().blob->pixels, 30.0f * 181.0f,
                      200.0f * std::sin(0.4f) + 28.0f);
  row_multiply_plain(want.data(), want.data(), Frame(76800, 0x00FFFFFF).data(), 76800);
  EXPECT_EQ(show_test::first_colour_difference(f, want), -1);
  Frame kept(76800, 0x00ABCDEF);
  TextureSlideScene(kept.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.4f, 3);
  EXPECT_EQ(kept, Frame(76800, 0x00ABCDEF));
}

// How many of the frame's pixels differ from the other frame's.
long changed(const Frame& a, const Frame& b) {
  long n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += ((a[i] ^ b[i]) & 0x00FFFFFF) != 0;
  return n;
}

TEST_F(WarpScenes, EveryWarpRowMovesFromFrameToFrame) {
  // The warped pair with the face, the bulging faces, the turning plasma, its flattening,
  // the pair behind the flare object, the twin swirls of the cuts.
  for (float t : {33.0f, 36.0f, 45.0f, 57.0f, 65.0f, 185.7f, 191.0f}) {
    const Frame a = show_test::frame_at(t), b = show_test::frame_at(t + 0.1f);
    EXPECT_GT(changed(a, b), 76800 / 2) << "t " << t;
    long dark = 0;
    for (uint32_t p : a) dark += (p & 0x00FFFFFF) == 0;
    EXPECT_LT(dark, 76800 / 10) << "t " << t;
  }
}

TEST_F(WarpScenes, PlainAndSimdAgreeOverTheWarpRows) {
  show_test::expect_plain_equals_simd(29.3, 72.6, 1.5);
  show_test::expect_plain_equals_simd(180.6, 195.0, 2.0);
}

}  // namespace
