// Full-frame blend routines, plain against SIMD, and a whole fade pass.
#include <benchmark/benchmark.h>

#include <vector>

#include "sequencer/sequencer.h"

namespace {

constexpr int kPixels = 320 * 240;

std::vector<uint32_t> frame_of(uint32_t seed) {
  std::vector<uint32_t> v(kPixels);
  for (auto& p : v) p = seed = seed * 1664525u + 1013904223u;
  return v;
}

template <void (*Fn)(uint32_t*, const uint32_t*, int, int)>
void BM_Unary(benchmark::State& state) {
  auto src = frame_of(1), dst = src;
  for (auto _ : state) {
    Fn(dst.data(), src.data(), 100, kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

template <void (*Fn)(uint32_t*, const uint32_t*, const uint32_t*, int, int, int)>
void BM_Mix(benchmark::State& state) {
  auto a = frame_of(1), b = frame_of(2), dst = a;
  for (auto _ : state) {
    Fn(dst.data(), a.data(), b.data(), 100, 200, kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_FadeFlash(benchmark::State& state) {
  init_fades(320, 240, static_cast<int>(state.range(0)));
  auto frame = frame_of(3);
  for (auto _ : state) {
    apply_fades(frame.data(), fade_keys, kFadeKeys, 29.3f);
    benchmark::DoNotOptimize(frame.data());
  }
}

}  // namespace

BENCHMARK(BM_Unary<whiten_plain>);
BENCHMARK(BM_Unary<whiten_simd>);
BENCHMARK(BM_Unary<darken_plain>);
BENCHMARK(BM_Unary<darken_simd>);
BENCHMARK(BM_Mix<mix_plain>);
BENCHMARK(BM_Mix<mix_simd>);
BENCHMARK(BM_FadeFlash)->Arg(1)->Arg(0);
