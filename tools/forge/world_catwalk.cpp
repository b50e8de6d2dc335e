// The catwalk: a runway from the audience (at -z) far into the hall (+z), lined with
// poles and ropes, a backdrop at the far end, and the dancer who walks it.
#include "forge_3d.h"

namespace forge {
namespace {

constexpr double kFloorY = 0, kSkirtY = -70;
constexpr double kHalfWidth = 90, kNear = -200, kFar = 1500;

void runway(w3ds::Scene& s) {
  w3ds::Mesh m;
  m.name = "Runway";
  MeshBuilder b{m};
  const int floor = material(s, "Cat_Floor"), side = material(s, "Cat_Side");
  const double len = kFar - kNear;
  b.quad({-kHalfWidth, kFloorY, kNear}, {2 * kHalfWidth, 0, 0}, {0, 0, len}, {0, 1, 0}, floor, 2,
         17, 1, len / 180.0);
  for (double x : {-kHalfWidth, kHalfWidth})
    b.quad({x, kSkirtY, kNear}, {0, 0, len}, {0, kFloorY - kSkirtY, 0}, {x, 0, 0}, side, 17, 1, 17,
           1);
  b.quad({-kHalfWidth, kSkirtY, kNear}, {2 * kHalfWidth, 0, 0}, {0, kFloorY - kSkirtY, 0},
         {0, 0, -1}, side, 2, 1, 2, 1);
  s.meshes.push_back(std::move(m));
}

void trim(w3ds::Scene& s) {
  w3ds::Mesh m;
  m.name = "Trim";
  MeshBuilder b{m};
  const int gold = material(s, "Gold");
  for (double x : {-kHalfWidth - 4, kHalfWidth - 2})
    b.box({x, kFloorY - 5, kNear}, {x + 6, kFloorY + 2, kFar}, gold, 60, false, false);
  b.box({-kHalfWidth - 4, kFloorY - 5, kNear - 6}, {kHalfWidth + 4, kFloorY + 2, kNear}, gold, 60,
        false, false);
  s.meshes.push_back(std::move(m));
}

// Poles along both sides with a gold ball on top, and ropes sagging between them.
void poles_and_ropes(w3ds::Scene& s) {
  w3ds::Mesh poles, ropes;
  poles.name = "Poles";
  ropes.name = "Ropes";
  MeshBuilder pb{poles}, rb{ropes};
  const int pole = material(s, "Pole"), rope = material(s, "Rope"), gold = material(s, "Gold");
  const double px = 130, top = 120, r = 4;
  for (double x : {-px, px})
    for (int i = 0; i < 8; ++i) {
      double z = i * 200.0;
      std::vector<uint16_t> lo, hi;
      for (int k = 0; k <= 6; ++k) {
        double a = 2 * kPi * k / 6;
        lo.push_back(pb.vert({x + r * std::cos(a), kSkirtY, z + r * std::sin(a)}, k / 6.0, 0));
        hi.push_back(pb.vert({x + r * std::cos(a), top, z + r * std::sin(a)}, k / 6.0, 4));
      }
      for (int k = 0; k < 6; ++k) {
        V3 out{std::cos(2 * kPi * (k + 0.5) / 6), 0, std::sin(2 * kPi * (k + 0.5) / 6)};
        pb.tri(lo[k], lo[k + 1], hi[k + 1], out, pole);
        pb.tri(lo[k], hi[k + 1], hi[k], out, pole);
      }
      // The ball: an octahedron is enough at this size.
      V3 c{x, top + 6, z};
      const double br = 7;
      V3 pts[6] = {{br, 0, 0}, {0, 0, br}, {-br, 0, 0}, {0, 0, -br}, {0, br, 0}, {0, -br, 0}};
      uint16_t id[6];
      for (int k = 0; k < 6; ++k)
        id[k] = pb.vert(c + pts[k], 0.5 + pts[k].x / (2 * br), 0.5 + pts[k].y / (2 * br));
      for (int k = 0; k < 4; ++k)
        for (int pole_end : {4, 5}) {
          V3 out = (pts[k] + pts[(k + 1) % 4] + pts[pole_end]) * (1.0 / 3);
          pb.tri(id[k], id[(k + 1) % 4], id[pole_end], out, gold);
        }
      if (i == 7) continue;
      // Rope to the next pole: three sagging segments of a square tube.
      const int segs = 3;
      std::vector<std::array<uint16_t, 4>> rings;
      std::vector<V3> centres;
      for (int k = 0; k <= segs; ++k) {
        double t = static_cast<double>(k) / segs;
        V3 c{x, top - 8 - 22 * 4 * t * (1 - t), z + 200 * t};
        std::array<uint16_t, 4> ring;
        const double rr = 1.6;
        V3 off[4] = {{rr, 0, 0}, {0, rr, 0}, {-rr, 0, 0}, {0, -rr, 0}};
        for (int q = 0; q < 4; ++q) ring[q] = rb.vert(c + off[q], q / 4.0, t * 4);
        rings.push_back(ring);
        centres.push_back(c);
      }
      for (int k = 0; k < segs; ++k)
        for (int q = 0; q < 4; ++q) {
          V3 out = (ropes.vertices[rings[k][q]] + ropes.vertices[rings[k][(q + 1) % 4]]) * 0.5 -
                   centres[k];
          rb.tri(rings[k][q], rings[k][(q + 1) % 4], rings[k + 1][(q + 1) % 4], out, rope);
          rb.tri(rings[k][q], rings[k + 1][(q + 1) % 4], rings[k + 1][q], out, rope);
        }
    }
  s.meshes.push_back(std::move(poles));
  s.meshes.push_back(std::move(ropes));
}

// The backdrop closes the hall behind the audience, framed by two side panels; the far
// end of the runway fades into the dark. Nothing stands behind the dancer as camera 0
// sees her, so the silhouettes recorded from it show her against the dark.
void backdrop(w3ds::Scene& s) {
  w3ds::Mesh m;
  m.name = "Backdrop";
  MeshBuilder b{m};
  const int vog = material(s, "Vog"), side = material(s, "Cat_Side");
  const double z = -700;
  // Seen from the runway (looking towards -z), so the picture's u runs towards -x.
  b.quad({300, 40, z}, {-600, 0, 0}, {0, 330, 0}, {0, 0, 1}, vog, 4, 2, 1, 1);
  b.quad({-300, kSkirtY, z}, {600, 0, 0}, {0, 40 - kSkirtY, 0}, {0, 0, 1}, side, 4, 1, 6, 1);
  b.quad({-420, kSkirtY, z}, {120, 0, 0}, {0, 470, 0}, {0, 0, 1}, side, 1, 2, 1, 4);
  b.quad({300, kSkirtY, z}, {120, 0, 0}, {0, 470, 0}, {0, 0, 1}, side, 1, 2, 1, 4);
  s.meshes.push_back(std::move(m));
}

}  // namespace

w3ds::Scene catwalk_world() {
  w3ds::Scene s;
  s.last_frame = 400;
  dancer::add_meshes(s, dancer::Style::kRounded);
  runway(s);
  trim(s);
  poles_and_ropes(s);
  backdrop(s);

  // World keyframes run at 22.5 a second and the walk at a third of that, so the
  // dancer stands at walk_z(k / 3) at keyframe k.
  auto dz = [](int k) { return walk_z(k / 3.0); };

  // Camera 0 walks backwards in front of the dancer at her chest height, close enough
  // that she fills its picture from the head to the shins against the dark hall (the
  // silhouettes are recorded from it over keyframes 0-199), then eases round her at the
  // end. Its lens sets the spotlight cones (x 2/3 and / 2.1 degrees wide).
  // While it records, the camera sways from side to side with a period of four echo
  // spacings, so the echoes 40 keyframes apart stand side by side instead of on top of
  // each other.
  std::vector<Shot> c0;
  for (int k = 0; k <= 240; k += 15) {
    const double sway = 28 * std::sin(2 * kPi * k / 160.0);
    c0.push_back({k, {25 + sway, 112, dz(k) - 300}, {sway, 107, dz(k)}, 38});
  }
  c0.push_back({275, {60, 115, -290}, {0, 106, 0}, 38});
  c0.push_back({315, {-40, 118, -280}, {0, 108, 0}, 38});
  c0.push_back({360, {-90, 112, -270}, {0, 106, 0}, 38});
  c0.push_back({400, {25, 112, -300}, {0, 106, 0}, 38});
  s.cameras.push_back(camera("Camera01", c0, 130));

  // Camera 1: low at the side as she arrives and stops.
  s.cameras.push_back(camera("Camera02", {{0, {-260, 35, 200}, {0, 110, dz(0)}, 50},
                                          {200, {-270, 35, -40}, {0, 110, dz(200)}, 50},
                                          {240, {-230, 50, -120}, {0, 105, 0}, 48},
                                          {280, {-180, 70, -200}, {0, 100, 0}, 46},
                                          {400, {-150, 80, -260}, {0, 100, 0}, 46}}));

  // Camera 2: high and wide over the runway, keeping pace with her.
  std::vector<Shot> c2;
  for (int k = 0; k <= 240; k += 20)
    c2.push_back({k, {320, 300, dz(k) - 200}, {0, 40, dz(k) + 60}, 60});
  c2.push_back({400, {320, 300, -200}, {0, 40, 60}, 60});
  s.cameras.push_back(camera("Camera03", c2));

  // Camera 3 circles the dancer once over the whole segment; first and last keys meet,
  // the end keys' bias keeps the speed through the seam. It rises as it passes the sides
  // so that it looks over the poles and ropes beside her rather than through them.
  std::vector<Shot> c3;
  for (int k = 0; k <= 400; k += 10) {
    double a = 2 * kPi * k / 400.0, side = std::sin(a) * std::sin(a);
    c3.push_back({k, {-330 * std::sin(a), 125 + 140 * side, -330 * std::cos(a)}, {0, 100, 0}, 50});
  }
  auto cam3 = camera("Camera04", c3);
  for (auto* keys : {&cam3.position_keys, &cam3.target_keys})
    keys->front().bias = keys->back().bias = 1;
  s.cameras.push_back(cam3);

  // Camera 4: a slow push in on the dancing figure.
  s.cameras.push_back(camera("Camera05", {{0, {0, 150, -430}, {0, 110, 0}, 40},
                                          {90, {45, 135, -330}, {0, 112, 0}, 40},
                                          {187, {95, 125, -240}, {0, 118, 0}, 40},
                                          {400, {120, 120, -200}, {0, 118, 0}, 40}}));
  // Camera 5: a fast crane from the floor up over her head.
  s.cameras.push_back(camera("Camera06", {{0, {-160, 25, -250}, {0, 100, 0}, 55},
                                          {22, {-60, 170, -260}, {0, 90, 0}, 55},
                                          {45, {40, 380, -220}, {0, 60, 0}, 55},
                                          {400, {60, 420, -200}, {0, 60, 0}, 55}}));
  return s;
}

}  // namespace forge
