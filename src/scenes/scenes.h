// The scene handlers the timeline calls, by family. Each family lives in its own file or
// folder of src/scenes. A handler whose family is not drawn yet is named here as the shared
// empty handler, so its rows keep their place (and their name in tables) and draw nothing;
// building the family replaces those lines with its declarations.
#pragma once
#include <cstdint>

#include "sequencer/sequencer.h"

// Every handler has the timeline's signature.
#define TH_SCENE(name)                                                                     \
  void name(uint32_t* pixels, const TimelineEntry* entry, int index, float t, float start, \
            float end, float progress, int32_t parameter)

// Draws nothing: the stand-in for handlers not built yet.
TH_SCENE(empty_scene);

// ---- Catwalk and dancers ----
TH_SCENE(CatwalkScene);
TH_SCENE(CatwalkCloseScene);
TH_SCENE(TitleScene);
TH_SCENE(SilhouetteEchoScene);
TH_SCENE(BoxDancerScene);
TH_SCENE(DanceFloorScene);
TH_SCENE(BackgroundFillScene);
// Keeps one frame of the dancer (its pixels exactly 0) as the next recorded silhouette.
void silhouette_record(const uint32_t* buffer);
// ORs recorded frame `frame` (wrapped into the recorded count, also when negative) into
// every mask byte of its pixels as bit `bit`; nothing while no frame is recorded.
void silhouette_stamp(uint8_t* mask, int bit, int frame);

// ---- City ----
TH_SCENE(CityScene);
struct World;
struct View;
// One plain pass of a World into the frame: cleared depth, cull mode 0, the World at
// keyframe a seen from its camera `camera` through distance fog. A camera the World does
// not have draws nothing.
void render_world(uint32_t* frame, World* world, View* view, float a, int camera);

// ---- Metaballs ----
TH_SCENE(MetaballScene);

// ---- Flare object ----
TH_SCENE(FlareObjectScene);

// ---- Portraits and morph ----
TH_SCENE(PortraitScene);
TH_SCENE(MorphScene);

// ---- Warps ----
TH_SCENE(DoublePictureScene);
TH_SCENE(TextureWarpPairScene);
TH_SCENE(FaceBlendScene);
TH_SCENE(TextureWarpScene);
TH_SCENE(TextureSlideScene);
TH_SCENE(TwinWarpScene);

// ---- Glows and particles ----
TH_SCENE(ColourMapScene);
TH_SCENE(ColourMapParticleScene);
TH_SCENE(ParticleGlowScene);

// ---- Pictures, captions and credits ----
TH_SCENE(BluePictureScene);
TH_SCENE(PictureCardScene);
TH_SCENE(WordCaptionScene);
TH_SCENE(CornerLogoScene);
TH_SCENE(FlowerSpriteScene);
TH_SCENE(CreditsScrollScene);

// ---- The end of the handler list ----
