#include "support/backend_fake.h"

#include <algorithm>

namespace platform {

class FakeBackend::Surf : public Surface {
 public:
  explicit Surf(FakeBackend* f) : f_(f) {}
  bool lock(SurfaceDesc* desc) override {
    f_->calls.push_back("lock");
    ++f_->locks;
    if (f_->failing.count("lock") || !f_->surface.pixels || f_->locked_) return false;
    f_->locked_ = true;
    *desc = f_->surface;
    return true;
  }
  bool unlock() override {
    f_->calls.push_back("unlock");
    ++f_->unlocks;
    if (f_->failing.count("unlock") || !f_->locked_) return false;
    f_->locked_ = false;
    return true;
  }
  void release() override {
    f_->calls.push_back("release surface");
    f_->locked_ = false;
  }

 private:
  FakeBackend* f_;
};

class FakeBackend::Draw : public DirectDraw {
 public:
  explicit Draw(FakeBackend* f) : f_(f) {}
  bool query_interface4() override {
    f_->calls.push_back("query");
    return !f_->failing.count("query");
  }
  bool set_cooperative_level(WindowHandle, uint32_t flags) override {
    f_->calls.push_back("cooperative " + std::to_string(flags));
    return !f_->failing.count("cooperative");
  }
  bool set_display_mode(int w, int h, int bits) override {
    f_->calls.push_back("mode " + std::to_string(w) + "x" + std::to_string(h) + "x" +
                        std::to_string(bits));
    if (f_->failing.count("mode")) return false;
    if (!f_->modes.empty() && !f_->modes.count({w, h, bits})) return false;
    f_->width_ = w;
    f_->height_ = h;
    f_->bits_ = bits;
    return true;
  }
  Surface* create_primary_surface() override {
    f_->calls.push_back("surface");
    if (f_->failing.count("surface") || !f_->bits_) return nullptr;
    SurfaceDesc& s = f_->surface;
    s.width = f_->width_;
    s.height = f_->height_;
    s.bits = f_->bits_;
    s.pitch = s.width * (s.bits / 8) + f_->pitch_padding;
    size_t bytes = static_cast<size_t>(s.pitch) * s.height;
    f_->memory.assign(bytes + kGuard, kGuardByte);
    std::fill(f_->memory.begin(), f_->memory.begin() + bytes, kStaleByte);
    s.pixels = f_->memory.data();
    return f_->surf_;
  }
  void release() override { f_->calls.push_back("release draw"); }

 private:
  FakeBackend* f_;
};

FakeBackend::FakeBackend() : draw_(new Draw(this)), surf_(new Surf(this)) {}

FakeBackend::~FakeBackend() {
  delete draw_;
  delete surf_;
}

void FakeBackend::key_at_poll(long poll, int virtual_key) {
  deliveries[poll].push_back(Msg{nullptr, WM_KEYDOWN, static_cast<uintptr_t>(virtual_key), 1});
}

void FakeBackend::close_at_poll(long poll) {
  deliveries[poll].push_back(Msg{nullptr, WM_CLOSE, 0, 0});
}

bool FakeBackend::guard_intact() const {
  if (memory.size() < kGuard) return true;
  return std::all_of(memory.end() - kGuard, memory.end(),
                     [](uint8_t b) { return b == kGuardByte; });
}

int FakeBackend::count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

WindowHandle FakeBackend::open_window(const char* t, int, int, int, int) {
  calls.push_back("window");
  if (window_fails) return nullptr;
  title = t;
  window_open_ = true;
  return this;
}

void FakeBackend::close_window(WindowHandle) {
  calls.push_back("close window");
  window_open_ = false;
}

void FakeBackend::poll_events() {
  auto it = deliveries.find(polls++);
  if (it == deliveries.end() || !window_open_) return;
  for (Msg m : it->second) {
    m.window = this;
    post_message(m);
  }
}

void FakeBackend::message_box(WindowHandle, const char* text, const char* caption) {
  calls.push_back(std::string("box ") + text);
  boxes.push_back(std::string(caption) + "|" + text);
}

DirectDraw* FakeBackend::direct_draw_create() {
  calls.push_back("create");
  return failing.count("create") ? nullptr : draw_;
}

}  // namespace platform
