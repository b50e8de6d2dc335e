// Whole scenes checked through their frames: the real start-up over the generated data set,
// then the show's own timeline drawn at chosen times, the way the host draws a frame.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/host.h"
#include "platform/files.h"
#include "platform/options.h"
#include "scenes/show.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

namespace show_test {

using Frame = std::vector<uint32_t>;

// Loads the generated data set (build/data) into a fresh show; SIMD routines unless plain.
inline void prepare(bool plain = false) {
  platform::set_data_dir(TH_BINARY_DIR "/data");
  platform::run_options().plain = plain;
  prepare_assets();
}

// One frame at show time t, drawn as the host draws it (cleared to black, then the rows
// and the fades).
inline Frame frame_at(float t) {
  Frame f(kFramePixels, 0);
  show_frame(f.data(), t);
  return f;
}

// Frames from start to end (exclusive) at fps, after a fresh start-up: the scenes' first
// frame work happens as in a run that starts at `start`.
inline std::vector<Frame> play(double start, double end, double fps, bool plain = false) {
  prepare(plain);
  std::vector<Frame> frames;
  for (long k = 0;; ++k) {
    const double t = start + static_cast<double>(k) / fps;
    if (t >= end) break;
    frames.push_back(frame_at(static_cast<float>(t)));
  }
  return frames;
}

// The first pixel whose red, green or blue differs (byte 3 carries no colour), or -1.
inline long first_colour_difference(const Frame& a, const Frame& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if ((a[i] ^ b[i]) & 0x00FFFFFF) return static_cast<long>(i);
  return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

// Plain and SIMD give the same colours over a span.
inline void expect_plain_equals_simd(double start, double end, double fps) {
  const auto simd = play(start, end, fps, false);
  const auto plain = play(start, end, fps, true);
  ASSERT_EQ(simd.size(), plain.size());
  for (size_t k = 0; k < simd.size(); ++k)
    ASSERT_EQ(first_colour_difference(simd[k], plain[k]), -1)
        << "frame at " << start + k / fps << " s differs at pixel "
        << first_colour_difference(simd[k], plain[k]);
  platform::run_options().plain = false;
}

}  // namespace show_test
