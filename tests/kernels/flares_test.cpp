// Lens flares over the generated data set's bitmaps: fading behind nearer surfaces and back
// at 13 maximum intensities per time unit, lights at or behind the camera, the edges of
// the screen, and the View's view matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "platform/files.h"
#include "sequencer/sequencer.h"

namespace {

class Flares : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::set_data_dir(TH_BINARY_DIR "/data");
    flares_load();
  }
  void SetUp() override {
    init_fades(kFrameWidth, kFrameHeight, 0);
    ASSERT_TRUE(view_init(&view, 16, kFrameWidth, kFrameHeight));
    view_set_fov(&view, 100.0f);
    view_set_target(&view, kFramePitchBytes, frame.data(), depth.data() + kFrameWidth);
    mat_identity(&view.view_matrix);
    light.r = light.g = light.b = 1.0f;
    sprite_source_width = sprite_source_height = 256;
  }
  void TearDown() override {
    view_free(&view);
    sprite_source_width = sprite_source_height = 256;
  }

  // Draws once into a black frame; the number of pixels lit.
  int draw(FlareState& s, float time, int with_flares = 1) {
    std::fill(frame.begin(), frame.end(), 0u);
    flare_draw_faded(frame.data(), &s, &view, time, with_flares);
    return static_cast<int>(
        std::count_if(frame.begin(), frame.end(), [](uint32_t p) { return p & 0xFFFFFF; }));
  }
  // The depth buffer (with one guard row above and below the screen's) at a pixel.
  int32_t& depth_at(int x, int y) { return depth[(y + 1) * kFrameWidth + x]; }
  // A surface of one depth value over the pixels around the screen centre.
  void cover(int32_t value) {
    for (int y = 118; y <= 122; ++y)
      for (int x = 158; x <= 162; ++x) depth_at(x, y) = value;
  }

  View view = {};
  Light light = {};
  std::vector<uint32_t> frame = std::vector<uint32_t>(kFramePixels, 0);
  std::vector<int32_t> depth = std::vector<int32_t>(kFramePixels + 2 * kFrameWidth, 0);
};

TEST_F(Flares, FadeOutBehindASurfaceAndInAgainAtThirteenMaximaPerUnit) {
  light.position = {0.0f, 0.0f, 100.0f};  // the screen centre, depth value 1e7
  FlareState s = {&light, 1, 0.0f, 200.0f, 200.0f};
  EXPECT_GT(draw(s, 0.0f), 0);
  EXPECT_FLOAT_EQ(s.intensity, 200.0f);

  cover(20000000);  // a nearer surface covers the light
  draw(s, 0.01f);
  EXPECT_EQ(s.visible, 0);
  EXPECT_FLOAT_EQ(s.intensity, 200.0f);  // the change of visibility itself costs nothing
  draw(s, 0.03f);
  EXPECT_NEAR(s.intensity, 200.0f - 0.02f * 13 * 200, 1e-3f);
  EXPECT_EQ(draw(s, 0.2f), 0);  // faded to the floor: nothing drawn
  EXPECT_FLOAT_EQ(s.intensity, 1.0f);

  cover(5000000);  // the surface now lies behind the light
  draw(s, 0.21f);  // visible again, drawn at intensity 1 (a glow of a pixel or so)
  EXPECT_EQ(s.visible, 1);
  EXPECT_FLOAT_EQ(s.intensity, 1.0f);
  EXPECT_GT(draw(s, 0.23f), 0);
  EXPECT_NEAR(s.intensity, 1.0f + 0.02f * 13 * 200, 1e-3f);
  sprite_source_width = sprite_source_height = 256;
  draw(s, 1.0f);
  EXPECT_FLOAT_EQ(s.intensity, 200.0f);
  EXPECT_EQ(sprite_source_width, 256);  // a full draw restores the source size
}

TEST_F(Flares, ALightAtOrBehindTheCameraDrawsNothingAndKeepsItsState) {
  for (float z : {-50.0f, 0.0f, 0.0005f}) {
    SCOPED_TRACE(z);
    light.position = {10.0f, 5.0f, z};
    FlareState s = {&light, 1, 0.5f, 150.0f, 200.0f};
    EXPECT_EQ(draw(s, 1.0f), 0);
    EXPECT_EQ(s.visible, 1);
    EXPECT_FLOAT_EQ(s.last_time, 0.5f);
    EXPECT_FLOAT_EQ(s.intensity, 150.0f);
  }
}

TEST_F(Flares, ALightJustInFrontOfTheCameraIsNearerThanAnyDepthValue) {
  // 1e9 / 0.002 is far beyond a 32-bit depth: it counts as the nearest, so a surface drawn
  // at the largest depth value does not hide it, and its glow covers the screen.
  light.position = {0.0f, 0.0f, 0.002f};
  std::fill(depth.begin(), depth.end(), INT32_MAX - 1);
  FlareState s = {&light, 1, 0.0f, 200.0f, 200.0f};
  EXPECT_GT(draw(s, 0.0f), kFramePixels / 2);
  EXPECT_EQ(s.visible, 1);
}

TEST_F(Flares, ThePositionIsTheLightsThroughTheViewMatrix) {
  light.position = {0.0f, 0.0f, 100.0f};
  FlareState s = {&light, 1, 0.0f, 200.0f, 200.0f};
  view.view_matrix.m[14] = -150.0f;  // the camera stands beyond the light
  EXPECT_EQ(draw(s, 0.0f), 0);
  view.view_matrix.m[14] = 0.0f;
  view.view_matrix.m[12] = 60.0f;  // moved right on the screen
  ASSERT_GT(draw(s, 0.0f), 0);
  const int x = static_cast<int>(160.0f + 60.0f * view.scale_x / 100.0f);
  EXPECT_NE(frame[120 * kFrameWidth + x] & 0xFFFFFF, 0u);
  EXPECT_EQ(frame[60 * kFrameWidth + (320 - x)] & 0xFFFFFF, 0u);  // not mirrored
}

TEST_F(Flares, OffScreenLightsFadeAndEdgeLightsAreTestedInsideTheBuffer) {
  // Just outside the viewport: hidden, although its flares would fall on the screen.
  light.position = {1.02f * 160.0f * 100.0f / view.scale_x, 0.0f, 100.0f};
  FlareState out = {&light, 1, 0.0f, 200.0f, 200.0f};
  draw(out, 0.0f);
  EXPECT_EQ(out.visible, 0);

  // Exactly on the bottom edge the light's row is 240, one past the buffer: the guard row
  // below holds a surface nearer than anything, which must not hide it.
  std::fill(depth.end() - kFrameWidth, depth.end(), INT32_MAX);
  view.scale_y = 100.0f;  // so the light's offset is exactly -120
  light.position = {0.0f, -120.0f, 100.0f};
  FlareState edge = {&light, 1, 0.0f, 200.0f, 200.0f};
  draw(edge, 0.0f);
  EXPECT_EQ(edge.visible, 1);
}

TEST_F(Flares, GlowOnlyLeavesTheSourceAt128AndAStateAtZeroStartsDark) {
  light.position = {0.0f, 0.0f, 100.0f};
  FlareState b = {&light, 0, 0.0f, 0.0f, 300.0f};
  EXPECT_EQ(draw(b, 37.0f, 0), 0);  // becomes visible, intensity 0 lifted to the floor
  EXPECT_EQ(b.visible, 1);
  const int glow = draw(b, 37.05f, 0);
  EXPECT_GT(glow, 0);
  EXPECT_EQ(sprite_source_width, 128);
  EXPECT_EQ(sprite_source_height, 128);
  // The flares add the chain: a centred light piles them on the centre, drawing no more
  // pixels than the glow alone would, but brighter ones.
  FlareState a = {&light, 1, 0.0f, 200.0f, 200.0f};
  draw(a, 0.0f, 0);
  const uint32_t glow_only = frame[120 * kFrameWidth + 160];
  draw(a, 0.0f, 1);
  EXPECT_GE(frame[120 * kFrameWidth + 160] & 0xFF, glow_only & 0xFF);
}

TEST_F(Flares, TheBitmapsLoadAtTheirTableSizes) {
  const int sides[kFlareElements][2] = {{40, 40}, {9, 10}, {8, 10},  {6, 6}, {18, 18},
                                        {7, 7},   {6, 7},  {11, 11}, {7, 7}};
  for (int k = 0; k < kFlareElements; ++k) {
    int w = 0, h = 0;
    EXPECT_NE(flare_element_pixels(k, &w, &h), nullptr);
    EXPECT_EQ(w, sides[k][0]);
    EXPECT_EQ(h, sides[k][1]);
  }
  ASSERT_NE(flare_light_image(), nullptr);
}

}  // namespace
