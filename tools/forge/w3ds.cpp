#include "w3ds.h"

#include <cstring>
#include <stdexcept>

#include "engine/chunk_ids.h"

namespace forge {

void to_axis_angle(const M4& r, V3& axis, double& angle) {
  // Quaternion of the column-vector form (the transpose of r), largest term first.
  auto c = [&](int i, int j) { return r.m[j * 4 + i]; };
  double tr = c(0, 0) + c(1, 1) + c(2, 2);
  double w, x, y, z;
  if (tr > 0) {
    double s = std::sqrt(tr + 1.0) * 2;
    w = 0.25 * s, x = (c(2, 1) - c(1, 2)) / s, y = (c(0, 2) - c(2, 0)) / s,
    z = (c(1, 0) - c(0, 1)) / s;
  } else if (c(0, 0) > c(1, 1) && c(0, 0) > c(2, 2)) {
    double s = std::sqrt(1.0 + c(0, 0) - c(1, 1) - c(2, 2)) * 2;
    w = (c(2, 1) - c(1, 2)) / s, x = 0.25 * s, y = (c(0, 1) + c(1, 0)) / s,
    z = (c(0, 2) + c(2, 0)) / s;
  } else if (c(1, 1) > c(2, 2)) {
    double s = std::sqrt(1.0 + c(1, 1) - c(0, 0) - c(2, 2)) * 2;
    w = (c(0, 2) - c(2, 0)) / s, x = (c(0, 1) + c(1, 0)) / s, y = 0.25 * s,
    z = (c(1, 2) + c(2, 1)) / s;
  } else {
    double s = std::sqrt(1.0 + c(2, 2) - c(0, 0) - c(1, 1)) * 2;
    w = (c(1, 0) - c(0, 1)) / s, x = (c(0, 2) + c(2, 0)) / s, y = (c(1, 2) + c(2, 1)) / s,
    z = 0.25 * s;
  }
  if (w < 0) w = -w, x = -x, y = -y, z = -z;
  double sn = std::sqrt(x * x + y * y + z * z);
  if (sn < 1e-12) {
    axis = {0, 1, 0};
    angle = 0;
    return;
  }
  axis = {x / sn, y / sn, z / sn};
  angle = 2 * std::atan2(sn, w);
}

namespace w3ds {
namespace {

// Little-endian byte sink with nested chunks whose lengths are patched on close.
class Out {
 public:
  std::vector<uint8_t> b;
  void u8(uint8_t v) { b.push_back(v); }
  void u16(uint16_t v) { u8(v & 0xff), u8(v >> 8); }
  void u32(uint32_t v) { u16(v & 0xffff), u16(v >> 16); }
  void f32(double d) {
    float f = static_cast<float>(d);
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
  void vec(V3 v) { f32(v.x), f32(v.y), f32(v.z); }
  void str(const std::string& s) {
    for (char c : s) u8(static_cast<uint8_t>(c));
    u8(0);
  }
  size_t open(uint16_t id) {
    size_t at = b.size();
    u16(id);
    u32(0);
    return at;
  }
  void close(size_t at) {
    uint32_t len = static_cast<uint32_t>(b.size() - at);
    for (int i = 0; i < 4; ++i) b[at + 2 + i] = static_cast<uint8_t>(len >> (8 * i));
  }
};

void key_header(Out& o, const Key& k) {
  o.u32(static_cast<uint32_t>(k.frame));
  uint16_t flags = (k.tension != 0 ? 1 : 0) | (k.continuity != 0 ? 2 : 0) | (k.bias != 0 ? 4 : 0) |
                   (k.ease_to != 0 ? 8 : 0) | (k.ease_from != 0 ? 16 : 0);
  o.u16(flags);
  if (flags & 1) o.f32(k.tension);
  if (flags & 2) o.f32(k.continuity);
  if (flags & 4) o.f32(k.bias);
  if (flags & 8) o.f32(k.ease_to);
  if (flags & 16) o.f32(k.ease_from);
}

void track_header(Out& o, size_t keys) {
  o.u16(0);  // no repeat: the World's segment does the wrapping
  o.u32(0), o.u32(0);
  o.u32(static_cast<uint32_t>(keys));
}

// Positions and scales are points of the engine frame; the file has y and z exchanged.
void vec_track(Out& o, uint16_t id, const std::vector<VecKey>& keys, bool swap) {
  size_t c = o.open(id);
  track_header(o, keys.size());
  for (const auto& k : keys) {
    key_header(o, k);
    o.vec(swap ? swap_yz(k.v) : k.v);
  }
  o.close(c);
}

void float_track(Out& o, uint16_t id, const std::vector<FloatKey>& keys) {
  size_t c = o.open(id);
  track_header(o, keys.size());
  for (const auto& k : keys) {
    key_header(o, k);
    o.f32(k.v);
  }
  o.close(c);
}

// The file's rotation keys are steps relative to the key before; the loader builds
// each step with the axis's y and z exchanged and the angle unchanged.
void rot_track(Out& o, const std::vector<RotKey>& keys) {
  size_t c = o.open(chunk_id::kRotationTrack);
  track_header(o, keys.size());
  M4 prev;
  for (const auto& k : keys) {
    key_header(o, k);
    M4 step = transpose3(prev) * k.r;
    V3 axis;
    double angle;
    to_axis_angle(step, axis, angle);
    o.f32(angle);
    o.vec(swap_yz(axis));
    prev = k.r;
  }
  o.close(c);
}

void node(Out& o, uint16_t kind, int id, const std::string& name, auto&& tracks) {
  size_t c = o.open(kind);
  size_t i = o.open(chunk_id::kNodeId);
  o.u16(static_cast<uint16_t>(id));
  o.close(i);
  size_t h = o.open(chunk_id::kNodeHeader);
  o.str(name);
  o.u16(0), o.u16(0);
  o.u16(0xffff);  // no parent: every node is placed in world space
  o.close(h);
  tracks();
  o.close(c);
}

void colour_f(Out& o, V3 c) {
  size_t k = o.open(chunk_id::kColourFloat);
  o.vec(c);
  o.close(k);
}

void colour_24(Out& o, uint8_t r, uint8_t g, uint8_t b) {
  size_t k = o.open(chunk_id::kColourBytes);
  o.u8(r), o.u8(g), o.u8(b);
  o.close(k);
}

}  // namespace

double lens_for_fov(double fov) {
  return 18.0 / std::tan(deg(fov) * 0.5);
}

size_t face_count(const Scene& s) {
  size_t n = 0;
  for (const auto& m : s.meshes) n += m.faces.size();
  return n;
}

void check(const Scene& s) {
  auto name = [](const std::string& n, const char* what) {
    if (n.empty() || n.size() > 31)
      throw std::runtime_error(std::string(what) + " name \"" + n +
                               "\" is empty or longer than 31 bytes");
  };
  if (s.last_frame <= 0 || s.first_frame < 0 || s.first_frame >= s.last_frame)
    throw std::runtime_error("keyframe segment must end above 0 and after its start");
  for (const auto& m : s.materials) name(m.name, "material");
  auto keys_ordered = [](const auto& keys, const std::string& who) {
    for (size_t i = 1; i < keys.size(); ++i)
      if (keys[i].frame <= keys[i - 1].frame)
        throw std::runtime_error("keys out of order in " + who);
    for (const auto& k : keys)
      if (k.frame < 0 || k.frame > 32767)
        throw std::runtime_error("key frame out of range in " + who);
  };
  for (const auto& m : s.meshes) {
    name(m.name, "mesh");
    if (m.vertices.empty() || m.vertices.size() >= 32768 || m.faces.size() >= 32768)
      throw std::runtime_error("mesh \"" + m.name +
                               "\" has no vertices or 32768 or more vertices or faces");
    if (!m.u.empty() && (m.u.size() != m.vertices.size() || m.v.size() != m.vertices.size()))
      throw std::runtime_error("mesh \"" + m.name +
                               "\" has mapping for the wrong number of vertices");
    for (const auto& f : m.faces) {
      if (f.a >= m.vertices.size() || f.b >= m.vertices.size() || f.c >= m.vertices.size())
        throw std::runtime_error("mesh \"" + m.name + "\" has a face index out of range");
      if (f.material >= static_cast<int>(s.materials.size()))
        throw std::runtime_error("mesh \"" + m.name + "\" names a material that is not there");
    }
    if (std::abs(std::abs(det3(m.matrix)) - 1.0) > 1e-6)
      throw std::runtime_error("mesh \"" + m.name + "\" matrix is not a rotation or mirror");
    keys_ordered(m.position, m.name), keys_ordered(m.rotation, m.name),
        keys_ordered(m.scale, m.name);
  }
  for (const auto& c : s.cameras) {
    name(c.name, "camera");
    if (c.position_keys.empty() || c.target_keys.empty() || c.fov_keys.empty())
      throw std::runtime_error("camera \"" + c.name + "\" is not keyed");
    keys_ordered(c.position_keys, c.name), keys_ordered(c.target_keys, c.name);
    keys_ordered(c.fov_keys, c.name), keys_ordered(c.roll_keys, c.name);
  }
  for (const auto& l : s.lights) {
    name(l.name, "light");
    if (l.position_keys.empty() || l.colour_keys.empty())
      throw std::runtime_error("light \"" + l.name + "\" is not keyed");
    keys_ordered(l.position_keys, l.name), keys_ordered(l.colour_keys, l.name);
  }
}

std::vector<uint8_t> write(const Scene& s) {
  check(s);
  Out o;
  size_t main = o.open(chunk_id::kMain);
  {
    size_t v = o.open(chunk_id::kVersion);
    o.u32(3);
    o.close(v);
  }
  size_t ed = o.open(chunk_id::kEditor);
  {
    size_t v = o.open(chunk_id::kMeshVersion);
    o.u32(3);
    o.close(v);
  }
  // Materials first: a face group can only name a material that already exists.
  for (const auto& m : s.materials) {
    size_t e = o.open(chunk_id::kMaterial);
    size_t n = o.open(chunk_id::kMaterialName);
    o.str(m.name);
    o.close(n);
    size_t d = o.open(chunk_id::kMaterialDiffuse);
    colour_24(o, m.r, m.g, m.b);
    o.close(d);
    if (!m.texture.empty()) {
      size_t t = o.open(chunk_id::kTextureMap);
      size_t f = o.open(chunk_id::kMapFile);
      o.str(m.texture);
      o.close(f);
      o.close(t);
    }
    o.close(e);
  }
  {
    size_t v = o.open(chunk_id::kMasterScale);
    o.f32(1.0);
    o.close(v);
  }
  for (const auto& m : s.meshes) {
    size_t obj = o.open(chunk_id::kObject);
    o.str(m.name);
    size_t tri = o.open(chunk_id::kTriMesh);
    size_t vl = o.open(chunk_id::kVertexList);
    o.u16(static_cast<uint16_t>(m.vertices.size()));
    for (V3 p : m.vertices) o.vec(swap_yz(p));
    o.close(vl);
    if (!m.u.empty()) {
      size_t mp = o.open(chunk_id::kMappingList);
      o.u16(static_cast<uint16_t>(m.vertices.size()));
      for (size_t i = 0; i < m.u.size(); ++i) o.f32(m.u[i]), o.f32(m.v[i]);
      o.close(mp);
    }
    size_t mm = o.open(chunk_id::kMeshMatrix);
    M4 f = swap_yz(m.matrix);
    for (int r = 0; r < 4; ++r) o.vec(f.row(r));
    o.close(mm);
    size_t fl = o.open(chunk_id::kFaceList);
    o.u16(static_cast<uint16_t>(m.faces.size()));
    for (const auto& fc : m.faces) o.u16(fc.a), o.u16(fc.b), o.u16(fc.c), o.u16(fc.flags);
    for (size_t mi = 0; mi < s.materials.size(); ++mi) {
      std::vector<uint16_t> idx;
      for (size_t i = 0; i < m.faces.size(); ++i)
        if (m.faces[i].material == static_cast<int>(mi)) idx.push_back(static_cast<uint16_t>(i));
      if (idx.empty()) continue;
      size_t g = o.open(chunk_id::kFaceMaterial);
      o.str(s.materials[mi].name);
      o.u16(static_cast<uint16_t>(idx.size()));
      for (uint16_t i : idx) o.u16(i);
      o.close(g);
    }
    o.close(fl);
    o.close(tri);
    o.close(obj);
  }
  for (const auto& l : s.lights) {
    size_t obj = o.open(chunk_id::kObject);
    o.str(l.name);
    size_t lc = o.open(chunk_id::kLight);
    o.vec(swap_yz(l.position));
    colour_f(o, l.colour);
    o.close(lc);
    o.close(obj);
  }
  // No sub-chunks in a camera: the show's loader would meet them as siblings.
  for (const auto& c : s.cameras) {
    size_t obj = o.open(chunk_id::kObject);
    o.str(c.name);
    size_t cc = o.open(chunk_id::kCamera);
    o.vec(swap_yz(c.position));
    o.vec(swap_yz(c.target));
    o.f32(c.roll);
    o.f32(c.lens);
    o.close(cc);
    o.close(obj);
  }
  o.close(ed);

  size_t kf = o.open(chunk_id::kKeyframer);
  {
    size_t h = o.open(chunk_id::kKeyframerHeader);
    o.u16(5);
    o.str("MAXSCENE");
    o.u32(static_cast<uint32_t>(s.last_frame));
    o.close(h);
    size_t seg = o.open(chunk_id::kFrames);
    o.u32(static_cast<uint32_t>(s.first_frame));
    o.u32(static_cast<uint32_t>(s.last_frame));
    o.close(seg);
    size_t cur = o.open(chunk_id::kCurrentFrame);
    o.u32(0);
    o.close(cur);
  }
  int id = 0;
  for (const auto& m : s.meshes) {
    // The rest placement is the mesh matrix: a proper rotation plus, for mirrored
    // parts, a scale of -1 along x (a rotation track cannot hold a mirror).
    bool mirrored = det3(m.matrix) < 0;
    M4 rest_rot = mirrored ? scale({-1, 1, 1}) * m.matrix : m.matrix;
    rest_rot.set_row(3, {0, 0, 0});
    node(o, chunk_id::kMeshNode, id++, m.name, [&] {
      size_t p = o.open(chunk_id::kPivot);
      o.vec({0, 0, 0});
      o.close(p);
      std::vector<VecKey> pos = m.position;
      if (pos.empty()) pos.push_back({Key{}, m.matrix.translation()});
      vec_track(o, chunk_id::kPositionTrack, pos, true);
      std::vector<RotKey> rot = m.rotation;
      if (rot.empty()) rot.push_back({Key{}, rest_rot});
      rot_track(o, rot);
      std::vector<VecKey> sc = m.scale;
      if (sc.empty()) sc.push_back({Key{}, V3{mirrored ? -1.0 : 1.0, 1, 1}});
      vec_track(o, chunk_id::kScaleTrack, sc, true);
    });
  }
  for (const auto& c : s.cameras) {
    node(o, chunk_id::kCameraNode, id++, c.name, [&] {
      vec_track(o, chunk_id::kPositionTrack, c.position_keys, true);
      float_track(o, chunk_id::kFovTrack, c.fov_keys);
      std::vector<FloatKey> roll = c.roll_keys;
      if (roll.empty()) roll.push_back({Key{}, c.roll});
      float_track(o, chunk_id::kRollTrack, roll);
    });
    node(o, chunk_id::kTargetNode, id++, c.name,
         [&] { vec_track(o, chunk_id::kPositionTrack, c.target_keys, true); });
  }
  for (const auto& l : s.lights) {
    node(o, chunk_id::kLightNode, id++, l.name, [&] {
      vec_track(o, chunk_id::kPositionTrack, l.position_keys, true);
      vec_track(o, chunk_id::kColourTrack, l.colour_keys, false);
    });
  }
  o.close(kf);
  o.close(main);
  return o.b;
}

}  // namespace w3ds
}  // namespace forge
