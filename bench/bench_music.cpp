// The soundtrack's cost on the show's thread: decoding per show second, and the worst single
// pump (the one that writes a whole half into the buffers).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "audio_synth.h"
#include "music/music.h"
#include "music/streaming.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/options.h"
#include "platform/sound.h"
#include "platform/sound_headless.h"

namespace {

// A data folder with 60 s of two-channel music, made once per run.
const std::string& music_folder() {
  static const std::string dir = [] {
    std::string d = std::string(TH_BINARY_DIR) + "/bench-music";
    std::filesystem::create_directories(d + "/music");
    const int rate = 44100, n = 60 * rate;
    std::vector<int16_t> pcm(static_cast<size_t>(n) * 2);
    uint32_t noise = 1;
    for (int i = 0; i < n; ++i) {
      double t = static_cast<double>(i) / rate;
      noise = noise * 1664525u + 1013904223u;
      double hiss = static_cast<int32_t>(noise) / 2147483648.0 * 1500;
      pcm[2 * static_cast<size_t>(i)] =
          static_cast<int16_t>(9000 * std::sin(2 * M_PI * 220 * t) + hiss);
      pcm[2 * static_cast<size_t>(i) + 1] =
          static_cast<int16_t>(8000 * std::sin(2 * M_PI * (330 + 50 * std::sin(t)) * t) - hiss);
    }
    std::vector<uint8_t> mp3 = forge::audio::encode_mp3(pcm, rate, 128);
    FILE* f = std::fopen((d + "/music/var56.mp3").c_str(), "wb");
    std::fwrite(mp3.data(), 1, mp3.size(), f);
    std::fclose(f);
    return d;
  }();
  return dir;
}

void start_headless(const char* words) {
  platform::set_data_dir(music_folder());
  platform::run_options() = platform::RunOptions{};
  platform::run_options().headless = true;
  // The headless device, without its underrun line at every stop.
  platform::sound_set_device_factory(
      [] { return std::make_unique<platform::HeadlessSoundDevice>("", false); });
  platform::virtual_clock_enable(0.0);
  music_init(nullptr, words);
  music_start();
}

void stop_headless() {
  music_stop();
  sound_shutdown();
}

// One show second at 60 frames per second, the pump as the host calls it; the music is
// started again whenever it runs out. Reported time is per show second.
void BM_MusicPumpShowSecond(benchmark::State& state) {
  const char* words = state.range(0) == 0 ? "" : (state.range(0) == 1 ? "mono 8bit" : "4to1");
  start_headless(words);
  double t = 0.0;
  long frames = 0;
  for (auto _ : state) {
    for (int k = 0; k < 60; ++k) {
      t += 1.0 / 60;
      platform::virtual_clock_set(t);
      music_pump(static_cast<float>(t));
    }
    if (music_state().ended) {
      state.PauseTiming();
      frames += music_state().frames_decoded;
      stop_headless();
      start_headless(words);
      t = 0.0;
      state.ResumeTiming();
    }
  }
  frames += music_state().frames_decoded;
  stop_headless();
  state.counters["frames_decoded"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MusicPumpShowSecond)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

double thread_cpu_us() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// 40 s of show at 60 frames per second, every pump timed; the counters give the worst and
// the mean pump in microseconds, on the wall clock and in this thread's processor time
// (the machine may be busy with other work).
void BM_MusicWorstPump(benchmark::State& state) {
  double worst = 0.0, total = 0.0, worst_cpu = 0.0;
  long pumps = 0;
  for (auto _ : state) {
    start_headless("");
    for (int k = 0; k < 40 * 60; ++k) {
      double t = k / 60.0;
      platform::virtual_clock_set(t);
      auto a = std::chrono::steady_clock::now();
      double cpu = thread_cpu_us();
      music_pump(static_cast<float>(t));
      worst_cpu = std::max(worst_cpu, thread_cpu_us() - cpu);
      double us =
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - a).count();
      worst = std::max(worst, us);
      total += us;
      ++pumps;
    }
    stop_headless();
  }
  state.counters["worst_pump_us"] = worst;
  state.counters["worst_pump_cpu_us"] = worst_cpu;
  state.counters["mean_pump_us"] = total / static_cast<double>(pumps);
}
BENCHMARK(BM_MusicWorstPump)->Iterations(3)->Unit(benchmark::kMillisecond);

// The first half, decoded before the show starts.
void BM_MusicInit(benchmark::State& state) {
  for (auto _ : state) {
    start_headless("");
    state.PauseTiming();
    stop_headless();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MusicInit)->Unit(benchmark::kMillisecond);

}  // namespace
