// The flat dark teal the dance floor scenes stand on.
#include "kernels/kernels.h"
#include "scenes/scenes.h"

namespace {
constexpr uint32_t kBackgroundColour = 0x000F373F;
}

TH_SCENE(BackgroundFillScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress, (void)parameter;
  fill_words(pixels, kBackgroundColour, kFrameBytes);
}
