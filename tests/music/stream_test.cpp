// Priming, the PCM writer's formats, the pump's rules and the ends of the stream, against
// the scripted device.
#include <filesystem>

#include "music_fixture.h"

namespace {
constexpr size_t kHalfSamples16 = kHalfBytes / 2;
}

TEST_F(MusicTest, PrimingFillsHalfZeroWithTheDecodedStereoChannels) {
  std::string dir = soundtrack(12.0);
  platform::set_data_dir(dir);
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const auto& ref = reference(dir, 16, 0);
  ASSERT_GT(ref.pairs(), 2 * kHalfSamples16 / 2);
  ASSERT_EQ(script->buffers.size(), 2u);
  EXPECT_EQ(script->buffers[0].bytes, static_cast<uint32_t>(kChannelBufferBytes));
  EXPECT_EQ(script->buffers[0].rate, 44100);
  EXPECT_EQ(script->buffers[0].bits, 16);
  EXPECT_EQ(music_state().next_half, 1);
  EXPECT_EQ(music_state().position_buffer, music_state().left);
  EXPECT_EQ(first_mismatch16(0, 0, ref, 0, 0, kHalfSamples16), -1);
  EXPECT_EQ(first_mismatch16(1, 0, ref, 1, 0, kHalfSamples16), -1);
  // Half 1 is untouched until the pump fills it.
  EXPECT_EQ(script->buffers[0].data[kHalfBytes], 0xEE);
  EXPECT_TRUE(messages.empty());
}

TEST_F(MusicTest, SamplesBeyondAHalfCarryIntoTheNextAndTheEndIsSilenced) {
  std::string dir = soundtrack(12.0);
  platform::set_data_dir(dir);
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const auto& ref = reference(dir, 16, 0);
  music_start();
  // Cursor in half 0: half 1 may be filled.
  script->cursor = 1000;
  float t = 0.0f;
  for (int i = 0; i < 400 && music_state().next_half == 1; ++i) music_pump(t += 0.1f);
  ASSERT_EQ(music_state().next_half, 0);
  // 12 s of music end inside half 1: the rest of it is silence, nothing old is left.
  EXPECT_EQ(music_state().ended, 1);
  EXPECT_EQ(first_mismatch16(0, kHalfSamples16, ref, 0, kHalfSamples16, kHalfSamples16), -1);
  EXPECT_EQ(first_mismatch16(1, kHalfSamples16, ref, 1, kHalfSamples16, kHalfSamples16), -1);
  // Nothing happens while the cursor stays in half 0 (the next half).
  long frames = music_state().frames_decoded;
  for (int i = 0; i < 10; ++i) music_pump(t += 0.1f);
  EXPECT_EQ(music_state().next_half, 0);
  EXPECT_EQ(music_state().frames_decoded, frames);
  // Once the cursor plays half 1, half 0 becomes silence rather than replaying the start.
  script->cursor = kHalfBytes + 4;
  music_pump(t += 0.1f);
  EXPECT_EQ(music_state().next_half, 1);
  for (size_t i = 0; i < kHalfSamples16; ++i) {
    if (sample16(0, i) != 0 || sample16(1, i) != 0) {
      FAIL() << "sample " << i << " of half 0 is not silent";
    }
  }
}

TEST_F(MusicTest, AStreamShorterThanAHalfStopsPrimingWithSilenceAfterIt) {
  std::string dir = soundtrack(3.0);
  platform::set_data_dir(dir);
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const auto& ref = reference(dir, 16, 0);
  EXPECT_EQ(music_state().ended, 1);
  EXPECT_EQ(music_state().next_half, 1);
  EXPECT_EQ(first_mismatch16(0, 0, ref, 0, 0, kHalfSamples16), -1);
  EXPECT_EQ(sample16(0, ref.pairs() + 10), 0);
  EXPECT_EQ(sample16(0, kHalfSamples16 - 1), 0);
}

TEST_F(MusicTest, MonoEightBitAndDownSamplingWriteWhatTheDecoderGives) {
  std::string dir = soundtrack(3.0);
  platform::set_data_dir(dir);
  {
    ASSERT_EQ(music_init(nullptr, "mono"), 1);
    ASSERT_EQ(script->buffers.size(), 1u);
    const auto& ref = reference(dir, 16, 0);
    for (size_t i = 0; i < ref.pairs(); ++i) {
      int want = (ref.pcm16[2 * i] + ref.pcm16[2 * i + 1]) >> 1;
      ASSERT_EQ(sample16(0, i), want) << i;
    }
    music_stop();
    sound_shutdown();
  }
  for (int ds : {1, 2}) {
    script->buffers.clear();
    ASSERT_EQ(music_init(nullptr, ds == 1 ? "2to1" : "4to1"), 1);
    const auto& ref = reference(dir, 16, ds);
    EXPECT_EQ(ref.rate, 44100 >> ds);
    EXPECT_EQ(script->buffers[0].rate, 44100 >> ds);
    EXPECT_EQ(first_mismatch16(0, 0, ref, 0, 0, ref.pairs()), -1);
    EXPECT_EQ(first_mismatch16(1, 0, ref, 1, 0, ref.pairs()), -1);
    music_stop();
    sound_shutdown();
  }
  {
    script->buffers.clear();
    ASSERT_EQ(music_init(nullptr, "8bit"), 1);
    const auto& ref = reference(dir, 8, 0);
    ASSERT_EQ(script->buffers[0].bits, 8);
    for (size_t i = 0; i < ref.pairs(); ++i) {
      ASSERT_EQ(script->buffers[0].data[i], ref.pcm8[2 * i] + 128) << i;
      ASSERT_EQ(script->buffers[1].data[i], ref.pcm8[2 * i + 1] + 128) << i;
    }
    EXPECT_EQ(script->buffers[0].data[kHalfBytes - 1], 128);  // silence after the end
  }
}

TEST_F(MusicTest, WriterMixesMonoAndMakesEightBitUnsigned) {
  platform::set_data_dir(soundtrack(2.0));
  ASSERT_EQ(music_init(nullptr, "mono"), 1);
  std::vector<uint8_t> acc(kFlushBytes, 0);
  int16_t pair[2] = {1000, -3001};
  std::memcpy(acc.data(), pair, 4);
  pcm_write(acc.data(), kFlushBytes);  // into half 1
  EXPECT_EQ(sample16(0, kHalfSamples16), -1001);
  music_stop();
  sound_shutdown();

  script->buffers.clear();
  ASSERT_EQ(music_init(nullptr, "8bit"), 1);
  int8_t bytes[4] = {-128, 127, 0, -1};
  std::memcpy(acc.data(), bytes, 4);
  pcm_write(acc.data(), kFlushBytes);
  EXPECT_EQ(script->buffers[0].data[kHalfBytes], 0);
  EXPECT_EQ(script->buffers[1].data[kHalfBytes], 255);
  EXPECT_EQ(script->buffers[0].data[kHalfBytes + 1], 128);
  EXPECT_EQ(script->buffers[1].data[kHalfBytes + 1], 127);
}

TEST_F(MusicTest, AMonoFileIsDecodedToTwoEqualChannels) {
  std::string dir = soundtrack(3.0, true);
  platform::set_data_dir(dir);
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const auto& ref = reference(dir, 16, 0);
  // 3 s of music at 44,100 Hz, not 1.5 s of pairs read as left and right.
  EXPECT_NEAR(static_cast<double>(ref.pairs()), 3.0 * 44100, 2.0);
  EXPECT_EQ(first_mismatch16(0, 0, ref, 0, 0, ref.pairs()), -1);
  EXPECT_EQ(first_mismatch16(1, 0, ref, 0, 0, ref.pairs()), -1);
  EXPECT_NE(sample16(0, ref.pairs() / 2), 0);
}

TEST_F(MusicTest, StartTimeDropsTheMusicBeforeIt) {
  std::string dir = soundtrack(12.0);
  platform::set_data_dir(dir);
  platform::run_options().start = 5.5;
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const auto& ref = reference(dir, 16, 0);
  size_t skip = static_cast<size_t>(5.5 * 44100);
  EXPECT_EQ(first_mismatch16(0, 0, ref, 0, skip, ref.pairs() - skip), -1);
  EXPECT_EQ(first_mismatch16(1, 0, ref, 1, skip, ref.pairs() - skip), -1);
}

TEST_F(MusicTest, PumpKeepsToItsBudgetAndTheOtherHalf) {
  platform::set_data_dir(soundtrack(12.0));
  ASSERT_EQ(music_init(nullptr, ""), 1);
  music_start();
  // Cursor in the half the next flush writes: nothing is decoded, whatever the budget.
  script->cursor = kHalfBytes;
  long before = music_state().frames_decoded;
  music_pump(0.0f);
  EXPECT_EQ(music_state().last_pump_budget, 5);
  music_pump(1.0f);
  EXPECT_EQ(music_state().last_pump_budget, 65);
  EXPECT_EQ(music_state().frames_decoded, before);
  EXPECT_EQ(script->buffers[0].cursor_reads, 70);

  // In the other half every round decodes one frame, and never more than the budget.
  script->cursor = 0;
  struct Step {
    float dt;
    int budget;
  } steps[] = {// the forced round at 0.001 s spends the half frame carried from before
               {0.1f, 6},
               {0.001f, 1},
               {0.1f, 6},
               {0.0f, 1},
               {0.5f, 32}};
  float t = 1.0f;
  for (const Step& s : steps) {
    long was = music_state().frames_decoded;
    music_pump(t += s.dt);
    EXPECT_EQ(music_state().last_pump_budget, s.budget) << s.dt;
    EXPECT_EQ(music_state().frames_decoded - was, s.budget) << s.dt;
  }
}

TEST_F(MusicTest, BudgetCarriesItsFractionAtEveryFrameRate) {
  platform::set_data_dir(soundtrack(2.0));
  ASSERT_EQ(music_init(nullptr, ""), 1);
  music_start();
  script->cursor = kHalfBytes;  // no decoding; only the budgets matter
  for (double fps : {10.0, 35.0, 38.0, 60.0}) {
    music_stop();
    sound_shutdown();
    ASSERT_EQ(music_init(nullptr, ""), 1);
    music_start();
    long total = 0;
    int frames = static_cast<int>(20 * fps);
    for (int k = 0; k <= frames; ++k) {
      music_pump(static_cast<float>(k / fps));
      if (k > 0) total += music_state().last_pump_budget;
    }
    // 20 s at 65 frames a second, within one frame.
    EXPECT_NEAR(static_cast<double>(total), 1300.0, 1.0) << fps;
  }
}

TEST_F(MusicTest, FailedLocksAndBuffersAreReportedAndSkipped) {
  std::string dir = soundtrack(12.0);
  platform::set_data_dir(dir);
  const auto& ref = reference(dir, 16, 0);
  script->fail_lock_once = {0};
  ASSERT_EQ(music_init(nullptr, ""), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "fail|left");
  EXPECT_EQ(script->buffers[0].data[0], 0xEE);  // the left buffer missed half 0
  EXPECT_EQ(first_mismatch16(1, 0, ref, 1, 0, kHalfSamples16), -1);
  music_start();
  script->fail_lock_once = {1};
  float t = 0.0f;
  for (int i = 0; i < 400 && music_state().next_half == 1; ++i) music_pump(t += 0.1f);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], "fail|right");
  EXPECT_EQ(first_mismatch16(0, kHalfSamples16, ref, 0, kHalfSamples16, kHalfSamples16), -1);
  music_stop();
  sound_shutdown();

  messages.clear();
  script->buffers.clear();
  script->fail_lock_once = {0};
  ASSERT_EQ(music_init(nullptr, "mono"), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "fail|middle");
}

TEST_F(MusicTest, AMissingChannelBufferIsReportedAndNeverUsed) {
  std::string dir = soundtrack(12.0);
  platform::set_data_dir(dir);
  const auto& ref = reference(dir, 16, 0);
  script->fail_buffer = 0;
  ASSERT_EQ(music_init(nullptr, ""), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Quiet Orbit - Tidal Hall (Long Night Mix)|Unable to allocate left channel buffer!");
  EXPECT_EQ(music_state().left, nullptr);
  ASSERT_EQ(script->buffers.size(), 1u);  // the right one
  EXPECT_EQ(music_state().position_buffer, music_state().right);
  music_start();
  float t = 0.0f;
  for (int i = 0; i < 400 && music_state().next_half == 1; ++i) music_pump(t += 0.1f);
  EXPECT_EQ(first_mismatch16(0, 0, ref, 1, 0, 2 * kHalfSamples16), -1);
  music_stop();
  sound_shutdown();

  messages.clear();
  script->buffers.clear();
  script->fail_buffer = 1;
  ASSERT_EQ(music_init(nullptr, ""), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Quiet Orbit - Tidal Hall (Long Night Mix)|Unable to allocate right channel buffer!");
  EXPECT_EQ(music_state().right, nullptr);
}

TEST_F(MusicTest, InitFailsWithoutDeviceFileOrDecodableFrame) {
  // No file at all.
  platform::set_data_dir(testmp3::data_folder("empty"));
  EXPECT_EQ(music_init(nullptr, ""), 0);
  music_start();
  music_pump(0.0f);
  music_pump(1.0f);
  music_stop();
  sound_shutdown();
  EXPECT_TRUE(script->device_released);

  // Bytes that are no MP3, an empty file, and a directory in the file's place.
  std::string dir = testmp3::data_folder("garbage");
  {
    FILE* f = std::fopen((dir + "/music/var56.mp3").c_str(), "wb");
    for (int i = 0; i < 20000; ++i) std::fputc((i * 7919) & 0x7f, f);
    std::fclose(f);
  }
  platform::set_data_dir(dir);
  EXPECT_EQ(music_init(nullptr, ""), 0);
  sound_shutdown();
  std::fclose(std::fopen((dir + "/music/var56.mp3").c_str(), "wb"));
  EXPECT_EQ(music_init(nullptr, ""), 0);
  sound_shutdown();
  std::string folder = testmp3::data_folder("folder");
  std::filesystem::create_directories(folder + "/music/var56.mp3");
  platform::set_data_dir(folder);
  EXPECT_EQ(music_init(nullptr, ""), 0);
  EXPECT_TRUE(script->buffers.empty());
  sound_shutdown();

  // A device that refuses the priority level.
  platform::set_data_dir(soundtrack(2.0));
  script->fail_level = true;
  EXPECT_EQ(music_init(nullptr, ""), 0);
  script->fail_level = false;
  EXPECT_EQ(music_init(nullptr, ""), 1);
  for (const std::string& call : script->calls) EXPECT_EQ(call.rfind("play", 0), std::string::npos);
  EXPECT_TRUE(messages.empty());
}
