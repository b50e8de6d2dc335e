// The cube the metaballs melt in, and the open object of nested belts the flare scene
// turns around the viewer.
#include <array>

#include "forge_3d.h"

namespace forge {

w3ds::Scene cube_world() {
  w3ds::Scene s;
  s.last_frame = 100;
  w3ds::Mesh m;
  m.name = "Cube";
  MeshBuilder b{m};
  const int mat = material(s, "MATERIAL #1");
  const double h = 60, n = 4;
  // Six sides seen from inside: the metaball camera sits within the cube.
  b.quad({-h, -h, -h}, {2 * h, 0, 0}, {0, 2 * h, 0}, {0, 0, 1}, mat, n, n);
  b.quad({-h, -h, h}, {2 * h, 0, 0}, {0, 2 * h, 0}, {0, 0, -1}, mat, n, n);
  b.quad({-h, -h, -h}, {0, 0, 2 * h}, {0, 2 * h, 0}, {1, 0, 0}, mat, n, n);
  b.quad({h, -h, -h}, {0, 0, 2 * h}, {0, 2 * h, 0}, {-1, 0, 0}, mat, n, n);
  b.quad({-h, -h, -h}, {2 * h, 0, 0}, {0, 0, 2 * h}, {0, 1, 0}, mat, n, n);
  b.quad({-h, h, -h}, {2 * h, 0, 0}, {0, 0, 2 * h}, {0, -1, 0}, mat, n, n);
  s.meshes.push_back(std::move(m));
  s.lights.push_back(light("Light01", {-40, 30, -40}, {0.6, 0.9, 0.4}));
  s.lights.push_back(light("Light02", {40, -30, 40}, {0.6, 0.4, 0.8}));
  return s;
}

namespace {

// A ring on the sphere of radius R about the origin: the band between the cone angles
// cone -+ width around `axis`, cut into `dashes` pieces with gaps between them. Every
// vertex lies at distance R, so the wobble turns the whole ring with one rotation; the
// gaps show it turning about its own axis. Seen from the centre, where it reads as a
// circle (a band on a great circle would read as a straight bar).
void ring(MeshBuilder& b, V3 axis, double R, double cone, double width, int dashes, int mat) {
  axis = normalise(axis);
  const V3 e1 = normalise(cross(axis, std::abs(axis.y) < 0.9 ? V3{0, 1, 0} : V3{1, 0, 0}));
  const V3 e2 = cross(axis, e1);
  const double dash = 2 * kPi / dashes, filled = dash * 0.8;
  const int per_dash = static_cast<int>(std::ceil(filled * std::sin(cone) / (3 * kPi / 180)));
  for (int d = 0; d < dashes; ++d) {
    std::vector<std::array<uint16_t, 2>> cols;
    for (int i = 0; i <= per_dash; ++i) {
      const double a = d * dash + filled * i / per_dash;
      const V3 around = e1 * std::cos(a) + e2 * std::sin(a);
      std::array<uint16_t, 2> col;
      for (int j = 0; j < 2; ++j) {
        const double c = cone + (j ? width : -width);
        const V3 p = (axis * std::cos(c) + around * std::sin(c)) * R;
        col[j] = b.vert(p, static_cast<double>(i) / per_dash, j);
      }
      cols.push_back(col);
    }
    for (int i = 0; i < per_dash; ++i) {
      const uint16_t p = cols[i][0], q = cols[i + 1][0], u = cols[i][1], v = cols[i + 1][1];
      const V3 in = (b.m.vertices[p] + b.m.vertices[v]) * -0.5;  // towards the viewer
      b.tri(p, q, v, in, mat);
      b.tri(p, v, u, in, mat);
    }
  }
}

}  // namespace

w3ds::Scene object_world() {
  w3ds::Scene s;
  s.last_frame = 100;
  w3ds::Mesh m;
  m.name = "Object";
  MeshBuilder b{m};
  const int mat = -1;  // the default material carries the colour map
  // At rest, two targets of nested rings, one ahead of the viewer and one behind: each
  // ring 20 units farther out and wider than the one inside it. Thirteen history steps lie
  // between neighbours, so the wobble pulls them apart ring by ring.
  const double deg = kPi / 180;
  for (int k = 0; k < 7; ++k)
    for (double side : {1.0, -1.0})
      ring(b, V3{0.2, 0.3, 1} * side, 45 + 20 * k, (10 + 5 * k) * deg, (2.4 + 0.2 * k) * deg, 5 + k,
           mat);
  s.meshes.push_back(std::move(m));
  s.lights.push_back(light("Light01", {0, 0, 0}, {0.6, 0.9, 0.4}));
  s.lights.push_back(light("Light02", {180, 0, 0}, {0.6, 0.4, 0.8}));
  return s;
}

}  // namespace forge
