// The plasma, the swarm under the arches and the swarm glowing over the cuts, through the
// show's frames.
#include <cmath>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

using show_test::Frame;

constexpr uint32_t kColour = 0x00FFFFFF;

int luma(uint32_t p) {
  return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
}

TEST(ColourMapScene, ParametersChooseTheModeAndOthersDrawNothing) {
  show_test::prepare();
  Frame a(kFramePixels, 0x00123456), b = a;
  ColourMapScene(a.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.5f, 3);
  EXPECT_TRUE(a == b);  // parameter 3: left as it was
  ColourMapScene(a.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.5f, 0);
  ColourMapScene(b.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.5f, 1);
  EXPECT_TRUE(a == b);  // 0 and 1: the same mode
  EXPECT_TRUE(a != Frame(kFramePixels, 0x00123456));
  ColourMapScene(b.data(), nullptr, 0, 181.0f, 180.6f, 181.5f, 0.5f, 2);
  EXPECT_TRUE(a != b);
}

// The plasma under the arches as the row draws it before the swarm is added.
Frame plasma_under_arches(float t) {
  Frame f(kFramePixels, 0);
  ColourMapScene(f.data(), nullptr, 0, t, 173.6f, 180.6f, 0.0f, 0);
  row_multiply(f.data(), f.data(), show().top_picture->pixels, kFramePixels);
  return f;
}

TEST(ColourMapParticleScene, SwarmAndItsRaysLieOverThePlasma) {
  show_test::prepare();
  // The row's first frame (q = 0) finishes: the rays' growth is scaled once, not looped.
  for (float t : {173.6f, 174.5f, 177.0f}) {
    Frame f(kFramePixels, 0);
    const float q = (t - 173.6f) / 7.0f;
    ColourMapParticleScene(f.data(), nullptr, 0, t, 173.6f, 180.6f, q, 0);
    const Frame under = plasma_under_arches(t);
    int brighter = 0;
    for (int i = 0; i < kFramePixels; ++i) {
      for (int sh : {0, 8, 16})
        ASSERT_GE((f[i] >> sh) & 0xFF, (under[i] >> sh) & 0xFF) << t << " at " << i;
      brighter += luma(f[i]) > luma(under[i]) + 30;
    }
    // The swarm stands low in the middle (its centre projects to about (160, 174)).
    EXPECT_GT(luma(f[174 * kFrameWidth + 160]), luma(under[174 * kFrameWidth + 160]) + 100) << t;
    EXPECT_GT(brighter, 1500) << t;
  }
}

// Lit pixels of the glow layer far out from the centre, where only rays reach.
int far_light(float t) {
  Frame f(kFramePixels, 0);
  ParticleGlowScene(f.data(), nullptr, 0, t, 180.6f, 195.0f, (t - 180.6f) / 14.4f, 0);
  int n = 0;
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x) {
      const int dx = x - 160, dy = y - 120;
      n += dx * dx + dy * dy > 100 * 100 && luma(f[y * kFrameWidth + x]) > 30;
    }
  return n;
}

TEST(ParticleGlowScene, RaysReachFurtherOnTheBeat) {
  show_test::prepare();
  EXPECT_TRUE(show().glows.particle_glow_first_frame);
  // Pulses every 0.8 s from the row's start, peaking 0.05 s in and gone by 0.5 s.
  const int peak = far_light(180.6f + 0.8f * 3 + 0.05f);
  EXPECT_FALSE(show().glows.particle_glow_first_frame);
  ASSERT_TRUE(show().glows.pulse);
  const int rest = far_light(180.6f + 0.8f * 3 + 0.6f);
  EXPECT_GT(peak, rest + 500) << peak << " vs " << rest;
}

TEST(ParticleGlowScene, GlowIsAddedOverTheCuts) {
  show_test::prepare();
  // At 186 s the cut sequence shows a twin warp; the glow row runs after it and only adds.
  const Frame f = show_test::frame_at(186.0f);
  Frame without(kFramePixels, 0);
  for (int row = 0; row < kTimelineRows; ++row) {
    const TimelineEntry& e = timeline[row];
    if (e.handler == ParticleGlowScene || !(186.0f >= e.start && 186.0f < e.end)) continue;
    e.handler(without.data(), &e, row, 186.0f, e.start, e.end,
              (186.0f - e.start) / (e.end - e.start), e.parameter);
  }
  apply_fades(without.data(), fade_keys, kFadeKeys, 186.0f);
  int brighter = 0;
  for (int i = 0; i < kFramePixels; ++i) {
    for (int sh : {0, 8, 16}) ASSERT_GE((f[i] >> sh) & 0xFF, (without[i] >> sh) & 0xFF) << i;
    brighter += luma(f[i]) > luma(without[i]) + 30;
  }
  EXPECT_GT(brighter, 2000);
}

TEST(GlowScenes, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(173.6, 180.6, 2.0);
  // The cut sequence under the glow, every cut.
  show_test::expect_plain_equals_simd(180.6, 195.0, 4.0);
}

}  // namespace
