// A scriptable backend for tests: which modes the "driver" accepts, which calls fail,
// what input arrives when; it records every call so tests can check order and effects.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/backend.h"

namespace platform {

class FakeBackend : public Backend {
 public:
  FakeBackend();
  ~FakeBackend() override;
  FakeBackend(const FakeBackend&) = delete;
  FakeBackend& operator=(const FakeBackend&) = delete;

  // --- script ---
  bool display = false;                       // has_display()
  bool window_fails = false;                  // open_window returns null
  std::set<std::tuple<int, int, int>> modes;  // accepted (w, h, bits); empty = every mode
  // Calls that fail while named here: "create", "query", "cooperative", "mode", "surface",
  // "lock", "unlock".
  std::set<std::string> failing;
  int pitch_padding = 0;  // bytes added to every surface row
  // Messages delivered by the poll with this number (0 = the first poll).
  std::map<long, std::vector<Msg>> deliveries;
  void key_at_poll(long poll, int virtual_key);
  void close_at_poll(long poll);

  // --- record ---
  std::vector<std::string> calls;  // in order, e.g. "mode 320x240x32", "lock", "release surface"
  std::vector<std::string> boxes;  // message box texts
  long polls = 0;
  int locks = 0, unlocks = 0;
  bool cursor_visible = true;
  SurfaceDesc surface;          // the surface memory (pixels null until created)
  std::vector<uint8_t> memory;  // surface rows, then guard bytes
  static constexpr size_t kGuard = 4096;
  static constexpr uint8_t kGuardByte = 0xcd;
  static constexpr uint8_t kStaleByte = 0xab;  // what the surface holds when created
  bool guard_intact() const;
  int count(const std::string& call) const;

  // Backend
  bool has_display() const override { return display; }
  WindowHandle open_window(const char* title, int x, int y, int width, int height) override;
  void close_window(WindowHandle window) override;
  void poll_events() override;
  void set_cursor_visible(bool visible) override { cursor_visible = visible; }
  void message_box(WindowHandle window, const char* text, const char* caption) override;
  DirectDraw* direct_draw_create() override;

  std::string title;

 private:
  class Draw;
  class Surf;
  friend class Draw;
  friend class Surf;
  bool window_open_ = false;
  bool locked_ = false;
  int width_ = 0, height_ = 0, bits_ = 0;
  Draw* draw_;
  Surf* surf_;
};

}  // namespace platform
