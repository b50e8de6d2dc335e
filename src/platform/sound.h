// The sound device stand-in: what the show asks of DirectSound (a device at priority level,
// a primary format, looping mono secondary buffers with frequency, volume and pan, lock and
// unlock, a play cursor), served by SDL2 audio on a desktop, by a virtual device driven by
// the virtual clock in headless runs, or by a scripted fake in tests.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// Volume in hundredths of a decibel, pan in hundredths of a decibel of attenuation of the
// other side, frequency in Hz: DirectSound's ranges. Values outside are refused.
constexpr int32_t kSoundVolumeMin = -10000;  // silent
constexpr int32_t kSoundVolumeMax = 0;       // full
constexpr int32_t kSoundPanLeft = -10000;
constexpr int32_t kSoundPanRight = 10000;
constexpr uint32_t kSoundFrequencyMin = 100;
constexpr uint32_t kSoundFrequencyMax = 100000;

// One looping mono secondary buffer (IDirectSoundBuffer).
class SoundDeviceBuffer {
 public:
  virtual ~SoundDeviceBuffer() = default;
  // Maps bytes from offset (wrapping at the buffer's end) as up to two pieces; the second
  // piece is null with size 0 when the region does not wrap.
  virtual bool lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* first_bytes,
                    void** second, uint32_t* second_bytes) = 0;
  // Hands back what lock() gave; only then does the written data reach the mixer.
  virtual bool unlock(void* first, uint32_t first_bytes, void* second, uint32_t second_bytes) = 0;
  virtual bool set_current_position(uint32_t byte_offset) = 0;
  virtual bool set_frequency(uint32_t hz) = 0;
  virtual bool set_volume(int32_t hundredths_db) = 0;
  virtual bool set_pan(int32_t pan) = 0;
  virtual bool play(bool looping) = 0;
  virtual bool stop() = 0;
  // The play cursor in bytes from the buffer's start.
  virtual bool get_current_position(uint32_t* play_cursor) = 0;
};

// The device (IDirectSound plus its primary buffer).
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  virtual bool set_cooperative_level_priority(void* window) = 0;
  virtual bool create_primary_buffer() = 0;
  // A request only: the real devices keep their own output format and resample.
  virtual bool set_primary_format(int channels, int rate, int bits) = 0;
  // A mono PCM buffer of bytes at rate with bits (8 unsigned or 16 signed); null on failure.
  virtual std::unique_ptr<SoundDeviceBuffer> create_buffer(uint32_t bytes, int rate, int bits) = 0;
};

// DirectSoundCreate: the virtual device for headless runs, else SDL audio. Null when the
// device cannot be opened (the reason goes to stderr).
std::unique_ptr<SoundDevice> sound_device_create();

// Tests replace the device maker; an empty function restores the default.
void sound_set_device_factory(std::function<std::unique_ptr<SoundDevice>()> factory);

// Gain of a volume/pan pair for the left and right output, 0.0 .. 1.0, attenuating the
// side away from the pan as DirectSound does (pan -10000: right silent).
void sound_gains(int32_t volume, int32_t pan, double* left, double* right);

// The music's message boxes: the window's message box, unless a test routes them elsewhere.
void sound_message_box(void* window, const char* text, const char* caption);
void sound_set_message_sink(std::function<void(const char* text, const char* caption)> sink);

}  // namespace platform
