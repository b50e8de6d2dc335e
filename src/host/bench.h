// --bench: the timeline played headless with every row's handler timed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Forgets earlier measurements.
void bench_reset();
// Draws the frame as sequencer_frame does, timing each row's handler and the fades.
int bench_sequencer_frame(uint32_t* pixels, float t);
// The table: row, handler, parameter, frames, mean ms per frame, frames per second; then
// the fades; the last line is "total: N frames in X s, Y fps".
// Before it: the start-up time, the peak resident memory, the worst frame and where it
// was, the worst frame that is no row's first (first frames load and set up), and which routines
// (SIMD or plain) ran.
void bench_report(std::FILE* out, long frames, double seconds);
// The same figures as JSON; false when the file cannot be written.
bool bench_write_json(const std::string& path, long frames, double seconds);
