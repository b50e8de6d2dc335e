#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/capture.h"
#include "platform/keys.h"
#include "support/backend_fake.h"

namespace {

std::vector<uint32_t> seen;
intptr_t recording_proc(platform::WindowHandle, uint32_t message, uintptr_t, intptr_t) {
  seen.push_back(message);
  return 0;
}

TEST(MessageQueue, QuitIsOnlyQueuedAndComesAfterWaitingMessages) {
  platform::FakeBackend fake;
  platform::set_backend(&fake);
  platform::reset_windowing();
  platform::register_class(recording_proc);
  platform::WindowHandle w = platform::create_window("t", 0, 0, 1, 1);
  ASSERT_NE(w, nullptr);
  fake.key_at_poll(0, 'A');
  fake.key_at_poll(0, 'A');  // auto-repeat: both arrive
  platform::post_quit_message(7);
  platform::Msg m;
  ASSERT_TRUE(platform::peek_message(&m));
  EXPECT_EQ(m.message, platform::WM_KEYDOWN);
  EXPECT_EQ(m.wparam, 'A');
  ASSERT_TRUE(platform::peek_message(&m));
  EXPECT_EQ(m.message, platform::WM_KEYDOWN);
  ASSERT_TRUE(platform::peek_message(&m));
  EXPECT_EQ(m.message, platform::WM_QUIT);
  EXPECT_EQ(m.wparam, 7u);
  EXPECT_FALSE(platform::peek_message(&m)) << "the quit is taken once";

  // Closing sends WM_DESTROY to the window's procedure once, then nothing reaches it.
  seen.clear();
  platform::post_message(platform::Msg{w, platform::WM_CLOSE, 0, 0});
  ASSERT_TRUE(platform::peek_message(&m));
  platform::def_window_proc(m.window, m.message, m.wparam, m.lparam);
  platform::def_window_proc(m.window, m.message, m.wparam, m.lparam);
  EXPECT_EQ(seen, std::vector<uint32_t>{platform::WM_DESTROY});
  EXPECT_EQ(platform::dispatch_message(&m), 0);
  EXPECT_EQ(seen.size(), 1u);
  platform::reset_windowing();
  platform::set_backend(nullptr);
}

TEST(Keys, WindowsVirtualKeyCodes) {
  EXPECT_EQ(platform::virtual_key(SDLK_ESCAPE), 27);
  EXPECT_EQ(platform::virtual_key(SDLK_F12), 123);
  EXPECT_EQ(platform::virtual_key(SDLK_F1), 112);
  EXPECT_EQ(platform::virtual_key(SDLK_a), 'A');
  EXPECT_EQ(platform::virtual_key(SDLK_z), 'Z');
  EXPECT_EQ(platform::virtual_key(SDLK_0), '0');
  EXPECT_EQ(platform::virtual_key(SDLK_SPACE), 32);
}

TEST(Capture, SurfacePixelsOfEveryDepthReadBackAsRgb) {
  uint8_t s32[4] = {0x33, 0x22, 0x11, 0xFF};
  uint8_t s24[3] = {0x33, 0x22, 0x11};
  uint16_t s16 = 0xF800;
  EXPECT_EQ(platform::surface_pixel({s32, 4, 1, 1, 32}, 0, 0), 0x112233u) << "fourth byte ignored";
  EXPECT_EQ(platform::surface_pixel({s24, 3, 1, 1, 24}, 0, 0), 0x112233u);
  EXPECT_EQ(platform::surface_pixel({&s16, 2, 1, 1, 16}, 0, 0), 0xFF0000u);
}

TEST(Capture, PngFolderWritesNumberedFramesThatReadBack) {
  auto dir =
      std::filesystem::temp_directory_path() / ("th_capture_test_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  auto sink = platform::png_folder_sink(dir.string());
  uint8_t px[2 * 2 * 3] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
  platform::SurfaceDesc s{px, 6, 2, 2, 24};
  ASSERT_TRUE(sink->frame(s));
  ASSERT_TRUE(sink->frame(s));
  EXPECT_TRUE(sink->finish(""));
  EXPECT_EQ(sink->frames(), 2);
  ASSERT_TRUE(std::filesystem::exists(dir / "frame_000001.png"));

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "frame_000000.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(image.width, 2u);
  EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
  std::filesystem::remove_all(dir);
}

}  // namespace
