// Four metaballs melting into each other inside the turning cube: the balls circle on one
// plane, their surface is rebuilt every frame and drawn environment-mapped, each ball's
// texture blended into its neighbours' by the chained overlay faces.
#include <cmath>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr float kCellSize = 4.0f;
constexpr float kThreshold = 10.0f;
constexpr float kRadius = 25.0f;
constexpr float kStrength = 15.0f;

void reset_balls(World& world, float q) {
  static const char* const kBase[4] = {"mat0g", "mat1g", "mat2g", "mat3g"};
  static const char* const kOverlay[4] = {"mat0a", "mat1a", "mat2a", "mat3a"};
  // The balls swell out of nothing over the first twentieth and shrink away over the last.
  float strength = kStrength;
  if (q < 0.05f) strength = kStrength * (q * 20.0f);
  if (q > 0.95f) strength = kStrength * (1.0f - (q - 0.95f) * 20.0f);
  for (int m = 0; m < 4; ++m) {
    MetaBall& b = metaball_table[m];
    b.radius = kRadius;
    b.strength = strength;
    b.base = world_find_material(&world, kBase[m]);
    b.overlay = world_find_material(&world, kOverlay[m]);
  }
  metaball_count = 4;
}

void place_balls(float t) {
  const float angle[4] = {t + 128.0f, 2.3f * t, t / 1.7f, t};
  const float turn[4] = {1.0f, -1.0f, 1.0f, -1.0f};  // balls 1 and 3 run the other way
  for (int m = 0; m < 4; ++m) {
    MetaBall& b = metaball_table[m];
    b.x = kRadius * std::cos(angle[m]);
    b.y = 0.0f;
    b.z = turn[m] * kRadius * std::sin(angle[m]);
  }
}

}  // namespace

TH_SCENE(MetaballScene) {
  (void)entry, (void)index, (void)start, (void)end, (void)parameter;
  Show& s = show();
  View& view = s.screen_view;
  Mesh& surface = s.metaball.meshes[0];
  if (s.metaballs.first_frame) {
    surface.first_vertex = surface.vertex_count = 0;
    surface.first_face = surface.face_count = 0;
    metaballs_init(kCellSize);
    view_set_fov(&view, 100.0f);
    s.metaballs.first_frame = false;
  }
  reset_balls(s.metaball, progress);

  fill_words(s.depth, 0, kFrameBytes);
  view_set_target(&view, kFramePitchBytes, pixels, s.depth);
  place_balls(t);

  // A fixed eye below and beside the balls, no Camera.
  const Vec3 eye = {-15.0f, -22.5f, -15.0f}, target = {0.0f, 0.0f, 0.0f};
  mat_identity(&view.view_matrix);
  mat_look_at(&eye, &target, -0.2f, &view.view_matrix);

  metaballs_build_blended(&surface, kThreshold);
  mesh_compute_bounds(&surface);
  mat_identity(&surface.render_matrix);

  // The cube runs on the show clock and turns about the vertical.
  view_clear(&view);
  world_animate(&s.cube, t);
  world_reset_mesh_matrices(&s.cube);
  Mat4 turn;
  mat_rotation_euler(&turn, 0.0f, t * 2.0f / 3.0f, 0.0f);
  world_transform_meshes(&s.cube, &turn);
  world_draw_meshes(&s.cube, &view);

  mesh_draw(&surface, &view);
  mesh_env_map(&surface);
  view_sort(&view, 1);
  view_render_chained(&view);
  view_clear(&view);
}
