// The pieces of the soundtrack streaming that the host does not call directly: the option
// search, the memory stream, the sound buffers and the PCM writer. Exposed for tests.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/sound.h"

constexpr int kChannelBufferBytes = 1638400;  // each channel buffer: two halves
constexpr int kHalfBytes = 819200;
constexpr int kFlushBytes = 1638400;  // the accumulator flushes from this fill
constexpr int kAccumulatorBytes = 2 * kFlushBytes;

struct SoundBuffer {
  std::unique_ptr<platform::SoundDeviceBuffer> interface;
  int32_t bits = 16;
  int32_t rate = 0;
  int32_t looping = 0;
  int32_t locked = 0;
  void* region1 = nullptr;
  int32_t region1_bytes = 0;
  void* region2 = nullptr;
  int32_t region2_bytes = 0;
};

// Position + 1 of the first match of option in command_line, or 0 (see music_init).
int find_option(const char* command_line, const char* option);

// DirectSound volume (hundredths of a dB) for a show volume 0..255.
const int32_t* volume_table();

// The whole soundtrack file in memory.
struct MemoryStream {
  uint8_t* block = nullptr;
  long size = 0;
  long position = 0;
};
bool mem_stream_open(MemoryStream* s, const char* show_name);
size_t mem_stream_read(MemoryStream* s, void* destination, size_t item_size, size_t item_count);
int mem_stream_seek(MemoryStream* s, long offset, int origin);  // 0, or 1 for a bad origin
long mem_stream_tell(const MemoryStream* s);
void mem_stream_close(MemoryStream* s);

// The sound device as the music uses it.
int sound_start(void* window, int rate, int bits);
SoundBuffer* sound_create_buffer(int bytes, int rate, int bits);
int sound_lock(SoundBuffer* b, int offset, int bytes);
int sound_unlock(SoundBuffer* b);
void sound_play(SoundBuffer* b, int position, int frequency, int volume, int pan);
void sound_stop(SoundBuffer* b);
int sound_play_position(SoundBuffer* b);

// Writes one accumulator flush into the next half of each channel buffer.
void pcm_write(const uint8_t* samples, int byte_count);

// What the module holds, for tests and benchmarks to look at.
struct MusicState {
  int output_bits = 16;
  int stereo = 1;
  int down_sampling = 0;
  int ready = 0;  // music_init succeeded
  int playing = 0;
  int next_half = 0;
  int output_rate = 0;
  int ended = 0;  // the stream has no more frames
  long frames_decoded = 0;
  int accumulator_fill = 0;
  int last_pump_budget = 0;
  SoundBuffer* left = nullptr;
  SoundBuffer* right = nullptr;
  SoundBuffer* centre = nullptr;
  SoundBuffer* position_buffer = nullptr;
};
const MusicState& music_state();
