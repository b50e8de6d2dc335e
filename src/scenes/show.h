// The show's process-wide state: what the start-up loads and builds (Worlds, Views,
// textures and pictures, tables), the buffers every scene shares, and each scene family's
// one-shot state (first-frame flags, motion slots, what a first frame loads). One record,
// made by the start-up, read and written by the handlers through show().
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "assets/image.h"
#include "display/frame.h"
#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "scenes/warps/grid.h"

using ImagePtr = std::unique_ptr<Image>;

constexpr int kSilhouettePlanes = 30;   // one bit a frame: room for 240 frames
constexpr int kSilhouetteFrames = 200;  // recorded at start-up
constexpr int kSilhouetteWrap = 240;    // the recorded-frame count counts modulo this
constexpr int kScratchBuffers = 5;

// ---- One family's state each ----

struct DancerState {
  bool catwalk_motion02_loaded = false;   // CatwalkScene's own load at its first p5 frame
  bool catwalk_close_first_frame = true;  // CatwalkCloseScene still to make its lights
  ImagePtr red_light, blue_light;         // tinted copies of the spot pattern
  Light spots[2] = {};                    // the first and second spotlight
  int32_t box_motion_slot = -1;           // the parameter whose motion is loaded
  bool dance_first_frame = true;
  Mesh* dance_floor = nullptr;   // the dance World's "DanceFloor"
  Vertex floor_corners[4] = {};  // object-space corners; camera space per frame
  uint8_t echo_mask[kFramePixels] = {};
};

struct CityState {};

struct MetaballState {
  bool first_frame = true;
};

struct FlareObjectState {
  bool first_frame = true;  // the two flares still to be set up
  FlareState flare_a = {};  // Light 1: glow and flares
  FlareState flare_b = {};  // Light 0: glow only
};

struct PortraitState {
  bool morph_to_load = true;  // the morph file is read on the morph row's first frame
};

struct WarpState {
  WarpGrid grid = {};  // the grid warp's corners, refilled by every frame that uses them
};

constexpr int kGlowPulses = 20;

struct GlowState {
  bool particle_glow_first_frame = true;                // the beat is built on the first frame
  std::unique_ptr<PulsePoint[]> pulse;                  // kGlowPulses pulses, kept to the end
  float swarm_translation[3] = {0.0f, 125.0f, 200.0f};  // the swarm under the arches
  float swarm_time = 384.0f;                            // where both swarms start in the cycle
};

struct PictureState {
  bool credits_first_frame = true;
  ImagePtr scroll1, scroll2;
};

// ---- The whole show ----

struct Show {
  // Views: the screen View draws every 3D scene; the picture View renders into textures
  // and is the spotlight's light View.
  View screen_view = {};
  View picture_view = {};

  World catwalk = {}, cube = {}, metaball = {}, city = {}, object = {}, dance = {}, box = {};

  // Textures (power-of-two sides) and pictures (stored size), by what they show.
  ImagePtr face, black, skin, arm_glove, chest_front, chest_back, hip_front, hip_back;
  ImagePtr cat_side, gold, pole, rope, cat_floor, vog;
  ImagePtr phong;  // the spotlight's light pattern, 256 x 256
  ImagePtr cube_texture, blob, meta[4], qub, cmap, flower;
  ImagePtr gradient, floor, step, dance_floor, stone;
  std::vector<ImagePtr> city_maps;  // in load order, one per bind
  ImagePtr double_picture, blue_picture, top_picture, titles[4];
  ImagePtr portrait1, portrait2, face_back, face_front, logo, captions[5], card;

  // Shared buffers: zero at start, nothing kept from one frame to the next.
  int32_t depth[kFramePixels] = {};
  uint32_t scratch[kScratchBuffers][kFramePixels] = {};
  uint32_t light[kFramePixels] = {};  // the catwalk's light buffer
  uint32_t silhouette_picture[kFramePixels] = {};

  // The dancer's recorded silhouettes: frame f is bit f % 8 of plane f / 8.
  uint8_t silhouette_planes[kSilhouettePlanes][kFramePixels] = {};
  int32_t silhouette_count = 0;

  DancerState dancers;
  CityState city_state;
  MetaballState metaballs;
  FlareObjectState flare_object;
  PortraitState portraits;
  WarpState warps;
  GlowState glows;
  PictureState pictures;
};

// The show's state; made empty on first use, filled by the start-up.
Show& show();
// Drops every asset and flag and starts from an empty record (tests, several shows in one
// process). Worlds and Views are released with it.
void show_reset();
