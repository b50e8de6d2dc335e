// The fogged city flight: the city World played along its own camera animation, each
// appearance starting the animation again at its row's start.
#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr float kFogStart = 300.0f;
constexpr float kFarDistance = 700.0f;

struct Flight {
  int camera;
  float rate;    // keyframes per second
  float offset;  // keyframe at the row's start
};

Flight flight_for(int32_t parameter) {
  switch (parameter) {
    case 0:
      return {0, 6.5f, 0.0f};
    case 1:
      return {1, 9.5f, 0.0f};
    case 9:
      return {0, 14.5f, 160.0f};  // the second pass of camera 0 joins it mid-flight
    case 14:
      return {4, 11.5f, 0.0f};
    default:
      return {parameter, 6.5f, 0.0f};
  }
}

}  // namespace

void render_world(uint32_t* frame, World* world, View* view, float a, int camera) {
  if (camera < 0 || camera >= world->camera_count) return;
  Show& s = show();
  fill_words(s.depth, 0, kFrameBytes);
  view_set_cull_mode(view, 0);
  view_set_target(view, kFramePitchBytes, frame, s.depth);
  world_animate(world, a);
  view_set_camera(view, &world->cameras[camera]);
  // After the camera: setting the field of view switches the far plane off.
  view_set_far_plane(view, 1);
  view_set_fog(view, kFogStart, kFarDistance);
  view_place_lights(world, view);
  world_reset_mesh_matrices(world);
  world_draw_meshes(world, view);
  view_render(view);
  view_clear(view);
}

TH_SCENE(CityScene) {
  (void)entry, (void)index, (void)end, (void)progress;
  Show& s = show();
  View& view = s.screen_view;
  view_set_ambient(&view, 0.25f, 0.25f, 0.25f);
  view_set_far_plane(&view, 1);
  const float d = t - start;
  const Flight f = flight_for(parameter);
  render_world(pixels, &s.city, &view, d * f.rate + f.offset, f.camera);
  view_set_far_plane(&view, 0);
}
