#include "host/bench.h"

#include <chrono>

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
}

// The same walk as run_timeline, with a clock around each handler.
int bench_sequencer_frame(uint32_t* pixels, float t) {
  int alive = 0;
  for (int i = 0; i < kTimelineRows; ++i) {
    const TimelineEntry& row = timeline[i];
    if (row.start <= t && t < row.end) {
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
  return alive + fading;
}

void bench_report(std::FILE* out, long frames, double seconds) {
  std::fprintf(out, "start-up: %.3f s (asset preparation)\n", prepare_assets_seconds());
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
