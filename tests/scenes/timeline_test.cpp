#include "scenes/timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Call {
  int index;
  float t, start, end, progress;
  int32_t parameter;
};
std::vector<Call> calls;

void record(uint32_t*, const TimelineEntry* entry, int index, float t, float start, float end,
            float progress, int32_t parameter) {
  EXPECT_EQ(entry->start, start);
  calls.push_back({index, t, start, end, progress, parameter});
}

// The show's own table with every handler recording its call.
std::vector<TimelineEntry> recording_table() {
  std::vector<TimelineEntry> rows(timeline, timeline + kTimelineRows);
  for (auto& r : rows) r.handler = record;
  return rows;
}

std::vector<int> active_rows(float t) {
  auto rows = recording_table();
  calls.clear();
  run_timeline(nullptr, rows.data(), kTimelineRows, t);
  std::vector<int> idx;
  for (auto& c : calls) idx.push_back(c.index);
  return idx;
}

TEST(Timeline, TableShape) {
  EXPECT_EQ(sizeof(TimelineEntry) >= 16, true);
  EXPECT_EQ(timeline[64].end, 266.0f);
  EXPECT_EQ(timeline[61].parameter, 14);
  EXPECT_STREQ(timeline_handler_names[53], "ParticleGlowScene");
  EXPECT_STREQ(timeline_handler_names[64], "CreditsScrollScene");
}

TEST(Timeline, RowsRunInTableOrderWithTheirProgress) {
  EXPECT_EQ(active_rows(0.0f), (std::vector<int>{0, 1}));
  EXPECT_EQ(calls[0].progress, 0.0f);
  EXPECT_EQ(calls[1].parameter, 1);
  // At a boundary the rows ending there are already off and those starting are on.
  EXPECT_EQ(active_rows(3.85f), (std::vector<int>{2, 3}));
  EXPECT_EQ(calls[0].progress, 0.0f);
  EXPECT_EQ(calls[0].parameter, 2);
  // Overlaps: row 12 joins row 11 from 31.5 s; row 53 draws after the short rows.
  EXPECT_EQ(active_rows(31.75f), (std::vector<int>{11, 12}));
  EXPECT_EQ(active_rows(181.0f), (std::vector<int>{38, 39, 53}));
  active_rows(1.925f);
  EXPECT_FLOAT_EQ(calls[0].progress, 0.5f);
  EXPECT_EQ(calls[0].t, 1.925f);
  EXPECT_EQ(calls[0].end, 3.85f);
}

TEST(Timeline, EndOfTheShow) {
  auto rows = recording_table();
  calls.clear();
  EXPECT_EQ(run_timeline(nullptr, rows.data(), kTimelineRows, 266.0f), 1);  // row 64 ends now
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(run_timeline(nullptr, rows.data(), kTimelineRows, 266.01f), 0);
  // Empty handlers still keep the show alive.
  TimelineEntry empty_rows[1] = {{200.0f, 266.0f, 0, nullptr}};
  EXPECT_EQ(run_timeline(nullptr, empty_rows, 1, 265.0f), 1);
  init_fades(320, 240, 1);
  std::vector<uint32_t> frame(320 * 240, 0x00FFFFFF);
  EXPECT_EQ(sequencer_frame(frame.data(), rows.data(), kTimelineRows, 250.0f), 1);  // fades done
  EXPECT_EQ(sequencer_frame(frame.data(), rows.data(), kTimelineRows, 266.0f), 1);
  EXPECT_EQ(sequencer_frame(frame.data(), rows.data(), kTimelineRows, 266.001f), 0);
  // A table that ends before the fades keeps the show alive until their last key.
  TimelineEntry short_table[1] = {{0.0f, 10.0f, 0, nullptr}};
  EXPECT_EQ(run_timeline(nullptr, short_table, 1, 100.0f) +
                apply_fades(frame.data(), fade_keys, kFadeKeys, 100.0f),
            1);
}

}  // namespace
