// The headless backend: no window, no screen, a surface in memory whose frames can be
// handed to a FrameSink (capture).
#pragma once
#include "platform/backend.h"
#include "platform/capture.h"

namespace platform {

// Every unlocked frame goes to sink (null: nowhere). The sink is not owned.
void headless_set_frame_sink(FrameSink* sink);

// Whether --bits and --mode let the stand-in drivers accept this mode.
bool run_allows_mode(int width, int height, int bits);

}  // namespace platform
