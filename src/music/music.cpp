// Placeholder until the streaming lands: a silent soundtrack that always starts.
#include "music/music.h"

int music_init(void*, const char*) { return 1; }
void music_start() {}
void music_pump(float) {}
void music_stop() {}
void sound_shutdown() {}
