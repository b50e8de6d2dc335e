// A late start shows what playing through shows: the frame at T after the catch-up equals
// the frame at T of a run from 0 at the same frame rate.
#include <map>

#include "show_fixture.h"

namespace {

constexpr double kFps = 10.0;  // the comparison holds at any rate; this one keeps it quick

TEST(LateStart, FramesMatchPlayingThrough) {
  const std::vector<double> times = {5.0,   14.5,  30.0,  45.0,  62.0,  99.5,  124.0,
                                     150.0, 176.0, 189.0, 202.5, 230.0, 248.5, 258.0};
  // Playing through from 0, keeping the frames at the chosen times.
  show_test::prepare();
  std::map<double, show_test::Frame> through;
  for (long k = 0;; ++k) {
    const double t = static_cast<double>(k) / kFps;
    if (t > times.back()) break;
    auto f = show_test::frame_at(static_cast<float>(t));
    for (double want : times)
      if (static_cast<float>(want) == static_cast<float>(t)) through[want] = std::move(f);
  }
  ASSERT_EQ(through.size(), times.size());
  for (double t : times) {
    show_test::prepare();
    std::vector<uint32_t> scratch(kFramePixels);
    catch_up(t, kFps, scratch.data());
    const auto late = show_test::frame_at(static_cast<float>(t));
    EXPECT_EQ(show_test::first_colour_difference(late, through[t]), -1)
        << "--start " << t << " differs from playing through: state a scene keeps from one "
        << "frame to the next (beyond its first frame) is not brought up to date; a scene that "
        << "accumulates on every frame belongs in scene_accumulates (src/scenes/timeline.cpp)";
  }
}

}  // namespace
