// The portraits and the morph between them, drawn by their handlers onto known frames after
// the real start-up, and through the show's own timeline.
#include <cstring>

#include "assets/morph.h"
#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

using show_test::Frame;

constexpr uint32_t kRgb = 0x00FFFFFF;

Frame picture_frame(const ImagePtr& img) {
  return Frame(img->pixels, img->pixels + kFramePixels);
}

// A handler's frame at progress q onto `base`.
Frame draw(SceneHandler handler, float q, int parameter, Frame base) {
  handler(base.data(), nullptr, 0, 0.0f, 0.0f, 1.0f, q, parameter);
  return base;
}

void expect_colours(const Frame& got, const Frame& want, const char* what) {
  ASSERT_EQ(show_test::first_colour_difference(got, want), -1) << what;
}

// Mean absolute channel difference.
double distance(const Frame& a, const Frame& b) {
  double sum = 0;
  for (int i = 0; i < kFramePixels; ++i)
    for (int s = 0; s < 24; s += 8)
      sum += std::abs(static_cast<int>((a[i] >> s) & 0xFF) - static_cast<int>((b[i] >> s) & 0xFF));
  return sum / (3.0 * kFramePixels);
}

Frame added(const Frame& a, const Frame& b) {
  Frame f(kFramePixels);
  row_add_saturate_plain(f.data(), a.data(), b.data(), kFramePixels);
  return f;
}

class Portraits : public ::testing::Test {
 protected:
  void SetUp() override { show_test::prepare(); }
};

TEST_F(Portraits, SecondPortraitFadesInOverItsFirstTenthThenStays) {
  const Frame second = picture_frame(show().portrait2);
  const Frame black(kFramePixels, 0), grey(kFramePixels, 0x00404040);
  Frame dimmed(kFramePixels);
  darken_plain(dimmed.data(), second.data(), 127, kFramePixels);  // trunc(0.05 x 10 x 255)
  expect_colours(draw(PortraitScene, 0.05f, 1, black), dimmed, "half way in");
  expect_colours(draw(PortraitScene, 0.0f, 1, black), black, "start");
  expect_colours(draw(PortraitScene, 0.1f, 1, black), second, "in");
  // Added onto what the frame holds, saturating.
  expect_colours(draw(PortraitScene, 0.7f, 1, grey), added(grey, second), "onto grey");
  // Any other parameter draws nothing.
  expect_colours(draw(PortraitScene, 0.7f, 2, grey), grey, "parameter 2");
}

TEST_F(Portraits, FirstPortraitSmearsFromHalfWayAndEndsBlack) {
  const Frame first = picture_frame(show().portrait1);
  const Frame black(kFramePixels, 0);
  expect_colours(draw(PortraitScene, 0.3f, 0, black), first, "sharp");
  expect_colours(draw(PortraitScene, 0.5f, 0, black), first, "exactly half way");
  Frame smeared = first;
  smear_scan(smeared.data(), 64);  // trunc(128 - 0.25 x 10 x 0.2 x 128)
  expect_colours(draw(PortraitScene, 0.75f, 0, black), smeared, "three quarters");
  // The smear grows towards the end, the last twentieth darkens, the end is black.
  const Frame late = draw(PortraitScene, 0.94f, 0, black);
  EXPECT_GT(distance(late, first), distance(smeared, first));
  const Frame fading = draw(PortraitScene, 0.975f, 0, black);
  expect_colours(draw(PortraitScene, 1.0f, 0, black), black, "end");
  double late_sum = 0, fading_sum = 0;
  for (int i = 0; i < kFramePixels; ++i) late_sum += late[i] & 0xFF, fading_sum += fading[i] & 0xFF;
  EXPECT_LT(fading_sum, late_sum * 0.6);
  EXPECT_GT(fading_sum, late_sum * 0.3);
}

// The morph starts on the second portrait and ends on the first, each on its own grid
// (near, not equal: the border cells stretch the pictures' last column and row by a pixel),
// and half way is neither.
TEST_F(Portraits, MorphCarriesTheSecondPortraitIntoTheFirst) {
  const Frame first = picture_frame(show().portrait1), second = picture_frame(show().portrait2);
  const Frame black(kFramePixels, 0);
  const Frame start = draw(MorphScene, 0.0f, 0, black);
  const Frame end = draw(MorphScene, 1.0f, 0, black);
  const Frame middle = draw(MorphScene, 0.5f, 0, black);
  EXPECT_LT(distance(start, second), 4.0);
  EXPECT_LT(distance(end, first), 4.0);
  EXPECT_GT(distance(start, first), 20.0);
  EXPECT_GT(distance(middle, first), 8.0);
  EXPECT_GT(distance(middle, second), 8.0);
  // Half way both pictures are warped, not merely cross-faded.
  Frame plain(kFramePixels);
  crossfade_plain(plain.data(), first.data(), second.data(), 127, kFramePixels);
  EXPECT_GT(distance(middle, plain), 1.0);
}

// The file is read on the row's first frame only; a grid that is empty draws black, not
// whatever another scene left in the scratch buffers.
TEST_F(Portraits, MorphFileReadOnceAndEmptyGridDrawsNothing) {
  morph_grid = {};
  const Frame black(kFramePixels, 0);
  draw(MorphScene, 0.0f, 0, black);
  const MorphGrid loaded = morph_grid;
  EXPECT_EQ(loaded.first[6][8].x, 319);
  EXPECT_EQ(loaded.second[6][8].x, 639);
  EXPECT_EQ(loaded.second[6][8].y, 239);
  morph_grid = {};
  Show& s = show();
  for (auto* buffer : {s.scratch[0], s.scratch[1]})
    for (int i = 0; i < kFramePixels; ++i) buffer[i] = 0x00A0B0C0;
  expect_colours(draw(MorphScene, 0.4f, 0, black), black, "empty grid, not read again");
  EXPECT_EQ(morph_grid.first[6][8].x, 0);
  morph_grid = loaded;
}

// Through the timeline: the portrait is there over the background at 60.5 s (no caption),
// the morph's frames differ from frame to frame, and plain and SIMD agree over the morph
// and the smear.
TEST(PortraitTimeline, FramesOverTheBackground) {
  show_test::prepare();
  const Frame second = picture_frame(show().portrait2);
  const Frame f = show_test::frame_at(60.5f);
  for (int i = 0; i < kFramePixels; ++i)
    for (int sh = 0; sh < 24; sh += 8)
      ASSERT_GE((f[i] >> sh) & 0xFF, (second[i] >> sh) & 0xFF) << "pixel " << i;
  const Frame a = show_test::frame_at(65.5f), b = show_test::frame_at(65.9f);
  EXPECT_GT(distance(a, b), 3.0);
  // The last frame is darkened by 7 / 256 over the warp drawn under the portrait: at most 6.
  const Frame last = show_test::frame_at(72.59f);
  for (uint32_t p : last)
    for (int sh = 0; sh < 24; sh += 8) ASSERT_LE((p >> sh) & 0xFF, 6u);
}

TEST(PortraitTimeline, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(65.2, 66.4, 5.0);
  show_test::expect_plain_equals_simd(71.5, 72.6, 4.0);
}

}  // namespace
