#include "platform/backend_headless.h"

#include <vector>

#include "platform/options.h"

namespace platform {

bool run_allows_mode(int width, int height, int bits) {
  const RunOptions& o = run_options();
  if (bits != 16 && bits != 24 && bits != 32) return false;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return false;
  if (o.only_bits && bits != o.only_bits) return false;
  if (o.only_width && (width != o.only_width || height != o.only_height)) return false;
  return true;
}

void make_surface_memory(SurfaceDesc* desc, std::vector<uint8_t>* memory, int width, int height,
                         int bits) {
  desc->width = width;
  desc->height = height;
  desc->bits = bits;
  desc->pitch = width * (bits / 8);
  memory->assign(static_cast<size_t>(desc->pitch) * height, 0x5a);
  desc->pixels = memory->data();
}

namespace {

FrameSink* frame_sink = nullptr;

class MemorySurface : public Surface {
 public:
  void make(int width, int height, int bits) {
    make_surface_memory(&desc_, &memory_, width, height, bits);
    locked_ = false;
  }
  bool lock(SurfaceDesc* desc) override {
    if (memory_.empty() || locked_) return false;
    locked_ = true;
    *desc = desc_;
    return true;
  }
  bool unlock() override {
    if (!locked_) return false;
    locked_ = false;
    return true;
  }
  const SurfaceDesc* shown() const { return memory_.empty() ? nullptr : &desc_; }
  void release() override {
    memory_.clear();
    memory_.shrink_to_fit();
  }

 private:
  SurfaceDesc desc_;
  std::vector<uint8_t> memory_;
  bool locked_ = false;
};

class MemoryDraw : public DirectDraw {
 public:
  bool query_interface4() override { return true; }
  bool set_cooperative_level(WindowHandle, uint32_t) override { return true; }
  bool set_display_mode(int width, int height, int bits) override {
    if (!run_allows_mode(width, height, bits)) return false;
    width_ = width;
    height_ = height;
    bits_ = bits;
    return true;
  }
  Surface* create_primary_surface() override {
    if (!bits_) return nullptr;
    surface_.make(width_, height_, bits_);
    return &surface_;
  }
  void release() override { bits_ = 0; }
  const SurfaceDesc* shown() const { return bits_ ? surface_.shown() : nullptr; }

 private:
  int width_ = 0, height_ = 0, bits_ = 0;
  MemorySurface surface_;
};

int window_token;

class HeadlessBackend : public Backend {
 public:
  bool has_display() const override { return false; }
  WindowHandle open_window(const char*, int, int, int, int) override { return &window_token; }
  void close_window(WindowHandle) override {}
  void poll_events() override {}
  void set_cursor_visible(bool) override {}
  DirectDraw* direct_draw_create() override { return &draw_; }
  const SurfaceDesc* shown() const { return draw_.shown(); }

 private:
  MemoryDraw draw_;
};

}  // namespace

HeadlessBackend* the_headless_backend() {
  static HeadlessBackend b;
  return &b;
}

void headless_set_frame_sink(FrameSink* sink) {
  frame_sink = sink;
}

void headless_capture_frame() {
  const SurfaceDesc* s = the_headless_backend()->shown();
  if (frame_sink && s) frame_sink->frame(*s);
}

Backend* headless_backend() {
  return the_headless_backend();
}

}  // namespace platform
