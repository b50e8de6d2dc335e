// The soundtrack: one MP3 read into memory, decoded a little each frame into looping
// sound buffers, half by half.
#pragma once

// window: the show's window (for message boxes); command_line: the show's music words.
int music_init(void* window, const char* command_line);
void music_start();
void music_pump(float t);
void music_stop();
void sound_shutdown();
