// The turning object: rings around the viewer that wobble one after another, tumbling and
// environment-mapped, with two circling lights drawn as lens flares. It grows out of a
// flat disc at the start of its row and shrinks to a sliver at the end.
#include <cmath>

#include "engine/kelp.h"
#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr float kWobbleTimeScale = 3.0f;

void set_light(Light& light, Vec3 position, float r, float g, float b) {
  light.position = position;
  light.r = r;
  light.g = g;
  light.b = b;
}

}  // namespace

TH_SCENE(FlareObjectScene) {
  (void)entry, (void)index, (void)end, (void)parameter;
  Show& s = show();
  World& object = s.object;
  Mesh* mesh = &object.meshes[0];  // the start-up checked the mesh and the two lights
  View& view = s.screen_view;
  FlareObjectState& st = s.flare_object;

  if (st.first_frame) {
    st.first_frame = false;
    st.flare_a = {&object.lights[1], 1, 0.0f, 200.0f, 200.0f};
    st.flare_b = {&object.lights[0], 0, 0.0f, 0.0f, 300.0f};
  }

  fill_words(s.depth, 0, kFrameBytes);
  view_set_ambient(&view, 0.2f, 0.2f, 0.2f);
  view_set_cull_mode(&view, 0);
  view_set_target(&view, kFramePitchBytes, pixels, s.depth);
  view_set_fov(&view, 100.0f);

  // Light 0 sits at the viewer; light 1 circles the object. The cube shares both.
  const Vec3 circling = {180.0f * std::sin(-t), 160.0f * std::cos(0.1f * t), 180.0f * std::cos(t)};
  set_light(object.lights[0], {0.0f, 0.0f, 0.0f}, 0.6f, 0.9f, 0.4f);
  set_light(object.lights[1], circling, 0.6f, 0.4f, 0.8f);
  for (int i = 0; i < 2 && i < s.cube.light_count; ++i) {
    const Light& from = object.lights[i];
    set_light(s.cube.lights[i], from.position, from.r, from.g, from.b);
  }

  // Camera space is world space: the object is centred on the viewer.
  mat_identity(&view.view_matrix);

  // The history advances by the show clock from the row's start, so the twist at a given
  // time does not depend on the frame rate or on where the run began.
  wobble_step(0.03f, 0.025f, 0.02f, t * kWobbleTimeScale, start * kWobbleTimeScale);
  wobble_apply(mesh);
  mesh_compute_bounds(mesh);

  mat_rotation_euler(&mesh->render_matrix, 10.0f * progress, 2.0f * progress, progress);
  mesh->pivot = {0.0f, 0.0f, 0.0f};
  mesh_compute_normals(mesh);

  Mat4 grow;
  mat_identity(&grow);
  if (progress < 0.1f) grow.m[5] = 10.0f * progress;
  if (progress > 0.9f) grow.m[0] = 1.0f - (progress - 0.9f) * 10.0f;
  world_transform_meshes(&object, &grow);

  mesh_draw(mesh, &view);
  mesh_env_map(mesh);
  view_sort(&view, 1);
  view_render(&view);
  view_clear(&view);

  flare_draw_faded(pixels, &st.flare_a, &view, t, 1);
  flare_draw_faded(pixels, &st.flare_b, &view, t, 0);
}
