// The full-frame 2D kernels, plain form beside SIMD form, over the work one show frame gives
// them: a whole 320 x 240 frame, a warp or rotozoom frame, a swarm's batch of sprites.
// Names are "Kernel/<kernel>/<form>"; bench/kernel_ratios.sh turns them into one table.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kernels/kernels.h"
#include "scenes/warps/grid.h"
#include "sequencer/sequencer.h"

namespace {

constexpr int kPixels = kFramePixels;

std::vector<uint32_t> noise(uint32_t seed, int count = kPixels) {
  std::vector<uint32_t> v(static_cast<size_t>(count));
  for (auto& p : v) p = seed = seed * 1664525u + 1013904223u;
  return v;
}

// A picture with smooth areas and edges, as the scenes feed the blurs and smears; dark
// enough that the saturating adds do not all clamp.
std::vector<uint32_t> picture(int width = kFrameWidth, int height = kFrameHeight) {
  std::vector<uint32_t> v(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t r = static_cast<uint32_t>(x * 255 / width) / 2;
      const uint32_t g = static_cast<uint32_t>(y * 255 / height) / 2;
      const uint32_t b = ((x / 16 + y / 16) & 1) ? 120u : 10u;
      v[static_cast<size_t>(y) * width + x] = (r << 16) | (g << 8) | b;
    }
  return v;
}

void prepare() {
  static const bool ready = [] {
    init_fades(kFrameWidth, kFrameHeight, 0);
    warp_tables_init();
    return true;
  }();
  (void)ready;
}

using Body = void (*)(benchmark::State&);

// Registers a pair under one kernel name; items are pixels (or sprite pixels) per call.
void pair(const char* kernel, Body plain, Body simd) {
  benchmark::RegisterBenchmark((std::string("Kernel/") + kernel + "/plain").c_str(), plain);
  benchmark::RegisterBenchmark((std::string("Kernel/") + kernel + "/simd").c_str(), simd);
}

// ---- Blends and frame-buffer utilities: in place over the frame, as the callers do ----

template <void (*Fn)(uint32_t*, const uint32_t*, int, int)>
void unary(benchmark::State& state) {
  prepare();
  auto frame = noise(1);
  for (auto _ : state) {
    Fn(frame.data(), frame.data(), 100, kPixels);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, const uint32_t*, int, int)>
void crossfade_bm(benchmark::State& state) {
  prepare();
  auto frame = noise(1);
  const auto other = noise(2);
  for (auto _ : state) {
    Fn(frame.data(), frame.data(), other.data(), 100, kPixels);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, const uint32_t*, int, int, int)>
void mix_bm(benchmark::State& state) {
  prepare();
  auto frame = noise(1);
  const auto other = noise(2);
  for (auto _ : state) {
    Fn(frame.data(), frame.data(), other.data(), 100, 200, kPixels);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, const uint32_t*, int)>
void binary(benchmark::State& state) {
  prepare();
  auto frame = noise(1);
  const auto other = noise(2);
  for (auto _ : state) {
    Fn(frame.data(), frame.data(), other.data(), kPixels);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(void*, uint32_t, int)>
void fill_bm(benchmark::State& state) {
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    Fn(frame.data(), 0x3C3C3C3Cu, kPixels * 4);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, uint32_t, int)>
void keyed_bm(benchmark::State& state) {
  // A title picture: the key colour around, drawing inside.
  auto src = picture();
  for (int i = 0; i < kPixels; ++i)
    if ((i % kFrameWidth) < 60 || (i % kFrameWidth) > 260 || (i / kFrameWidth) % 40 < 8)
      src[static_cast<size_t>(i)] = 0x00FF00FFu;
  auto frame = noise(1);
  for (auto _ : state) {
    Fn(frame.data(), src.data(), 0x00FF00FFu, kPixels);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

// ---- Warps and texture mappers: one whole frame each ----

template <void (*Fn)(uint32_t*, const uint32_t*, float)>
void warp_bm(benchmark::State& state) {
  prepare();
  const auto texture = picture(256, 256);
  std::vector<uint32_t> frame(kPixels);
  float t = 100.0f;
  for (auto _ : state) {
    Fn(frame.data(), texture.data(), t);
    t += 40.0f / 60.0f;
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, float, int)>
void warp_mode_bm(benchmark::State& state) {
  prepare();
  const auto texture = picture(256, 256);
  std::vector<uint32_t> frame(kPixels);
  float t = 3.0f;
  for (auto _ : state) {
    Fn(frame.data(), texture.data(), t, 1);
    t += 1.0f / 60.0f;
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, float, float)>
void rotozoom_bm(benchmark::State& state) {
  const auto texture = picture(256, 256);
  std::vector<uint32_t> frame(kPixels);
  float angle = 10.0f;
  for (auto _ : state) {
    Fn(frame.data(), texture.data(), angle, 150.0f);  // the scenes turn radii of 28 to 228
    angle += 0.7f;
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, float)>
void zoom_add_bm(benchmark::State& state) {
  const auto source = picture();
  auto frame = noise(1);
  for (auto _ : state) {
    Fn(frame.data(), source.data(), 200.0f);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

// Grid warps of 8 x 8 pixel cells: the swirls over a tiling texture, the lens over a picture.
template <bool (*Fn)(uint32_t*, const uint32_t*, const WarpGrid&, int, int)>
void grid_texture_bm(benchmark::State& state) {
  static WarpGrid grid;
  warp_grid_swirls(grid, 1.0f, 0.8f, 3.0f);
  const auto texture = picture(256, 256);
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    Fn(frame.data(), texture.data(), grid, kWarpGridColumns, kWarpGridRows);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <bool (*Fn)(uint32_t*, const uint32_t*, const WarpGrid&, int, int)>
void grid_picture_bm(benchmark::State& state) {
  static WarpGrid grid;
  warp_grid_sphere(grid, 0.6f, 0.3f);
  const auto source = picture();
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    Fn(frame.data(), source.data(), grid, kWarpGridColumns, kWarpGridRows);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

// ---- Sprites: the swarm's batch (660 small sprites) and a few large glows ----

struct SpriteAt {
  float x, y, size;
};

std::vector<SpriteAt> swarm_batch() {
  std::vector<SpriteAt> out;
  uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  for (int i = 0; i < kSwarmPoints; ++i) {
    // Sizes 116 x 15 / z for the depths the swarm flies at (about 60 to 400).
    const float z = 60.0f + 340.0f * next();
    out.push_back({20.0f + 280.0f * next(), 20.0f + 200.0f * next(), 116.0f * 15.0f / z});
  }
  return out;
}

int64_t sprite_pixels(const std::vector<SpriteAt>& batch) {
  int64_t n = 0;
  for (const SpriteAt& s : batch) n += static_cast<int64_t>(s.size) * static_cast<int64_t>(s.size);
  return n;
}

template <void (*Fn)(float, float, float, float, uint32_t*, const uint32_t*)>
void swarm_bm(benchmark::State& state) {
  sprite_source_width = sprite_source_height = 256;
  const auto image = picture(256, 256);
  const auto batch = swarm_batch();
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    for (const SpriteAt& s : batch) Fn(s.x, s.y, s.size, s.size, frame.data(), image.data());
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * sprite_pixels(batch));
}

template <void (*Fn)(float, float, float, float, uint32_t*, const uint32_t*, float, float, float)>
void glow_bm(benchmark::State& state) {
  prepare();
  sprite_source_width = sprite_source_height = 128;
  const auto image = picture(128, 128);
  const std::vector<SpriteAt> batch = {
      {160, 120, 180}, {60, 80, 96}, {250, 170, 128}, {120, 200, 64}, {200, 40, 40}};
  std::vector<uint32_t> frame(kPixels);
  for (auto _ : state) {
    for (const SpriteAt& s : batch)
      Fn(s.x, s.y, s.size, s.size, frame.data(), image.data(), 0.9f, 0.7f, 0.4f);
    benchmark::DoNotOptimize(frame.data());
  }
  sprite_source_width = sprite_source_height = 256;
  state.SetItemsProcessed(state.iterations() * sprite_pixels(batch));
}

// ---- In-place filters: as the scenes call them ----

template <void (*Fn)(uint32_t*, const uint32_t*)>
void blur_bm(benchmark::State& state) {
  // Worked in place again and again: none of these branches on the pixels, so the
  // picture's slow fading does not change the time.
  auto frame = picture();
  for (auto _ : state) {
    Fn(frame.data(), frame.data());
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, float, float, float, float, float)>
void radial_bm(benchmark::State& state) {
  prepare();
  // Worked in place again and again: none of these branches on the pixels, so the
  // picture's slow fading does not change the time.
  auto frame = picture();
  for (auto _ : state) {
    // The particle glow's call (reach a beat above 0.031).
    Fn(frame.data(), 160.0f, 120.0f, 0.06f, 0.45f, 0.85f);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, int)>
void smear_bm(benchmark::State& state) {
  // Worked in place again and again: none of these branches on the pixels, so the
  // picture's slow fading does not change the time.
  auto frame = picture();
  for (auto _ : state) {
    Fn(frame.data(), 40);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

const int registered = [] {
  pair("whiten", unary<whiten_plain>, unary<whiten_simd>);
  pair("darken", unary<darken_plain>, unary<darken_simd>);
  pair("crossfade", crossfade_bm<crossfade_plain>, crossfade_bm<crossfade_simd>);
  pair("mix", mix_bm<mix_plain>, mix_bm<mix_simd>);
  pair("row_multiply", binary<row_multiply_plain>, binary<row_multiply_simd>);
  pair("row_add_saturate", binary<row_add_saturate_plain>, binary<row_add_saturate_simd>);
  pair("fill_words", fill_bm<fill_words_plain>, fill_bm<fill_words_simd>);
  pair("copy_keyed", keyed_bm<copy_keyed_plain>, keyed_bm<copy_keyed_simd>);
  pair("warp_three_centres", warp_bm<warp_three_centres_plain>, warp_bm<warp_three_centres_simd>);
  pair("warp_three_centres_mode", warp_mode_bm<warp_three_centres_mode_plain>,
       warp_mode_bm<warp_three_centres_mode_simd>);
  pair("rotozoom_draw", rotozoom_bm<rotozoom_draw_plain>, rotozoom_bm<rotozoom_draw_simd>);
  pair("zoom_add_draw", zoom_add_bm<zoom_add_draw_plain>, zoom_add_bm<zoom_add_draw_simd>);
  pair("grid_warp_texture", grid_texture_bm<grid_warp_texture_plain>,
       grid_texture_bm<grid_warp_texture_simd>);
  pair("grid_warp_picture", grid_picture_bm<grid_warp_picture_plain>,
       grid_picture_bm<grid_warp_picture_simd>);
  pair("sprite_draw_additive", swarm_bm<sprite_draw_additive_plain>,
       swarm_bm<sprite_draw_additive_simd>);
  pair("sprite_draw_tinted", glow_bm<sprite_draw_tinted_plain>, glow_bm<sprite_draw_tinted_simd>);
  pair("blur_cross4", blur_bm<blur_cross4_plain>, blur_bm<blur_cross4_simd>);
  pair("radial_blur", radial_bm<radial_blur_plain>, radial_bm<radial_blur_simd>);
  benchmark::RegisterBenchmark("Kernel/smear_scan/plain", smear_bm<smear_scan>);
  return 0;
}();

}  // namespace
