#include "host/bench.h"

#include <sys/resource.h>

#include <chrono>
#include <string>

#include "host/host.h"
#include "scenes/scenes.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

namespace {

struct Measure {
  long frames = 0;
  double seconds = 0.0;
};

Measure rows[kTimelineRows];
Measure fades;
// The slowest frame: its drawing time (rows and fades) and its show time.
double worst_seconds = 0.0;
float worst_t = 0.0f;
// The same over frames that are no row's first: first frames load files and set up.
double worst_later_seconds = 0.0;
float worst_later_t = 0.0f;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void print_line(std::FILE* out, const char* row, const char* handler, const char* parameter,
                const Measure& m) {
  double ms = m.frames ? m.seconds * 1000.0 / m.frames : 0.0;
  // A row that took no measurable time (an empty slot) has no rate; 0 fps would read as stuck.
  char fps[32] = "-";
  if (m.seconds > 0) std::snprintf(fps, sizeof fps, "%.1f", m.frames / m.seconds);
  std::fprintf(out, "%5s  %-24s %9s %7ld %10.3f %10s\n", row, handler, parameter, m.frames, ms,
               fps);
}

}  // namespace

void bench_reset() {
  for (auto& r : rows) r = Measure{};
  fades = Measure{};
  worst_seconds = 0.0;
  worst_t = 0.0f;
  worst_later_seconds = 0.0;
  worst_later_t = 0.0f;
}

// The same walk as run_timeline, with a clock around each handler.
int bench_sequencer_frame(uint32_t* pixels, float t) {
  const double frame_began = now();
  int alive = 0;
  bool first_of_a_row = false;
  for (int i = 0; i < kTimelineRows; ++i) {
    const TimelineEntry& row = timeline[i];
    if (row.start <= t && t < row.end) {
      if (rows[i].frames == 0) first_of_a_row = true;
      // A row whose scene is not built yet is counted but not timed.
      if (row.handler && row.handler != empty_scene) {
        const long double progress = (static_cast<long double>(t) - row.start) /
                                     (static_cast<long double>(row.end) - row.start);
        double begin = now();
        row.handler(pixels, &row, i, t, row.start, row.end, static_cast<float>(progress),
                    row.parameter);
        rows[i].seconds += now() - begin;
      }
      ++rows[i].frames;
      alive = 1;
    }
    if (row.end >= t) alive = 1;
  }
  double begin = now();
  int fading = apply_fades(pixels, fade_keys, kFadeKeys, t);
  fades.seconds += now() - begin;
  ++fades.frames;
  const double frame_seconds = now() - frame_began;
  if (frame_seconds > worst_seconds) {
    worst_seconds = frame_seconds;
    worst_t = t;
  }
  if (!first_of_a_row && frame_seconds > worst_later_seconds) {
    worst_later_seconds = frame_seconds;
    worst_later_t = t;
  }
  return alive + fading;
}

namespace {

double peak_resident_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// The rows drawing at t, by handler name ("CatwalkScene+TitleScene").
std::string handlers_at(float t) {
  std::string names;
  for (int i = 0; i < kTimelineRows; ++i) {
    if (!(timeline[i].start <= t && t < timeline[i].end)) continue;
    if (!names.empty()) names += '+';
    names += timeline_handler_names[i];
  }
  return names.empty() ? "-" : names;
}

const char* routines() {
  return has_mmx ? "SIMD (SSE2)" : "plain";
}

}  // namespace

void bench_report(std::FILE* out, long frames, double seconds) {
  const double assets = prepare_assets_seconds(), music = music_init_seconds();
  std::fprintf(out, "start-up: %.3f s (asset preparation %.3f s, music priming %.3f s)\n",
               assets + music, assets, music);
  std::fprintf(out, "peak memory: %.1f MB\n", peak_resident_mb());
  std::fprintf(out, "worst frame: %.3f ms at %.3f s (%s)\n", worst_seconds * 1000.0,
               static_cast<double>(worst_t), handlers_at(worst_t).c_str());
  std::fprintf(out, "worst later frame: %.3f ms at %.3f s (%s)\n", worst_later_seconds * 1000.0,
               static_cast<double>(worst_later_t), handlers_at(worst_later_t).c_str());
  std::fprintf(out, "routines: %s\n", routines());
  std::fprintf(out, "%5s  %-24s %9s %7s %10s %10s\n", "row", "handler", "parameter", "frames",
               "ms/frame", "fps");
  for (int i = 0; i < kTimelineRows; ++i) {
    if (!rows[i].frames) continue;
    char row[16], parameter[16];
    std::snprintf(row, sizeof row, "%d", i);
    std::snprintf(parameter, sizeof parameter, "%d", timeline[i].parameter);
    const char* name = timeline_handler_names[i];
    print_line(out, row, name && *name ? name : "-", parameter, rows[i]);
  }
  if (fades.frames) print_line(out, "-", "apply_fades", "-", fades);
  std::fprintf(out, "total: %ld frames in %.3f s, %.1f fps\n", frames, seconds,
               seconds > 0 ? frames / seconds : 0.0);
}

bool bench_write_json(const std::string& path, long frames, double seconds) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  const double assets = prepare_assets_seconds(), music = music_init_seconds();
  std::fprintf(f, "{\n  \"startup_seconds\": %.6f,\n", assets + music);
  std::fprintf(f, "  \"asset_preparation_seconds\": %.6f,\n", assets);
  std::fprintf(f, "  \"music_priming_seconds\": %.6f,\n", music);
  std::fprintf(f, "  \"peak_resident_mb\": %.3f,\n", peak_resident_mb());
  std::fprintf(f, "  \"worst_frame_ms\": %.6f,\n  \"worst_frame_time\": %.6f,\n",
               worst_seconds * 1000.0, static_cast<double>(worst_t));
  std::fprintf(f, "  \"worst_frame_handlers\": \"%s\",\n", handlers_at(worst_t).c_str());
  std::fprintf(f, "  \"worst_later_frame_ms\": %.6f,\n  \"worst_later_frame_time\": %.6f,\n",
               worst_later_seconds * 1000.0, static_cast<double>(worst_later_t));
  std::fprintf(f, "  \"routines\": \"%s\",\n", has_mmx ? "simd" : "plain");
  std::fprintf(f, "  \"frames\": %ld,\n  \"seconds\": %.6f,\n  \"fps\": %.3f,\n", frames, seconds,
               seconds > 0 ? frames / seconds : 0.0);
  std::fprintf(f, "  \"rows\": [");
  bool first = true;
  for (int i = 0; i < kTimelineRows; ++i) {
    if (!rows[i].frames) continue;
    const Measure& m = rows[i];
    std::fprintf(f, "%s\n    {\"row\": %d, \"handler\": \"%s\", \"parameter\": %d, ",
                 first ? "" : ",", i, timeline_handler_names[i], timeline[i].parameter);
    std::fprintf(f, "\"frames\": %ld, \"mean_ms\": %.6f}", m.frames,
                 m.frames ? m.seconds * 1000.0 / m.frames : 0.0);
    first = false;
  }
  std::fprintf(f, "\n  ],\n  \"fades_mean_ms\": %.6f\n}\n",
               fades.frames ? fades.seconds * 1000.0 / fades.frames : 0.0);
  return std::fclose(f) == 0;
}
