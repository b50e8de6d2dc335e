// A scripted sound device for tests: it records every call, keeps every buffer's bytes for
// inspection after release, reports a play cursor the test chooses and fails on request.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound.h"

namespace platform {

struct FakeBufferRecord {
  uint32_t bytes = 0;
  int rate = 0;
  int bits = 0;
  std::vector<uint8_t> data;
  uint32_t frequency = 0;
  int32_t volume = 0;
  int32_t pan = 0;
  uint32_t position = 0;
  bool playing = false;
  bool looping = false;
  bool released = false;
  int locks = 0;
  int cursor_reads = 0;
};

struct FakeSoundScript {
  // Failures to stage.
  bool fail_level = false;
  bool fail_primary = false;
  int fail_buffer = -1;             // index of the create_buffer call that fails
  std::vector<int> fail_lock_once;  // buffer indices whose next lock fails (consumed)
  // The play cursor every buffer reports; cursor_fn, when set, decides instead.
  uint32_t cursor = 0;
  std::function<uint32_t(int buffer)> cursor_fn;
  // Called on every cursor read (after counting it), e.g. to check decoding state.
  std::function<void(int buffer)> on_cursor_read;

  std::vector<std::string> calls;  // "create_buffer 1638400 44100 16", "lock 0 0 819200", ...
  std::vector<FakeBufferRecord> buffers;
  bool device_released = false;
};

class FakeSoundDevice : public SoundDevice {
 public:
  explicit FakeSoundDevice(std::shared_ptr<FakeSoundScript> script);
  ~FakeSoundDevice() override;
  bool set_cooperative_level_priority(void* window) override;
  bool create_primary_buffer() override;
  bool set_primary_format(int channels, int rate, int bits) override;
  std::unique_ptr<SoundDeviceBuffer> create_buffer(uint32_t bytes, int rate, int bits) override;

 private:
  std::shared_ptr<FakeSoundScript> script_;
  int created_ = 0;
};

}  // namespace platform
