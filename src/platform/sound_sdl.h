// The sound device on a desktop: one SDL audio device that mixes every playing buffer.
#pragma once
#include <memory>

#include "platform/sound.h"

namespace platform {

// Opens the default SDL audio output (any driver, including "dummy" and "disk"); null with
// a line on stderr when SDL has no audio to give.
std::unique_ptr<SoundDevice> sdl_sound_device_open();

}  // namespace platform
