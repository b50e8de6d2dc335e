// The simplest scene, as the example every scene test follows: a frame of its rows, through
// the real start-up and the show's own table.
#include "show_fixture.h"

namespace {

TEST(BackgroundFillScene, DanceFloorRowsStandOnDarkTeal) {
  show_test::prepare();
  // 195 s: the fill runs under the dance floor; in a corner the floor does not reach, the
  // teal shows (the fades are clear at 196 s).
  const auto f = show_test::frame_at(196.0f);
  EXPECT_EQ(f[0] & 0x00FFFFFF, 0x000F373Fu);
  EXPECT_EQ(f[kFramePixels - 1] & 0x00FFFFFF, 0x000F373Fu);
}

TEST(BackgroundFillScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(195.0, 195.5, 10.0);
}

}  // namespace
