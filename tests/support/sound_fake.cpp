#include "support/sound_fake.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {
namespace {

std::string words(const char* name, long a, long b = 0, long c = 0, int n = 1) {
  char line[96];
  if (n == 1)
    std::snprintf(line, sizeof line, "%s %ld", name, a);
  else if (n == 2)
    std::snprintf(line, sizeof line, "%s %ld %ld", name, a, b);
  else
    std::snprintf(line, sizeof line, "%s %ld %ld %ld", name, a, b, c);
  return line;
}

class FakeBuffer : public SoundDeviceBuffer {
 public:
  FakeBuffer(std::shared_ptr<FakeSoundScript> script, int index)
      : s_(std::move(script)), i_(index) {}
  ~FakeBuffer() override { rec().released = true; }

  bool lock(uint32_t offset, uint32_t bytes, void** first, uint32_t* first_bytes, void** second,
            uint32_t* second_bytes) override {
    s_->calls.push_back(words("lock", i_, offset, bytes, 3));
    auto& once = s_->fail_lock_once;
    auto it = std::find(once.begin(), once.end(), i_);
    if (it != once.end()) {
      once.erase(it);
      return false;
    }
    FakeBufferRecord& r = rec();
    if (offset >= r.bytes || bytes == 0 || bytes > r.bytes) return false;
    ++r.locks;
    *first = r.data.data() + offset;
    *first_bytes = std::min(bytes, r.bytes - offset);
    *second = bytes > *first_bytes ? r.data.data() : nullptr;
    *second_bytes = bytes - *first_bytes;
    return true;
  }
  bool unlock(void*, uint32_t, void*, uint32_t) override {
    s_->calls.push_back(words("unlock", i_));
    return true;
  }
  bool set_current_position(uint32_t p) override {
    s_->calls.push_back(words("position", i_, p, 0, 2));
    rec().position = p;
    return true;
  }
  bool set_frequency(uint32_t hz) override {
    s_->calls.push_back(words("frequency", i_, hz, 0, 2));
    if (hz < kSoundFrequencyMin || hz > kSoundFrequencyMax) return false;
    rec().frequency = hz;
    return true;
  }
  bool set_volume(int32_t v) override {
    s_->calls.push_back(words("volume", i_, v, 0, 2));
    if (v < kSoundVolumeMin || v > kSoundVolumeMax) return false;
    rec().volume = v;
    return true;
  }
  bool set_pan(int32_t p) override {
    s_->calls.push_back(words("pan", i_, p, 0, 2));
    if (p < kSoundPanLeft || p > kSoundPanRight) return false;
    rec().pan = p;
    return true;
  }
  bool play(bool looping) override {
    s_->calls.push_back(words("play", i_, looping ? 1 : 0, 0, 2));
    rec().playing = true;
    rec().looping = looping;
    return true;
  }
  bool stop() override {
    s_->calls.push_back(words("stop", i_));
    rec().playing = false;
    return true;
  }
  bool get_current_position(uint32_t* cursor) override {
    ++rec().cursor_reads;
    *cursor = s_->cursor_fn ? s_->cursor_fn(i_) : s_->cursor;
    if (s_->on_cursor_read) s_->on_cursor_read(i_);
    return true;
  }

 private:
  FakeBufferRecord& rec() { return s_->buffers[static_cast<size_t>(i_)]; }
  std::shared_ptr<FakeSoundScript> s_;
  int i_;
};

}  // namespace

FakeSoundDevice::FakeSoundDevice(std::shared_ptr<FakeSoundScript> script)
    : script_(std::move(script)) {}

FakeSoundDevice::~FakeSoundDevice() {
  script_->device_released = true;
  script_->calls.push_back("release");
}

bool FakeSoundDevice::set_cooperative_level_priority(void*) {
  script_->calls.push_back("priority");
  return !script_->fail_level;
}

bool FakeSoundDevice::create_primary_buffer() {
  script_->calls.push_back("primary");
  return !script_->fail_primary;
}

bool FakeSoundDevice::set_primary_format(int channels, int rate, int bits) {
  script_->calls.push_back(words("format", channels, rate, bits, 3));
  return true;
}

std::unique_ptr<SoundDeviceBuffer> FakeSoundDevice::create_buffer(uint32_t bytes, int rate,
                                                                  int bits) {
  script_->calls.push_back(words("create_buffer", bytes, rate, bits, 3));
  if (created_++ == script_->fail_buffer) return nullptr;
  FakeBufferRecord r;
  r.bytes = bytes;
  r.rate = rate;
  r.bits = bits;
  r.frequency = static_cast<uint32_t>(rate);
  // A marker, not silence: tests see which bytes were never written.
  r.data.assign(bytes, 0xEE);
  script_->buffers.push_back(std::move(r));
  return std::make_unique<FakeBuffer>(script_, static_cast<int>(script_->buffers.size()) - 1);
}

}  // namespace platform
