// draw_triangle: the engine's triangle entry. It keeps the current material, corners and
// View, and the rasterizer chosen for the last flag word (and alpha).
#include <algorithm>

#include "engine/kelp.h"
#include "engine/raster.h"
#include "engine/view_internal.h"

namespace {

Material* current_material = nullptr;
Vertex* current[3] = {nullptr, nullptr, nullptr};
View* current_view = nullptr;

int selected_flags = 0;
int selected_mode = kRasterPlain;
int selected_alpha = 0;
const uint8_t* alpha_row = raster_mul_table;

int alpha_byte(float alpha) {
  const float a = alpha * 255.0f;
  if (!(a > 0.0f)) return 0;
  if (a >= 255.0f) return 255;
  return static_cast<int>(a);
}

RasterVertex corner(const Vertex* v) {
  return RasterVertex{v->screen_x,  v->screen_y, v->depth, v->u, v->v,
                      v->intensity, v->r,        v->g,     v->b};
}

}  // namespace

void raster_init_once() {
  static bool done = false;
  if (done) return;
  done = true;
  raster_build_tables();
  rasterizer_select(0, 0.0f);
  current_material = nullptr;
  current[0] = current[1] = current[2] = nullptr;
}

void raster_set_material(Material* material) {
  current_material = material;
}

void raster_set_vertices(Vertex* a, Vertex* b, Vertex* c) {
  current[0] = a;
  current[1] = b;
  current[2] = c;
}

void raster_set_view(View* view) {
  current_view = view;
}

Material* raster_current_material() {
  return current_material;
}

void rasterizer_select(int flags, float alpha) {
  selected_flags = flags;
  selected_mode = raster_mode_for_flags(flags);
  selected_alpha = alpha_byte(alpha);
  alpha_row = raster_mul_table + selected_alpha * 256;
}

void draw_triangle() {
  const Material* m = current_material;
  const View* view = current_view;
  if (m == nullptr || view == nullptr || view->colour_buffer == nullptr) return;
  if (current[0] == nullptr || current[1] == nullptr || current[2] == nullptr) return;
  // Chosen again when the flag word changes, and for the alpha modes when the alpha does:
  // two materials with equal flags but different alpha must not share one alpha row.
  if (m->flags != selected_flags ||
      (raster_mode_uses_alpha(selected_mode) && alpha_byte(m->alpha) != selected_alpha)) {
    rasterizer_select(m->flags, m->alpha);
  }
  const RasterTexture tex{m->texels, m->u_shift, m->u_mask, m->v_shift, m->v_mask};
  const RasterTarget target{view->colour_buffer, view->depth_buffer, view->pitch_pixels,
                            view->width, view->height};
  raster_triangle(selected_mode, corner(current[0]), corner(current[1]), corner(current[2]), tex,
                  alpha_row, target);
}
