// --bench: the timeline played headless with every row's handler timed.
#pragma once
#include <cstdint>
#include <cstdio>

// Forgets earlier measurements.
void bench_reset();
// Draws the frame as sequencer_frame does, timing each row's handler and the fades.
int bench_sequencer_frame(uint32_t* pixels, float t);
// The table: row, handler, parameter, frames, mean ms per frame, frames per second; then
// the fades; the last line is "total: N frames in X s, Y fps".
void bench_report(std::FILE* out, long frames, double seconds);
