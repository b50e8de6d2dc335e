// Painting surface and procedural helpers for the forge's pictures and textures.
// Colours are floats 0..1 while painting; a picture becomes 8-bit RGB only when written.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

namespace forge {

struct Col {
  float r = 0, g = 0, b = 0;
};
inline Col operator+(Col a, Col b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Col operator-(Col a, Col b) {
  return {a.r - b.r, a.g - b.g, a.b - b.b};
}
inline Col operator*(Col a, float s) {
  return {a.r * s, a.g * s, a.b * s};
}
inline Col operator*(Col a, Col b) {
  return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline Col mix(Col a, Col b, float t) {
  return a + (b - a) * t;
}
Col rgb8(int r, int g, int b);
Col hsv(float h, float s, float v);  // h in turns (0..1 wraps)

float clamp01(float v);
float smoothstep(float e0, float e1, float x);

// 8-bit RGB, rows top to bottom: what the file writers take.
struct Bitmap {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
};

class Canvas {
 public:
  Canvas(int w, int h, Col fill = {});
  int w() const { return w_; }
  int h() const { return h_; }
  Col& at(int x, int y) { return px_[static_cast<size_t>(y) * w_ + x]; }
  const Col& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  // Blend c over the pixel with coverage a (ignored outside the canvas).
  void blend(int x, int y, Col c, float a);
  void add(int x, int y, Col c);
  // Sets every pixel from f(x, y); x and y are pixel centres in pixels.
  template <class F>
  void shade(F f) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) at(x, y) = f(x + 0.5f, y + 0.5f);
  }
  // Calls f(x, y, pixel&) for every pixel.
  template <class F>
  void each(F f) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) f(x + 0.5f, y + 0.5f, at(x, y));
  }

  // Anti-aliased shapes; `soft` widens the edge (pixels) for glows and soft spots.
  void ellipse(float cx, float cy, float rx, float ry, Col c, float alpha = 1, float soft = 1);
  void ring(float cx, float cy, float r, float width, Col c, float alpha = 1, float soft = 1);
  void rect(float x0, float y0, float x1, float y1, Col c, float alpha = 1);
  void line(float x0, float y0, float x1, float y1, float width, Col c, float alpha = 1);
  // A radial glow added to the picture: c * falloff(distance / radius)^power.
  void glow(float cx, float cy, float radius, Col c, float power = 2);

  Bitmap bitmap() const;

 private:
  int w_, h_;
  std::vector<Col> px_;
};

// Gradient noise that repeats every `period` lattice cells in x and y (so textures made
// of it tile seamlessly); about -1..1.
float tile_noise(float x, float y, int period, uint32_t seed);
// The same with different periods across and down (x and y in lattice cells).
float tile_noise2(float x, float y, int period_x, int period_y, uint32_t seed);
// Octaves of tile_noise2 with cells_x by cells_y lattice cells over the picture at the
// first octave: streaks when the two differ a lot.
float tile_fbm2(float u, float v, int size, int cells_x, int cells_y, int octaves, uint32_t seed);
// Sum of octaves of tile_noise over a picture of `size` pixels; u, v in pixels;
// `cells` lattice cells across the picture at the first octave. About -1..1.
float tile_fbm(float u, float v, int size, int cells, int octaves, uint32_t seed,
               float gain = 0.5f);

// A small integer hash, for per-cell random choices that must not depend on call order.
uint32_t hash32(uint32_t a, uint32_t b = 0, uint32_t c = 0);
inline float hash01(uint32_t a, uint32_t b = 0, uint32_t c = 0) {
  return (hash32(a, b, c) >> 8) * (1.0f / 16777216.0f);
}

}  // namespace forge
