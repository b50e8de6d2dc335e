#include "scenes/timeline.h"

#include "display/frame.h"
#include "scenes/scenes.h"

// One line a row: start, end, parameter, handler. Rows are not sorted by start; their
// order is the drawing order (an overlay row comes after the row it lies on).
#define TH_TIMELINE(ROW)                         \
  ROW(0.0f, 3.85f, 0, CatwalkScene)              \
  ROW(0.0f, 3.85f, 1, TitleScene)                \
  ROW(3.85f, 6.5f, 2, CatwalkScene)              \
  ROW(3.85f, 6.5f, 2, TitleScene)                \
  ROW(6.5f, 9.68f, 0, CatwalkScene)              \
  ROW(6.5f, 9.68f, 3, TitleScene)                \
  ROW(9.68f, 12.0f, 1, CatwalkScene)             \
  ROW(12.0f, 14.0f, 0, CatwalkScene)             \
  ROW(14.0f, 22.3f, 4, CatwalkCloseScene)        \
  ROW(22.3f, 27.3f, 3, CatwalkCloseScene)        \
  ROW(27.3f, 29.3f, 5, CatwalkCloseScene)        \
  ROW(29.3f, 32.0f, 0, DoublePictureScene)       \
  ROW(31.5f, 32.0f, 4, TextureWarpPairScene)     \
  ROW(32.0f, 39.3f, 0, TextureWarpPairScene)     \
  ROW(32.0f, 35.5f, 0, FaceBlendScene)           \
  ROW(35.5f, 37.0f, 0, TextureWarpScene)         \
  ROW(37.0f, 58.0f, 1, TextureWarpScene)         \
  ROW(56.5f, 58.0f, 2, TextureWarpScene)         \
  ROW(37.0f, 56.5f, 0, FlareObjectScene)         \
  ROW(58.0f, 72.6f, 0, TextureWarpPairScene)     \
  ROW(58.0f, 65.35f, 1, PortraitScene)           \
  ROW(65.25f, 66.2f, 0, MorphScene)              \
  ROW(66.2f, 72.6f, 0, PortraitScene)            \
  ROW(58.0f, 59.5f, 0, WordCaptionScene)         \
  ROW(61.75f, 63.35f, 1, WordCaptionScene)       \
  ROW(65.3f, 67.0f, 2, WordCaptionScene)         \
  ROW(69.0f, 70.5f, 3, WordCaptionScene)         \
  ROW(72.6f, 80.0f, 1, CityScene)                \
  ROW(80.0f, 87.0f, 0, CityScene)                \
  ROW(87.0f, 90.0f, 0, BoxDancerScene)           \
  ROW(90.0f, 99.0f, 1, BoxDancerScene)           \
  ROW(99.0f, 116.0f, 5, CatwalkScene)            \
  ROW(116.0f, 132.0f, 9, CityScene)              \
  ROW(132.0f, 144.6f, 2, BoxDancerScene)         \
  ROW(144.6f, 166.5f, 0, MetaballScene)          \
  ROW(165.5f, 166.5f, 0, CornerLogoScene)        \
  ROW(166.5f, 173.6f, 0, BluePictureScene)       \
  ROW(173.6f, 180.6f, 0, ColourMapParticleScene) \
  ROW(180.6f, 181.5f, 0, ColourMapScene)         \
  ROW(180.6f, 181.5f, 0, TextureSlideScene)      \
  ROW(181.5f, 182.7f, 0, TextureWarpPairScene)   \
  ROW(182.7f, 183.6f, 2, ColourMapScene)         \
  ROW(182.7f, 183.6f, 1, TextureSlideScene)      \
  ROW(183.6f, 184.5f, 0, SilhouetteEchoScene)    \
  ROW(184.5f, 185.5f, 1, ColourMapScene)         \
  ROW(184.5f, 185.5f, 2, TextureSlideScene)      \
  ROW(185.5f, 186.4f, 0, TwinWarpScene)          \
  ROW(186.4f, 187.3f, 0, TextureWarpPairScene)   \
  ROW(187.3f, 190.9f, 0, SilhouetteEchoScene)    \
  ROW(187.3f, 190.9f, 0, FlowerSpriteScene)      \
  ROW(190.9f, 191.7f, 0, TwinWarpScene)          \
  ROW(191.7f, 192.6f, 0, TextureWarpPairScene)   \
  ROW(192.6f, 195.0f, 0, SilhouetteEchoScene)    \
  ROW(180.6f, 195.0f, 0, ParticleGlowScene)      \
  ROW(195.0f, 224.0f, 0, BackgroundFillScene)    \
  ROW(195.0f, 202.0f, 0, DanceFloorScene)        \
  ROW(202.0f, 217.0f, 1, DanceFloorScene)        \
  ROW(217.0f, 224.0f, 2, DanceFloorScene)        \
  ROW(224.0f, 238.0f, 1, CityScene)              \
  ROW(238.0f, 239.0f, 1, PictureCardScene)       \
  ROW(239.0f, 240.0f, 0, PictureCardScene)       \
  ROW(240.0f, 248.0f, 14, CityScene)             \
  ROW(240.0f, 241.0f, 2, PictureCardScene)       \
  ROW(248.0f, 252.2f, 5, CatwalkScene)           \
  ROW(252.0f, 266.0f, 0, CreditsScrollScene)

#define TH_ENTRY(start, end, parameter, handler) {start, end, parameter, handler},
#define TH_NAME(start, end, parameter, handler) #handler,

const TimelineEntry timeline[kTimelineRows] = {TH_TIMELINE(TH_ENTRY)};
const char* const timeline_handler_names[kTimelineRows] = {TH_TIMELINE(TH_NAME)};

// A row more or fewer than the count is a compile error, not a silent gap.
#define TH_COUNT(start, end, parameter, handler) +1
static_assert(0 TH_TIMELINE(TH_COUNT) == kTimelineRows);

TH_SCENE(empty_scene) {
  (void)pixels, (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress,
      (void)parameter;
}

bool scene_accumulates(SceneHandler handler) {
  return handler != empty_scene && handler == FlareObjectScene;
}

void catch_up(double start, double fps, uint32_t* scratch) {
  if (start <= 0.0 || fps <= 0.0) return;
  // The times a run from 0 draws, as the host takes them: k / fps in double, then float.
  auto time_of = [fps](long k) { return static_cast<float>(static_cast<double>(k) / fps); };
  const float until = static_cast<float>(start);
  bool called[kTimelineRows] = {};
  for (long k = 0;; ++k) {
    const float t = time_of(k);
    if (!(t < until)) break;
    const float next = time_of(k + 1);
    for (int i = 0; i < kTimelineRows; ++i) {
      const TimelineEntry& row = timeline[i];
      if (!(row.start <= t && t < row.end) || !row.handler || row.handler == empty_scene) continue;
      const bool last = !(next < until) || !(row.start <= next && next < row.end);
      if (called[i] && !last && !scene_accumulates(row.handler)) continue;
      called[i] = true;
      for (int p = 0; p < kFramePixels; ++p) scratch[p] = 0;
      const long double progress = (static_cast<long double>(t) - row.start) /
                                   (static_cast<long double>(row.end) - row.start);
      row.handler(scratch, &row, i, t, row.start, row.end, static_cast<float>(progress),
                  row.parameter);
    }
  }
}

int show_frame(uint32_t* pixels, float t) {
  return sequencer_frame(pixels, timeline, kTimelineRows, t);
}
