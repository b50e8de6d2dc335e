// Loading a .3DS scene of 20,000 faces: from memory (parsing, normals, mapping, bounds)
// and through the file layer as the show does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/kelp.h"

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}
void putf(std::vector<uint8_t>& b, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  put32(b, u);
}
std::vector<uint8_t> chunk(uint16_t id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> b;
  put16(b, id);
  put32(b, uint32_t(body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// Four meshes of 51 x 51 vertices, 5,000 faces each, with mapping and a mesh matrix.
std::vector<uint8_t> scene_20000_faces() {
  std::vector<uint8_t> objects;
  for (int m = 0; m < 4; ++m) {
    const int n = 51;
    std::vector<uint8_t> verts, map, faces, matrix;
    put16(verts, n * n);
    put16(map, n * n);
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        putf(verts, float(x + m * 60));
        putf(verts, float(y));
        putf(verts, float((x * y) % 7) * 0.25f);
        putf(map, float(x) / (n - 1));
        putf(map, float(y) / (n - 1));
      }
    }
    put16(faces, 2 * (n - 1) * (n - 1));
    for (int y = 0; y + 1 < n; ++y) {
      for (int x = 0; x + 1 < n; ++x) {
        const int i = y * n + x;
        for (int k : {i, i + 1, i + n, 7, i + 1, i + n + 1, i + n, 7}) put16(faces, uint32_t(k));
      }
    }
    for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, float(m), 0.f, 0.f})
      putf(matrix, f);
    std::vector<uint8_t> mesh = chunk(0x4110, verts);
    for (const auto& c : {chunk(0x4140, map), chunk(0x4160, matrix), chunk(0x4120, faces)})
      mesh.insert(mesh.end(), c.begin(), c.end());
    std::vector<uint8_t> named;
    const std::string name = "grid" + std::to_string(m);
    named.insert(named.end(), name.begin(), name.end());
    named.push_back(0);
    const std::vector<uint8_t> tri = chunk(0x4100, mesh);
    named.insert(named.end(), tri.begin(), tri.end());
    const std::vector<uint8_t> obj = chunk(0x4000, named);
    objects.insert(objects.end(), obj.begin(), obj.end());
  }
  return chunk(0x4d4d, chunk(0x3d3d, objects));
}

void BM_Load3dsMemory20kFaces(benchmark::State& state) {
  const std::vector<uint8_t> file = scene_20000_faces();
  auto world = std::make_unique<World>();
  load_3ds_set_log(nullptr);
  for (auto _ : state) {
    load_3ds_memory(world.get(), file.data(), file.size(), "bench.3ds", 1.0f);
    benchmark::DoNotOptimize(world->faces);
    world_free(world.get());
  }
  state.counters["faces"] = 20000;
}
BENCHMARK(BM_Load3dsMemory20kFaces)->Unit(benchmark::kMillisecond);

void BM_Load3dsFile20kFaces(benchmark::State& state) {
  const std::vector<uint8_t> file = scene_20000_faces();
  const std::string path = std::string(TH_BINARY_DIR) + "/bench_load_20k.3ds";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    state.SkipWithError("cannot write the scene file");
    return;
  }
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  auto world = std::make_unique<World>();
  load_3ds_set_log(nullptr);
  for (auto _ : state) {
    load_3ds(world.get(), path.c_str(), 1.0f);
    world_link_nodes(world.get());
    benchmark::DoNotOptimize(world->faces);
    world_free(world.get());
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_Load3dsFile20kFaces)->Unit(benchmark::kMillisecond);

}  // namespace
