// Helpers for the 3D data tests: load a forged World with the show's loader.
#pragma once
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/kelp.h"
#include "engine/view.h"

namespace forge3d_test {

// A folder of this test process's own (ctest runs the cases as parallel processes),
// removed when the process ends.
inline std::filesystem::path scratch_dir(const std::string& what) {
  struct Remover {
    std::filesystem::path dir;
    ~Remover() {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  };
  static std::vector<std::unique_ptr<Remover>> made;
  auto dir = std::filesystem::path(TH_BINARY_DIR) / "tests" /
             ("forge3d_" + what + "_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  made.push_back(std::unique_ptr<Remover>(new Remover{dir}));
  return dir;
}

inline std::unique_ptr<World> load_world(const std::vector<uint8_t>& bytes, const char* name) {
  auto w = std::make_unique<World>();
  load_3ds_set_log(nullptr);
  if (!load_3ds_memory(w.get(), bytes.data(), bytes.size(), name, 1.0f)) return nullptr;
  if (!world_link_nodes(w.get())) return nullptr;
  return w;
}

inline Vec3 sub(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline float dot3(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross3(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float len3(Vec3 a) {
  return std::sqrt(dot3(a, a));
}
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
