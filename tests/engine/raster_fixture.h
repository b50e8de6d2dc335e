// Small Worlds, targets and textures built in code for the drawing tests.
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/kelp.h"
#include "engine/raster.h"

namespace rtest {

struct Target {
  int width, height;
  std::vector<uint32_t> colour;
  std::vector<int32_t> depth;
  Target(int w, int h, uint32_t fill = 0, int32_t depth_fill = 0)
      : width(w), height(h), colour(size_t(w) * h, fill), depth(size_t(w) * h, depth_fill) {}
  uint32_t& at(int x, int y) { return colour[index(x, y)]; }
  int32_t& depth_at(int x, int y) { return depth[index(x, y)]; }
  size_t index(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
      std::fprintf(stderr, "test pixel %d,%d outside the target\n", x, y);
      std::abort();
    }
    return size_t(y) * width + x;
  }
  RasterTarget raster() { return RasterTarget{colour.data(), depth.data(), width, width, height}; }
  int count(uint32_t value) const {
    int n = 0;
    for (uint32_t c : colour) n += c == value;
    return n;
  }
};

inline std::vector<uint32_t> flat_texture(int side, uint32_t texel) {
  return std::vector<uint32_t>(size_t(side) * side, texel);
}

inline RasterTexture texture_256(const std::vector<uint32_t>& texels) {
  return RasterTexture{texels.data(), 16, 255, 8, 0xff00};
}

inline RasterVertex rv(float x, float y, float z = 10.0f, float u = 0.0f, float v = 0.0f,
                       float i = 128.0f) {
  return RasterVertex{x, y, z, u, v, i, 255.0f, 255.0f, 255.0f};
}

// A World with room for the given numbers; meshes are appended with add_mesh.
struct SceneWorld {
  World world{};
  SceneWorld(int vertices, int faces, int meshes, int lights = 0, int cameras = 0) {
    world_init(&world, vertices, faces, meshes, lights, cameras, 0);
  }
  ~SceneWorld() { world_free(&world); }
  SceneWorld(const SceneWorld&) = delete;
  SceneWorld& operator=(const SceneWorld&) = delete;

  // Corners with mapping (u, v) = (x, y) * uv_scale; faces index the given corners.
  Mesh* add_mesh(const std::vector<Vec3>& corners, const std::vector<std::array<int, 3>>& tris,
                 Material* material, float uv_scale = 16.0f) {
    if (world.mesh_count >= world.mesh_capacity ||
        world.vertex_count + int(corners.size()) > world.vertex_capacity ||
        world.face_count + int(tris.size()) > world.face_capacity) {
      std::fprintf(stderr, "test World too small\n");
      std::abort();
    }
    Mesh* m = &world.meshes[world.mesh_count++];
    m->first_vertex = world.vertex_count;
    m->vertex_count = int(corners.size());
    m->first_face = world.face_count;
    m->face_count = int(tris.size());
    m->has_mapping = 1;
    for (size_t i = 0; i < corners.size(); ++i) {
      Vertex& v = world.vertices[world.vertex_count++];
      v.position = corners[i];
      v.u = corners[i].x * uv_scale;
      v.v = corners[i].y * uv_scale;
    }
    for (const auto& t : tris) {
      Face& f = world.faces[world.face_count++];
      f.a = m->first_vertex + t[0];
      f.b = m->first_vertex + t[1];
      f.c = m->first_vertex + t[2];
      f.pa = &world.vertices[f.a];
      f.pb = &world.vertices[f.b];
      f.pc = &world.vertices[f.c];
      f.material = material ? material : &world.materials[0];
      f.fallback_material = &world.materials[0];
    }
    mesh_compute_normals(m);
    mesh_face_mapping(m);
    mesh_compute_bounds(m);
    return m;
  }

  // A square of side s centred at (cx, cy) at depth z, facing the camera at the origin and
  // kept by cull mode 0.
  Mesh* add_square(float cx, float cy, float z, float s, Material* material) {
    const float h = s * 0.5f;
    return add_mesh(
        {{cx - h, cy - h, z}, {cx + h, cy - h, z}, {cx + h, cy + h, z}, {cx - h, cy + h, z}},
        {{{0, 1, 2}}, {{0, 2, 3}}}, material);
  }

  Material* material(const char* name, const std::vector<uint32_t>& texels, int flags,
                     int size_code = 1) {
    Material* m = world_add_material(&world, name);
    material_set_texture(m, texels.data(), flags, 0, size_code);
    return m;
  }
};

// A View on a target, camera at the origin looking down +z.
struct ScreenView {
  View view{};
  Target target;
  ScreenView(int w = 320, int h = 240, int max_faces = 3000) : target(w, h) {
    view_init(&view, max_faces, w, h);
    view_set_target(&view, w * 4, target.colour.data(), target.depth.data());
  }
  ~ScreenView() { view_free(&view); }
  ScreenView(const ScreenView&) = delete;
  ScreenView& operator=(const ScreenView&) = delete;

  void draw(World* w, bool sort = true) {
    view_clear(&view);
    world_draw_meshes(w, &view);
    if (sort) view_sort(&view, 1);
    view_render(&view);
  }
};

}  // namespace rtest
