// View set-up, camera, lights, projection, per-vertex lighting and fog.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/kelp.h"
#include "engine/raster.h"
#include "engine/view_internal.h"

namespace {

// The spotlight's light picture: 256 x 256 texels that view_copy_picture fills.
alignas(64) uint32_t light_picture[kLightPictureSide * kLightPictureSide];

void set_frustum(View* view, float h, float v) {
  const float ch = std::cos(h * 0.5f), sh = std::sin(h * 0.5f);
  const float cv = std::cos(v * 0.5f), sv = std::sin(v * 0.5f);
  view->horizontal_angle = h;
  view->vertical_angle = v;
  view->planes[0] = Plane{{ch, 0.0f, sh}, 0.0f};
  view->planes[1] = Plane{{-ch, 0.0f, sh}, 0.0f};
  view->planes[2] = Plane{{0.0f, cv, sv}, 0.0f};
  view->planes[3] = Plane{{0.0f, -cv, sv}, 0.0f};
  view->planes[4] = Plane{{0.0f, 0.0f, 1.0f}, 1.0f};
  view->scale_x = ch * static_cast<float>(view->width) / (sh * 2.0f);
  view->scale_y = cv * static_cast<float>(view->height) / (2.0f * sv);
  view->plane_count = 5;
}

// A field of view of 0 or 180 degrees would make the projection infinite.
float usable_fov(float degrees) {
  if (!(degrees >= 0.01f)) return 0.01f;
  if (!(degrees <= 179.0f)) return 179.0f;
  return degrees;
}

}  // namespace

uint32_t* engine_light_picture() {
  return light_picture;
}

int view_init(View* view, int max_faces, int width, int height) {
  std::memset(view, 0, sizeof(View));
  const int capacity = std::max(max_faces, 0);
  view->draw_list = new (std::nothrow) Face*[static_cast<size_t>(capacity) + 1];
  if (view->draw_list == nullptr) return 0;
  view->draw_capacity = capacity;
  view->width = width;
  view->height = height;
  view->centre_x = static_cast<float>(width) * 0.5f + (-0.5f);
  view->centre_y = static_cast<float>(height) * 0.5f + (-0.5f);
  view_set_fov(view, 60.0f);
  view_set_ambient(view, 0.0f, 0.0f, 0.0f);
  view_set_far_plane(view, 0);
  raster_init_once();
  mat_identity(&view->view_matrix);
  return 1;
}

void view_free(View* view) {
  delete[] view->draw_list;
  view->draw_list = nullptr;
  view->draw_capacity = 0;
  view->draw_count = 0;
}

void view_set_target(View* view, int pitch, uint32_t* colour, int32_t* depth) {
  view->pitch = pitch;
  view->pitch_pixels = pitch / 4;
  view->colour_buffer = colour;
  view->depth_buffer = depth;
}

void view_set_fov(View* view, float degrees) {
  const float f = usable_fov(degrees);
  const float h = f * 3.1415927f * 0.0055555557f;
  // The vertical angle is three quarters of the horizontal, worked out in double.
  const float v =
      static_cast<float>(static_cast<double>(f) * 3.0 * 0.25 * 3.1415926535 * (1.0 / 180.0));
  set_frustum(view, h, v);
}

void view_set_fov_square(View* view, float degrees) {
  const float h = usable_fov(degrees) * 3.1415927f * 0.0055555557f;
  set_frustum(view, h, h);
}

void view_set_far_plane(View* view, int on) {
  view->plane_count = on ? 6 : 5;
  view->fog_on = on;
}

void view_set_fog(View* view, float fog_start, float far_distance) {
  view->planes[5] = Plane{{0.0f, 0.0f, -1.0f}, -far_distance};
  view->plane_count = 6;
  view->fog_start = fog_start;
  view->far_distance = far_distance;
}

void view_set_ambient(View* view, float r, float g, float b) {
  view->ambient_r = r;
  view->ambient_g = g;
  view->ambient_b = b;
}

void view_set_cull_mode(View* view, int mode) {
  view->cull_mode = mode;
}

void view_clear(View* view) {
  view->draw_count = 0;
  view->nearest_first = 0;
}

void view_set_camera(View* view, const Camera* camera) {
  // The show's cameras all have keyframer tracks; a file without them falls back to the
  // camera chunk's own values rather than to zeros.
  const Node& eye_node = camera->node;
  const Node& target_node = camera->target_node;
  const Vec3 eye = eye_node.position_present ? eye_node.position.value : camera->position;
  const Vec3 target = target_node.position_present ? target_node.position.value : camera->target;
  const float roll_deg = eye_node.roll_present ? eye_node.roll.value : camera->roll;
  float fov;
  if (eye_node.fov_present) {
    fov = eye_node.fov.value;
  } else {
    // 3D Studio's lens to field of view: 2400 / lens millimetres (a 48 mm lens is 50 degrees).
    fov = camera->lens > 0.0f ? 2400.0f / camera->lens : 60.0f;
  }
  const float roll = roll_deg * 3.1415927f * 0.0055555557f;
  mat_look_at(&eye, &target, roll, &view->view_matrix);
  view_set_fov(view, fov);
}

void view_place_lights(World* world, View* view) {
  for (int i = 0; i < world->light_count; ++i) {
    Light* light = &world->lights[i];
    // position is replaced by its camera-space value below, so a light without a track
    // keeps the file's position aside on the first call instead of drifting each frame.
    if (!light->node.position_present && !light->file_position_kept) {
      light->file_position = light->position;
      light->file_position_kept = 1;
    }
    const Vec3 world_position =
        light->node.position_present ? light->node.position.value : light->file_position;
    mat_transform_point(&world_position, &view->view_matrix, &light->position);
    if (light->node.colour_present) {
      light->r = light->node.colour.value.x;
      light->g = light->node.colour.value.y;
      light->b = light->node.colour.value.z;
    }
  }
}

void view_copy_picture(View* view) {
  if (view->picture == nullptr) return;
  std::memcpy(light_picture, view->picture, sizeof(light_picture));
}

void mesh_light(Mesh* mesh) {
  World* world = mesh->world;
  Vertex* v = world->vertices + mesh->first_vertex;
  for (int n = 0; n < mesh->vertex_count; ++n, ++v) {
    for (int i = 0; i < world->light_count; ++i) {
      const Light& light = world->lights[i];
      Vec3 to_light;
      vec_sub(&light.position, &v->camera_position, &to_light);
      vec_set_length(&to_light, 1.0f, &to_light);
      // Lights behind the stored normal count: with the engine's winding the normal of a
      // face the camera keeps points away from the eye.
      const float c = vec_dot(&v->camera_normal, &to_light);
      if (c >= 0.0f) {
        v->r += c * light.r;
        v->g += c * light.g;
        v->b += c * light.b;
      }
    }
    v->r = std::clamp(v->r * 255.0f, 0.0f, 255.0f);
    v->g = std::clamp(v->g * 255.0f, 0.0f, 255.0f);
    v->b = std::clamp(v->b * 255.0f, 0.0f, 255.0f);
    v->highlight *= 255.0f;
  }
}

void mesh_fog(Mesh* mesh, const View* view) {
  const float start = view->fog_start;
  const float range = view->far_distance - start;
  Vertex* v = mesh->world->vertices + mesh->first_vertex;
  for (int n = 0; n < mesh->vertex_count; ++n, ++v) {
    const float z = v->camera_position.z;
    if (z < start) continue;
    // A fog that starts at the far plane: everything from there on is black.
    const float f = range > 0.0f ? 1.0f - (z - start) / range : 0.0f;
    v->r *= f;
    v->g *= f;
    v->b *= f;
  }
}
