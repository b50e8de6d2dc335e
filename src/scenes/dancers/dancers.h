// The dancer family's shared pieces: the catwalk render with its spotlights, and the
// mirror of the dance floor. For the scene files of this folder (and their tests).
#pragma once
#include <cstdint>

#include "assets/image.h"
#include "engine/kelp.h"

// One spotlight of a catwalk frame: where it stands and looks, and its light pattern.
struct CatwalkSpot {
  Light* light;
  const uint32_t* pattern;  // 256 x 256
};

struct CatwalkRender {
  World* world;
  int camera;
  float animation_time, motion_time;
  bool reset_matrices;  // the close-up scene keeps the render matrices as they were
  const CatwalkSpot* spots;
  int spot_count;
};

// Draws the World from one of its cameras into frame, then lights it: the light buffer
// starts dark grey, each spot adds its pattern where it falls (nearer surfaces shadowing
// farther ones) and the frame is multiplied by the result.
void catwalk_render(uint32_t* frame, const CatwalkRender& r);

// The reflection in the plane through three points (fixed points: that plane). False,
// and m untouched, when the points do not span a plane.
bool mirror_through(const Vec3& a, const Vec3& b, const Vec3& c, Mat4* m);
