// Converting and clearing one whole 320 x 240 frame, in each screen depth and form.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "display/convert.h"

namespace {

constexpr int kPixels = 320 * 240;

std::vector<uint32_t> frame() {
  std::vector<uint32_t> f(kPixels);
  std::mt19937 rng(1);
  for (auto& p : f) p = rng() & 0xFFFFFF;
  return f;
}

void BM_Convert32Plain(benchmark::State& state) {
  auto src = frame();
  std::vector<uint8_t> dst(kPixels * 4);
  for (auto _ : state) {
    convert_32_plain(dst.data(), src.data(), kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_Convert32Plain);

void BM_Convert32Simd(benchmark::State& state) {
  auto src = frame();
  std::vector<uint8_t> dst(kPixels * 4);
  for (auto _ : state) {
    convert_32_simd(dst.data(), src.data(), kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_Convert32Simd);

void BM_Convert24(benchmark::State& state) {
  auto src = frame();
  std::vector<uint8_t> dst(kPixels * 3);
  for (auto _ : state) {
    convert_24(dst.data(), src.data(), kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_Convert24);

void BM_Convert16(benchmark::State& state) {
  auto src = frame();
  std::vector<uint8_t> dst(kPixels * 2);
  for (auto _ : state) {
    convert_16(dst.data(), src.data(), kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_Convert16);

void BM_ClearPlain(benchmark::State& state) {
  std::vector<uint32_t> dst(kPixels);
  for (auto _ : state) {
    fill_plain(dst.data(), 0, kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_ClearPlain);

void BM_ClearSimd(benchmark::State& state) {
  std::vector<uint32_t> dst(kPixels);
  for (auto _ : state) {
    fill_simd(dst.data(), 0, kPixels);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetBytesProcessed(state.iterations() * kPixels * 4);
}
BENCHMARK(BM_ClearSimd);

}  // namespace
