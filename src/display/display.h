// The display: a screen mode on the surface device, the 32-bit FrameBuffer every scene
// draws into, and its conversion to the screen once a frame.
#pragma once
#include <cstdint>

#include "platform/window.h"

struct DisplayDevice {
  int32_t width;
  int32_t height;
  int32_t screen_bits;  // 32, 24 or 16
  int32_t pitch_bytes;  // of what is mapped now
  int32_t pitch_pixels;
  int32_t mapped;  // 1 while the FrameBuffer or the screen surface is mapped
  void* pixels;    // first byte of what is mapped (null before the first frame)
  int (*clear)(DisplayDevice* device, uint32_t value);
  int (*present)(DisplayDevice* device);
  int (*begin_frame)(DisplayDevice* device);
  int (*end_frame)(DisplayDevice* device);
};

// Sets the first screen mode the device accepts out of 320x240 and 640x480 at 32, 24 and
// 16 bits, makes the screen surface and the FrameBuffer. Null on failure.
DisplayDevice* display_init(platform::WindowHandle window, int width, int height, int use_mmx);
// Releases the screen surface and the device: 1 if there was a device, else 0.
int display_shutdown();

int display_clear(DisplayDevice* device, uint32_t value);
int display_begin_frame(DisplayDevice* device);
int display_end_frame(DisplayDevice* device);
int display_present(DisplayDevice* device);
int display_lock_screen(DisplayDevice* device);
int display_unlock_screen(DisplayDevice* device);

// The FrameBuffer (null before display_init made it).
uint32_t* display_framebuffer();
// Forgets the device and the use-MMX flag without releasing anything, so one process can
// start several shows (tests).
void display_reset();
