// The sprite swarm: 660 sprites flying along eight point shapes, three trailing copies of
// 220 points each morphing from one shape to the next in a fixed cycle; the glow images it
// draws with; and the show's own random numbers, so every platform draws the same swarm.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "assets/data_files.h"
#include "assets/image.h"
#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "platform/exit.h"

namespace {

constexpr int kSpriteSide = 256;
constexpr int kSpritePixels = kSpriteSide * kSpriteSide;
constexpr double kPi = 3.14159265358979323846;
constexpr float kCycle = 1023.0f;
constexpr float kSegment = 128.0f;

uint32_t random_state = 1;

struct SwarmTables {
  std::vector<uint32_t> images[4];
  int colour_index[kSwarmPoints] = {};
  Vec3 shapes[kSwarmShapes][kSwarmShapePoints] = {};
};

SwarmTables& tables() {
  static SwarmTables t;
  return t;
}

float random_unit() {
  return static_cast<float>(random_next()) / 32767.0f - 0.5f;
}

void random_cube(Vec3* shape, float edge) {
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    shape[k].x = random_unit() * edge;
    shape[k].y = random_unit() * edge;
    shape[k].z = random_unit() * edge;
  }
}

void torus_knot(Vec3* shape, int p, int q) {
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    const double t = 2.0 * kPi * k / kSwarmShapePoints;
    const double s = 1.0 + 0.5 * std::cos(q * t);
    shape[k] = {static_cast<float>(100.0 * s * std::cos(p * t)),
                static_cast<float>(100.0 * s * std::sin(p * t)),
                static_cast<float>(50.0 * std::sin(q * t))};
  }
}

void make_shapes(Vec3 (*s)[kSwarmShapePoints]) {
  // S0 and S5 draw their random numbers in shape order, after the colour indices.
  random_cube(s[0], 300.0f);
  torus_knot(s[1], 9, 3);
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    const double a = 2.0 * kPi * k / kSwarmShapePoints;
    s[2][k] = {static_cast<float>(50.0 * (4.0 / 3.0 * std::cos(a + kPi) + 2.0 * std::cos(3 * a))),
               static_cast<float>(50.0 * (4.0 / 3.0 * std::sin(a) + 2.0 * std::sin(3 * a))),
               static_cast<float>(50.0 * (0.5 * std::sin(2 * a) + std::sin(4 * a)))};
  }
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    const double b = kPi * k / kSwarmShapePoints;
    const double r = 0.72 * std::sin(6 * b + kPi / 2);
    const double f = 0.6283185307 * std::sin(6 * b);
    s[3][k] = {static_cast<float>(200.0 * r * std::cos(f) * std::cos(4 * b)),
               static_cast<float>(200.0 * r * std::cos(f) * std::sin(4 * b)),
               static_cast<float>(200.0 * r * std::sin(f))};
  }
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    const double b = kPi * k / kSwarmShapePoints;
    const double r = 1.6 * std::sin(6 * b) + 0.8;
    const double f = 1.8849555921 * std::sin(12 * b);
    s[4][k] = {static_cast<float>(50.0 * r * std::cos(f) * std::cos(2 * b)),
               static_cast<float>(50.0 * r * std::cos(f) * std::sin(2 * b)),
               static_cast<float>(50.0 * r * std::sin(f))};
  }
  random_cube(s[5], 50.0f);
  torus_knot(s[6], 2, 7);
  for (int k = 0; k < kSwarmShapePoints; ++k) {
    const double a = 2.0 * kPi * k / kSwarmShapePoints;
    s[7][k] = {static_cast<float>(10.0 * (10.0 * (std::cos(3 * a) + std::cos(a)) + std::cos(2 * a) +
                                          std::cos(4 * a))),
               static_cast<float>(10.0 * (10.0 * std::sin(3 * a) + 6.0 * std::sin(a))),
               static_cast<float>(10.0 * (4.0 * std::sin(3 * a) * std::sin(2.5 * a) +
                                          4.0 * std::sin(4 * a) - 2.0 * std::sin(6 * a)))};
  }
}

// The cycle's segments: from shape, to shape.
constexpr int kSegments[8][2] = {{0, 1}, {1, 2}, {2, 5}, {5, 3}, {3, 6}, {6, 4}, {4, 7}, {7, 0}};

}  // namespace

void random_seed(uint32_t seed) {
  random_state = seed;
}

int random_next() {
  random_state = random_state * 214013u + 2531011u;
  return static_cast<int>((random_state >> 16) & 0x7FFF);
}

void glow_make(uint32_t* image, int width, int height, float red, float green, float blue) {
  if (!image || width <= 0 || height <= 0) return;
  // An odd side leaves a middle row or column the quarters do not reach: black.
  for (int i = 0; i < width * height; ++i) image[i] = 0;
  auto channel = [](int m, float factor) {
    // Factors above 1 would carry into the next channel; below 0, borrow from it.
    const float v = static_cast<float>(m) * factor;
    return v >= 255.0f ? 255u : (v > 0.0f ? static_cast<uint32_t>(v) : 0u);
  };
  for (int i = 0; i < height / 2; ++i)
    for (int j = 0; j < width / 2; ++j) {
      const int dx = width / 2 - j, dy = height / 2 - i;
      const int d = static_cast<int>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
      const int m = std::clamp(128 - d, 0, 127);
      const uint32_t v = (channel(m, red) << 16) | (channel(m, green) << 8) | channel(m, blue);
      image[i * width + j] = v;
      image[i * width + (width - 1 - j)] = v;
      image[(height - 1 - i) * width + (width - 1 - j)] = v;
      image[(height - 1 - i) * width + j] = v;
    }
}

void sprites_init() {
  SwarmTables& t = tables();
  for (auto& img : t.images) img.assign(kSpritePixels, 0);

  // The picture is read straight into its 256 x 256 image: probe first, so a picture of
  // another size stops the show here instead of writing past the image.
  read_image_file(data_file::kSpritePicture, nullptr);
  if (image_width != kSpriteSide || image_height != kSpriteSide) {
    std::printf("%s is %d x %d, the show needs %d x %d\n", data_file::kSpritePicture, image_width,
                image_height, kSpriteSide, kSpriteSide);
    platform::process_exit(1);
  }
  read_image_file(data_file::kSpritePicture, t.images[0].data());
  glow_make(t.images[1].data(), kSpriteSide, kSpriteSide, 0.8f, 0.3f, 0.2f);
  glow_make(t.images[2].data(), kSpriteSide, kSpriteSide, 0.9f, 0.8f, 0.0f);
  glow_make(t.images[3].data(), kSpriteSide, kSpriteSide, 0.0f, 0.2f, 0.8f);

  // Every show draws the same swarm: the numbers start from the runtime's first seed.
  random_seed(1);
  for (int& c : t.colour_index) c = random_next() % 4;
  make_shapes(t.shapes);
}

const Vec3* swarm_shape(int index) {
  return tables().shapes[index & 7];
}

const uint32_t* swarm_image(int index) {
  return tables().images[index & 3].data();
}

int swarm_colour_index(int point) {
  return tables().colour_index[point];
}

void swarm_blend_points(float time, Vec3* points) {
  const SwarmTables& t = tables();
  for (int copy = 0; copy < 3; ++copy) {
    const float s = time + 10.0f * static_cast<float>(copy);
    float m = std::fmod(s, kCycle);
    // Times before 0 run the cycle backwards from its end; NaN and infinities start it.
    if (m < 0.0f) m += kCycle;
    if (!(m >= 0.0f && m < kCycle)) m = 0.0f;
    const int segment = std::min(7, static_cast<int>(m / kSegment));
    const float phase = m - kSegment * static_cast<float>(segment);
    const float u = static_cast<float>(std::sin(phase * kPi / 256.0));
    const Vec3* from = t.shapes[kSegments[segment][0]];
    const Vec3* to = t.shapes[kSegments[segment][1]];
    Vec3* out = points + copy * kSwarmShapePoints;
    for (int k = 0; k < kSwarmShapePoints; ++k) {
      out[k].x = from[k].x + u * (to[k].x - from[k].x);
      out[k].y = from[k].y + u * (to[k].y - from[k].y);
      out[k].z = from[k].z + u * (to[k].z - from[k].z);
    }
  }
}
void swarm_draw(uint32_t* target, float angle_x, float angle_y, float angle_z, float x, float y,
                float z, float time) {
  const SwarmTables& t = tables();
  if (t.images[0].empty()) return;  // sprites_init has not run
  sprite_source_width = kSpriteSide;
  sprite_source_height = kSpriteSide;
  Mat4 m;
  mat_rotation_euler(&m, angle_x, angle_y, angle_z);
  m.m[12] = x;
  m.m[13] = y;
  m.m[14] = z;

  Vec3 points[kSwarmPoints];
  swarm_blend_points(time, points);
  mat_transform_points(points, points, kSwarmPoints, &m);
  for (int i = 0; i < kSwarmPoints; ++i) {
    const Vec3& p = points[i];
    if (!(p.z >= 2.0f)) continue;  // behind the viewer or too close to draw
    const float px = p.x * 116.0f / p.z, py = p.y * 87.0f / p.z;
    const float size = 116.0f * 15.0f / p.z;
    sprite_draw_additive(px + 160.0f, py + 120.0f, size, size, target,
                         t.images[t.colour_index[i]].data());
  }
}
