// Rotozoom and the zoomed add: the corner mapping, the steps, the saturating add and the
// two forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kernels/kernels.h"

namespace {

using Frame = std::vector<uint32_t>;
using DrawFn = void (*)(uint32_t*, const uint32_t*, float, float);
using ZoomFn = void (*)(uint32_t*, const uint32_t*, float);

Frame index_texture() {
  Frame t(65536);
  for (uint32_t i = 0; i < t.size(); ++i) t[i] = i;
  return t;
}

Frame noise(unsigned seed) {
  std::mt19937 g(seed);
  Frame f(76800);
  for (auto& p : f) p = g() & 0x00FFFFFF;
  return f;
}

uint32_t row_col(int row, int col) {
  return static_cast<uint32_t>(row * 256 + col);
}

TEST(Rotozoom, RadiusZeroIsOneTexelAndAngleZeroStepsAsTheCornersSay) {
  const Frame tex = index_texture();
  for (DrawFn draw : {DrawFn(rotozoom_draw_plain), DrawFn(rotozoom_draw_simd)}) {
    Frame f(76800);
    draw(f.data(), tex.data(), 37.0f, 0.0f);
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](uint32_t p) { return p == row_col(127, 127); }));
    // Radius 64: the top-left corner at column 1151.5 + 64, row 1151.5; right along the row
    // the column falls and the row rises by 0.2 a pixel; down, both fall by 64 / 240.
    draw(f.data(), tex.data(), 0.0f, 64.0f);
    EXPECT_EQ(f[0], row_col(127, 191));
    EXPECT_EQ(f[319], row_col(191, 127));
    EXPECT_EQ(f[239 * 320], row_col(63, 127));
    EXPECT_EQ(f[5], row_col(128, 190));  // 1152.5, 1214.5 after five steps
  }
}

TEST(Rotozoom, PlainAndSimdFormsDrawTheSameFrames) {
  const Frame tex = noise(3);
  for (float angle : {0.0f, 33.3f, -721.0f, 5000.0f})
    for (float radius : {0.0f, 1.0f, 150.0f, 228.0f, 1000.0f}) {
      Frame a(76800), b(76800);
      rotozoom_draw_plain(a.data(), tex.data(), angle, radius);
      rotozoom_draw_simd(b.data(), tex.data(), angle, radius);
      ASSERT_EQ(a, b) << angle << " " << radius;
    }
}

TEST(ZoomAdd, FullWidthIsAPlainSaturatingAddAndSmallWidthsActAsThree) {
  const Frame src = noise(1), base = noise(2);
  for (ZoomFn zoom : {ZoomFn(zoom_add_draw_plain), ZoomFn(zoom_add_draw_simd)}) {
    Frame f = base;
    zoom(f.data(), src.data(), 320.0f);
    for (int i = 0; i < 76800; ++i)
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t want =
            std::min<uint32_t>(255, ((base[i] >> shift) & 0xFF) + ((src[i] >> shift) & 0xFF));
        ASSERT_EQ((f[i] >> shift) & 0xFF, want) << "pixel " << i;
      }
    // A byte already at 255 stays there.
    Frame white(76800, 0x00FFFFFF);
    zoom(white.data(), src.data(), 320.0f);
    EXPECT_EQ(white, Frame(76800, 0x00FFFFFF));
    Frame one(76800, 0), three(76800, 0);
    zoom(one.data(), src.data(), 1.0f);
    zoom(three.data(), src.data(), 3.0f);
    EXPECT_EQ(one, three);
    // Width 3 spreads the picture's centre texels over the whole frame: the window starts
    // at (158.5, 118.875), so the first pixel reads (158, 118) and the middle one (160, 120).
    EXPECT_EQ(three[0], src[118 * 320 + 158]);
    EXPECT_EQ(three[120 * 320 + 160], src[120 * 320 + 160]);
  }
}

TEST(ZoomAdd, PlainAndSimdAgreeAndWideWindowsReadOnlyThePicture) {
  const Frame src = noise(4), base = noise(5);
  for (float width : {3.0f, 17.25f, 160.0f, 319.5f, 320.0f, 400.0f, 2000.0f}) {
    Frame a = base, b = base;
    zoom_add_draw_plain(a.data(), src.data(), width);
    zoom_add_draw_simd(b.data(), src.data(), width);
    ASSERT_EQ(a, b) << width;
  }
  // Twice as wide as the picture (steps of 2 from -160, -120): the margins stay as they were.
  Frame f(76800, 0);
  zoom_add_draw_plain(f.data(), src.data(), 640.0f);
  EXPECT_EQ(f[0], 0u);
  EXPECT_EQ(f[120 * 320 + 5], 0u);
  EXPECT_EQ(f[120 * 320 + 160], src[120 * 320 + 160]);
  EXPECT_EQ(f[150 * 320 + 100], src[180 * 320 + 40]);
  EXPECT_EQ(f[200 * 320 + 100], 0u);  // source row 280: the rows end there
}

}  // namespace
