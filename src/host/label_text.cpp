#include "host/label_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

constexpr const char* kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
};

// One face for the process; the labels are drawn on the host's thread only.
FT_Face face() {
  static FT_Library library = nullptr;
  static FT_Face loaded = nullptr;
  static bool tried = false;
  if (tried) return loaded;
  tried = true;
  if (FT_Init_FreeType(&library)) return nullptr;
  for (const char* file : kFontFiles)
    if (!FT_New_Face(library, file, 0, &loaded)) break;
  return loaded;
}

// Walks the text's glyphs, calling draw(bitmap, left, top) with the pen position.
template <typename Fn>
int walk(const std::string& text, int px, Fn&& draw) {
  FT_Face f = face();
  if (!f || FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(px))) return 0;
  const int ascent = static_cast<int>(f->size->metrics.ascender >> 6);
  int pen = 0;
  for (unsigned char c : text) {
    if (FT_Load_Char(f, c, FT_LOAD_RENDER)) continue;
    const FT_GlyphSlot g = f->glyph;
    draw(g->bitmap, pen + g->bitmap_left, ascent - g->bitmap_top);
    pen += static_cast<int>(g->advance.x >> 6);
  }
  return pen;
}

}  // namespace

bool draw_text(uint32_t* pixels, int width, int height, int x, int y, const std::string& text,
               int px, uint32_t colour) {
  if (!face()) return false;
  walk(text, px, [&](const FT_Bitmap& b, int left, int top) {
    for (unsigned row = 0; row < b.rows; ++row)
      for (unsigned col = 0; col < b.width; ++col) {
        const int cx = x + left + static_cast<int>(col), cy = y + top + static_cast<int>(row);
        if (cx < 0 || cy < 0 || cx >= width || cy >= height) continue;
        const uint32_t a = b.buffer[row * b.pitch + col];
        if (!a) continue;
        uint32_t& p = pixels[cy * width + cx];
        uint32_t out = 0;
        for (int s : {0, 8, 16}) {
          const uint32_t under = (p >> s) & 0xFF, over = (colour >> s) & 0xFF;
          out |= ((over * a + under * (255 - a)) / 255) << s;
        }
        p = out;
      }
  });
  return true;
}

int text_width(const std::string& text, int px) {
  return walk(text, px, [](const FT_Bitmap&, int, int) {});
}
