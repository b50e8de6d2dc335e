// Helpers for the 3D data tests: load a forged World with the show's loader.
#pragma once
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/kelp.h"
#include "engine/view.h"

namespace forge3d_test {

inline std::unique_ptr<World> load_world(const std::vector<uint8_t>& bytes, const char* name) {
  auto w = std::make_unique<World>();
  load_3ds_set_log(nullptr);
  if (!load_3ds_memory(w.get(), bytes.data(), bytes.size(), name, 1.0f)) return nullptr;
  if (!world_link_nodes(w.get())) return nullptr;
  return w;
}

inline Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float dot3(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross3(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float len3(Vec3 a) { return std::sqrt(dot3(a, a)); }
inline Vec3 apply(Vec3 p, const Mat4& m) {
  Vec3 o;
  mat_transform_point(&p, &m, &o);
  return o;
}
inline float det3(const Mat4& m) {
  Vec3 r0{m.m[0], m.m[1], m.m[2]}, r1{m.m[4], m.m[5], m.m[6]}, r2{m.m[8], m.m[9], m.m[10]};
  return dot3(r0, cross3(r1, r2));
}
// World position of a mesh's vertex i (object space through the render matrix).
inline Vec3 world_vertex(const World& w, const Mesh& m, int i) {
  return apply(w.vertices[m.first_vertex + i].position, m.render_matrix);
}

}  // namespace forge3d_test
