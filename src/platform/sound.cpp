#include "platform/sound.h"

#include <cmath>
#include <cstdio>

#include "platform/options.h"
#include "platform/sound_headless.h"
#include "platform/sound_sdl.h"
#include "platform/window.h"

namespace platform {
namespace {

std::function<std::unique_ptr<SoundDevice>()>& factory_slot() {
  static std::function<std::unique_ptr<SoundDevice>()> slot;
  return slot;
}

std::function<void(const char*, const char*)>& message_sink() {
  static std::function<void(const char*, const char*)> sink;
  return sink;
}

double db_to_gain(int32_t hundredths) {
  if (hundredths <= kSoundVolumeMin) return 0.0;
  if (hundredths >= 0) return 1.0;
  return std::pow(10.0, hundredths / 2000.0);
}

}  // namespace

std::unique_ptr<SoundDevice> sound_device_create() {
  if (factory_slot()) return factory_slot()();
  const RunOptions& options = run_options();
  if (options.headless) return std::make_unique<HeadlessSoundDevice>(options.audio_capture, true);
  return sdl_sound_device_open();
}

void sound_set_device_factory(std::function<std::unique_ptr<SoundDevice>()> factory) {
  factory_slot() = std::move(factory);
}

void sound_gains(int32_t volume, int32_t pan, double* left, double* right) {
  // Panning only ever attenuates: the side the pan points to keeps the volume.
  int32_t left_db = volume - (pan > 0 ? pan : 0);
  int32_t right_db = volume + (pan < 0 ? pan : 0);
  *left = db_to_gain(left_db);
  *right = db_to_gain(right_db);
}

void sound_message_box(void* window, const char* text, const char* caption) {
  if (message_sink()) {
    message_sink()(text, caption);
    return;
  }
  message_box(window, text, caption);
}

void sound_set_message_sink(std::function<void(const char* text, const char* caption)> sink) {
  message_sink() = std::move(sink);
}

}  // namespace platform
