#include <gtest/gtest.h>

#include <vector>

#include "sequencer/sequencer.h"

namespace {

constexpr int kPixels = 320 * 240;

// Applies the show's fades at t to a frame of one colour; returns the first pixel.
uint32_t faded(float t, uint32_t colour, int* result = nullptr, int force_plain = 1) {
  init_fades(320, 240, force_plain);
  std::vector<uint32_t> frame(kPixels, colour);
  const int r = apply_fades(frame.data(), fade_keys, kFadeKeys, t);
  if (result) *result = r;
  for (uint32_t p : frame) EXPECT_EQ(p & 0xFFFFFF, frame[0] & 0xFFFFFF);  // whole frame alike
  return frame[0] & 0xFFFFFF;
}

TEST(Fades, BlackLevels) {
  EXPECT_EQ(faded(-0.001f, 0xFFFFFF), 0u);      // before the clock starts: key 0
  EXPECT_EQ(faded(0.0f, 0xFFFFFF), 0u);         // fully black, darken with amount 0
  EXPECT_EQ(faded(1.0f, 0xFFFFFF), 0x7F7F7Fu);  // black 127: c * 128 / 256
  EXPECT_EQ(faded(1.0f, 0x102030), 0x081018u);
  EXPECT_EQ(faded(3.85f, 0xFFFFFF), 0u);
  EXPECT_EQ(faded(3.9f, 0xFFFFFF), 0u);
  EXPECT_EQ(faded(4.2f, 0x123456), 0x123456u);
  // Keys 22-25 are never reached: no dip at 14.4 s.
  EXPECT_EQ(faded(14.4f, 0x123456), 0x123456u);
}

TEST(Fades, WhiteFlashes) {
  EXPECT_EQ(faded(29.3f, 0x000000), 0xFEFEFEu);
  EXPECT_EQ(faded(29.3f, 0xFFFFFF), 0xFFFFFFu);
  EXPECT_EQ(faded(29.3f, 0x000000, nullptr, 0), 0xFEFEFEu);  // SIMD set, same colours
  EXPECT_EQ(faded(202.0f, 0x000000), 0xFEFEFEu);
  EXPECT_EQ(faded(100.0f, 0x445566), 0x445566u);
}

TEST(Fades, LastKey) {
  int r = -1;
  EXPECT_EQ(faded(224.35f, 0x445566, &r), 0x445566u);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(faded(224.36f, 0x445566, &r), 0x445566u);
  EXPECT_EQ(r, 0);
}

TEST(Fades, ATableOfItsOwn) {
  // A table of its own so the slot state of other tests does not matter for the result.
  FadeKey keys[2] = {{0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 1.0f}};
  init_fades(2, 1, 1);
  std::vector<uint32_t> frame(2, 0xFFFFFF);
  EXPECT_EQ(apply_fades(frame.data(), keys, 2, 0.5f), 1);
  EXPECT_EQ(frame[0] & 0xFFFFFF, 0u);
  EXPECT_EQ(apply_fades(frame.data(), keys, 2, 1.5f), 0);
}

}  // namespace
