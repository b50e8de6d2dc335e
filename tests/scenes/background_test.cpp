// The simplest scene, as the example every scene test follows: a frame of its rows, through
// the real start-up and the show's own table.
#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

TEST(BackgroundFillScene, LaysDarkTealUnderTheDanceFloor) {
  show_test::prepare();
  // The dance floor covers the whole frame, so the fill is checked on its own.
  show_test::Frame f(kFramePixels, 0x00FFFFFF);
  BackgroundFillScene(f.data(), nullptr, 54, 196.0f, 195.0f, 224.0f, 1.0f / 29.0f, 0);
  for (uint32_t p : f) ASSERT_EQ(p & 0x00FFFFFF, 0x000F373Fu);
  // In the show's own frame the dance floor rows draw over it.
  const auto shown = show_test::frame_at(196.0f);
  EXPECT_NE(shown, f);
}

TEST(BackgroundFillScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(195.0, 195.5, 10.0);
}

}  // namespace
