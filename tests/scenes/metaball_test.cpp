// The metaballs inside the turning cube through their frames: the strength ramp, the
// blended surface reaching the draw list whole, and plain against SIMD.
#include <algorithm>
#include <set>

#include "kernels/kernels.h"
#include "show_fixture.h"

namespace {

constexpr double kStart = 144.6, kEnd = 166.5;

TEST(MetaballScene, BallsSwellFromNothingAndBlendWithoutLosingFaces) {
  show_test::prepare();
  Show& s = show();
  const Mesh& surface = s.metaball.meshes[0];

  // At the row's start every strength is 0: no surface, only the cube.
  show_test::frame_at(static_cast<float>(kStart));
  EXPECT_EQ(surface.face_count, 0);

  // Through the row the surface never outgrows the draw list it shares with the cube, and
  // no face is dropped.
  int largest = 0;
  const int dropped = s.screen_view.dropped_faces;
  for (double t = kStart + 1.0; t < kEnd - 1.1; t += 0.25) {
    show_test::frame_at(static_cast<float>(t));
    ASSERT_FALSE(metaballs_cut_short()) << t;
    ASSERT_GT(surface.face_count, 100) << t;
    largest = std::max(largest, surface.face_count);
  }
  EXPECT_LE(largest + s.cube.face_count, s.screen_view.draw_capacity);
  EXPECT_EQ(s.screen_view.dropped_faces, dropped);

  // Where two balls meet their textures blend: chained overlay faces, and a frame of many
  // colours over the cube's.
  const auto f = show_test::frame_at(149.1f);
  EXPECT_GT(metaballs_overlay_count(), 50);
  std::set<uint32_t> colours;
  for (uint32_t p : f) colours.insert(p & 0x00FFFFFF);
  EXPECT_GT(colours.size(), 2000u);

  // The last frames shrink the balls away again.
  show_test::frame_at(static_cast<float>(kEnd - 0.01));
  EXPECT_EQ(surface.face_count, 0);
}

TEST(MetaballScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(149.0, 149.3, 10.0);
}

}  // namespace
