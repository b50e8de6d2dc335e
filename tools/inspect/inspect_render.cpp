// tidalhall-inspect FILE.3ds --png OUT.png: the World drawn by the show's own engine, every
// material in plain light grey with the lit perspective rasterizer, so a user sees the
// shapes, the camera and the lights exactly as the engine will.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/kelp.h"
#include "inspect.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kLitPerspective = 0x302;

bool write_png(const std::string& out, const std::vector<uint32_t>& pixels) {
  std::vector<uint8_t> rgb(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = kWidth;
  png.height = kHeight;
  png.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&png, out.c_str(), 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&png);
  return ok;
}

// The World's extent in world space, from the meshes' boxes as currently placed.
bool world_extent(const World& world, Vec3* centre, float* radius) {
  Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  bool any = false;
  for (int i = 0; i < world.mesh_count; ++i) {
    const Mesh& m = world.meshes[i];
    if (m.vertex_count <= 0) continue;
    for (const Vec3& corner : m.bounds) {
      Vec3 p;
      mat_transform_point(&corner, &m.render_matrix, &p);
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      any = true;
    }
  }
  if (!any) return false;
  *centre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
  Vec3 half;
  vec_sub(&hi, centre, &half);
  *radius = std::max(vec_length(&half), 1e-3f);
  return true;
}

// A view from the front, a little above and to the right, with the whole World inside the
// 45 degree vertical field.
void frame_world(View* view, const World& world) {
  Vec3 centre{0, 0, 0};
  float radius = 5.0f;
  world_extent(world, &centre, &radius);
  Vec3 dir{0.45f, 0.5f, -1.0f};
  vec_set_length(&dir, radius / std::sin(22.5f * 3.1415927f / 180.0f) * 1.1f, &dir);
  Vec3 eye;
  vec_add(&centre, &dir, &eye);
  mat_look_at(&eye, &centre, 0.0f, &view->view_matrix);
  view_set_fov(view, 60.0f);
}

}  // namespace

int inspect_render_png(World& world, const std::string& out, int frame, int camera) {
  static const std::vector<uint32_t> grey(32 * 32, 0xc8c8c8);
  for (int i = 0; i < world.material_count; ++i) {
    material_set_texture(&world.materials[i], grey.data(), kLitPerspective, 0, 4);
  }
  world_animate(&world, static_cast<float>(frame));
  world_reset_mesh_matrices(&world);

  View view;
  if (!view_init(&view, std::max(world.face_count, 1), kWidth, kHeight)) {
    std::fprintf(stderr, "tidalhall-inspect: out of memory\n");
    return 1;
  }
  std::vector<uint32_t> colour(size_t(kWidth) * kHeight, 0);
  std::vector<int32_t> depth(size_t(kWidth) * kHeight, 0);
  view_set_target(&view, kWidth * 4, colour.data(), depth.data());
  view_set_ambient(&view, 0.25f, 0.25f, 0.25f);
  if (world.camera_count > 0) {
    view_set_camera(&view, &world.cameras[std::clamp(camera, 0, world.camera_count - 1)]);
  } else {
    frame_world(&view, world);
  }

  // Without lights of its own the World gets one key light. The engine lights a surface
  // from the far side of its stored normal (which points away from the eye on every face
  // it keeps), so the light sits behind the scene, down and to the right: it then acts as
  // a light from the upper left, in front.
  Light key{};
  Light* saved_lights = world.lights;
  const int saved_count = world.light_count;
  if (world.light_count == 0) {
    Vec3 centre{0, 0, 0};
    float radius = 5.0f;
    world_extent(world, &centre, &radius);
    Vec3 c;
    mat_transform_point(&centre, &view.view_matrix, &c);
    key.position = {c.x + 20 * radius, c.y - 20 * radius, c.z + 20 * radius};
    key.r = key.g = key.b = 0.9f;
    world.lights = &key;
    world.light_count = 1;
  } else {
    view_place_lights(&world, &view);
  }

  view_clear(&view);
  world_draw_meshes(&world, &view);
  view_sort(&view, 1);
  view_render(&view);
  world.lights = saved_lights;
  world.light_count = saved_count;
  view_free(&view);

  if (!write_png(out, colour)) {
    std::fprintf(stderr, "tidalhall-inspect: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
