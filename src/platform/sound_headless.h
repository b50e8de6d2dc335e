// The sound device of headless runs: nothing is heard; each buffer's play cursor moves with
// the virtual clock (rate x bytes per sample x virtual time since play, wrapping), the mix
// can be written to a WAV file, and refills that come too late are counted as underruns.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "platform/sound.h"

namespace platform {

struct HeadlessSoundCore;

class HeadlessSoundDevice : public SoundDevice {
 public:
  // capture_path: where the mix goes as a 16-bit stereo WAV at the first buffer's rate
  // ("" = nowhere). report: print the underrun count on stderr when released.
  HeadlessSoundDevice(std::string capture_path, bool report);
  ~HeadlessSoundDevice() override;

  bool set_cooperative_level_priority(void* window) override;
  bool create_primary_buffer() override;
  bool set_primary_format(int channels, int rate, int bits) override;
  std::unique_ptr<SoundDeviceBuffer> create_buffer(uint32_t bytes, int rate, int bits) override;

  // Times a play cursor entered a half of its buffer that had not been rewritten since
  // the cursor last left it.
  int underruns() const;

 private:
  std::shared_ptr<HeadlessSoundCore> core_;
};

// The underrun count of the last headless device released (-1: none yet).
int sound_headless_last_underruns();

}  // namespace platform
