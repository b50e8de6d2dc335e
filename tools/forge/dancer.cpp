#include "dancer.h"

#include <algorithm>
#include <vector>

#include "forge_3d.h"

namespace forge::dancer {
namespace {

// Standing at the origin, facing -z (towards the audience), 180 units tall. The
// dancer's left side is +x. The nine mirrored parts are those the show's start-up turns
// the normals of.
const PartInfo kInfo[kParts] = {
    {"Hip", -1, {0, 95, 0}, true},
    {"Chest", kHip, {0, 104, 0}, true},
    {"Neck", kChest, {0, 148, 0}, true},
    {"Head", kNeck, {0, 157, 0}, false},
    {"ArmUpper_L", kChest, {20, 144, 0}, false},
    {"ArmLower_L", kArmUpperL, {21, 116, 0}, false},
    {"Hand_L", kArmLowerL, {22, 91, 0}, false},
    {"ArmUpper_R", kChest, {-20, 144, 0}, true},
    {"ArmLower_R", kArmUpperR, {-21, 116, 0}, true},
    {"Hand_R", kArmLowerR, {-22, 91, 0}, true},
    {"LegUpper_L", kHip, {9, 88, 0}, false},
    {"LegLower_L", kLegUpperL, {10, 48, 0}, false},
    {"Fot_L", kLegLowerL, {10, 8, 0}, false},
    {"LegUpper_R", kHip, {-9, 88, 0}, true},
    {"LegLower_R", kLegUpperR, {-10, 48, 0}, true},
    {"Fot_R", kLegLowerR, {-10, 8, 0}, true},
};

const M4 kMirror = scale({-1, 1, 1});

// Cross-sections of a limb from its joint down to its end: distance along, half-width
// (x), half-depth (z).
struct Ring {
  double t, hw, hd;
};
struct Limb {
  V3 top, bottom;
  std::vector<Ring> rings;
  const char* material;
  const char* back_material;  // faces towards +z (the back), or null
};

Limb limb_of(int p) {
  const V3 j = kInfo[p].joint;
  double s = j.x < 0 ? -1 : 1;
  switch (p) {
    case kHip:
      return {{0, 106, 0},
              {0, 82, 0},
              {{0, 15, 10}, {0.5, 18, 11.5}, {1, 13, 9}},
              "HipFront",
              "HipBack"};
    case kChest:
      // Mapped from the shoulders down, like the hip, so the pictures stand upright.
      return {{0, 149, 0},
              {0, 104, 0},
              {{0, 13, 8}, {0.2, 19, 11}, {0.55, 16, 11}, {1, 14, 9.5}},
              "ChestFront",
              "ChestBack"};
    case kNeck:
      return {{0, 146, 0}, {0, 160, 0}, {{0, 5.5, 5.5}, {1, 4.8, 4.8}}, "skin", nullptr};
    case kArmUpperL:
    case kArmUpperR:
      return {j + V3{0, 3, 0},
              {s * 21, 116, 0},
              {{0, 5.5, 5.5}, {0.5, 5, 5}, {1, 4, 4}},
              "skin",
              nullptr};
    case kArmLowerL:
    case kArmLowerR:
      return {j, {s * 22, 92, 0}, {{0, 4, 4}, {0.4, 4.2, 4.2}, {1, 3, 3}}, "ArmGlove", nullptr};
    case kHandL:
    case kHandR:
      return {j, {s * 22, 75, -1}, {{0, 3, 2.2}, {0.5, 4, 2}, {1, 2.5, 1.5}}, "ArmGlove", nullptr};
    case kLegUpperL:
    case kLegUpperR:
      return {j + V3{0, 3, 0},
              {s * 10, 48, 0},
              {{0, 8.5, 8.5}, {0.4, 8, 8}, {1, 5.5, 5.5}},
              "black",
              nullptr};
    case kLegLowerL:
    case kLegLowerR:
      return {j, {s * 10, 8, 0}, {{0, 5.5, 5.5}, {0.3, 5.5, 6}, {1, 3.5, 3.5}}, "black", nullptr};
    default:
      return {};
  }
}

// Collects one part's triangles in world rest space, wound so that a face seen from
// outside is drawn (the engine keeps faces whose corner cross product points away from
// the eye).
struct Builder {
  w3ds::Mesh& m;
  void tri(uint16_t a, uint16_t b, uint16_t c, V3 outward, int material) {
    V3 n = cross(m.vertices[b] - m.vertices[a], m.vertices[c] - m.vertices[a]);
    if (dot(n, outward) > 0) std::swap(b, c);
    m.faces.push_back({a, b, c, 7, material});
  }
  uint16_t vert(V3 p, double u, double v) {
    m.vertices.push_back(p);
    m.u.push_back(u);
    m.v.push_back(v);
    return static_cast<uint16_t>(m.vertices.size() - 1);
  }
};

// The picture row of a point `t` along a limb, top row at the joint. Kept just inside the
// picture: v = 0 and v = 1 both land on the top row once the engine wraps them.
double picture_v(double t) {
  return 0.998 - 0.996 * t;
}

// A lofted limb: rings of `sides` corners (with a repeated seam column so the mapping
// does not wrap), capped at both ends.
void loft(Builder& b, const Limb& l, int sides, int front, int back) {
  V3 axis = normalise(l.bottom - l.top);
  V3 side_x{1, 0, 0};
  V3 side_z = normalise(cross(side_x, axis));
  if (side_z.z < 0) side_z = side_z * -1.0;
  side_x = normalise(cross(axis, side_z));
  if (side_x.x < 0) side_x = side_x * -1.0;
  std::vector<std::vector<uint16_t>> rings;
  for (const Ring& r : l.rings) {
    V3 c = lerp(l.top, l.bottom, r.t);
    std::vector<uint16_t> ring;
    for (int i = 0; i <= sides; ++i) {
      double a = 2 * kPi * i / sides + (sides == 4 ? kPi / 4 : 0);
      double ca = std::cos(a), sa = std::sin(a);
      if (sides == 4) ca = ca > 0 ? 1 : -1, sa = sa > 0 ? 1 : -1;
      V3 p = c + side_x * (r.hw * ca) + side_z * (r.hd * sa);
      ring.push_back(b.vert(p, static_cast<double>(i) / sides, picture_v(r.t)));
    }
    rings.push_back(ring);
  }
  // Parts with a front and a back picture take each straight on: u across the body
  // (the dancer's right at u = 0 as seen from the front), v along it.
  if (back >= 0) {
    double widest = 0;
    for (const Ring& r : l.rings) widest = std::max(widest, r.hw);
    for (const auto& ring : rings)
      for (uint16_t i : ring) b.m.u[i] = 0.5 + 0.49 * dot(b.m.vertices[i] - l.top, side_x) / widest;
  }
  for (size_t k = 0; k + 1 < rings.size(); ++k)
    for (int i = 0; i < sides; ++i) {
      uint16_t a = rings[k][i], bb = rings[k][i + 1], c = rings[k + 1][i], d = rings[k + 1][i + 1];
      V3 mid = (b.m.vertices[a] + b.m.vertices[d]) * 0.5;
      V3 centre = lerp(l.top, l.bottom, (l.rings[k].t + l.rings[k + 1].t) * 0.5);
      V3 out = mid - centre;
      int mat = (back >= 0 && out.z > 0) ? back : front;
      b.tri(a, bb, d, out, mat);
      b.tri(a, d, c, out, mat);
    }
  for (int end = 0; end < 2; ++end) {
    const auto& ring = end == 0 ? rings.front() : rings.back();
    V3 centre = end == 0 ? l.top : l.bottom;
    V3 out = end == 0 ? axis * -1.0 : axis;
    uint16_t c = b.vert(centre, 0.5, picture_v(end));
    for (int i = 0; i < sides; ++i) b.tri(c, ring[i], ring[i + 1], out, front);
  }
}

// The head: an egg with the face in front and hair over the top and back.
void head(Builder& b, V3 centre, int bands, int sides, int face, int hair) {
  const V3 radius{9.5, 12, 11};
  std::vector<std::vector<uint16_t>> rows;
  for (int j = 0; j <= bands; ++j) {
    double th = kPi * j / bands;  // 0 at the top
    std::vector<uint16_t> row;
    for (int i = 0; i <= sides; ++i) {
      double ph = 2 * kPi * i / sides;  // 0 straight to the front (-z)
      V3 d{std::sin(th) * std::sin(ph), std::cos(th), -std::sin(th) * std::cos(ph)};
      V3 p = centre + V3{d.x * radius.x, d.y * radius.y, d.z * radius.z};
      // The face picture spans the front half: u across, v up, kept off the picture's
      // edges so the chin and crown do not wrap to the opposite edge.
      double u = 0.5 + 0.48 * d.x, v = 0.5 + 0.48 * d.y;
      row.push_back(b.vert(p, u, v));
    }
    rows.push_back(row);
  }
  for (int j = 0; j < bands; ++j)
    for (int i = 0; i < sides; ++i) {
      uint16_t a = rows[j][i], bb = rows[j][i + 1], c = rows[j + 1][i], d = rows[j + 1][i + 1];
      V3 mid = (b.m.vertices[a] + b.m.vertices[d]) * 0.5;
      V3 out = mid - centre;
      // Face where the front looks out below the hairline; hair elsewhere.
      bool front = out.z < -0.45 * radius.z && mid.y < centre.y + 6;
      if (j == 0)
        b.tri(a, d, c, out, front ? face : hair);
      else if (j == bands - 1)
        b.tri(a, bb, c, out, front ? face : hair);
      else {
        b.tri(a, bb, d, out, front ? face : hair);
        b.tri(a, d, c, out, front ? face : hair);
      }
    }
}

// A foot: a wedge-shaped shoe from the ankle forward to the toes.
void foot(Builder& b, V3 ankle, bool boxy, int mat) {
  const double x0 = ankle.x - 4.5, x1 = ankle.x + 4.5;
  struct Sec {
    double z, top;
  };
  std::vector<Sec> secs = boxy ? std::vector<Sec>{{6, 9}, {-20, 9}}
                               : std::vector<Sec>{{6, 9}, {-4, 8}, {-14, 4.5}, {-20, 2.5}};
  std::vector<std::array<uint16_t, 4>> rings;
  for (size_t k = 0; k < secs.size(); ++k) {
    double v = static_cast<double>(k) / (secs.size() - 1);
    rings.push_back({b.vert({x0, 0, secs[k].z}, 0, v), b.vert({x1, 0, secs[k].z}, 0.33, v),
                     b.vert({x1, secs[k].top, secs[k].z}, 0.66, v),
                     b.vert({x0, secs[k].top, secs[k].z}, 1, v)});
  }
  V3 centre{ankle.x, 3.5, -7};
  for (size_t k = 0; k + 1 < rings.size(); ++k)
    for (int i = 0; i < 4; ++i) {
      uint16_t a = rings[k][i], bb = rings[k][(i + 1) % 4], c = rings[k + 1][i],
               d = rings[k + 1][(i + 1) % 4];
      V3 mid = (b.m.vertices[a] + b.m.vertices[d]) * 0.5;
      V3 out = mid - V3{centre.x, centre.y, mid.z};
      b.tri(a, bb, d, out, mat);
      b.tri(a, d, c, out, mat);
    }
  for (int end = 0; end < 2; ++end) {
    const auto& r = end == 0 ? rings.front() : rings.back();
    V3 out{0, 0, end == 0 ? 1.0 : -1.0};
    b.tri(r[0], r[1], r[2], out, mat);
    b.tri(r[0], r[2], r[3], out, mat);
  }
}

}  // namespace

const PartInfo& info(int part) {
  return kInfo[part];
}

Placement place(Pose pose, bool ground) {
  auto chain = [&](const Pose& ps) {
    Placement w;
    for (int p = 0; p < kParts; ++p) {
      const PartInfo& in = kInfo[p];
      if (in.parent < 0)
        w[p] = ps.local[p] * translate(ps.root);
      else
        w[p] = ps.local[p] * translate(in.joint - kInfo[in.parent].joint) * w[in.parent];
    }
    return w;
  };
  Placement w = chain(pose);
  if (ground) {
    double low = 1e9;
    for (int p : {kFotL, kFotR}) {
      V3 j = kInfo[p].joint;
      for (double x : {-4.5, 4.5})
        for (double z : {6.0, -20.0}) {
          V3 sole{j.x + x, 0, z};
          low = std::min(low, transform(sole - j, w[p]).y);
        }
    }
    pose.root.y -= low;
    w = chain(pose);
  }
  for (int p = 0; p < kParts; ++p)
    if (kInfo[p].mirrored) w[p] = kMirror * w[p];
  return w;
}

void add_meshes(w3ds::Scene& scene, Style style) {
  const bool boxy = style == Style::kBoxes;
  for (int p = 0; p < kParts; ++p) {
    const PartInfo& in = kInfo[p];
    w3ds::Mesh m;
    m.name = in.name;
    m.matrix = in.mirrored ? kMirror * translate(in.joint) : translate(in.joint);
    Builder b{m};
    if (p == kHead) {
      head(b, {0, 169, 0}, boxy ? 4 : 7, boxy ? 4 : 10, material(scene, "face"),
           material(scene, "hair"));
    } else if (p == kFotL || p == kFotR) {
      foot(b, in.joint, boxy, material(scene, "black"));
    } else {
      Limb l = limb_of(p);
      if (boxy) l.rings = {l.rings.front(), l.rings.back()};
      int back = l.back_material ? material(scene, l.back_material) : -1;
      loft(b, l, boxy ? 4 : 8, material(scene, l.material), back);
    }
    scene.meshes.push_back(std::move(m));
  }
}

}  // namespace forge::dancer
