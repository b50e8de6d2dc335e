// A corpus of well-formed .3DS files built by hand: what the lib3ds comparison reads and
// what the fuzz harness starts from.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "tds_writer.h"

namespace tds {

// A w x h grid of vertices with two faces a cell, with mapping when asked.
inline Bytes grid_mesh(const std::string& name, int w, int h, bool with_mapping) {
  std::vector<V> vs;
  std::vector<std::pair<float, float>> uv;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      vs.push_back({float(x), float(y), float((x * y) % 5) * 0.1f});
      uv.push_back({float(x) / float(w - 1), float(y) / float(h - 1)});
    }
  std::vector<F> fs;
  for (int y = 0; y + 1 < h; ++y)
    for (int x = 0; x + 1 < w; ++x) {
      const int i = y * w + x;
      fs.push_back({i, i + 1, i + w, 0x07});
      fs.push_back({i + 1, i + w + 1, i + w, 0x07});
    }
  Bytes body = vertices(vs);
  if (with_mapping) body = cat({body, mapping(uv)});
  return named(name, trimesh(cat({body, faces(fs)})));
}

inline std::vector<std::pair<std::string, Bytes>> corpus_3ds() {
  std::vector<std::pair<std::string, Bytes>> c;
  c.push_back({"one_mesh", file(mdata(fan_mesh("fan", 5)))});
  c.push_back({"two_meshes", file(mdata(cat({fan_mesh("a", 8), fan_mesh("b", 12)})))});
  c.push_back({"empty", file(mdata({}))});
  {
    Bytes matrix = chunk(0x4160, floats({1, 0, 0, 0, 0, 1, 0, -1, 0, 5, 6, 7}));
    Bytes groups = cat({material_group("skin", {0, 2}), material_group("cloth", {1})});
    Bytes mesh = named(
        "dressed", trimesh(cat({vertices({{5, 6, 7}, {6, 6, 7}, {5, 7, 7}, {6, 7, 8}}),
                                mapping({{0, 0}, {1, 0}, {0, 1}, {1, 1}}), matrix,
                                faces({{0, 1, 2, 0x08}, {1, 3, 2, 0x10}, {0, 2, 3, 0}}, groups)})));
    c.push_back({"materials", file(mdata(cat({material("skin"), material("cloth"), mesh})))});
  }
  c.push_back(
      {"lights_cameras", file(mdata(cat({named("cam1", camera({0, -10, 2}, {0, 0, 0}, 0, 35)),
                                         named("cam2", camera({10, 0, 5}, {0, 0, 1}, 15, 50)),
                                         named("sun", light(10, 10, 10, colour(1, 1, 0.9f))),
                                         named("fill", light(-5, 5, 2, colour(0.2f, 0.2f, 0.3f))),
                                         named("rim", light(0, -5, 8)), fan_mesh("floor", 4)})))});
  c.push_back(
      {"grid",
       file(mdata(cat({grid_mesh("sheet", 40, 30, true), grid_mesh("plain", 7, 9, false)})))});
  {
    Bytes meshes = cat({fan_mesh("hips", 6), fan_mesh("leg", 5),
                        named("cam", camera({0, -20, 5}, {0, 0, 3}, 0, 28)),
                        named("lamp", light(3, -3, 10, colour(1, 0.8f, 0.6f)))});
    Bytes kf = keyframer(cat({
        segment(0, 60),
        chunk(0xb002, cat({node_id(0), node_header("hips", -1),
                           track(0xb020, {{0, {0, 0, 0}}, {30, {0, 0, 2}}, {60, {0, 0, 0}}}),
                           track(0xb021, {{0, {0, 0, 0, 1}}, {60, {3.14159f, 0, 0, 1}}})})),
        chunk(0xb002, cat({node_id(1), node_header("leg", 0), track(0xb022, {{0, {1, 1, 1}}})})),
        chunk(0xb002, cat({node_id(2), node_header("$$$DUMMY", 1),
                           chunk(0xb011,
                                 [] {
                                   Bytes b;
                                   put_str(b, "foot");
                                   return b;
                                 }())})),
        chunk(0xb003, cat({node_id(3), node_header("cam", -1), track(0xb020, {{0, {0, -20, 5}}}),
                           track(0xb023, {{0, {45}}}), track(0xb024, {{0, {0}}})})),
        chunk(0xb004, cat({node_id(4), node_header("cam", -1), track(0xb020, {{0, {0, 0, 3}}})})),
        chunk(0xb005, cat({node_id(5), node_header("lamp", -1), track(0xb020, {{0, {3, -3, 10}}}),
                           track(0xb025, {{0, {1, 0.8f, 0.6f}}})})),
    }));
    c.push_back({"keyframed", file(cat({mdata(meshes), kf}))});
  }
  return c;
}

}  // namespace tds
