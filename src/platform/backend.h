// What a platform backend provides: the window, its input, message boxes and a
// DirectDraw-like surface device. SDL2 for the real show, a memory surface for headless
// runs, and a scriptable fake that only the tests build (tests/support).
#pragma once
#include <cstdint>
#include <string>

#include "platform/window.h"

namespace platform {

// What a Lock of the primary surface reports.
struct SurfaceDesc {
  void* pixels = nullptr;
  int pitch = 0;  // bytes from one row to the next
  int width = 0;
  int height = 0;
  int bits = 0;
};

class Surface {
 public:
  virtual ~Surface() = default;
  virtual bool lock(SurfaceDesc* desc) = 0;
  virtual bool unlock() = 0;
  virtual void release() = 0;
};

constexpr uint32_t DDSCL_FULLSCREEN = 0x1;
constexpr uint32_t DDSCL_ALLOWREBOOT = 0x2;
constexpr uint32_t DDSCL_EXCLUSIVE = 0x10;

class DirectDraw {
 public:
  virtual ~DirectDraw() = default;
  // QueryInterface for the newer interface the display works with.
  virtual bool query_interface4() = 0;
  virtual bool set_cooperative_level(WindowHandle window, uint32_t flags) = 0;
  // May refuse a mode; false then.
  virtual bool set_display_mode(int width, int height, int bits) = 0;
  // The visible surface of the mode that was set; null on failure.
  virtual Surface* create_primary_surface() = 0;
  virtual void release() = 0;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // Whether a screen is there to show dialogs on.
  virtual bool has_display() const = 0;
  virtual WindowHandle open_window(const char* title, int x, int y, int width, int height) = 0;
  virtual void close_window(WindowHandle window) = 0;
  // Turns waiting input into posted messages.
  virtual void poll_events() = 0;
  virtual void set_cursor_visible(bool visible) = 0;
  // Default: one line on standard error, never blocking.
  virtual void message_box(WindowHandle window, const char* text, const char* caption);
  // DirectDrawCreate: null when there is no device.
  virtual DirectDraw* direct_draw_create() = 0;
  // Why the last open_window failed, for a one-line message ("" when unknown).
  virtual std::string last_error() const { return ""; }
};

// The backend in use; the headless one until the entry or a test picks another.
Backend& backend();
void set_backend(Backend* backend);

// Backends the program can pick.
Backend* sdl_backend();
Backend* headless_backend();

}  // namespace platform
