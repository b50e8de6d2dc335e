#include "display/display.h"

#include <gtest/gtest.h>

#include <string>

#include "display/convert.h"
#include "platform/capture.h"
#include "support/backend_fake.h"

namespace {

uint32_t pattern(int x, int y) {
  return static_cast<uint32_t>(x * 0x010307 + y * 0x070301) & 0xFFFFFF;
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_reset();
    platform::set_backend(&fake);
  }
  void TearDown() override {
    display_shutdown();
    display_reset();
    platform::set_backend(nullptr);
  }

  // One frame as the host draws it.
  static int frame(DisplayDevice* d, uint32_t (*colour)(int, int) = pattern) {
    d->clear(d, 0);
    d->begin_frame(d);
    auto* px = static_cast<uint32_t*>(d->pixels);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) px[y * 320 + x] = colour(x, y);
    d->end_frame(d);
    return d->present(d);
  }

  // The surface shows pattern in its top-left 320 x 240 and black elsewhere.
  void expect_picture(int bits) {
    const platform::SurfaceDesc& s = fake.surface;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        uint32_t want = (x < 320 && y < 240) ? pattern(x, y) : 0;
        if (bits == 16) {
          uint16_t word = static_cast<const uint16_t*>(s.pixels)[y * (s.pitch / 2) + x];
          ASSERT_EQ(word, (x < 320 && y < 240) ? pixel_to_565(pattern(x, y)) : 0) << x << "," << y;
        } else {
          ASSERT_EQ(platform::surface_pixel(s, x, y), want) << x << "," << y;
        }
      }
    EXPECT_TRUE(fake.guard_intact());
  }

  platform::FakeBackend fake;
};

TEST_F(DisplayTest, FirstAcceptedModeWinsInTheFixedOrder) {
  fake.modes = {{320, 240, 24}, {640, 480, 32}};
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->screen_bits, 24);
  EXPECT_EQ(fake.count("mode 320x240x32"), 1);
  EXPECT_EQ(fake.count("mode 640x480x32"), 0) << "24 bits at 320 x 240 comes before 640 x 480";
  EXPECT_EQ(d->mapped, 0);
  EXPECT_EQ(d->pixels, nullptr);
  ASSERT_EQ(frame(d), 1);
  expect_picture(24);
}

TEST_F(DisplayTest, OnlySixteenBitsAt640ShowsTheTopLeftQuarterOnBlack) {
  fake.modes = {{640, 480, 16}};
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->screen_bits, 16);
  EXPECT_EQ(fake.count("mode 640x480x24"), 1);
  ASSERT_EQ(frame(d), 1);
  // The three unused quarters were stale memory; they must be black, not left over.
  expect_picture(16);
}

TEST_F(DisplayTest, PaddedPitchConvertsRowByRowAndLeavesThePaddingAlone) {
  for (int bits : {32, 24, 16}) {
    display_shutdown();
    display_reset();
    fake.modes = {{320, 240, bits}};
    fake.pitch_padding = 12;
    for (int mmx : {0, 1}) {
      DisplayDevice* d = display_init(&fake, 320, 240, mmx);
      ASSERT_NE(d, nullptr);
      ASSERT_EQ(frame(d), 1);
      expect_picture(bits);
      const auto* bytes = static_cast<const uint8_t*>(fake.surface.pixels);
      int row = 320 * bits / 8;
      for (int y = 0; y < 240; ++y)
        for (int i = row; i < fake.surface.pitch; ++i)
          ASSERT_EQ(bytes[y * fake.surface.pitch + i], platform::FakeBackend::kStaleByte) << bits;
    }
  }
}

TEST_F(DisplayTest, PackedSurfaceConvertsInOneRun) {
  fake.modes = {{320, 240, 24}};
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(frame(d), 1);
  EXPECT_EQ(fake.surface.pitch, 960);
  expect_picture(24);
}

TEST_F(DisplayTest, InitFailsAtEachStepAndShutdownReleasesWhatWasMade) {
  EXPECT_EQ(display_shutdown(), 0) << "nothing was started";
  for (const char* step : {"create", "query", "cooperative", "mode", "surface"}) {
    display_reset();
    fake.calls.clear();
    fake.failing = {step};
    EXPECT_EQ(display_init(&fake, 320, 240, 0), nullptr) << step;
    int released = display_shutdown();
    bool had_device = std::string(step) != "create" && std::string(step) != "query";
    EXPECT_EQ(released, had_device ? 1 : 0) << step;
    EXPECT_EQ(fake.count("lock"), 0) << step;
  }
  display_reset();
  fake.failing.clear();
  fake.calls.clear();
  ASSERT_NE(display_init(&fake, 320, 240, 0), nullptr);
  EXPECT_EQ(display_shutdown(), 1);
  ASSERT_GE(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[fake.calls.size() - 2], "release surface");
  EXPECT_EQ(fake.calls.back(), "release draw");
  EXPECT_EQ(display_shutdown(), 0) << "released once";
}

TEST_F(DisplayTest, MappingRules) {
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->end_frame(d), 0) << "nothing mapped";
  EXPECT_EQ(d->begin_frame(d), 1);
  void* first = d->pixels;
  EXPECT_EQ(first, display_framebuffer());
  EXPECT_EQ(d->pitch_bytes, 1280);
  EXPECT_EQ(d->pitch_pixels, 320);
  d->pitch_bytes = 99;  // a second begin_frame must change nothing
  EXPECT_EQ(d->begin_frame(d), 1);
  EXPECT_EQ(d->pitch_bytes, 99);
  EXPECT_EQ(d->end_frame(d), 1);
  EXPECT_EQ(d->end_frame(d), 0);
}

TEST_F(DisplayTest, ScreenAndFrameBufferMappingsNeverOverlap) {
  fake.modes = {{320, 240, 16}};
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  // present while the FrameBuffer is still mapped converts into the screen, not into it.
  d->begin_frame(d);
  static_cast<uint32_t*>(d->pixels)[0] = 0x00FFFFFF;
  EXPECT_EQ(d->present(d), 1);
  EXPECT_EQ(display_framebuffer()[0], 0x00FFFFFFu);
  EXPECT_EQ(static_cast<uint16_t*>(fake.surface.pixels)[0], 0xFFFF);
  // begin_frame while the screen is locked ends that lock and maps the FrameBuffer.
  ASSERT_EQ(display_lock_screen(d), 1);
  EXPECT_EQ(d->begin_frame(d), 1);
  EXPECT_EQ(d->pixels, display_framebuffer());
  EXPECT_EQ(fake.locks, fake.unlocks);
}

TEST_F(DisplayTest, FailingLockSkipsTheFrameAndTheNextOneTriesAgain) {
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  fake.failing = {"lock"};
  EXPECT_EQ(frame(d), 0);
  EXPECT_EQ(d->mapped, 0);
  fake.failing.clear();
  EXPECT_EQ(frame(d), 1);
  expect_picture(32);
}

TEST_F(DisplayTest, FailingUnlockStillEndsTheMapping) {
  DisplayDevice* d = display_init(&fake, 320, 240, 0);
  ASSERT_NE(d, nullptr);
  fake.failing = {"unlock"};
  EXPECT_EQ(frame(d), 0);
  EXPECT_EQ(d->mapped, 0);
  EXPECT_EQ(d->begin_frame(d), 1);
  EXPECT_EQ(d->pixels, display_framebuffer()) << "no drawing through a stale screen pointer";
  EXPECT_EQ(d->pitch_bytes, 1280);
}

TEST_F(DisplayTest, ClearFillsTheWholeFrameBufferInBothForms) {
  for (int mmx : {0, 1}) {
    display_reset();
    DisplayDevice* d = display_init(&fake, 320, 240, mmx);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->clear(d, 0x00123456), 1);
    const uint32_t* fb = display_framebuffer();
    for (int i = 0; i < 320 * 240; ++i) ASSERT_EQ(fb[i], 0x00123456u) << i;
    display_shutdown();
  }
}

}  // namespace
