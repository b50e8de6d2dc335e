#include "platform/sound_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// The SDL device always runs at 44,100 Hz, stereo, signed 16-bit; the primary format the
// show asks for is only a request, and each buffer is resampled from its own frequency.
constexpr int kOutRate = 44100;

struct SdlBufferState {
  std::vector<uint8_t> data;     // what the mixer plays
  std::vector<uint8_t> staging;  // what lock() hands out; copied in by unlock()
  uint32_t frames = 0;
  int bytes_per_sample = 2;
  uint32_t frequency = 22050;
  float gain_left = 1.0f;
  float gain_right = 1.0f;
  int32_t volume = 0;
  int32_t pan = 0;
  bool playing = false;
  bool looping = false;
  uint64_t position = 0;  // in frames, 32.32 fixed point
};

// Shared between the show's thread and SDL's audio thread. The mutex guards every field of
// every buffer state; it is held only for property changes, the copy of a locked region
// and one callback's mix, never while the caller decodes into the staging area.
struct SdlCore {
  std::mutex mutex;
  std::vector<std::shared_ptr<SdlBufferState>> buffers;
  SDL_AudioDeviceID device = 0;
  std::vector<int32_t> mix_left, mix_right;
};

float sample(const SdlBufferState& b, uint32_t i) {
  if (b.bytes_per_sample == 2) {
    int16_t s;
    std::memcpy(&s, &b.data[static_cast<size_t>(i) * 2], 2);
    return s;
  }
  return (static_cast<int>(b.data[i]) - 128) * 256.0f;
}

void mix_callback(void* user, Uint8* stream, int len) {
  SdlCore* core = static_cast<SdlCore*>(user);
  int frames = len / 4;
  std::lock_guard<std::mutex> guard(core->mutex);
  core->mix_left.assign(static_cast<size_t>(frames), 0);
  core->mix_right.assign(static_cast<size_t>(frames), 0);
  for (auto& bp : core->buffers) {
    SdlBufferState& b = *bp;
    if (!b.playing || b.frames == 0) continue;
    uint64_t step = (static_cast<uint64_t>(b.frequency) << 32) / kOutRate;
    uint64_t end = static_cast<uint64_t>(b.frames) << 32;
    for (int k = 0; k < frames; ++k) {
      uint32_t i = static_cast<uint32_t>(b.position >> 32);
      uint32_t next = i + 1 < b.frames ? i + 1 : (b.looping ? 0 : i);
      float frac = static_cast<float>(b.position & 0xffffffffu) * (1.0f / 4294967296.0f);
      float s0 = sample(b, i);
      float v = s0 + (sample(b, next) - s0) * frac;
      core->mix_left[static_cast<size_t>(k)] += static_cast<int32_t>(v * b.gain_left);
      core->mix_right[static_cast<size_t>(k)] += static_cast<int32_t>(v * b.gain_right);
      b.position += step;
      if (b.position >= end) {
        if (b.looping) {
          b.position -= end;
        } else {
          b.position = 0;
          b.playing = false;
          break;
        }
      }
    }
  }
  int16_t* out = reinterpret_cast<int16_t*>(stream);
  for (int k = 0; k < frames; ++k) {
    out[2 * k] =
        static_cast<int16_t>(std::clamp(core->mix_left[static_cast<size_t>(k)], -32768, 32767));
    out[2 * k + 1] =
        static_cast<int16_t>(std::clamp(core->mix_right[static_cast<size_t>(k)], -32768, 32767));
  }
}

class SdlBuffer : public SoundDeviceBuffer {
 public:
  SdlBuffer(std::shared_ptr<SdlCore> core, std::shared_ptr<SdlBufferState> state)
      : core_(std::move(core)), b_(std::move(state)) {}
  ~SdlBuffer() override {
    std::lock_guard<std::mutex> guard(core_->mutex);
    auto& list = core_->buffers;
    list.erase(std::remove(list.begin(), list.end(), b_), list.end());
  }

  bool lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* first_bytes, void** second,
            uint32_t* second_bytes) override {
    uint32_t size = static_cast<uint32_t>(b_->data.size());
    if (offset >= size || bytes == 0 || bytes > size) return false;
    *first_bytes = std::min(bytes, size - offset);
    *second_bytes = bytes - *first_bytes;
    {
      std::lock_guard<std::mutex> guard(core_->mutex);
      std::memcpy(b_->staging.data(), b_->data.data() + offset, *first_bytes);
      if (*second_bytes)
        std::memcpy(b_->staging.data() + *first_bytes, b_->data.data(), *second_bytes);
    }
    region_offset_ = offset;
    *first = b_->staging.data();
    *second = *second_bytes ? b_->staging.data() + *first_bytes : nullptr;
    return true;
  }

  bool unlock(void* first, uint32_t first_bytes, void* second, uint32_t second_bytes) override {
    if (first != b_->staging.data()) return false;
    std::lock_guard<std::mutex> guard(core_->mutex);
    uint32_t size = static_cast<uint32_t>(b_->data.size());
    first_bytes = std::min(first_bytes, size - region_offset_);
    std::memcpy(b_->data.data() + region_offset_, b_->staging.data(), first_bytes);
    if (second && second_bytes)
      std::memcpy(b_->data.data(), second, std::min(second_bytes, region_offset_));
    return true;
  }

  bool set_current_position(uint32_t byte_offset) override {
    if (byte_offset >= b_->data.size()) return false;
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->position = static_cast<uint64_t>(byte_offset / b_->bytes_per_sample) << 32;
    return true;
  }

  bool set_frequency(uint32_t hz) override {
    if (hz < kSoundFrequencyMin || hz > kSoundFrequencyMax) return false;
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->frequency = hz;
    return true;
  }

  bool set_volume(int32_t v) override {
    if (v < kSoundVolumeMin || v > kSoundVolumeMax) return false;
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->volume = v;
    update_gains();
    return true;
  }

  bool set_pan(int32_t pan) override {
    if (pan < kSoundPanLeft || pan > kSoundPanRight) return false;
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->pan = pan;
    update_gains();
    return true;
  }

  bool play(bool looping) override {
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->looping = looping;
    b_->playing = true;
    return true;
  }

  bool stop() override {
    std::lock_guard<std::mutex> guard(core_->mutex);
    b_->playing = false;
    return true;
  }

  bool get_current_position(uint32_t* play_cursor) override {
    std::lock_guard<std::mutex> guard(core_->mutex);
    *play_cursor = static_cast<uint32_t>(b_->position >> 32) * b_->bytes_per_sample;
    return true;
  }

 private:
  void update_gains() {
    double l, r;
    sound_gains(b_->volume, b_->pan, &l, &r);
    b_->gain_left = static_cast<float>(l);
    b_->gain_right = static_cast<float>(r);
  }

  std::shared_ptr<SdlCore> core_;
  std::shared_ptr<SdlBufferState> b_;
  uint32_t region_offset_ = 0;
};

class SdlSoundDevice : public SoundDevice {
 public:
  explicit SdlSoundDevice(std::shared_ptr<SdlCore> core) : core_(std::move(core)) {}
  ~SdlSoundDevice() override {
    SDL_CloseAudioDevice(core_->device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool set_cooperative_level_priority(void*) override { return true; }
  bool create_primary_buffer() override { return true; }
  bool set_primary_format(int, int, int) override { return true; }

  std::unique_ptr<SoundDeviceBuffer> create_buffer(uint32_t bytes, int rate, int bits) override {
    if ((bits != 8 && bits != 16) || rate < static_cast<int>(kSoundFrequencyMin) ||
        rate > static_cast<int>(kSoundFrequencyMax) || bytes == 0 || bytes % (bits / 8) != 0)
      return nullptr;
    auto state = std::make_shared<SdlBufferState>();
    state->bytes_per_sample = bits / 8;
    state->data.assign(bytes, bits == 8 ? 128 : 0);
    state->staging.assign(bytes, 0);
    state->frames = bytes / static_cast<uint32_t>(state->bytes_per_sample);
    state->frequency = static_cast<uint32_t>(rate);
    {
      std::lock_guard<std::mutex> guard(core_->mutex);
      core_->buffers.push_back(state);
    }
    return std::make_unique<SdlBuffer>(core_, state);
  }

 private:
  std::shared_ptr<SdlCore> core_;
};

}  // namespace

std::unique_ptr<SoundDevice> sdl_sound_device_open() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "no sound: %s\n", SDL_GetError());
    return nullptr;
  }
  auto core = std::make_shared<SdlCore>();
  SDL_AudioSpec want{};
  want.freq = kOutRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = mix_callback;
  want.userdata = core.get();
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware wants behind our back.
  core->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (core->device == 0) {
    std::fprintf(stderr, "no sound: %s\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  SDL_PauseAudioDevice(core->device, 0);
  return std::make_unique<SdlSoundDevice>(core);
}

}  // namespace platform
