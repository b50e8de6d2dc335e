#include "img_canvas.h"

#include <algorithm>

namespace forge {

Col rgb8(int r, int g, int b) {
  return {r / 255.0f, g / 255.0f, b / 255.0f};
}

Col hsv(float h, float s, float v) {
  h = h - std::floor(h);
  float k = h * 6.0f;
  int i = static_cast<int>(k) % 6;
  float f = k - std::floor(k);
  float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (i) {
    case 0:
      return {v, t, p};
    case 1:
      return {q, v, p};
    case 2:
      return {p, v, t};
    case 3:
      return {p, q, v};
    case 4:
      return {t, p, v};
    default:
      return {v, p, q};
  }
}

float clamp01(float v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}

float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

Canvas::Canvas(int w, int h, Col fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h, fill) {}

void Canvas::blend(int x, int y, Col c, float a) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || a <= 0) return;
  Col& p = at(x, y);
  p = mix(p, c, a > 1 ? 1 : a);
}

void Canvas::add(int x, int y, Col c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  Col& p = at(x, y);
  p = p + c;
}

void Canvas::ellipse(float cx, float cy, float rx, float ry, Col c, float alpha, float soft) {
  int x0 = std::max(0, static_cast<int>(cx - rx - soft - 1)),
      x1 = std::min(w_ - 1, static_cast<int>(cx + rx + soft + 1));
  int y0 = std::max(0, static_cast<int>(cy - ry - soft - 1)),
      y1 = std::min(h_ - 1, static_cast<int>(cy + ry + soft + 1));
  float rm = std::min(rx, ry);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
      float d = (std::sqrt(dx * dx + dy * dy) - 1) * rm;  // approximate distance in pixels
      float a = clamp01(0.5f - d / soft);
      blend(x, y, c, a * alpha);
    }
}

void Canvas::ring(float cx, float cy, float r, float width, Col c, float alpha, float soft) {
  float o = r + width * 0.5f + soft + 1;
  int x0 = std::max(0, static_cast<int>(cx - o)), x1 = std::min(w_ - 1, static_cast<int>(cx + o));
  int y0 = std::max(0, static_cast<int>(cy - o)), y1 = std::min(h_ - 1, static_cast<int>(cy + o));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      float d = std::fabs(std::sqrt(dx * dx + dy * dy) - r) - width * 0.5f;
      blend(x, y, c, clamp01(0.5f - d / soft) * alpha);
    }
}

void Canvas::rect(float x0, float y0, float x1, float y1, Col c, float alpha) {
  int ix0 = std::max(0, static_cast<int>(std::floor(x0))),
      ix1 = std::min(w_ - 1, static_cast<int>(std::ceil(x1)));
  int iy0 = std::max(0, static_cast<int>(std::floor(y0))),
      iy1 = std::min(h_ - 1, static_cast<int>(std::ceil(y1)));
  for (int y = iy0; y <= iy1; ++y) {
    float cy = clamp01(std::min(y + 1.0f, y1) - std::max(static_cast<float>(y), y0));
    for (int x = ix0; x <= ix1; ++x) {
      float cx = clamp01(std::min(x + 1.0f, x1) - std::max(static_cast<float>(x), x0));
      blend(x, y, c, cx * cy * alpha);
    }
  }
}

void Canvas::line(float x0, float y0, float x1, float y1, float width, Col c, float alpha) {
  float pad = width * 0.5f + 2;
  int bx0 = std::max(0, static_cast<int>(std::min(x0, x1) - pad)),
      bx1 = std::min(w_ - 1, static_cast<int>(std::max(x0, x1) + pad));
  int by0 = std::max(0, static_cast<int>(std::min(y0, y1) - pad)),
      by1 = std::min(h_ - 1, static_cast<int>(std::max(y0, y1) + pad));
  float vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  for (int y = by0; y <= by1; ++y)
    for (int x = bx0; x <= bx1; ++x) {
      float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float t = len2 > 0 ? clamp01((px * vx + py * vy) / len2) : 0;
      float dx = px - t * vx, dy = py - t * vy;
      float d = std::sqrt(dx * dx + dy * dy) - width * 0.5f;
      blend(x, y, c, clamp01(0.5f - d) * alpha);
    }
}

void Canvas::glow(float cx, float cy, float radius, Col c, float power) {
  int x0 = std::max(0, static_cast<int>(cx - radius)),
      x1 = std::min(w_ - 1, static_cast<int>(cx + radius));
  int y0 = std::max(0, static_cast<int>(cy - radius)),
      y1 = std::min(h_ - 1, static_cast<int>(cy + radius));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      float f = 1 - std::sqrt(dx * dx + dy * dy) / radius;
      if (f > 0) add(x, y, c * std::pow(f, power));
    }
}

Bitmap Canvas::bitmap() const {
  Bitmap b;
  b.w = w_;
  b.h = h_;
  b.rgb.resize(static_cast<size_t>(w_) * h_ * 3);
  for (size_t i = 0; i < px_.size(); ++i) {
    const Col& c = px_[i];
    b.rgb[i * 3 + 0] = static_cast<uint8_t>(clamp01(c.r) * 255.0f + 0.5f);
    b.rgb[i * 3 + 1] = static_cast<uint8_t>(clamp01(c.g) * 255.0f + 0.5f);
    b.rgb[i * 3 + 2] = static_cast<uint8_t>(clamp01(c.b) * 255.0f + 0.5f);
  }
  return b;
}

uint32_t hash32(uint32_t a, uint32_t b, uint32_t c) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return h;
}

static float lattice_grad(int ix, int iy, float fx, float fy, int px, int py, uint32_t seed) {
  ix = ((ix % px) + px) % px;
  iy = ((iy % py) + py) % py;
  uint32_t h = hash32(static_cast<uint32_t>(ix), static_cast<uint32_t>(iy), seed);
  float a = (h >> 8) * (6.28318530718f / 16777216.0f);
  return std::cos(a) * fx + std::sin(a) * fy;
}

float tile_noise(float x, float y, int period, uint32_t seed) {
  return tile_noise2(x, y, period, period, seed);
}

float tile_noise2(float x, float y, int period, int period_y, uint32_t seed) {
  float fx0 = std::floor(x), fy0 = std::floor(y);
  int ix = static_cast<int>(fx0), iy = static_cast<int>(fy0);
  float fx = x - fx0, fy = y - fy0;
  float sx = fx * fx * fx * (fx * (fx * 6 - 15) + 10),
        sy = fy * fy * fy * (fy * (fy * 6 - 15) + 10);
  float n00 = lattice_grad(ix, iy, fx, fy, period, period_y, seed);
  float n10 = lattice_grad(ix + 1, iy, fx - 1, fy, period, period_y, seed);
  float n01 = lattice_grad(ix, iy + 1, fx, fy - 1, period, period_y, seed);
  float n11 = lattice_grad(ix + 1, iy + 1, fx - 1, fy - 1, period, period_y, seed);
  float a = n00 + (n10 - n00) * sx, b = n01 + (n11 - n01) * sx;
  return (a + (b - a) * sy) * 1.41421356f;
}

float tile_fbm(float u, float v, int size, int cells, int octaves, uint32_t seed, float gain) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    float scale = static_cast<float>(cells) / size;
    sum += amp * tile_noise(u * scale, v * scale, cells, seed + 977u * o);
    norm += amp;
    amp *= gain;
    cells *= 2;
  }
  return sum / norm;
}

float tile_fbm2(float u, float v, int size, int cells_x, int cells_y, int octaves, uint32_t seed) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp *
           tile_noise2(u * cells_x / size, v * cells_y / size, cells_x, cells_y, seed + 977u * o);
    norm += amp;
    amp *= 0.5f;
    cells_x *= 2;
    cells_y *= 2;
  }
  return sum / norm;
}

}  // namespace forge
