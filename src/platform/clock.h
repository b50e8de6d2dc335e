// The show's only clock: a stand-in for the multimedia timer's timeGetTime(), plus the
// virtual clock that headless runs (capture, benchmarks, tests) drive frame by frame.
#pragma once
#include <cstdint>

namespace platform {

// Milliseconds since process start, as an unsigned 32-bit count (timeGetTime()).
// While the virtual clock is on, this is the virtual time in whole milliseconds.
uint32_t time_get_time();

// The virtual clock. Headless runs switch it on before anything reads the clock and
// set it once per frame; the headless sound device derives its play cursor from it.
void virtual_clock_enable(double seconds);
bool virtual_clock_enabled();
void virtual_clock_set(double seconds);
double virtual_clock_seconds();

}  // namespace platform
