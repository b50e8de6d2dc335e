#include "host/contact_sheet.h"

#include <cstdio>

#include "host/label_text.h"
#include "platform/capture.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

namespace {

// Rows of three bits, top first.
struct Glyph {
  char c;
  uint8_t rows[5];
};
constexpr Glyph kFont[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'.', {0, 0, 0, 0, 2}}, {',', {0, 0, 0, 2, 4}},
    {'-', {0, 0, 7, 0, 0}}, {'s', {0, 3, 4, 1, 6}}, {'r', {0, 5, 6, 4, 4}},
};

}  // namespace

void draw_label(uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
                uint32_t colour) {
  for (char c : text) {
    for (const Glyph& g : kFont) {
      if (g.c != c) continue;
      for (int r = 0; r < 5; ++r)
        for (int b = 0; b < 3; ++b) {
          if (!(g.rows[r] >> (2 - b) & 1)) continue;
          for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
              int px = x + b * 2 + dx, py = y + r * 2 + dy;
              if (px >= 0 && py >= 0 && px < width && py < height) pixels[py * width + px] = colour;
            }
        }
    }
    x += 8;
  }
}

ContactSheet::ContactSheet(double start, double every) : start_(start), every_(every) {}

void ContactSheet::offer(const uint32_t* frame, float t) {
  if (!frame || t < start_ + next_ * every_) return;
  // Catch up when frames are sparser than thumbnails.
  while (t >= start_ + (next_ + 1) * every_) ++next_;
  ++next_;
  Shot shot;
  shot.t = t;
  char time[32];
  std::snprintf(time, sizeof time, "%.2f s", static_cast<double>(t));
  shot.label = time;
  // The handlers of the rows that draw now, one a line (rows not built yet draw nothing).
  for (int i = 0; i < kTimelineRows; ++i) {
    const TimelineEntry& row = timeline[i];
    if (!(row.start <= t && t < row.end && row.handler && row.handler != empty_scene)) continue;
    if (shot.handlers.size() == kLabelLines) break;
    shot.handlers.push_back(timeline_handler_names[i]);
  }
  // Half size: each thumbnail pixel is the mean of a 2 x 2 block.
  shot.pixels.resize(kThumbWidth * kThumbHeight);
  for (int y = 0; y < kThumbHeight; ++y)
    for (int x = 0; x < kThumbWidth; ++x) {
      const uint32_t* p = frame + (y * 2) * 320 + x * 2;
      uint32_t q[4] = {p[0], p[1], p[320], p[321]};
      uint32_t out = 0;
      for (int shift : {0, 8, 16}) {
        uint32_t sum = 0;
        for (uint32_t v : q) sum += (v >> shift) & 0xFF;
        out |= (sum / 4) << shift;
      }
      shot.pixels[y * kThumbWidth + x] = out;
    }
  shots_.push_back(std::move(shot));
}

std::vector<uint32_t> ContactSheet::compose(int* width, int* height) const {
  int count = static_cast<int>(shots_.size());
  int columns = count < kColumns ? (count ? count : 1) : kColumns;
  int rows = count ? (count + columns - 1) / columns : 1;
  int cell_w = kThumbWidth + 4, cell_h = kThumbHeight + kLabelHeight + 4;
  *width = columns * cell_w + 4;
  *height = rows * cell_h + 4;
  std::vector<uint32_t> sheet(static_cast<size_t>(*width) * *height, 0x202020);
  for (int i = 0; i < count; ++i) {
    int x0 = 4 + (i % columns) * cell_w, y0 = 4 + (i / columns) * cell_h;
    const Shot& s = shots_[i];
    for (int y = 0; y < kThumbHeight; ++y)
      for (int x = 0; x < kThumbWidth; ++x)
        sheet[(y0 + y) * *width + x0 + x] = s.pixels[y * kThumbWidth + x];
    // Labels are clipped to their cell: the time, then the handlers in a smaller size.
    const int text_y = y0 + kThumbHeight + 1;
    std::vector<uint32_t> cell(static_cast<size_t>(kThumbWidth) * kLabelHeight, 0x202020);
    if (draw_text(cell.data(), kThumbWidth, kLabelHeight, 1, 0, s.label, 11, 0xFFFFFF)) {
      for (size_t k = 0; k < s.handlers.size(); ++k)
        draw_text(cell.data(), kThumbWidth, kLabelHeight, 1, 12 + static_cast<int>(k) * 10,
                  s.handlers[k], 9, 0xB0C8E0);
    } else {
      draw_label(cell.data(), kThumbWidth, kLabelHeight, 1, 1, s.label.substr(0, kThumbWidth / 8),
                 0xFFFFFF);
    }
    for (int y = 0; y < kLabelHeight && text_y + y < *height; ++y)
      for (int x = 0; x < kThumbWidth; ++x)
        sheet[(text_y + y) * *width + x0 + x] = cell[y * kThumbWidth + x];
  }
  return sheet;
}

bool ContactSheet::save(const std::string& path) const {
  int w = 0, h = 0;
  std::vector<uint32_t> sheet = compose(&w, &h);
  platform::SurfaceDesc desc{sheet.data(), w * 4, w, h, 32};
  return platform::write_surface_png(path, desc);
}
