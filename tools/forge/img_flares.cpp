// The nine lens-flare bitmaps: headerless RGB at the exact sizes the flare table gives
// (the reader takes the size from its table, not from the file). Black outside the shape,
// since they are added onto the frame.
#include <cmath>

#include "assets/data_files.h"
#include "forge_media.h"
#include "img_writers.h"

namespace forge {

namespace {

enum class Shape { Halo, Disc, Ring, Hex };

Canvas flare(int w, int h, Shape shape, Col tint) {
  Canvas c(w, h);
  const float cx = w * 0.5f, cy = h * 0.5f, r = std::min(w, h) * 0.5f - 0.5f;
  c.shade([&](float x, float y) {
    float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy) / r;
    float v = 0;
    switch (shape) {
      case Shape::Halo:
        v = 0.8f * std::exp(-std::pow((d - 0.78f) / 0.12f, 2.0f)) + 0.15f * clamp01(1 - d);
        break;
      case Shape::Disc:
        v = 0.7f * clamp01((1 - d) * 3) * (0.6f + 0.4f * d);
        break;
      case Shape::Ring:
        v = 0.9f * std::exp(-std::pow((d - 0.7f) / 0.2f, 2.0f));
        break;
      case Shape::Hex: {
        float a = std::atan2(dy, dx),
              k = std::cos(3.14159265f / 6) /
                  std::cos(std::fmod(a + 3.14159265f * 2, 3.14159265f / 3) - 3.14159265f / 6);
        v = 0.75f * clamp01((k - d) * 4);
        break;
      }
    }
    if (d >= 1) v = 0;
    return tint * v;
  });
  return c;
}

}  // namespace

void make_flares(Forge& f) {
  struct Row {
    int w, h;
    Shape s;
    Col tint;
  };
  const Row rows[9] = {
      {40, 40, Shape::Halo, rgb8(255, 230, 200)}, {9, 10, Shape::Disc, rgb8(200, 255, 200)},
      {8, 10, Shape::Ring, rgb8(255, 200, 255)},  {6, 6, Shape::Disc, rgb8(255, 255, 200)},
      {18, 18, Shape::Hex, rgb8(180, 210, 255)},  {7, 7, Shape::Ring, rgb8(255, 220, 180)},
      {6, 7, Shape::Disc, rgb8(200, 240, 255)},   {11, 11, Shape::Hex, rgb8(255, 190, 160)},
      {7, 7, Shape::Ring, rgb8(220, 255, 220)}};
  for (int i = 0; i < 9; ++i) {
    const Row& r = rows[i];
    f.write(data_file::kFlares[i], encode_raw_rgb(flare(r.w, r.h, r.s, r.tint).bitmap()));
  }
}

}  // namespace forge
