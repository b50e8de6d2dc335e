#include "sequencer/sequencer.h"

// Rows whose scenes are not built yet have empty handlers: they draw nothing but still
// keep the show alive until their end.
const TimelineEntry timeline[kTimelineRows] = {
    {0.0f, 3.85f, 0, nullptr},      // CatwalkScene
    {0.0f, 3.85f, 1, nullptr},      // TitleScene
    {3.85f, 6.5f, 2, nullptr},      // CatwalkScene
    {3.85f, 6.5f, 2, nullptr},      // TitleScene
    {6.5f, 9.68f, 0, nullptr},      // CatwalkScene
    {6.5f, 9.68f, 3, nullptr},      // TitleScene
    {9.68f, 12.0f, 1, nullptr},     // CatwalkScene
    {12.0f, 14.0f, 0, nullptr},     // CatwalkScene
    {14.0f, 22.3f, 4, nullptr},     // CatwalkCloseScene
    {22.3f, 27.3f, 3, nullptr},     // CatwalkCloseScene
    {27.3f, 29.3f, 5, nullptr},     // CatwalkCloseScene
    {29.3f, 32.0f, 0, nullptr},     // DoublePictureScene
    {31.5f, 32.0f, 4, nullptr},     // TextureWarpPairScene
    {32.0f, 39.3f, 0, nullptr},     // TextureWarpPairScene
    {32.0f, 35.5f, 0, nullptr},     // FaceBlendScene
    {35.5f, 37.0f, 0, nullptr},     // TextureWarpScene
    {37.0f, 58.0f, 1, nullptr},     // TextureWarpScene
    {56.5f, 58.0f, 2, nullptr},     // TextureWarpScene
    {37.0f, 56.5f, 0, nullptr},     // FlareObjectScene
    {58.0f, 72.6f, 0, nullptr},     // TextureWarpPairScene
    {58.0f, 65.35f, 1, nullptr},    // PortraitScene
    {65.25f, 66.2f, 0, nullptr},    // MorphScene
    {66.2f, 72.6f, 0, nullptr},     // PortraitScene
    {58.0f, 59.5f, 0, nullptr},     // WordCaptionScene
    {61.75f, 63.35f, 1, nullptr},   // WordCaptionScene
    {65.3f, 67.0f, 2, nullptr},     // WordCaptionScene
    {69.0f, 70.5f, 3, nullptr},     // WordCaptionScene
    {72.6f, 80.0f, 1, nullptr},     // CityScene
    {80.0f, 87.0f, 0, nullptr},     // CityScene
    {87.0f, 90.0f, 0, nullptr},     // BoxDancerScene
    {90.0f, 99.0f, 1, nullptr},     // BoxDancerScene
    {99.0f, 116.0f, 5, nullptr},    // CatwalkScene
    {116.0f, 132.0f, 9, nullptr},   // CityScene
    {132.0f, 144.6f, 2, nullptr},   // BoxDancerScene
    {144.6f, 166.5f, 0, nullptr},   // MetaballScene
    {165.5f, 166.5f, 0, nullptr},   // CornerLogoScene
    {166.5f, 173.6f, 0, nullptr},   // BluePictureScene
    {173.6f, 180.6f, 0, nullptr},   // ColourMapParticleScene
    {180.6f, 181.5f, 0, nullptr},   // ColourMapScene
    {180.6f, 181.5f, 0, nullptr},   // TextureSlideScene
    {181.5f, 182.7f, 0, nullptr},   // TextureWarpPairScene
    {182.7f, 183.6f, 2, nullptr},   // ColourMapScene
    {182.7f, 183.6f, 1, nullptr},   // TextureSlideScene
    {183.6f, 184.5f, 0, nullptr},   // SilhouetteEchoScene
    {184.5f, 185.5f, 1, nullptr},   // ColourMapScene
    {184.5f, 185.5f, 2, nullptr},   // TextureSlideScene
    {185.5f, 186.4f, 0, nullptr},   // TwinWarpScene
    {186.4f, 187.3f, 0, nullptr},   // TextureWarpPairScene
    {187.3f, 190.9f, 0, nullptr},   // SilhouetteEchoScene
    {187.3f, 190.9f, 0, nullptr},   // FlowerSpriteScene
    {190.9f, 191.7f, 0, nullptr},   // TwinWarpScene
    {191.7f, 192.6f, 0, nullptr},   // TextureWarpPairScene
    {192.6f, 195.0f, 0, nullptr},   // SilhouetteEchoScene
    {180.6f, 195.0f, 0, nullptr},   // ParticleGlowScene
    {195.0f, 224.0f, 0, nullptr},   // BackgroundFillScene
    {195.0f, 202.0f, 0, nullptr},   // DanceFloorScene
    {202.0f, 217.0f, 1, nullptr},   // DanceFloorScene
    {217.0f, 224.0f, 2, nullptr},   // DanceFloorScene
    {224.0f, 238.0f, 1, nullptr},   // CityScene
    {238.0f, 239.0f, 1, nullptr},   // PictureCardScene
    {239.0f, 240.0f, 0, nullptr},   // PictureCardScene
    {240.0f, 248.0f, 14, nullptr},  // CityScene
    {240.0f, 241.0f, 2, nullptr},   // PictureCardScene
    {248.0f, 252.2f, 5, nullptr},   // CatwalkScene
    {252.0f, 266.0f, 0, nullptr},   // CreditsScrollScene
};

const char* const timeline_handler_names[kTimelineRows] = {
    "CatwalkScene",       "TitleScene",         "CatwalkScene",         "TitleScene",
    "CatwalkScene",       "TitleScene",         "CatwalkScene",         "CatwalkScene",
    "CatwalkCloseScene",  "CatwalkCloseScene",  "CatwalkCloseScene",    "DoublePictureScene",
    "TextureWarpPairScene", "TextureWarpPairScene", "FaceBlendScene",   "TextureWarpScene",
    "TextureWarpScene",   "TextureWarpScene",   "FlareObjectScene",     "TextureWarpPairScene",
    "PortraitScene",      "MorphScene",         "PortraitScene",        "WordCaptionScene",
    "WordCaptionScene",   "WordCaptionScene",   "WordCaptionScene",     "CityScene",
    "CityScene",          "BoxDancerScene",     "BoxDancerScene",       "CatwalkScene",
    "CityScene",          "BoxDancerScene",     "MetaballScene",        "CornerLogoScene",
    "BluePictureScene",   "ColourMapParticleScene", "ColourMapScene",   "TextureSlideScene",
    "TextureWarpPairScene", "ColourMapScene",   "TextureSlideScene",    "SilhouetteEchoScene",
    "ColourMapScene",     "TextureSlideScene",  "TwinWarpScene",        "TextureWarpPairScene",
    "SilhouetteEchoScene", "FlowerSpriteScene", "TwinWarpScene",        "TextureWarpPairScene",
    "SilhouetteEchoScene", "ParticleGlowScene", "BackgroundFillScene",  "DanceFloorScene",
    "DanceFloorScene",    "DanceFloorScene",    "CityScene",            "PictureCardScene",
    "PictureCardScene",   "CityScene",          "PictureCardScene",     "CatwalkScene",
    "CreditsScrollScene",
};

int run_timeline(uint32_t* pixels, const TimelineEntry* table, int count, float t) {
  int result = 0;
  for (int i = 0; i < count; ++i) {
    const TimelineEntry& row = table[i];
    const bool active = row.start <= t && t < row.end;
    if (active) {
      if (row.handler) {
        // The progress is worked out wider than float and handed over rounded once.
        const long double progress = (static_cast<long double>(t) - row.start) /
                                     (static_cast<long double>(row.end) - row.start);
        row.handler(pixels, &row, i, t, row.start, row.end, static_cast<float>(progress),
                    row.parameter);
      }
      result = 1;
    }
    if (row.end >= t) result = 1;
  }
  return result;
}

int sequencer_frame(uint32_t* pixels, float t) {
  const int a = run_timeline(pixels, timeline, kTimelineRows, t);
  const int b = apply_fades(pixels, fade_keys, kFadeKeys, t);
  return a + b;
}
