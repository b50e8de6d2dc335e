// The SDL sound device through SDL's disk driver: what it writes is what a card would play.
#include "platform/sound_sdl.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound.h"

namespace {

void fill16(platform::SoundDeviceBuffer* b, uint32_t offset, uint32_t bytes, int16_t value) {
  void *p1, *p2;
  uint32_t n1, n2;
  ASSERT_TRUE(b->lock(offset, bytes, &p1, &n1, &p2, &n2));
  std::vector<int16_t> v(bytes / 2, value);
  std::memcpy(p1, v.data(), n1);
  if (n2) std::memcpy(p2, reinterpret_cast<uint8_t*>(v.data()) + n1, n2);
  ASSERT_TRUE(b->unlock(p1, n1, p2, n2));
}

}  // namespace

TEST(SdlSound, DiskDriverPlaysAResampledPannedLoop) {
  std::string raw = std::string(TH_BINARY_DIR) + "/tests/sound_sdl_test.raw";
  std::remove(raw.c_str());
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "5", 1);
  {
    auto device = platform::sdl_sound_device_open();
    ASSERT_TRUE(device) << SDL_GetError();
    auto b = device->create_buffer(4000, 22050, 16);  // 2000 samples looping
    ASSERT_TRUE(b);
    // The region wraps: both pieces must reach what is played.
    fill16(b.get(), 3000, 4000, 1000);
    ASSERT_TRUE(b->set_pan(platform::kSoundPanLeft));
    ASSERT_TRUE(b->play(true));
    uint32_t c = 0;
    for (int i = 0; i < 300 && c == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      ASSERT_TRUE(b->get_current_position(&c));
    }
    EXPECT_GT(c, 0u);
    EXPECT_LT(c, 4000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(b->stop());
  }
  unsetenv("SDL_AUDIODRIVER");
  FILE* f = std::fopen(raw.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<int16_t> out(1 << 20);
  out.resize(std::fread(out.data(), 2, out.size(), f));
  std::fclose(f);
  // Find the played stretch: a constant 1000 on the left (resampling a constant keeps it)
  // and nothing on the right.
  size_t played = 0;
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    if (out[i] == 0 && out[i + 1] == 0) continue;
    ASSERT_EQ(out[i], 1000) << i;
    ASSERT_EQ(out[i + 1], 0) << i;
    ++played;
  }
  EXPECT_GT(played, 4410u);  // more than 0.1 s at 44,100 Hz: the loop went round
}
