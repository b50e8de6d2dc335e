#include "display/display.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "display/convert.h"
#include "platform/backend.h"

namespace {

enum class Mapping { none, framebuffer, screen };

platform::DirectDraw* direct_draw = nullptr;
platform::Surface* primary = nullptr;
std::vector<uint32_t> framebuffer;
int use_mmx = 0;
DisplayDevice device;
Mapping mapping = Mapping::none;
int surface_width = 0;
int surface_height = 0;

struct Mode {
  int width, height, bits;
};
// Tried in this order; the sizes do not follow the requested picture size.
constexpr Mode kModes[6] = {{320, 240, 32}, {320, 240, 24}, {320, 240, 16},
                            {640, 480, 32}, {640, 480, 24}, {640, 480, 16}};

void unmap(DisplayDevice* d) {
  d->mapped = 0;
  mapping = Mapping::none;
}

// Fresh surface memory holds whatever was there before; in a 640 x 480 mode three
// quarters of it are never drawn, so they are made black once.
void clear_surface() {
  platform::SurfaceDesc s;
  if (!primary->lock(&s)) return;
  if (s.pixels && s.pitch > 0 && s.bits > 0) {
    size_t row =
        std::min(static_cast<size_t>(s.pitch), static_cast<size_t>(s.width) * (s.bits / 8));
    for (int y = 0; y < s.height; ++y)
      std::memset(static_cast<uint8_t*>(s.pixels) + static_cast<size_t>(y) * s.pitch, 0, row);
  }
  primary->unlock();
}

void convert_run(int bits, void* dst, const uint32_t* src, int count) {
  switch (bits) {
    case 32:
      if (use_mmx)
        convert_32_simd(dst, src, count);
      else
        convert_32_plain(dst, src, count);
      break;
    case 24:
      convert_24(dst, src, count);
      break;
    case 16:
      convert_16(dst, src, count);
      break;
    default:
      break;  // no known layout: the surface keeps its old contents
  }
}

}  // namespace

DisplayDevice* display_init(platform::WindowHandle window, int width, int height, int mmx) {
  if (mmx) use_mmx = 1;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return nullptr;
  platform::DirectDraw* created = platform::backend().direct_draw_create();
  if (!created) return nullptr;
  if (!created->query_interface4()) {
    created->release();
    return nullptr;
  }
  direct_draw = created;
  if (!direct_draw->set_cooperative_level(window, platform::DDSCL_EXCLUSIVE |
                                                      platform::DDSCL_FULLSCREEN |
                                                      platform::DDSCL_ALLOWREBOOT))
    return nullptr;
  int bits = 0;
  for (const Mode& m : kModes) {
    if (direct_draw->set_display_mode(m.width, m.height, m.bits)) {
      bits = m.bits;
      break;
    }
  }
  if (!bits) return nullptr;
  primary = direct_draw->create_primary_surface();
  if (!primary) return nullptr;
  clear_surface();
  size_t pixels = static_cast<size_t>(width) * height;
  if (framebuffer.size() != pixels) framebuffer.resize(pixels);
  mapping = Mapping::none;
  device = DisplayDevice{width,
                         height,
                         bits,
                         0,
                         0,
                         0,
                         nullptr,
                         display_clear,
                         display_present,
                         display_begin_frame,
                         display_end_frame};
  return &device;
}

int display_shutdown() {
  if (!direct_draw) return 0;
  if (primary) {
    if (mapping == Mapping::screen) primary->unlock();
    primary->release();
    primary = nullptr;
  }
  direct_draw->release();
  direct_draw = nullptr;
  unmap(&device);
  device.pixels = nullptr;
  return 1;
}

int display_clear(DisplayDevice* d, uint32_t value) {
  if (framebuffer.empty()) return 1;
  int count = d->width * d->height;
  if (use_mmx)
    fill_simd(framebuffer.data(), value, count);
  else
    fill_plain(framebuffer.data(), value, count);
  return 1;
}

int display_begin_frame(DisplayDevice* d) {
  if (d->mapped && mapping != Mapping::screen) return 1;
  // Drawing must never go through a screen pointer: a screen mapping ends first.
  if (d->mapped) display_unlock_screen(d);
  d->pixels = framebuffer.data();
  d->pitch_bytes = d->width * 4;
  d->pitch_pixels = d->width;
  d->mapped = 1;
  mapping = Mapping::framebuffer;
  return 1;
}

int display_end_frame(DisplayDevice* d) {
  if (!d->mapped) return 0;
  if (mapping == Mapping::screen && primary) primary->unlock();
  unmap(d);
  return 1;
}

int display_lock_screen(DisplayDevice* d) {
  if (d->mapped && mapping == Mapping::screen) return 1;
  // A FrameBuffer mapping is ended rather than taken for the screen, so the conversion
  // can never write into the FrameBuffer.
  if (d->mapped) unmap(d);
  if (!primary) return 0;
  platform::SurfaceDesc s;
  if (!primary->lock(&s)) return 0;
  int bytes = d->screen_bits / 8;
  if (!s.pixels || s.pitch <= 0 || bytes <= 0) {
    primary->unlock();
    return 0;
  }
  d->pixels = s.pixels;
  d->pitch_bytes = s.pitch;
  d->pitch_pixels = s.pitch / bytes;
  d->mapped = 1;
  mapping = Mapping::screen;
  surface_width = s.width;
  surface_height = s.height;
  return 1;
}

int display_unlock_screen(DisplayDevice* d) {
  if (!d->mapped) return 0;
  bool was_screen = mapping == Mapping::screen;
  // The mapping ends even when the unlock fails.
  unmap(d);
  if (!was_screen || !primary) return 0;
  return primary->unlock() ? 1 : 0;
}

int display_present(DisplayDevice* d) {
  if (!display_lock_screen(d)) return 0;
  int bytes = d->screen_bits / 8;
  auto* dst = static_cast<uint8_t*>(d->pixels);
  const uint32_t* src = framebuffer.data();
  if (d->pitch_bytes == d->width * bytes && surface_width >= d->width &&
      surface_height >= d->height) {
    convert_run(d->screen_bits, dst, src, d->width * d->height);
  } else {
    // Row by row, never past the surface's rows, columns or pitch.
    int rows = std::min(d->height, surface_height);
    int columns = std::min({d->width, surface_width, d->pitch_bytes / std::max(bytes, 1)});
    for (int y = 0; y < rows && columns > 0; ++y)
      convert_run(d->screen_bits, dst + static_cast<size_t>(y) * d->pitch_bytes,
                  src + static_cast<size_t>(y) * d->width, columns);
  }
  return display_unlock_screen(d);
}

uint32_t* display_framebuffer() {
  return framebuffer.empty() ? nullptr : framebuffer.data();
}

void display_reset() {
  direct_draw = nullptr;
  primary = nullptr;
  use_mmx = 0;
  mapping = Mapping::none;
  device = DisplayDevice{};
}
