#include "text_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace forge {

struct Font::Impl {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  int size = 0;
  void set_size(int px) {
    if (px == size) return;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px)))
      throw std::runtime_error("font size");
    size = px;
  }
};

Font::Font(const std::string& file) : impl_(new Impl) {
  const std::string path = "/usr/share/fonts/truetype/dejavu/" + file;
  if (FT_Init_FreeType(&impl_->lib) || FT_New_Face(impl_->lib, path.c_str(), 0, &impl_->face)) {
    if (impl_->lib) FT_Done_FreeType(impl_->lib);
    delete impl_;
    throw std::runtime_error("cannot load the font " + path +
                             " (Debian package fonts-dejavu-core)");
  }
}

Font::~Font() {
  FT_Done_Face(impl_->face);
  FT_Done_FreeType(impl_->lib);
  delete impl_;
}

float Font::width(const std::string& text, int px, float tracking) const {
  impl_->set_size(px);
  float w = 0;
  for (unsigned char c : text) {
    if (FT_Load_Char(impl_->face, c, FT_LOAD_DEFAULT)) continue;
    w += impl_->face->glyph->advance.x / 64.0f + tracking;
  }
  return text.empty() ? 0 : w - tracking;
}

float Font::cap_height(int px) const {
  impl_->set_size(px);
  if (FT_Load_Char(impl_->face, 'H', FT_LOAD_DEFAULT)) return px * 0.73f;
  return impl_->face->glyph->metrics.horiBearingY / 64.0f;
}

void Font::draw(Mask& m, float x, float y, const std::string& text, int px, float tracking) const {
  impl_->set_size(px);
  FT_Face f = impl_->face;
  float pen = x;
  for (unsigned char c : text) {
    if (FT_Load_Char(f, c, FT_LOAD_RENDER)) continue;
    const FT_Bitmap& bm = f->glyph->bitmap;
    int ox = static_cast<int>(std::lround(pen)) + f->glyph->bitmap_left;
    int oy = static_cast<int>(std::lround(y)) - f->glyph->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned col = 0; col < bm.width; ++col) {
        int tx = ox + static_cast<int>(col), ty = oy + static_cast<int>(r);
        if (tx < 0 || ty < 0 || tx >= m.w || ty >= m.h) continue;
        float v = bm.buffer[r * bm.pitch + col] / 255.0f;
        float& d = m.a[static_cast<size_t>(ty) * m.w + tx];
        d = std::max(d, v);
      }
    pen += f->glyph->advance.x / 64.0f + tracking;
  }
}

void Font::draw_centred(Mask& m, float cx, float y, const std::string& text, int px,
                        float tracking) const {
  draw(m, cx - width(text, px, tracking) * 0.5f, y, text, px, tracking);
}

Mask dilate(const Mask& m, int radius) {
  Mask out(m.w, m.h);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float best = 0;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
          float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
          if (d > radius + 0.5f) continue;
          float v = m.at(x + dx, y + dy) * std::min(1.0f, radius + 0.5f - d + 0.5f);
          best = std::max(best, v);
        }
      out.a[static_cast<size_t>(y) * m.w + x] = best;
    }
  return out;
}

Mask box_blur(const Mask& m, int radius) {
  Mask tmp(m.w, m.h), out(m.w, m.h);
  const float n = 2.0f * radius + 1;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float s = 0;
      for (int d = -radius; d <= radius; ++d) s += m.at(x + d, y);
      tmp.a[static_cast<size_t>(y) * m.w + x] = s / n;
    }
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float s = 0;
      for (int d = -radius; d <= radius; ++d) s += tmp.at(x, y + d);
      out.a[static_cast<size_t>(y) * m.w + x] = s / n;
    }
  return out;
}

}  // namespace forge
