// Placeholder while the sequencer is being written.
#include "sequencer/sequencer.h"
int sequencer_frame(uint32_t*, float t) { return t <= 266.0f; }
void init_fades(int, int, int) {}
int32_t has_mmx = 0;
