// The cube the metaballs melt in, and the open object the flare scene turns around
// the viewer.
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

// A ring of radius R and tube radius r about the origin in the plane of unit axes
// e1, e2.
void torus(MeshBuilder& b, V3 e1, V3 e2, double R, double r, int seg, int sides, int mat) {
  V3 nrm = cross(e1, e2);
  std::vector<std::vector<uint16_t>> rows;
  for (int i = 0; i <= seg; ++i) {
    double a = 2 * kPi * i / seg;
    V3 radial = e1 * std::cos(a) + e2 * std::sin(a);
    std::vector<uint16_t> row;
    for (int j = 0; j <= sides; ++j) {
      double c = 2 * kPi * j / sides;
      V3 p = radial * (R + r * std::cos(c)) + nrm * (r * std::sin(c));
      row.push_back(b.vert(p, 4.0 * i / seg, static_cast<double>(j) / sides));
    }
    rows.push_back(row);
  }
  for (int i = 0; i < seg; ++i) {
    double a = 2 * kPi * (i + 0.5) / seg;
    V3 centre = (e1 * std::cos(a) + e2 * std::sin(a)) * R;
    for (int j = 0; j < sides; ++j) {
      uint16_t p = rows[i][j], q = rows[i + 1][j], u = rows[i][j + 1], v = rows[i + 1][j + 1];
      V3 out = (b.m.vertices[p] + b.m.vertices[v]) * 0.5 - centre;
      b.tri(p, q, v, out, mat);
      b.tri(p, v, u, out, mat);
    }
  }
}

// A square strut between two points.
void strut(MeshBuilder& b, V3 from, V3 to, double r, int mat) {
  V3 ax = normalise(to - from);
  V3 side = normalise(cross(ax, std::abs(ax.y) < 0.9 ? V3{0, 1, 0} : V3{1, 0, 0}));
  V3 up = cross(ax, side);
  V3 off[4] = {side * r, up * r, side * -r, up * -r};
  uint16_t lo[4], hi[4];
  for (int k = 0; k < 4; ++k)
    lo[k] = b.vert(from + off[k], k / 4.0, 0), hi[k] = b.vert(to + off[k], k / 4.0, 2);
  for (int k = 0; k < 4; ++k) {
    V3 out = off[k] + off[(k + 1) % 4];
    b.tri(lo[k], lo[(k + 1) % 4], hi[(k + 1) % 4], out, mat);
    b.tri(lo[k], hi[(k + 1) % 4], hi[k], out, mat);
  }
}

// A petal: a thin double-sided leaf pointing out from the centre.
void petal(MeshBuilder& b, V3 dir, V3 across, double r0, double r1, double w, int mat) {
  dir = normalise(dir);
  across = normalise(across);
  V3 thick = normalise(cross(dir, across)) * 3.0;
  V3 base = dir * r0, tip = dir * r1, mid = dir * ((r0 + r1) * 0.5);
  uint16_t t0 = b.vert(base, 0.5, 0), t1 = b.vert(tip, 0.5, 1);
  uint16_t l = b.vert(mid + across * w, 0, 0.5), r = b.vert(mid - across * w, 1, 0.5);
  uint16_t f = b.vert(mid + thick, 0.5, 0.5), k = b.vert(mid - thick, 0.5, 0.5);
  for (uint16_t side : {l, r})
    for (uint16_t face : {f, k}) {
      V3 out = b.m.vertices[face] - mid;
      b.tri(t0, side, face, out, mat);
      b.tri(t1, side, face, out, mat);
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
  const V3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
  // Rings in the three planes and three tilted between them, with gaps for the flares.
  torus(b, x, z, 62, 7, 24, 6, mat);
  torus(b, x, y, 102, 8, 28, 6, mat);
  torus(b, y, z, 140, 9, 32, 6, mat);
  const double c = std::sqrt(0.5);
  torus(b, x, V3{0, c, c}, 82, 6, 24, 6, mat);
  torus(b, z, V3{c, c, 0}, 121, 7, 28, 6, mat);
  torus(b, y, V3{c, 0, -c}, 158, 7, 32, 6, mat);
  // Struts from the inner to the outer rings.
  for (V3 d : {x, x * -1.0, z, z * -1.0}) strut(b, d * 69, d * 131, 3, mat);
  for (V3 d : {y, y * -1.0}) strut(b, d * 94, d * 131, 3, mat);
  // Petals between the rings, on two staggered crowns.
  for (int i = 0; i < 16; ++i) {
    double a = 2 * kPi * (i + 0.5) / 16;
    double lift = (i % 2 ? 0.55 : -0.55);
    V3 dir{std::cos(a), lift, std::sin(a)};
    petal(b, dir, V3{-std::sin(a), 0, std::cos(a)}, 70, 165, 14, mat);
  }
  s.meshes.push_back(std::move(m));
  s.lights.push_back(light("Light01", {0, 0, 0}, {0.6, 0.9, 0.4}));
  s.lights.push_back(light("Light02", {180, 0, 0}, {0.6, 0.4, 0.8}));
  return s;
}

}  // namespace forge
