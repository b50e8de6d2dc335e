// Text for the forge's titles, captions, credits and billboards: FreeType with the
// DejaVu fonts that Debian installs.
#pragma once
#include <string>
#include <vector>

namespace forge {

// A coverage mask (0..1 per pixel) that text is drawn into; painters colour it.
struct Mask {
  int w = 0, h = 0;
  std::vector<float> a;
  Mask(int w_, int h_) : w(w_), h(h_), a(static_cast<size_t>(w_) * h_, 0.0f) {}
  float at(int x, int y) const {
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0.0f : a[static_cast<size_t>(y) * w + x];
  }
};

class Font {
 public:
  // `file` is a name under /usr/share/fonts/truetype/dejavu/, e.g. "DejaVuSans-Bold.ttf".
  explicit Font(const std::string& file);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Width in pixels of `text` at `px` pixels (em size) with extra `tracking` per letter.
  float width(const std::string& text, int px, float tracking = 0) const;
  // Ascent above the baseline of capital letters, in pixels, at `px`.
  float cap_height(int px) const;
  // Draws into the mask (max of coverages) with the baseline's left end at (x, y).
  void draw(Mask& m, float x, float y, const std::string& text, int px, float tracking = 0) const;
  // Centred on column cx.
  void draw_centred(Mask& m, float cx, float y, const std::string& text, int px,
                    float tracking = 0) const;

 private:
  struct Impl;
  Impl* impl_;
};

// Spreads a mask by `radius` pixels (max filter over a disc) and softens it: for outlines
// and glows behind text.
Mask dilate(const Mask& m, int radius);
Mask box_blur(const Mask& m, int radius);

}  // namespace forge
