// The headless backend: no window, no screen, a surface in memory whose frames can be
// handed to a FrameSink (capture).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/backend.h"
#include "platform/capture.h"

namespace platform {

// Where headless_capture_frame sends frames (null: nowhere). The sink is not owned.
void headless_set_frame_sink(FrameSink* sink);
// Hands what the screen surface shows now to the sink; the host calls it once per
// presented frame, so the display's own start-up clear is never taken for a frame.
void headless_capture_frame();

// Whether --bits and --mode let the stand-in drivers accept this mode.
bool run_allows_mode(int width, int height, int bits);

// The memory behind a stand-in screen surface: packed rows of the mode, not black, since
// fresh video memory is not either (the display must clear what it shows).
void make_surface_memory(SurfaceDesc* desc, std::vector<uint8_t>* memory, int width, int height,
                         int bits);

}  // namespace platform
