#include "sequencer/sequencer.h"

int run_timeline(uint32_t* pixels, const TimelineEntry* table, int count, float t) {
  int result = 0;
  for (int i = 0; i < count; ++i) {
    const TimelineEntry& row = table[i];
    const bool active = row.start <= t && t < row.end;
    if (active) {
      if (row.handler) {
        // The progress is worked out wider than float and handed over rounded once.
        const long double progress = (static_cast<long double>(t) - row.start) /
                                     (static_cast<long double>(row.end) - row.start);
        row.handler(pixels, &row, i, t, row.start, row.end, static_cast<float>(progress),
                    row.parameter);
      }
      result = 1;
    }
    if (row.end >= t) result = 1;
  }
  return result;
}

int sequencer_frame(uint32_t* pixels, const TimelineEntry* table, int count, float t) {
  const int a = run_timeline(pixels, table, count, t);
  const int b = apply_fades(pixels, fade_keys, kFadeKeys, t);
  return a + b;
}
