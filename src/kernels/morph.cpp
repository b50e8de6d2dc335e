// The picture morph, its textured triangle fill and the scan-order smear.
#include <algorithm>

#include "kernels/kernels.h"

namespace {

// One channel's accumulator step: the accumulator holds the channel in bits 16..23 and moves
// k/128 of the way towards the pixel. It never leaves 0 .. 255 << 16 for k up to 127, so the
// channel read back from bits 16..23 is always the filtered value.
inline int32_t smear_step(int32_t acc, uint32_t channel, int32_t k) {
  return acc + ((static_cast<int32_t>(channel << 16) - acc) >> 7) * k;
}

inline uint32_t smear_pixel(uint32_t pixel, int32_t acc[3], int32_t k) {
  acc[0] = smear_step(acc[0], pixel & 0xFF, k);
  acc[1] = smear_step(acc[1], (pixel >> 8) & 0xFF, k);
  acc[2] = smear_step(acc[2], (pixel >> 16) & 0xFF, k);
  return ((static_cast<uint32_t>(acc[2]) >> 16 & 0xFF) << 16) |
         ((static_cast<uint32_t>(acc[1]) >> 16 & 0xFF) << 8) |
         (static_cast<uint32_t>(acc[0]) >> 16 & 0xFF);
}

}  // namespace

void smear_scan(uint32_t* buffer, int strength) {
  const int32_t k = std::clamp(strength, 1, 127);
  int32_t back[3] = {0, 0, 0};
  for (int i = kFramePixels - 1; i >= 0; --i) buffer[i] = smear_pixel(buffer[i], back, k);
  int32_t forth[3] = {0, 0, 0};
  for (int i = 0; i < kFramePixels; ++i) buffer[i] = smear_pixel(buffer[i], forth, k);
}
