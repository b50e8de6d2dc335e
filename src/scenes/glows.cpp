// The colour-mapped plasma, the plasma under the arches with its particle swarm throwing
// rays, and the swarm glowing on its own over the cuts.
#include <cmath>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

// The plasma's warp mode by parameter; -1 draws nothing.
int plasma_mode(int32_t parameter) {
  if (parameter == 0 || parameter == 1) return 1;
  if (parameter == 2) return 2;
  return -1;
}

void plasma(uint32_t* pixels, float t, int32_t parameter) {
  const int mode = plasma_mode(parameter);
  const Image* cmap = show().cmap.get();
  if (mode >= 0 && cmap) warp_three_centres_mode(pixels, cmap->pixels, t, mode);
}

}  // namespace

TH_SCENE(ColourMapScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)progress;
  plasma(pixels, t, parameter);
}

TH_SCENE(ColourMapParticleScene) {
  (void)entry, (void)index, (void)start, (void)end;
  Show& s = show();
  const GlowState& g = s.glows;
  plasma(pixels, t, parameter);
  row_multiply(pixels, pixels, s.top_picture->pixels, kFramePixels);

  uint32_t* swarm = s.scratch[1];
  fill_words(swarm, 0, kFrameBytes);
  swarm_draw(swarm, t / 2.0f, 0.0f, t, g.swarm_translation[0], g.swarm_translation[1],
             g.swarm_translation[2], g.swarm_time);

  // The rays beat with the music, and grow in over the first half of the row (an "if":
  // scaling s while q < 0.5 in a loop would never end).
  float strength = 0.3f * std::cos(5.0f * t) + 0.3f;
  if (progress < 0.5f) strength *= 2.0f * progress;
  radial_blur(swarm, 160.0f, 175.0f, 0.16f, 0.95f - strength, strength + 0.35f);
  row_add_saturate(pixels, pixels, swarm, kFramePixels);
}
TH_SCENE(ParticleGlowScene) {
  (void)entry, (void)index, (void)end, (void)parameter;
  Show& s = show();
  GlowState& g = s.glows;
  uint32_t* swarm = s.scratch[0];
  fill_words(swarm, 0, kFrameBytes);
  if (g.particle_glow_first_frame) {
    g.pulse.reset(pulse_track_build(kGlowPulses, 0.8f, 0.05f, 0.5f, 0.06f, 0.0f));
    g.particle_glow_first_frame = false;
  }
  swarm_draw(swarm, t / 2.0f, 5.0f * progress, t, 0.0f, 0.0f, 160.0f,
             2500.0f * progress + g.swarm_time);
  // Without a track (no memory for it) the rays keep their resting length.
  const float beat = g.pulse ? pulse_track_eval(g.pulse.get(), kGlowPulses, t, start) : 0.0f;
  radial_blur(swarm, 160.0f, 120.0f, beat + 0.031f, 0.45f, 0.85f);
  blur_cross4(swarm, swarm);
  row_add_saturate(pixels, pixels, swarm, kFramePixels);
}
