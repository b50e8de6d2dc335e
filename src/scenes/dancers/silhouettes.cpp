// The dancer's silhouettes, recorded at start-up one bit a pixel a frame.
#include "scenes/scenes.h"
#include "scenes/show.h"

void silhouette_record(const uint32_t* buffer) {
  Show& s = show();
  const int f = s.silhouette_count;
  uint8_t* plane = s.silhouette_planes[f / 8];
  const uint8_t bit = static_cast<uint8_t>(1u << (f % 8));
  for (int i = 0; i < kFramePixels; ++i)
    if (buffer[i] == 0) plane[i] |= bit;
  s.silhouette_count = (f + 1) % kSilhouetteWrap;
}
