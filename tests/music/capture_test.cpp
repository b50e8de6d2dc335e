// The soundtrack played by the headless device on the virtual clock, as a capture records it.
#include <cstdio>

#include "music_fixture.h"
#include "platform/clock.h"
#include "platform/sound_headless.h"

namespace {

// Plays [0, seconds) at fps through the headless device; returns the capture's samples.
std::vector<int16_t> play_headless(const std::string& wav, double seconds, double fps,
                                   const char* words, int* rate) {
  platform::run_options().headless = true;
  platform::run_options().audio_capture = wav;
  platform::virtual_clock_enable(0.0);
  EXPECT_EQ(music_init(nullptr, words), 1);
  music_start();
  int frames = static_cast<int>(seconds * fps + 0.5);
  for (int k = 0; k < frames; ++k) {
    double t = k / fps;
    platform::virtual_clock_set(t);
    music_pump(static_cast<float>(t));
  }
  platform::virtual_clock_set(seconds);
  music_stop();
  sound_shutdown();
  return testmp3::read_wav(wav, rate);
}

}  // namespace

class HeadlessMusicTest : public MusicTest {
 protected:
  void SetUp() override {
    MusicTest::SetUp();
    platform::sound_set_device_factory(nullptr);  // the real headless device
  }
  void TearDown() override {
    MusicTest::TearDown();
    platform::virtual_clock_set(0.0);
  }
};

TEST_F(HeadlessMusicTest, CaptureHoldsExactlyTheDecodedSamplesAcrossHalves) {
  std::string dir = soundtrack(32.0);
  platform::set_data_dir(dir);
  const auto& ref = reference(dir, 16, 0);
  int rate = 0;
  std::vector<int16_t> wav = play_headless(dir + "/audio.wav", 30.0, 10.0, "", &rate);
  EXPECT_EQ(rate, 44100);
  ASSERT_EQ(wav.size(), 2u * 30 * 44100);
  // Through the boundaries at 9.29 s, 18.58 s and 27.87 s: no gap, no repeat, no glitch.
  size_t bad = wav.size();
  for (size_t i = 0; i < wav.size(); ++i) {
    if (wav[i] != ref.pcm16[i]) {
      bad = i;
      break;
    }
  }
  EXPECT_EQ(bad, wav.size()) << "first difference at " << bad / 2 << " ("
                             << (bad % 2 ? "right" : "left") << ")";
  EXPECT_EQ(platform::sound_headless_last_underruns(), 0);
}

TEST_F(HeadlessMusicTest, NoUnderrunsAtAwkwardFrameRatesOrWithTheSmallerFormats) {
  std::string dir = soundtrack(40.0);
  platform::set_data_dir(dir);
  int rate = 0;
  for (double fps : {35.0, 37.0, 240.0}) {
    play_headless("", 45.0, fps, "", &rate);
    EXPECT_EQ(platform::sound_headless_last_underruns(), 0) << fps;
  }
  // Mono at quarter rate in 8 bits: one centred buffer heard on both sides.
  std::vector<int16_t> wav = play_headless(dir + "/mono.wav", 12.0, 24.0, "8bit mono 4to1", &rate);
  EXPECT_EQ(platform::sound_headless_last_underruns(), 0);
  EXPECT_EQ(rate, 11025);
  const auto& ref = reference(dir, 8, 2);
  ASSERT_EQ(wav.size(), 2u * 12 * 11025);
  for (size_t i = 0; i < wav.size() / 2; ++i) {
    int centre = ((ref.pcm8[2 * i] + ref.pcm8[2 * i + 1]) >> 1) * 256;
    ASSERT_EQ(wav[2 * i], centre) << i;
    ASSERT_EQ(wav[2 * i + 1], centre) << i;
  }
}
