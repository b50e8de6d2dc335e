#include "forge_3d.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "assets/data_files.h"

namespace forge {

int material(w3ds::Scene& scene, const std::string& name) {
  for (size_t i = 0; i < scene.materials.size(); ++i)
    if (scene.materials[i].name == name) return static_cast<int>(i);
  scene.materials.push_back({name, 200, 200, 200, ""});
  return static_cast<int>(scene.materials.size() - 1);
}

uint16_t MeshBuilder::vert(V3 p, double u, double v) {
  if (m.vertices.size() >= 32767)
    throw std::runtime_error("mesh " + m.name + " has too many vertices");
  m.vertices.push_back(p);
  m.u.push_back(u);
  m.v.push_back(v);
  return static_cast<uint16_t>(m.vertices.size() - 1);
}

// The engine draws a face when the cross product of its edges points away from the eye.
void MeshBuilder::tri(uint16_t a, uint16_t b, uint16_t c, V3 outward, int material) {
  V3 n = cross(m.vertices[b] - m.vertices[a], m.vertices[c] - m.vertices[a]);
  if (dot(n, outward) > 0) std::swap(b, c);
  m.faces.push_back({a, b, c, 7, material});
}

void MeshBuilder::quad(V3 p0, V3 du, V3 dv, V3 outward, int material, int nu, int nv, double ru,
                       double rv) {
  std::vector<uint16_t> idx;
  for (int j = 0; j <= nv; ++j)
    for (int i = 0; i <= nu; ++i) {
      double s = static_cast<double>(i) / nu, t = static_cast<double>(j) / nv;
      idx.push_back(vert(p0 + du * s + dv * t, s * ru, t * rv));
    }
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      uint16_t a = idx[j * (nu + 1) + i], b = idx[j * (nu + 1) + i + 1];
      uint16_t c = idx[(j + 1) * (nu + 1) + i], d = idx[(j + 1) * (nu + 1) + i + 1];
      tri(a, b, d, outward, material);
      tri(a, d, c, outward, material);
    }
}

void MeshBuilder::box(V3 lo, V3 hi, int mat, double repeat, bool inside, bool bottom) {
  V3 d = hi - lo;
  double k = inside ? -1 : 1;
  // repeat: one mapping repeat per this many units; 0 stretches the map over each side.
  auto r = [&](double len) { return repeat > 0 ? std::max(1.0, std::round(len / repeat)) : 1.0; };
  // front (-z), back (+z), left (-x), right (+x), top, bottom
  quad(lo, {d.x, 0, 0}, {0, d.y, 0}, V3{0, 0, -1} * k, mat, 1, 1, r(d.x), r(d.y));
  quad({lo.x, lo.y, hi.z}, {d.x, 0, 0}, {0, d.y, 0}, V3{0, 0, 1} * k, mat, 1, 1, r(d.x), r(d.y));
  quad(lo, {0, 0, d.z}, {0, d.y, 0}, V3{-1, 0, 0} * k, mat, 1, 1, r(d.z), r(d.y));
  quad({hi.x, lo.y, lo.z}, {0, 0, d.z}, {0, d.y, 0}, V3{1, 0, 0} * k, mat, 1, 1, r(d.z), r(d.y));
  quad({lo.x, hi.y, lo.z}, {d.x, 0, 0}, {0, 0, d.z}, V3{0, 1, 0} * k, mat, 1, 1, r(d.x), r(d.z));
  if (bottom) quad(lo, {d.x, 0, 0}, {0, 0, d.z}, V3{0, -1, 0} * k, mat, 1, 1, r(d.x), r(d.z));
}

w3ds::Camera camera(const std::string& name, const std::vector<Shot>& shots, double lens) {
  w3ds::Camera c;
  c.name = name;
  c.position = shots.front().eye;
  c.target = shots.front().target;
  c.lens = lens > 0 ? lens : w3ds::lens_for_fov(shots.front().fov);
  for (const Shot& s : shots) {
    c.position_keys.push_back({{s.frame}, s.eye});
    c.target_keys.push_back({{s.frame}, s.target});
    c.fov_keys.push_back({{s.frame}, s.fov});
  }
  return c;
}

w3ds::Light light(const std::string& name, V3 position, V3 colour) {
  w3ds::Light l;
  l.name = name;
  l.position = position;
  l.colour = colour;
  l.position_keys.push_back({{0}, position});
  l.colour_keys.push_back({{0}, colour});
  return l;
}

void make_worlds(Forge& f) {
  f.write(data_file::kCatwalkWorld, w3ds::write(catwalk_world()));
  f.write(data_file::kBoxWorld, w3ds::write(box_world()));
  f.write(data_file::kDanceWorld, w3ds::write(dance_world()));
  f.write(data_file::kCityWorld, w3ds::write(city_world(f.rng("city"))));
  f.write(data_file::kCubeWorld, w3ds::write(cube_world()));
  f.write(data_file::kObjectWorld, w3ds::write(object_world()));
}

}  // namespace forge
