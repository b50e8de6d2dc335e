// The box dancer, and the dancer on the mirror floor: the World drawn reflected in the
// floor and cut to the floor's outline, then the half-transparent floor over it and the
// World itself on top.
#include "assets/data_files.h"
#include "assets/motion.h"
#include "kernels/kernels.h"
#include "scenes/dancers/dancers.h"
#include "scenes/scenes.h"
#include "scenes/show.h"

namespace {

constexpr float kKeysPerSecond = 22.5f;

const char* box_motion(int parameter) {
  switch (parameter) {
    case 0:
      return data_file::kMotion03;
    case 1:
      return data_file::kMotion04;
    case 2:
      return data_file::kMotion05;
    default:
      return nullptr;
  }
}

void draw_all_but(World* w, const Mesh* skip, View* v) {
  for (int i = 0; i < w->mesh_count; ++i)
    if (&w->meshes[i] != skip) mesh_draw(&w->meshes[i], v);
}

void dance_first_frame(DancerState& d, World& w) {
  motion_load(data_file::kMotion05);  // the time divisor stays as the box dancer set it
  d.dance_floor = world_find_mesh(&w, "DanceFloor");
  if (d.dance_floor) {
    // The top of the floor's box, as corners 1, 0, 7, 6 of its bounds.
    const int corner[4] = {1, 0, 7, 6};
    for (int i = 0; i < 4; ++i) d.floor_corners[i].position = d.dance_floor->bounds[corner[i]];
    if (Material* m = world_find_material(&w, "mymat")) mesh_set_material(d.dance_floor, m);
  }
  d.dance_first_frame = false;
}

// The World reflected in the floor, seen only through the floor's outline. Skipped when
// the camera sees the floor from below or not at all.
void mirror_pass(DancerState& d, World& w, View& v) {
  Mesh* floor = d.dance_floor;
  Vertex* c = d.floor_corners;
  Vec3 world_corner[3];
  for (int i = 0; i < 3; ++i)
    mat_transform_point(&c[i].position, &floor->render_matrix, &world_corner[i]);
  Mat4 reflect;
  if (!mirror_through(world_corner[0], world_corner[1], world_corner[2], &reflect)) return;
  Plane p;
  plane_from_points(&world_corner[0], &world_corner[1], &world_corner[2], &p);

  Mat4 to_camera;
  mat_mul(&floor->render_matrix, &v.view_matrix, &to_camera);
  for (int i = 0; i < 4; ++i)
    mat_transform_point(&c[i].position, &to_camera, &c[i].camera_position);
  Vec3 turned;
  mat_rotate_vector(&p.normal, &v.view_matrix, &turned);
  if (vec_dot(&p.normal, &turned) <= 0.0f) return;

  clip_begin(c, 4);
  for (int i = 0; i < v.plane_count; ++i) clip_plane(&v.planes[i]);
  const int n = clip_polygon_count();
  if (n < 3 || n + 1 > kViewMaxPlanes) return;

  // The mirror's frustum: one plane through the eye per clipped edge, and the floor.
  Plane frustum[kViewMaxPlanes];
  const Vec3 eye = {0.0f, 0.0f, 0.0f};
  for (int i = 0; i < n; ++i)
    plane_from_points(&eye, &clip_polygon_vertex(i)->camera_position,
                      &clip_polygon_vertex((i + 1) % n)->camera_position, &frustum[i]);
  plane_from_points(&c[0].camera_position, &c[1].camera_position, &c[2].camera_position,
                    &frustum[n]);
  for (int i = 0; i <= n; ++i) v.planes[i] = frustum[i];
  v.plane_count = n + 1;

  world_transform_meshes(&w, &reflect);
  view_set_cull_mode(&v, 1);  // the reflection reverses the winding
  view_clear(&v);
  draw_all_but(&w, floor, &v);
  view_render(&v);
  view_clear(&v);
  view_set_cull_mode(&v, 0);
}

}  // namespace

bool mirror_through(const Vec3& a, const Vec3& b, const Vec3& c, Mat4* m) {
  Plane p;
  plane_from_points(&a, &b, &c, &p);
  if (vec_length_sq(&p.normal) == 0.0f) return false;
  // The reflection fixes dot(x, n) = -d; the plane through the points has dot(x, n) = d.
  p.d = -p.d;
  mat_reflect(&p, m);
  return true;
}

TH_SCENE(BoxDancerScene) {
  (void)entry, (void)index, (void)end, (void)progress;
  Show& s = show();
  DancerState& d = s.dancers;
  View& v = s.screen_view;
  World& w = s.box;
  if (parameter != d.box_motion_slot) {
    if (const char* file = box_motion(parameter)) motion_load(file);
    d.box_motion_slot = parameter;
    motion_time_divisor = 3.0f;
  }
  motion_unbind();
  view_set_ambient(&v, 0.7f, 0.7f, 0.7f);
  view_set_far_plane(&v, 0);
  fill_words(s.depth, 0, kFrameBytes);
  view_set_cull_mode(&v, 0);
  view_set_target(&v, kFramePitchBytes, pixels, s.depth);
  if (parameter < 0 || parameter >= w.camera_count) return;

  const float a = (t - start) * kKeysPerSecond;
  world_animate(&w, a);
  view_set_camera(&v, &w.cameras[parameter]);
  view_place_lights(&w, &v);
  world_reset_mesh_matrices(&w);
  motion_apply(&w, a);
  view_clear(&v);
  world_draw_meshes(&w, &v);
  view_render(&v);
  view_clear(&v);
}

TH_SCENE(DanceFloorScene) {
  (void)entry, (void)index, (void)end, (void)progress;
  Show& s = show();
  DancerState& d = s.dancers;
  View& v = s.screen_view;
  World& w = s.dance;
  motion_unbind();
  if (d.dance_first_frame) dance_first_frame(d, w);
  int camera = parameter;
  if (parameter == 2) {
    // The last row picks the first one's animation up where it left it, at 7 s.
    start -= 7.0f;
    camera = 0;
  }
  if (camera < 0 || camera >= w.camera_count) return;
  fill_words(s.depth, 0, kFrameBytes);
  view_set_cull_mode(&v, 0);
  view_set_target(&v, kFramePitchBytes, pixels, s.depth);

  const float a = (t - start) * kKeysPerSecond;
  world_animate(&w, a);
  view_set_camera(&v, &w.cameras[camera]);
  world_reset_mesh_matrices(&w);
  motion_apply(&w, a);
  if (d.dance_floor) mirror_pass(d, w, v);

  // The floor first, so the World stands on it; the depth buffer keeps the reflection's.
  view_set_camera(&v, &w.cameras[camera]);
  world_reset_mesh_matrices(&w);
  motion_apply(&w, a);
  view_clear(&v);
  if (d.dance_floor) {
    mesh_draw(d.dance_floor, &v);
    view_render(&v);
    view_clear(&v);
  }
  draw_all_but(&w, d.dance_floor, &v);
  view_render(&v);
  view_clear(&v);
}
