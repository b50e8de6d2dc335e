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

// Whether a handler's picture depends on every earlier frame it drew (state accumulated
// frame by frame, such as a fading flare), so a late start must replay each of its frames.
bool scene_accumulates(SceneHandler handler);

// Brings the scenes' state where playing from 0 at `fps` leaves it just before show time
// `start`: each row is run, in frame order, on its first frame and on its last frame
// before `start` (first-frame loads, motion slots, settings left behind), a row that
// accumulates on every frame. They draw into `scratch` (a whole frame), never on screen.
void catch_up(double start, double fps, uint32_t* scratch);
