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

TEST(GlowScenes, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(173.6, 180.6, 2.0);
  // The cut sequence under the glow, every cut.
  show_test::expect_plain_equals_simd(180.6, 195.0, 4.0);
}

}  // namespace
