#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/backend.h"
#include "platform/backend_headless.h"
#include "platform/keys.h"
#include "platform/options.h"

namespace platform {

int virtual_key(int k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return 112 + (k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 0x61 + (k - SDLK_KP_1);
  switch (k) {
    case SDLK_ESCAPE:
      return 27;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return 17;
    case SDLK_LALT:
    case SDLK_RALT:
      return 18;
    case SDLK_PAUSE:
      return 19;
    case SDLK_CAPSLOCK:
      return 20;
    case SDLK_SPACE:
      return 32;
    case SDLK_PAGEUP:
      return 33;
    case SDLK_PAGEDOWN:
      return 34;
    case SDLK_END:
      return 35;
    case SDLK_HOME:
      return 36;
    case SDLK_LEFT:
      return 37;
    case SDLK_UP:
      return 38;
    case SDLK_RIGHT:
      return 39;
    case SDLK_DOWN:
      return 40;
    case SDLK_INSERT:
      return 45;
    case SDLK_DELETE:
      return 46;
    case SDLK_KP_0:
      return 0x60;
    case SDLK_KP_MULTIPLY:
      return 0x6a;
    case SDLK_KP_PLUS:
      return 0x6b;
    case SDLK_KP_MINUS:
      return 0x6d;
    case SDLK_KP_PERIOD:
      return 0x6e;
    case SDLK_KP_DIVIDE:
      return 0x6f;
    case SDLK_SEMICOLON:
      return 0xba;
    case SDLK_EQUALS:
      return 0xbb;
    case SDLK_COMMA:
      return 0xbc;
    case SDLK_MINUS:
      return 0xbd;
    case SDLK_PERIOD:
      return 0xbe;
    case SDLK_SLASH:
      return 0xbf;
    case SDLK_BACKQUOTE:
      return 0xc0;
    case SDLK_LEFTBRACKET:
      return 0xdb;
    case SDLK_BACKSLASH:
      return 0xdc;
    case SDLK_RIGHTBRACKET:
      return 0xdd;
    case SDLK_QUOTE:
      return 0xde;
    default:
      return 0;
  }
}

namespace {

class SdlBackend;

// The visible surface: memory of ours in the mode's own byte order, uploaded to a
// streaming texture at every Unlock. Our memory keeps its contents between locks, as
// video memory does.
class SdlSurface : public Surface {
 public:
  bool make(SDL_Renderer* renderer, int width, int height, int bits) {
    Uint32 format = bits == 32   ? SDL_PIXELFORMAT_RGB888
                    : bits == 24 ? SDL_PIXELFORMAT_BGR24
                                 : SDL_PIXELFORMAT_RGB565;
    texture_ = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture_) return false;
    // The fourth byte of a 32-bit pixel carries no colour.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    renderer_ = renderer;
    make_surface_memory(&desc_, &memory_, width, height, bits);
    return true;
  }
  bool lock(SurfaceDesc* desc) override {
    if (!texture_ || locked_) return false;
    locked_ = true;
    *desc = desc_;
    return true;
  }
  bool unlock() override {
    if (!locked_) return false;
    locked_ = false;
    if (SDL_UpdateTexture(texture_, nullptr, memory_.data(), desc_.pitch) != 0) return false;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    pace();
    return true;
  }
  // The refresh rate the display reports (60 when it reports none).
  void set_refresh(int hz) { period_ = 1.0 / (hz > 0 ? hz : 60); }
  void release() override {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    locked_ = false;
  }

 private:
  // With vsync the present above has already waited for the display; where the renderer
  // cannot wait (a virtual X server, a driver that ignores the request), the frame waits
  // here until its slot at the display's rate, so real-time play never spins. The show's
  // time still comes from the clock, so no picture changes.
  void pace() {
    const double now = static_cast<double>(SDL_GetPerformanceCounter()) /
                       static_cast<double>(SDL_GetPerformanceFrequency());
    if (next_ == 0.0 || now > next_ + period_) {
      next_ = now + period_;  // first frame, or far behind: start the slots anew
      return;
    }
    if (now < next_) {
      const Uint32 ms = static_cast<Uint32>((next_ - now) * 1000.0);
      if (ms > 0) SDL_Delay(ms);
    }
    next_ += period_;
  }

  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SurfaceDesc desc_;
  std::vector<uint8_t> memory_;
  bool locked_ = false;
  double period_ = 1.0 / 60.0;
  double next_ = 0.0;
};

class SdlDraw : public DirectDraw {
 public:
  explicit SdlDraw(SdlBackend* owner) : owner_(owner) {}
  bool query_interface4() override { return true; }
  bool set_cooperative_level(WindowHandle window, uint32_t) override;
  bool set_display_mode(int width, int height, int bits) override;
  Surface* create_primary_surface() override;
  void release() override;
  // The window is going away: later releases must not reach it.
  void forget_window() { window_ = nullptr; }

 private:
  SdlBackend* owner_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  int width_ = 0, height_ = 0, bits_ = 0;
  SdlSurface surface_;
};

class SdlBackend : public Backend {
 public:
  bool has_display() const override {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
  }

  WindowHandle open_window(const char* title, int, int, int, int) override {
    // SDL would fall back to an invisible driver; a show nobody can see is a failure.
    if (!has_display()) {
      error_ = "no display (DISPLAY and WAYLAND_DISPLAY are unset; try --headless or --capture)";
      return nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error_ = SDL_GetError();
      return nullptr;
    }
    const RunOptions& o = run_options();
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // The window is the picture's size times --scale, with no frame of its own.
    int scale = o.scale > 0 ? o.scale : 1;
    // Hidden until the renderer is made: SDL may replace the window then, and a window that
    // appears, vanishes and comes back under a new id is a flash for the user and a race
    // for anything that looks for the show's window.
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320 * scale,
                               240 * scale, SDL_WINDOW_HIDDEN);
    if (!window_) {
      error_ = SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      return nullptr;
    }
    return window_;
  }

  void close_window(WindowHandle) override {
    if (!window_) return;
    draw_.release();
    draw_.forget_window();
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  void poll_events() override {
    if (!window_) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      switch (e.type) {
        case SDL_KEYDOWN:
          // Auto-repeated presses are delivered too, as Windows does.
          post_message(Msg{window_, WM_KEYDOWN,
                           static_cast<uintptr_t>(virtual_key(e.key.keysym.sym)),
                           static_cast<intptr_t>(e.key.repeat ? 0x40000001 : 1)});
          break;
        case SDL_QUIT:
          post_message(Msg{window_, WM_CLOSE, 0, 0});
          break;
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            post_message(Msg{window_, WM_CLOSE, 0, 0});
          else if (e.window.event == SDL_WINDOWEVENT_ENTER)
            post_message(Msg{window_, WM_SETCURSOR, 0, 0});
          break;
        case SDL_MOUSEMOTION:
          post_message(Msg{window_, WM_SETCURSOR, 0, 0});
          break;
        default:
          break;
      }
    }
  }

  void set_cursor_visible(bool visible) override {
    if (window_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }

  void message_box(WindowHandle, const char* text, const char* caption) override {
    Backend::message_box(nullptr, text, caption);
    if (has_display() && SDL_WasInit(SDL_INIT_VIDEO))
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, window_);
  }

  DirectDraw* direct_draw_create() override { return window_ ? &draw_ : nullptr; }

  std::string last_error() const override { return error_; }
  SDL_Window* window() const { return window_; }
  std::string error_;

 private:
  SDL_Window* window_ = nullptr;
  SdlDraw draw_{this};
};

bool SdlDraw::set_cooperative_level(WindowHandle window, uint32_t) {
  window_ = owner_->window();
  return window_ && window == window_;
}

bool SdlDraw::set_display_mode(int width, int height, int bits) {
  if (!window_ || !run_allows_mode(width, height, bits)) return false;
  if (!renderer_) {
    // Presenting waits for the display's refresh where the renderer can.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) return false;
  }
  SDL_ShowWindow(window_);
  // The whole surface fills the window: in a 640 x 480 mode the 320 x 240 picture takes
  // its top-left quarter, the rest of the mode black. Full screen scales by whole numbers
  // only, with black bars around, so every pixel stays square and sharp (a window is made
  // to the picture's size times --scale already).
  SDL_RenderSetLogicalSize(renderer_, width, height);
  if (run_options().fullscreen) {
    SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(SDL_DISABLE);
  }
  width_ = width;
  height_ = height;
  bits_ = bits;
  return true;
}

Surface* SdlDraw::create_primary_surface() {
  if (!renderer_ || !bits_) return nullptr;
  surface_.release();
  SDL_DisplayMode mode{};
  const int display = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
  surface_.set_refresh(
      SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 ? mode.refresh_rate : 0);
  return surface_.make(renderer_, width_, height_, bits_) ? &surface_ : nullptr;
}

void SdlDraw::release() {
  surface_.release();
  if (renderer_) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  bits_ = 0;
  // Gives the desktop back, as releasing an exclusive DirectDraw object does.
  if (window_) SDL_SetWindowFullscreen(window_, 0);
}

SdlBackend* the_sdl_backend() {
  static SdlBackend b;
  return &b;
}

}  // namespace

Backend* sdl_backend() {
  return the_sdl_backend();
}

}  // namespace platform
