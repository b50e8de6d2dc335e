// The kelp engine's drawing side: triangles per second per rasterizer mode and size, frames
// per second for a 5,000-face World at 320 x 240, and the projected spotlight on it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/kelp.h"
#include "engine/raster.h"

namespace {

constexpr int kW = 320, kH = 240;

std::vector<uint32_t> checker_texture() {
  std::vector<uint32_t> t(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      t[size_t(y) * 256 + x] = ((x >> 4) ^ (y >> 4)) & 1 ? 0xe0d0b0 : uint32_t(x << 16 | y);
  return t;
}

// range(0): mode 1..10; range(1): triangle area in pixels (10, 1000 or 20000); range(2): 1
// for the 4-pixel spans, 0 for the 1-pixel form.
void BM_RasterTriangle(benchmark::State& state) {
  raster_build_tables();
  const int mode = int(state.range(0));
  const float area = float(state.range(1));
  const bool was = raster_use_simd;
  raster_use_simd = state.range(2) != 0;
  const std::vector<uint32_t> tex = checker_texture();
  std::vector<uint32_t> colour(kW * kH, 0x203040);
  std::vector<int32_t> depth(kW * kH, 0);
  const RasterTarget target{colour.data(), depth.data(), kW, kW, kH};
  const RasterTexture texture{tex.data(), 16, 255, 8, 0xff00};
  // A right triangle of the requested area, legs 5:4, at z 4..6 so perspective has work.
  const float h = std::sqrt(area * 2.0f * 0.8f), w = area * 2.0f / h;
  const RasterVertex a{10.3f, 5.2f, 4.0f, 0, 0, 128, 255, 200, 100};
  const RasterVertex b{10.3f + w, 5.2f, 5.0f, 700, 0, 128, 255, 200, 100};
  const RasterVertex c{10.3f, 5.2f + h, 6.0f, 0, 700, 128, 255, 200, 100};
  const uint8_t* alpha = raster_mul_table + 200 * 256;
  for (auto _ : state) {
    raster_triangle(mode, a, b, c, texture, alpha, target);
    benchmark::ClobberMemory();
  }
  raster_use_simd = was;
  state.SetItemsProcessed(state.iterations());
  state.counters["Mpixels/s"] =
      benchmark::Counter(double(state.iterations()) * area * 1e-6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RasterTriangle)
    ->ArgNames({"mode", "px", "simd"})
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {10, 1000, 20000}, {0, 1}});

// range(0): mode; range(1): 1 for the 4-pixel spans, 0 for the 1-pixel form; range(2):
// texture repeats across the screen (6: neighbouring pixels share cache lines; 120: a
// distant, minified surface whose texel fetches miss the cache). Two triangles cover the
// whole 320 x 240 target at a slant in depth; every pixel passes the depth test (the same
// depths again pass), so this is the cost of drawing, not of rejecting.
void BM_RasterFullScreen(benchmark::State& state) {
  raster_build_tables();
  const int mode = int(state.range(0));
  const bool was = raster_use_simd;
  raster_use_simd = state.range(1) != 0;
  const float k = float(state.range(2)) * 256.0f / 6.0f;
  const std::vector<uint32_t> tex = checker_texture();
  std::vector<uint32_t> colour(kW * kH, 0x203040);
  std::vector<int32_t> depth(kW * kH, 0);
  const RasterTarget target{colour.data(), depth.data(), kW, kW, kH};
  const RasterTexture texture{tex.data(), 16, 255, 8, 0xff00};
  const RasterVertex a{-0.5f, -0.5f, 4.0f, 0, 0, 128, 250, 30, 100};
  const RasterVertex b{320.5f, -0.5f, 6.0f, 6 * k, 0.4f * k, 200, 40, 220, 180};
  const RasterVertex c{320.5f, 240.5f, 7.0f, 5.6f * k, 5.2f * k, 128, 128, 128, 128};
  const RasterVertex d{-0.5f, 240.5f, 5.0f, -0.3f * k, 4.8f * k, 60, 200, 90, 10};
  const uint8_t* alpha = raster_mul_table + 200 * 256;
  for (auto _ : state) {
    raster_triangle(mode, a, b, c, texture, alpha, target);
    raster_triangle(mode, a, c, d, texture, alpha, target);
    benchmark::ClobberMemory();
  }
  raster_use_simd = was;
  state.counters["Mpixels/s"] =
      benchmark::Counter(double(state.iterations()) * kW * kH * 1e-6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RasterFullScreen)
    ->ArgNames({"mode", "simd", "repeats"})
    ->ArgsProduct({{kRasterShaded, kRasterAddTest, kRasterAddAlphaPersp, kRasterAddAlpha,
                    kRasterAddWrite, kRasterLit, kRasterHalf, kRasterPersp, kRasterPlain},
                   {0, 1},
                   {6, 120}});

// A torus of 50 x 50 quads (5,000 faces) in front of the camera, lit by two lights.
struct TorusScene {
  World world{};
  View view{};
  std::vector<uint32_t> tex = checker_texture();
  std::vector<uint32_t> colour = std::vector<uint32_t>(kW * kH);
  std::vector<int32_t> depth = std::vector<int32_t>(kW * kH);

  TorusScene() {
    constexpr int n = 50;
    world_init(&world, n * n, 2 * n * n, 1, 2, 0, 0);
    Material* m = world_add_material(&world, "torus");
    material_set_texture(m, tex.data(), 0x302, 0, 1);
    Mesh* mesh = &world.meshes[world.mesh_count++];
    mesh->has_mapping = 1;
    mesh->vertex_count = n * n;
    mesh->face_count = 2 * n * n;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const float a = 6.2831853f * i / n, b = 6.2831853f * j / n;
        Vertex& v = world.vertices[world.vertex_count++];
        const float r = 3.0f + 1.2f * std::cos(b);
        v.position = {r * std::cos(a), 1.2f * std::sin(b), r * std::sin(a)};
        v.u = 256.0f * 4 * i / n;
        v.v = 256.0f * 2 * j / n;
      }
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const int p = i * n + j, q = ((i + 1) % n) * n + j, r = ((i + 1) % n) * n + (j + 1) % n,
                  s = i * n + (j + 1) % n;
        const int tri[2][3] = {{p, q, r}, {p, r, s}};
        for (const auto& t : tri) {
          Face& f = world.faces[world.face_count++];
          f.a = t[0];
          f.b = t[1];
          f.c = t[2];
          f.pa = &world.vertices[f.a];
          f.pb = &world.vertices[f.b];
          f.pc = &world.vertices[f.c];
          f.material = m;
          f.fallback_material = &world.materials[0];
        }
      }
    mesh_compute_normals(mesh);
    mesh_face_mapping(mesh);
    mesh_compute_bounds(mesh);
    mat_rotation_euler(&mesh->node.world_matrix, 0.9f, 0.3f, 0.0f);
    mesh->node.world_matrix.m[14] = 9.0f;
    world_reset_mesh_matrices(&world);
    for (int i = 0; i < 2; ++i) {
      Light& l = world.lights[world.light_count++];
      l.position = {i ? -20.0f : 20.0f, -10.0f, 40.0f};
      l.r = l.g = l.b = 0.6f;
    }
    view_init(&view, 6000, kW, kH);
    view_set_target(&view, kW * 4, colour.data(), depth.data());
    view_set_ambient(&view, 0.25f, 0.25f, 0.25f);
  }
  ~TorusScene() {
    view_free(&view);
    world_free(&world);
  }
  void frame() {
    std::memset(colour.data(), 0, colour.size() * 4);
    std::memset(depth.data(), 0, depth.size() * 4);
    view_clear(&view);
    world_draw_meshes(&world, &view);
    view_sort(&view, 1);
    view_render(&view);
  }
};

void BM_World5000Faces(benchmark::State& state) {
  auto scene = std::make_unique<TorusScene>();
  for (auto _ : state) {
    scene->frame();
    benchmark::ClobberMemory();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["faces drawn"] = scene->view.draw_count;
}
BENCHMARK(BM_World5000Faces)->Unit(benchmark::kMillisecond);

void BM_Spotlight5000Faces(benchmark::State& state) {
  auto scene = std::make_unique<TorusScene>();
  View light_view{};
  view_init(&light_view, 6000, 256, 256);
  Light spot{};
  spot.position = {2.0f, 6.0f, -2.0f};
  spot.target = {0.0f, 0.0f, 9.0f};
  spot.spot_fov = 50.0f;
  const std::vector<uint32_t> pattern(256 * 256, 0xc0c0c0);
  scene->view.picture = pattern.data();
  scene->frame();
  for (auto _ : state) {
    view_copy_picture(&scene->view);
    spotlight_render(&spot, &light_view, &scene->world, 1.0f, &scene->view);
    benchmark::ClobberMemory();
  }
  state.counters["passes/s"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["faces lit"] = light_view.draw_count;
  view_free(&light_view);
}
BENCHMARK(BM_Spotlight5000Faces)->Unit(benchmark::kMillisecond);

}  // namespace
