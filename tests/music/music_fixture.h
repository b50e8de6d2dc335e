// Shared set-up for the music tests: a scripted sound device, collected message boxes and
// test soundtracks made once per run.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mp3_fixture.h"
#include "music/music.h"
#include "music/streaming.h"
#include "platform/files.h"
#include "platform/options.h"
#include "platform/sound.h"
#include "support/sound_fake.h"

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = std::make_shared<platform::FakeSoundScript>();
    auto s = script;
    platform::sound_set_device_factory(
        [s] { return std::make_unique<platform::FakeSoundDevice>(s); });
    platform::sound_set_message_sink([this](const char* text, const char* caption) {
      messages.push_back(std::string(caption) + "|" + text);
    });
    platform::run_options() = platform::RunOptions{};
  }

  void TearDown() override {
    music_stop();
    sound_shutdown();
    platform::sound_set_device_factory(nullptr);
    platform::sound_set_message_sink(nullptr);
    platform::run_options() = platform::RunOptions{};
    platform::set_data_dir(".");
  }

  // A data folder whose music/var56.mp3 lasts seconds (made once per run).
  static std::string soundtrack(double seconds, bool mono = false) {
    static std::map<std::string, std::string> made;
    std::string key = std::to_string(static_cast<int>(seconds * 10)) + (mono ? "m" : "s");
    auto it = made.find(key);
    if (it != made.end()) return it->second;
    std::string dir = testmp3::data_folder("track_" + key);
    EXPECT_TRUE(testmp3::encode(dir + "/music/var56.mp3", seconds, mono));
    made[key] = dir;
    return dir;
  }

  static const testmp3::Decoded& reference(const std::string& dir, int bits, int ds) {
    static std::map<std::string, testmp3::Decoded> decoded;
    std::string key = dir + "|" + std::to_string(bits) + "|" + std::to_string(ds);
    auto it = decoded.find(key);
    if (it == decoded.end())
      it = decoded.emplace(key, testmp3::decode(dir + "/music/var56.mp3", bits, ds)).first;
    return it->second;
  }

  int16_t sample16(int buffer, size_t index) const {
    int16_t v;
    std::memcpy(&v, &script->buffers[static_cast<size_t>(buffer)].data[index * 2], 2);
    return v;
  }

  // Index of the first 16-bit sample of buffer (from first, count long) that differs from
  // channel of the reference starting at ref_first; -1 when all agree.
  long first_mismatch16(int buffer, size_t first, const testmp3::Decoded& ref, int channel,
                        size_t ref_first, size_t count) const {
    for (size_t i = 0; i < count; ++i) {
      size_t r = ref_first + i;
      int16_t want = r < ref.pairs() ? ref.pcm16[2 * r + static_cast<size_t>(channel)] : 0;
      if (sample16(buffer, first + i) != want) return static_cast<long>(i);
    }
    return -1;
  }

  std::shared_ptr<platform::FakeSoundScript> script;
  std::vector<std::string> messages;
};
