// The headless sound device: cursor by the virtual clock, underruns, the captured mix.
#include "platform/sound_headless.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sound.h"

namespace {

using platform::HeadlessSoundDevice;
using platform::SoundDeviceBuffer;

void fill(SoundDeviceBuffer* b, uint32_t offset, const std::vector<uint8_t>& bytes) {
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_TRUE(b->lock(offset, static_cast<uint32_t>(bytes.size()), &p1, &n1, &p2, &n2));
  std::memcpy(p1, bytes.data(), n1);
  if (n2) std::memcpy(p2, bytes.data() + n1, n2);
  ASSERT_TRUE(b->unlock(p1, n1, p2, n2));
}

uint32_t cursor(SoundDeviceBuffer* b) {
  uint32_t c = 0;
  EXPECT_TRUE(b->get_current_position(&c));
  return c;
}

std::vector<int16_t> read_wav(const std::string& path, int* rate) {
  std::vector<int16_t> s;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return s;
  unsigned char h[44];
  if (std::fread(h, 1, 44, f) == 44) {
    *rate = h[24] | h[25] << 8 | h[26] << 16;
    uint32_t bytes = h[40] | h[41] << 8 | h[42] << 16;
    s.resize(bytes / 2);
    s.resize(std::fread(s.data(), 2, s.size(), f));
  }
  std::fclose(f);
  return s;
}

class HeadlessSound : public ::testing::Test {
 protected:
  void SetUp() override { platform::virtual_clock_enable(0.0); }
  void TearDown() override { platform::virtual_clock_set(0.0); }
};

}  // namespace

TEST_F(HeadlessSound, CursorFollowsTheVirtualClockAndWraps) {
  HeadlessSoundDevice device("", false);
  auto b = device.create_buffer(1000, 1000, 16);  // 500 samples: half a second
  ASSERT_TRUE(b);
  EXPECT_EQ(cursor(b.get()), 0u);
  platform::virtual_clock_set(2.0);
  ASSERT_TRUE(b->play(true));
  platform::virtual_clock_set(2.1);
  EXPECT_EQ(cursor(b.get()), 200u);
  platform::virtual_clock_set(2.6);
  EXPECT_EQ(cursor(b.get()), 200u);  // 600 samples: wrapped once
  ASSERT_TRUE(b->set_frequency(2000));
  platform::virtual_clock_set(2.7);
  EXPECT_EQ(cursor(b.get()), 600u);  // 100 + 200 samples
  ASSERT_TRUE(b->stop());
  platform::virtual_clock_set(5.0);
  EXPECT_EQ(cursor(b.get()), 600u);
  ASSERT_TRUE(b->set_current_position(10));
  EXPECT_EQ(cursor(b.get()), 10u);
  // DirectSound's ranges are refused, not clamped.
  EXPECT_FALSE(b->set_frequency(99));
  EXPECT_FALSE(b->set_frequency(100001));
  EXPECT_FALSE(b->set_volume(1));
  EXPECT_FALSE(b->set_volume(-10001));
  EXPECT_FALSE(b->set_pan(10001));
  EXPECT_FALSE(b->set_current_position(1000));
  EXPECT_FALSE(device.create_buffer(1001, 1000, 16));
  EXPECT_FALSE(device.create_buffer(1000, 1000, 12));
}

TEST_F(HeadlessSound, LockWrapsIntoTwoPiecesWithinTheBuffer) {
  HeadlessSoundDevice device("", false);
  auto b = device.create_buffer(8, 1000, 8);
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_TRUE(b->lock(6, 4, &p1, &n1, &p2, &n2));
  EXPECT_EQ(n1, 2u);
  EXPECT_EQ(n2, 2u);
  ASSERT_NE(p2, nullptr);
  EXPECT_FALSE(b->lock(8, 1, &p1, &n1, &p2, &n2));
  EXPECT_FALSE(b->lock(0, 9, &p1, &n1, &p2, &n2));
}

TEST_F(HeadlessSound, CountsACursorEnteringAHalfNotRewrittenSinceItLeft) {
  HeadlessSoundDevice device("", false);
  auto b = device.create_buffer(400, 100, 16);  // halves of 100 samples: one second each
  fill(b.get(), 0, std::vector<uint8_t>(200, 1));
  ASSERT_TRUE(b->play(true));
  platform::virtual_clock_set(0.5);
  fill(b.get(), 200, std::vector<uint8_t>(200, 2));
  platform::virtual_clock_set(1.5);
  EXPECT_EQ(cursor(b.get()), 300u);
  fill(b.get(), 0, std::vector<uint8_t>(200, 3));
  platform::virtual_clock_set(2.5);
  EXPECT_EQ(device.underruns(), 0);
  // Half 1 was not refilled while the cursor played half 0.
  platform::virtual_clock_set(3.5);
  EXPECT_EQ(cursor(b.get()), 300u);
  EXPECT_EQ(device.underruns(), 1);
  // Several halves passed between two looks still count one by one.
  platform::virtual_clock_set(7.5);
  EXPECT_EQ(cursor(b.get()), 300u);
  EXPECT_EQ(device.underruns(), 5);
}

TEST_F(HeadlessSound, CaptureMixesFullLeftAndFullRightSampleForSample) {
  std::string path = std::string(TH_BINARY_DIR) + "/tests/sound_capture_test.wav";
  std::vector<int16_t> left(3000), right(3000);
  std::mt19937 rng(7);
  for (size_t i = 0; i < left.size(); ++i) {
    left[i] = static_cast<int16_t>(rng());
    right[i] = static_cast<int16_t>(rng());
  }
  {
    HeadlessSoundDevice device(path, false);
    auto l = device.create_buffer(6000, 22050, 16);
    auto r = device.create_buffer(6000, 22050, 16);
    auto c = device.create_buffer(3000, 22050, 8);  // silent centre: mixes in as nothing
    std::vector<uint8_t> bytes(6000);
    std::memcpy(bytes.data(), left.data(), 6000);
    fill(l.get(), 0, bytes);
    std::memcpy(bytes.data(), right.data(), 6000);
    fill(r.get(), 0, bytes);
    platform::virtual_clock_set(1.0);
    l->set_pan(platform::kSoundPanLeft);
    r->set_pan(platform::kSoundPanRight);
    l->play(true);
    r->play(true);
    c->play(true);
    for (int k = 1; k <= 7; ++k) {
      platform::virtual_clock_set(1.0 + k * 0.05);
      cursor(l.get());
    }
  }
  int rate = 0;
  std::vector<int16_t> wav = read_wav(path, &rate);
  EXPECT_EQ(rate, 22050);
  ASSERT_EQ(wav.size(), 2u * 7717);  // 0.35 s, the buffers looping every 3000 samples
  for (size_t i = 0; i < wav.size() / 2; ++i) {
    ASSERT_EQ(wav[2 * i], left[i % 3000]) << i;
    ASSERT_EQ(wav[2 * i + 1], right[i % 3000]) << i;
  }
}

TEST(SoundGains, AttenuateTheSideAwayFromThePan) {
  double l, r;
  platform::sound_gains(0, 0, &l, &r);
  EXPECT_EQ(l, 1.0);
  EXPECT_EQ(r, 1.0);
  platform::sound_gains(0, -10000, &l, &r);
  EXPECT_EQ(l, 1.0);
  EXPECT_EQ(r, 0.0);
  platform::sound_gains(-600, 2000, &l, &r);  // left at -26 dB, right at -6 dB
  EXPECT_NEAR(l, 0.0501, 1e-4);
  EXPECT_NEAR(r, 0.5012, 1e-4);
  platform::sound_gains(-10000, 0, &l, &r);
  EXPECT_EQ(l, 0.0);
}
