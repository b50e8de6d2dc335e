// The show's timeline: which scene draws when, with which parameter. The sequencer runs it;
// the table lives here, beside the handlers it names.
#pragma once
#include <cstdint>

#include "sequencer/sequencer.h"

constexpr int kTimelineRows = 65;
extern const TimelineEntry timeline[kTimelineRows];
// The handler each row calls, by name (for tables, labels and benchmarks).
extern const char* const timeline_handler_names[kTimelineRows];

// The frame the host draws: the timeline, then the fades. 0 once the show is over.
int show_frame(uint32_t* pixels, float t);
