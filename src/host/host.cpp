#include "host/host.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/frame.h"
#include "music/music.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/options.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

platform::WindowHandle main_window = nullptr;
DisplayDevice* display = nullptr;
float show_start = 0.0f;
int32_t key_count = 0;

namespace {

HostHooks default_hooks() {
  return HostHooks{music_init,     music_start, music_pump, music_stop, sound_shutdown,
                   prepare_assets, show_frame,  nullptr,    nullptr};
}

HostHooks hooks = default_hooks();
double music_seconds = 0.0;
long frames_presented = 0;
bool sound_ready = false;
long frame_index = 0;

// (timeGetTime() - show_start) x 0.001f, all wider than float, as the show's clock has
// always been taken; a frame rounds it to float once, the key log prints it as a double.
long double show_time_extended() {
  long double ms =
      static_cast<long double>(platform::time_get_time()) - static_cast<long double>(show_start);
  return ms * static_cast<long double>(0.001f);
}

// Frame k of a headless run is shown at S + k / fps exactly: computed in double and
// rounded to float once, so a capture never drifts from the timeline.
float take_show_time() {
  if (platform::virtual_clock_enabled()) {
    const platform::RunOptions& o = platform::run_options();
    double seconds = o.start + static_cast<double>(frame_index++) / o.fps;
    platform::virtual_clock_set(seconds);
    return static_cast<float>(seconds);
  }
  return static_cast<float>(show_time_extended());
}

void log_key() {
  // A log that cannot be opened loses the line but not the count.
  if (FILE* f = std::fopen("debug.txt", "a")) {
    std::fprintf(f, "key: %i time: %f\n", key_count, show_time_seconds());
    std::fclose(f);
  }
  ++key_count;
}

}  // namespace

double music_init_seconds() {
  return music_seconds;
}

HostHooks& host_hooks() {
  return hooks;
}
void reset_host_hooks() {
  hooks = default_hooks();
}

double show_time_seconds() {
  if (platform::virtual_clock_enabled()) return platform::virtual_clock_seconds();
  return static_cast<double>(show_time_extended());
}

int create_main_window(void*, int) {
  platform::register_class(window_proc);
  main_window = platform::create_window(kShowTitle, 100, 100, 380, 400);
  return main_window != nullptr;
}

intptr_t window_proc(platform::WindowHandle window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam) {
  switch (message) {
    case platform::WM_DESTROY:
      platform::post_quit_message(0);
      return 0;
    case platform::WM_SETCURSOR:
      platform::hide_cursor();
      return 1;
    case platform::WM_KEYDOWN:
      if (wparam == platform::VK_ESCAPE || wparam == platform::VK_F12) {
        platform::post_quit_message(0);
        return 0;
      }
      log_key();
      return platform::def_window_proc(window, message, wparam, lparam);
    default:
      return platform::def_window_proc(window, message, wparam, lparam);
  }
}

int frame_tick() {
  // After a failed display start nothing is drawn; the queued quit ends the loop.
  if (!display) return 1;
  display->clear(display, 0);
  if (!display->begin_frame(display)) return 1;
  float t = take_show_time();
  double end = platform::run_options().end;
  if (end >= 0.0 && t >= end) {
    // --end: the span is [start, end); this frame is past it and is not shown.
    platform::post_quit_message(0);
    display->end_frame(display);
    return 1;
  }
  if (sound_ready) hooks.music_pump(t);
  if (hooks.sequencer_frame(static_cast<uint32_t*>(display->pixels), t) == 0)
    platform::post_quit_message(0);
  display->end_frame(display);
  display->present(display);
  ++frames_presented;
  if (hooks.frame_done) hooks.frame_done(t);
  return 1;
}

int WinMain(void* instance, void*, const char* command_line, int show_command) {
  key_count = 0;
  frame_index = 0;
  frames_presented = 0;
  display = nullptr;
  sound_ready = false;
  bool device_failed = false;

  if (!create_main_window(instance, show_command)) {
    std::string why = platform::backend().last_error();
    std::fprintf(stderr, "tidalhall: cannot open the show's window%s%s\n", why.empty() ? "" : ": ",
                 why.c_str());
    return 1;
  }
  const auto music_began = std::chrono::steady_clock::now();
  sound_ready = hooks.music_init(main_window, command_line) != 0;
  music_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - music_began).count();
  if (!sound_ready) {
    platform::message_box(main_window, "Unable to init Direct Sound", kShowTitle);
    platform::post_quit_message(0);
    device_failed = true;
  }
  hooks.prepare_assets();
  display = display_init(main_window, 320, 240, has_mmx);
  if (!display) {
    platform::message_box(main_window, "Unable to init Direct Draw", kShowTitle);
    platform::post_quit_message(0);
    device_failed = true;
  }
  // A late start draws, off screen, what the rows before it leave behind.
  const platform::RunOptions& run = platform::run_options();
  if (display && hooks.catch_up && run.start > 0.0) hooks.catch_up(run.start, run.fps);
  if (sound_ready) hooks.music_start();
  // --start S shifts the clock's origin so that t begins at S.
  show_start = static_cast<float>(static_cast<double>(platform::time_get_time()) -
                                  platform::run_options().start * 1000.0);

  int quit_code = 0;
  platform::Msg msg;
  for (;;) {
    if (platform::peek_message(&msg)) {
      if (msg.message == platform::WM_QUIT) {
        quit_code = static_cast<int>(msg.wparam);
        break;
      }
      platform::translate_message(&msg);
      platform::dispatch_message(&msg);
    }
    frame_tick();
  }

  // A diagnostic for pacing checks: how many frames the run presented.
  if (std::getenv("TIDALHALL_STATS"))
    std::fprintf(stderr, "tidalhall: %ld frames presented\n", frames_presented);
  if (sound_ready) hooks.music_stop();
  hooks.sound_shutdown();
  display_shutdown();
  display = nullptr;
  platform::WindowHandle window = main_window;
  main_window = nullptr;
  // The window goes last, unless closing it is what ended the show.
  platform::register_class(nullptr);
  platform::destroy_window(window);
  platform::reset_windowing();
  return device_failed ? 1 : quit_code;
}

void show_catch_up(double start, double fps) {
  std::vector<uint32_t> scratch(kFramePixels, 0);
  catch_up(start, fps, scratch.data());
}

void test_card_prepare() {
  init_fades(320, 240, platform::run_options().plain ? 1 : 0);
}

uint32_t test_card_colour(int x, int y) {
  static const uint32_t bars[8] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff,
                                   0xffff00, 0x00ffff, 0xff00ff, 0x000000};
  if (y >= 200) return (x / 40) % 2 ? 0x808080 : 0x404040;
  return bars[(x / 40) & 7];
}

int test_card_frame(uint32_t* pixels, float t) {
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) pixels[y * 320 + x] = test_card_colour(x, y);
  // The card lasts as long as the show, so a headless run without --end still ends.
  for (const TimelineEntry& row : timeline)
    if (row.end >= t) return 1;
  return 0;
}
