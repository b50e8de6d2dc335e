// The dancer's silhouettes, recorded at start-up one bit a pixel a frame, and the scene
// that lays three of them, time-shifted, in flat colours.
#include <cstring>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr uint32_t kBackground = 0x309BD8;
constexpr uint32_t kSecondEcho = 0xB6A264;  // in front of the others
constexpr uint32_t kFirstEcho = 0x4186EA;
constexpr uint32_t kThirdEcho = 0xCF6062;

constexpr uint32_t echo_colour(uint8_t m) {
  if (m == 0) return kBackground;
  if (m & 4) return kSecondEcho;
  if (m & 2) return kFirstEcho;
  return kThirdEcho;
}

// The colour of every mask byte, so the frame is coloured without a branch a pixel (the
// silhouettes' edges made those branches unpredictable).
struct EchoColours {
  uint32_t of[256];
  constexpr EchoColours() : of() {
    for (int m = 0; m < 256; ++m) of[m] = echo_colour(static_cast<uint8_t>(m));
  }
};
constexpr EchoColours kEchoColours;

}  // namespace

void silhouette_record(const uint32_t* buffer) {
  Show& s = show();
  const int f = s.silhouette_count;
  uint8_t* plane = s.silhouette_planes[f / 8];
  const uint8_t bit = static_cast<uint8_t>(1u << (f % 8));
  // Without a branch, so the compiler works many pixels a step.
  for (int i = 0; i < kFramePixels; ++i) plane[i] |= buffer[i] == 0 ? bit : uint8_t{0};
  s.silhouette_count = (f + 1) % kSilhouetteWrap;
}

void silhouette_stamp(uint8_t* mask, int bit, int frame) {
  const Show& s = show();
  const int count = s.silhouette_count;
  if (count <= 0 || bit < 0 || bit > 7) return;  // nothing recorded: nothing to stamp
  // Wrapped into 0..count-1 also for a negative frame, so no plane before the store is read.
  int f = frame % count;
  if (f < 0) f += count;
  const uint8_t* plane = s.silhouette_planes[f / 8];
  const uint8_t want = static_cast<uint8_t>(1u << (f % 8));
  const uint8_t put = static_cast<uint8_t>(1u << bit);
  for (int i = 0; i < kFramePixels; ++i) mask[i] |= (plane[i] & want) != 0 ? put : uint8_t{0};
}

TH_SCENE(SilhouetteEchoScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)parameter;
  uint8_t* mask = show().dancers.echo_mask;
  std::memset(mask, 0, kFramePixels);
  const float a = progress * 35.0f;
  silhouette_stamp(mask, 1, static_cast<int>(a + 40.0f));
  silhouette_stamp(mask, 2, static_cast<int>(a + 80.0f));
  silhouette_stamp(mask, 3, static_cast<int>(a + 120.0f));
  for (int i = 0; i < kFramePixels; ++i) pixels[i] = kEchoColours.of[mask[i]];
  blur_cross4(pixels, pixels);
}
