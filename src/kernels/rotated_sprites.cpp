// Turned sprites: the square is handed to the engine's triangle rasterizer as two textured
// triangles in its additive alpha mode, so it has no span code of its own and is clipped to
// the target by the rasterizer's rules.
#include <cmath>

#include "engine/kelp.h"
#include "engine/raster.h"
#include "kernels/kernels.h"

namespace {

// Additive with alpha, affine, no depth test: each channel add[dest, mul[alpha][texel]].
constexpr int kAdditiveAlpha = kMatAdditive | kMatAlpha;

}  // namespace

void sprite_rotozoom_corners(Vertex corner[4], float x, float y, float width, float height,
                             float angle) {
  static const float kCornerAngle[4] = {0.0f, 1.57079632675f, 3.1415926535f, 4.71238898025f};
  static const float kCornerU[4] = {0.0f, 255.0f, 255.0f, 0.0f};
  static const float kCornerV[4] = {0.0f, 0.0f, 255.0f, 255.0f};
  for (int k = 0; k < 4; ++k) {
    corner[k] = Vertex{};
    const float a = angle + kCornerAngle[k];
    corner[k].screen_x = x + std::cos(a) * width * 0.5f;
    corner[k].screen_y = y + std::sin(a) * height * 0.5f;
    corner[k].u = kCornerU[k];
    corner[k].v = kCornerV[k];
    // The additive alpha mode reads neither, but a corner should not carry garbage into a
    // mode that does: the depth of a point one unit away, the engine's usual intensity.
    corner[k].depth = 1.0f;
    corner[k].intensity = 128.0f;
  }
}

bool sprite_draw_rotozoom(uint32_t* target, float x, float y, float width, float height,
                          float angle, const uint32_t* source, int source_width,
                          int source_height) {
  const int size_code = texture_size_code(source_width, source_height);
  if (size_code == 0 || source == nullptr || target == nullptr) return false;
  // The sprite may be the first thing drawn through the rasterizer (no View made yet).
  if (raster_add_table[255] != 255) raster_build_tables();

  Vertex corner[4];
  sprite_rotozoom_corners(corner, x, y, width, height, angle);

  Material material = {};
  material_set_texture(&material, source, kAdditiveAlpha, 0, size_code);
  material.alpha = 1.0f;
  View view = {};
  view.width = kFrameWidth;
  view.height = kFrameHeight;
  view.colour_buffer = target;
  view.pitch = kFramePitchBytes;
  view.pitch_pixels = kFrameWidth;

  // The engine's current material, corners and View are shared: hand back the material the
  // pipeline had, and leave no pointer to this call's locals behind.
  Material* previous = raster_current_material();
  raster_set_material(&material);
  raster_set_view(&view);
  raster_set_vertices(&corner[0], &corner[2], &corner[3]);
  draw_triangle();
  raster_set_vertices(&corner[0], &corner[2], &corner[1]);
  draw_triangle();
  raster_set_vertices(nullptr, nullptr, nullptr);
  raster_set_view(nullptr);
  raster_set_material(previous);
  return true;
}
