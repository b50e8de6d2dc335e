// The forge's media half: painting and writing the pictures, synthesising the soundtrack,
// encoding it to MP3.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "audio_synth.h"
#include "forge_media.h"

namespace {

namespace fs = std::filesystem;

template <void (*Make)(forge::Forge&)>
void BM_ForgeMediaPart(benchmark::State& state) {
  const fs::path out = fs::path(TH_BINARY_DIR) / "bench-forgemedia";
  for (auto _ : state) {
    forge::Forge f(out, 1);
    Make(f);
    benchmark::DoNotOptimize(f.bytes());
  }
  fs::remove_all(out);
}
BENCHMARK(BM_ForgeMediaPart<forge::make_pictures>)
    ->Name("BM_ForgeMediaPictures")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ForgeMediaPart<forge::make_textures>)
    ->Name("BM_ForgeMediaTextures")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ForgeMediaPart<forge::make_city>)
    ->Name("BM_ForgeMediaCity")
    ->Unit(benchmark::kMillisecond);

void BM_ForgeMediaSynth(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(forge::audio::render(1).size());
  state.counters["seconds of music"] = forge::audio::kLength;
}
BENCHMARK(BM_ForgeMediaSynth)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ForgeMediaMp3(benchmark::State& state) {
  const auto pcm = forge::audio::render(1);
  for (auto _ : state)
    benchmark::DoNotOptimize(forge::audio::encode_mp3(pcm, forge::audio::kRate, 128).size());
}
BENCHMARK(BM_ForgeMediaMp3)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
