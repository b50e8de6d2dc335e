// The show's entry and spine: the window, the start-up order, the message loop, the
// frame tick, the exit keys, the debug key log and the shutdown order.
#pragma once
#include <cstdint>

#include "display/display.h"
#include "platform/window.h"

inline constexpr const char* kShowTitle = "Quiet Orbit - Tidal Hall (Long Night Mix)";

// The subsystems the host drives, in reach of tests; they default to the real ones.
struct HostHooks {
  int (*music_init)(void* window, const char* command_line);
  void (*music_start)();
  void (*music_pump)(float t);
  void (*music_stop)();
  void (*sound_shutdown)();
  void (*prepare_assets)();
  int (*sequencer_frame)(uint32_t* pixels, float t);
  void (*frame_done)(float t);  // after each presented frame; may be null
  // Before the first frame of a late start: brings the scenes' state up to show time
  // `start` as a run at `fps` would leave it; may be null (nothing to bring up to date).
  void (*catch_up)(double start, double fps);
};
HostHooks& host_hooks();
void reset_host_hooks();

extern platform::WindowHandle main_window;
extern DisplayDevice* display;
extern float show_start;
extern int32_t key_count;

// Returns the exit status: the quit request's code after a normal end, 1 when the window
// or a device could not be started.
int WinMain(void* instance, void* previous_instance, const char* command_line, int show_command);
int create_main_window(void* instance, int show_command);
intptr_t window_proc(platform::WindowHandle window, uint32_t message, uintptr_t wparam,
                     intptr_t lparam);
int frame_tick();

// Loads every asset and builds every table before the display starts; a data set that
// does not fit what the scenes assume ends the process with one line and status 1.
void prepare_assets();
// How long the last prepare_assets took (seconds of wall time).
double prepare_assets_seconds();
// How long the music's start (loading the soundtrack, priming the first half) took.
double music_init_seconds();

// The show time now, as the debug key log stamps it (not rounded to 32 bits).
double show_time_seconds();

// A fixed pattern of colour bars (for checking the screen's colours by eye or by tool).
int test_card_frame(uint32_t* pixels, float t);
// The show's own catch-up for a late start (the scenes' rows before it, drawn off screen).
void show_catch_up(double start, double fps);
// The test card's start-up: the blend routines only.
void test_card_prepare();
uint32_t test_card_colour(int x, int y);
