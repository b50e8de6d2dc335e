// Builds .3DS files in memory for the loader tests, the lib3ds comparison and the fuzz
// seed corpus: each helper returns the bytes of one chunk with its header.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/chunk_ids.h"

namespace tds {

using Bytes = std::vector<uint8_t>;

inline void put_u16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void put_u32(Bytes& b, uint32_t v) {
  put_u16(b, v & 0xffff);
  put_u16(b, v >> 16);
}
inline void put_f(Bytes& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  put_u32(b, u);
}
inline void put_str(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}
inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline Bytes chunk(uint16_t id, const Bytes& body) {
  Bytes b;
  put_u16(b, id);
  put_u32(b, uint32_t(body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
inline Bytes floats(std::initializer_list<float> fs) {
  Bytes b;
  for (float f : fs) put_f(b, f);
  return b;
}

struct V {
  float x, y, z;
};
struct F {
  int a, b, c, flags;
};

inline Bytes vertices(const std::vector<V>& vs) {
  Bytes b;
  put_u16(b, uint32_t(vs.size()));
  for (const V& v : vs) b = cat({b, floats({v.x, v.y, v.z})});
  return chunk(chunk_id::kVertexList, b);
}
inline Bytes faces(const std::vector<F>& fs, const Bytes& sub = {}) {
  Bytes b;
  put_u16(b, uint32_t(fs.size()));
  for (const F& f : fs) {
    put_u16(b, uint32_t(f.a));
    put_u16(b, uint32_t(f.b));
    put_u16(b, uint32_t(f.c));
    put_u16(b, uint32_t(f.flags));
  }
  return chunk(chunk_id::kFaceList, cat({b, sub}));
}
inline Bytes material_group(const std::string& name, const std::vector<int>& idx) {
  Bytes b;
  put_str(b, name);
  put_u16(b, uint32_t(idx.size()));
  for (int i : idx) put_u16(b, uint32_t(i));
  return chunk(chunk_id::kFaceMaterial, b);
}
inline Bytes mapping(const std::vector<std::pair<float, float>>& uv) {
  Bytes b;
  put_u16(b, uint32_t(uv.size()));
  for (auto [u, v] : uv) b = cat({b, floats({u, v})});
  return chunk(chunk_id::kMappingList, b);
}
inline Bytes named(const std::string& name, const Bytes& body) {
  Bytes b;
  put_str(b, name);
  return chunk(chunk_id::kObject, cat({b, body}));
}
inline Bytes trimesh(const Bytes& body) {
  return chunk(chunk_id::kTriMesh, body);
}
inline Bytes colour(float r, float g, float b) {
  return chunk(chunk_id::kColourFloat, floats({r, g, b}));
}
inline Bytes light(float x, float y, float z, const Bytes& sub = {}) {
  return chunk(chunk_id::kLight, cat({floats({x, y, z}), sub}));
}
inline Bytes camera(V pos, V target, float roll, float lens) {
  return chunk(chunk_id::kCamera,
               floats({pos.x, pos.y, pos.z, target.x, target.y, target.z, roll, lens}));
}
inline Bytes material(const std::string& name) {
  Bytes b;
  put_str(b, name);
  return chunk(chunk_id::kMaterial, chunk(chunk_id::kMaterialName, b));
}
inline Bytes mdata(const Bytes& body) {
  return chunk(chunk_id::kEditor, body);
}
inline Bytes file(const Bytes& body) {
  return chunk(chunk_id::kMain, body);
}

// A box-like mesh of n vertices on a line and n - 2 faces fanning from vertex 0.
inline Bytes fan_mesh(const std::string& name, int n, float z = 0.0f) {
  std::vector<V> vs;
  for (int i = 0; i < n; ++i) vs.push_back({float(i), float(i * i % 7), z + float(i % 3)});
  std::vector<F> fs;
  for (int i = 1; i + 1 < n; ++i) fs.push_back({0, i, i + 1, 0});
  return named(name, trimesh(cat({vertices(vs), faces(fs)})));
}

// Keyframer pieces.
inline Bytes node_id(int id) {
  Bytes b;
  put_u16(b, uint32_t(id));
  return chunk(chunk_id::kNodeId, b);
}
inline Bytes node_header(const std::string& name, int parent) {
  Bytes b;
  put_str(b, name);
  put_u16(b, 0);
  put_u16(b, 0);
  put_u16(b, uint32_t(parent));
  return chunk(chunk_id::kNodeHeader, b);
}
inline Bytes segment(int first, int last) {
  Bytes b;
  put_u32(b, uint32_t(first));
  put_u32(b, uint32_t(last));
  return chunk(chunk_id::kFrames, b);
}
struct Key {
  int frame;
  std::vector<float> value;  // 3 floats, 1 float, or angle + axis
  int spline_flags = 0;
  std::vector<float> params = {};  // in flag-bit order
};
inline Bytes track(uint16_t id, const std::vector<Key>& keys, int flags = 0) {
  Bytes b;
  put_u16(b, uint32_t(flags));
  for (int i = 0; i < 8; ++i) b.push_back(0);
  put_u32(b, uint32_t(keys.size()));
  for (const Key& k : keys) {
    put_u32(b, uint32_t(k.frame));
    put_u16(b, uint32_t(k.spline_flags));
    for (float p : k.params) put_f(b, p);
    for (float v : k.value) put_f(b, v);
  }
  return chunk(id, b);
}
inline Bytes keyframer(const Bytes& body) {
  return chunk(chunk_id::kKeyframer, body);
}

}  // namespace tds
