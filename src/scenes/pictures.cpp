// The simple 2D scenes: full-screen pictures, colour-keyed captions and the corner logo,
// the ring of turning flowers, and the closing credits scrolling over their smeared copy.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "assets/data_files.h"
#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"
#include "sequencer/sequencer.h"

namespace {

// Lays a picture over the frame with its top-left corner at (left, top), leaving out every
// pixel equal to its first pixel. Cut to the frame: a picture larger than the room it is
// given, or placed partly off screen, writes only the pixels that land inside.
void overlay_keyed(uint32_t* frame, const Image* picture, int left, int top) {
  if (!picture || !picture->pixels || picture->width <= 0 || picture->height <= 0) return;
  const uint32_t key = picture->pixels[0];
  const int x0 = std::max(0, -left), x1 = std::min(picture->width, kFrameWidth - left);
  const int y0 = std::max(0, -top), y1 = std::min(picture->height, kFrameHeight - top);
  if (x0 >= x1) return;
  for (int y = y0; y < y1; ++y) {
    const uint32_t* src = picture->pixels + static_cast<size_t>(y) * picture->width;
    copy_keyed(frame + (top + y) * kFrameWidth + left + x0, src + x0, key, x1 - x0);
  }
}

// Adds a 320-wide picture scrolled so that its row `offset` is at the top of the screen,
// copying only the rows it has.
void add_scrolled(uint32_t* frame, const Image* picture, int offset) {
  if (!picture || !picture->pixels || picture->width != kFrameWidth) return;
  const int first = std::max(0, -offset);                             // screen rows
  const int last = std::min(kFrameHeight, picture->height - offset);  // exclusive
  if (last <= first) return;
  const uint32_t* src = picture->pixels + static_cast<size_t>(first + offset) * kFrameWidth;
  uint32_t* dst = frame + first * kFrameWidth;
  row_add_saturate(dst, dst, src, (last - first) * kFrameWidth);
}

int scroll_offset(const Image* picture, float progress) {
  if (!picture) return 0;
  const float span = progress * static_cast<float>(picture->height + kFrameHeight);
  return static_cast<int>(span) - kFrameHeight;
}

struct Flower {
  float x, y, angle;
};

// Where the ten flowers stand at show time t (centre offsets in units of 120 x 80 pixels,
// angle in radians). The divisions are the show's stored reciprocals.
void flower_ring(float t, Flower (&f)[10]) {
  const double k14 = 0.7142857142857143, k12 = 0.8333333333333333, k17 = 0.5882352941176471;
  const double k24 = 0.41666666666666663, k06 = 1.6666666666666665, k19 = 0.5263157894736843;
  const double k23 = 0.6666666666666666;
  const double d = t;
  using std::cos, std::sin;
  const double x[10] = {sin(d) * cos(d * k14),        cos(1.2 * d) * cos(1.4 * d),
                        sin(d * k12) * cos(d * k17),  sin(0.5 * d) * cos(d * k24),
                        cos(2 * d) * sin(1.9 * d),    sin(d * k23) * cos(d * k17),
                        -cos(1.4 * d) * cos(1.3 * d), -cos(d * k17) * sin(d),
                        -cos(d * k24) * sin(d),       -sin(1.9 * d) * cos(d)};
  const double y[10] = {cos(0.25 * d) * cos(1.2 * d), sin(d * k12) * cos(2 * d),
                        sin(d * k24) * cos(1.5 * d),  cos(d * k14) * cos(d * k17),
                        sin(2.2 * d) * sin(d * k06),  -cos(1.5 * d) * cos(1.4 * d),
                        sin(d * k19) * cos(2 * d),    -sin(2.4 * d) * cos(d * k23),
                        -cos(1.4 * d) * cos(1.7 * d), -sin(2.2 * d) * sin(d * k06)};
  const double spin[10] = {1.0, 0.5, 1.3, 2.0, 1.7, -1.0, -0.5, -1.4, -2.0, -1.8};
  for (int i = 0; i < 10; ++i)
    f[i] = {static_cast<float>(x[i]), static_cast<float>(y[i]), static_cast<float>(spin[i] * d)};
}

}  // namespace

TH_SCENE(BluePictureScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress, (void)parameter;
  const Image* blue = show().blue_picture.get();
  if (blue) std::memcpy(pixels, blue->pixels, kFrameBytes);  // 320 x 240, checked at start-up
}

TH_SCENE(PictureCardScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end;
  const Image* card = show().card.get();
  if (!card) return;
  const int a = static_cast<int>(std::clamp(progress, 0.0f, 1.0f) * 255.0f);
  if (parameter == 1)
    crossfade(pixels, pixels, card->pixels, a, kFramePixels);  // in from black
  else if (parameter == 2)
    crossfade(pixels, pixels, card->pixels, 255 - a, kFramePixels);  // out to the city
  else
    std::memcpy(pixels, card->pixels, kFrameBytes);
}

TH_SCENE(WordCaptionScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress;
  const int word = parameter >= 0 && parameter < 5 ? parameter : 0;
  overlay_keyed(pixels, show().captions[word].get(), 10, 10);
}

TH_SCENE(CornerLogoScene) {
  (void)entry, (void)index, (void)t, (void)start, (void)end, (void)progress, (void)parameter;
  const Image* logo = show().logo.get();
  if (!logo) return;
  // One pixel in from the right and bottom edges.
  overlay_keyed(pixels, logo, kFrameWidth - logo->width - 1, kFrameHeight - logo->height - 1);
}

TH_SCENE(FlowerSpriteScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)progress, (void)parameter;
  const Image* flower = show().flower.get();
  if (!flower) return;
  // The texture's own size: the loader may have resampled it to another power of two.
  sprite_source_width = flower->width;
  sprite_source_height = flower->height;
  Flower ring[10];
  flower_ring(t, ring);
  for (const Flower& f : ring)
    sprite_draw_rotozoom(pixels, 160.0f + 120.0f * f.x, 120.0f + 80.0f * f.y, 64.0f, 64.0f, f.angle,
                         flower->pixels, flower->width, flower->height);
}

TH_SCENE(CreditsScrollScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)parameter;
  PictureState& st = show().pictures;
  if (st.credits_first_frame) {
    // Their width was checked at start-up; their height is free.
    st.scroll1 = load_image(data_file::kScroll1Picture);
    st.scroll2 = load_image(data_file::kScroll2Picture);
    st.credits_first_frame = false;
  }
  add_scrolled(pixels, st.scroll2.get(), scroll_offset(st.scroll2.get(), progress));
  smear_scan(pixels, static_cast<int>(32.0f * std::cos(4.0f * t) + 44.0f));
  add_scrolled(pixels, st.scroll1.get(), scroll_offset(st.scroll1.get(), progress));
}
