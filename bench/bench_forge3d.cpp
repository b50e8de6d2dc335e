// The forge's 3D half: building and writing the six Worlds, the motions and the morph.
#include <benchmark/benchmark.h>

#include "forge_3d.h"

namespace {

void BM_Forge3dWorlds(benchmark::State& state) {
  forge::Forge f(TH_BINARY_DIR, 1);
  for (auto _ : state) {
    size_t bytes = 0;
    bytes += forge::w3ds::write(forge::catwalk_world()).size();
    bytes += forge::w3ds::write(forge::box_world()).size();
    bytes += forge::w3ds::write(forge::dance_world()).size();
    bytes += forge::w3ds::write(forge::city_world(f.rng("city"))).size();
    bytes += forge::w3ds::write(forge::cube_world()).size();
    bytes += forge::w3ds::write(forge::object_world()).size();
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_Forge3dWorlds)->Unit(benchmark::kMillisecond);

void BM_Forge3dMotions(benchmark::State& state) {
  for (auto _ : state) {
    size_t bytes = 0;
    for (int n = 1; n <= 6; ++n) bytes += forge::qub_bytes(forge::motion(n)).size();
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_Forge3dMotions)->Unit(benchmark::kMillisecond);

}  // namespace
