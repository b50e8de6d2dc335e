// The option search, the volume table, the memory stream and the play settings.
#include <cstdio>
#include <fstream>

#include "music_fixture.h"

TEST(OptionSearch, MatchesByTheExactFirstLetterAndCaselessRest) {
  EXPECT_EQ(find_option("m", "mono"), 0);  // one character: no options at all
  EXPECT_EQ(find_option("x", "x"), 0);
  EXPECT_EQ(find_option("MONO", "mono"), 0);
  EXPECT_EQ(find_option("mONO", "mono"), 1);
  EXPECT_EQ(find_option("stereo, please: mOnO", "mono"), 17);
  EXPECT_EQ(find_option("hamonoid", "mono"), 3);  // inside other words too
  // Bounded by the end of the line: a prefix at the end is no match.
  EXPECT_EQ(find_option("xx mon", "mono"), 0);
  EXPECT_EQ(find_option("8BIT", "8bit"), 1);
  EXPECT_EQ(find_option(nullptr, "mono"), 0);
  EXPECT_EQ(find_option("", "mono"), 0);
}

TEST_F(MusicTest, OptionsPickFormatAndDownSampling) {
  platform::set_data_dir(soundtrack(2.0));
  struct Case {
    const char* line;
    int bits, stereo, ds;
  } cases[] = {
      {"", 16, 1, 0},
      {"4to1 2to1", 16, 1, 1},
      {"2to1 1to1 4to1", 16, 1, 0},
      {"4to1", 16, 1, 2},
      {"MONO 8BIT", 8, 1, 0},
      {"mono", 16, 0, 0},
      {"8bit mono 2to1", 8, 0, 1},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(music_init(nullptr, c.line), 1) << c.line;
    EXPECT_EQ(music_state().output_bits, c.bits) << c.line;
    EXPECT_EQ(music_state().stereo, c.stereo) << c.line;
    EXPECT_EQ(music_state().down_sampling, c.ds) << c.line;
    EXPECT_EQ(music_state().output_rate, 44100 >> c.ds) << c.line;
    music_stop();
    sound_shutdown();
  }
}

TEST_F(MusicTest, VolumeTableAndPlaySettingsAreClamped) {
  platform::set_data_dir(soundtrack(2.0));
  ASSERT_EQ(music_init(nullptr, ""), 1);
  const int32_t* v = volume_table();
  EXPECT_EQ(v[0], -10000);
  EXPECT_EQ(v[1], -5541);
  EXPECT_EQ(v[128], -689);
  EXPECT_EQ(v[254], -3);
  EXPECT_EQ(v[255], 0);

  music_start();
  auto& left = script->buffers[0];
  auto& right = script->buffers[1];
  EXPECT_EQ(left.pan, -10000);
  EXPECT_EQ(right.pan, 10000);
  EXPECT_EQ(left.volume, 0);
  EXPECT_TRUE(left.playing && left.looping && right.playing && right.looping);
  EXPECT_EQ(left.frequency, 44100u);

  SoundBuffer* b = music_state().left;
  sound_play(b, 0, 50, 300, 200);
  EXPECT_EQ(left.frequency, 100u);
  EXPECT_EQ(b->rate, 100);
  EXPECT_EQ(left.volume, 0);
  EXPECT_EQ(left.pan, 10000);
  sound_play(b, 0, 250000, -4, -300);
  EXPECT_EQ(left.frequency, 100000u);
  EXPECT_EQ(left.volume, -10000);
  EXPECT_EQ(left.pan, -10000);
  sound_play(b, 0, 22050, 128, 64);
  EXPECT_EQ(left.volume, -689);
  EXPECT_EQ(left.pan, 5039);  // 64 x 10000 / 127, truncated
  sound_play(b, 0, 22050, 128, -64);
  EXPECT_EQ(left.pan, -5039);
  // The device never saw a value it would refuse.
  for (const std::string& call : script->calls) {
    if (call.rfind("frequency", 0) == 0 || call.rfind("volume", 0) == 0 ||
        call.rfind("pan", 0) == 0) {
      long value = std::stol(call.substr(call.rfind(' ') + 1));
      long low = call[0] == 'f' ? 100 : -10000;
      long high = call[0] == 'f' ? 100000 : (call[0] == 'v' ? 0 : 10000);
      EXPECT_TRUE(value >= low && value <= high) << call;
    }
  }
}

TEST(MemoryStream, ReadSeekTellFollowTheFile) {
  std::string dir = testmp3::data_folder("stream");
  {
    std::ofstream f(dir + "/music/var56.mp3", std::ios::binary);
    f << "0123456789";
  }
  platform::set_data_dir(dir);
  MemoryStream s;
  ASSERT_TRUE(mem_stream_open(&s, "music\\var56.mp3"));
  EXPECT_EQ(s.size, 10);
  char buf[16] = {};
  EXPECT_EQ(mem_stream_read(&s, buf, 3, 2), 2u);  // whole items only
  EXPECT_EQ(std::string(buf, 6), "012345");
  EXPECT_EQ(mem_stream_read(&s, buf, 3, 5), 1u);  // 4 bytes left: one item of 3
  EXPECT_EQ(mem_stream_tell(&s), 9);
  EXPECT_EQ(mem_stream_seek(&s, -2, 2), 0);
  EXPECT_EQ(mem_stream_tell(&s), 8);
  EXPECT_EQ(mem_stream_seek(&s, 100, 1), 0);
  EXPECT_EQ(mem_stream_tell(&s), 10);  // clamped to the end
  EXPECT_EQ(mem_stream_seek(&s, -100, 0), 0);
  EXPECT_EQ(mem_stream_tell(&s), 0);
  EXPECT_EQ(mem_stream_seek(&s, 5, 3), 1);  // unknown origin
  EXPECT_EQ(mem_stream_tell(&s), 0);
  EXPECT_EQ(mem_stream_seek(&s, 0x7fffffffL, 1), 0);
  EXPECT_EQ(mem_stream_tell(&s), 10);
  EXPECT_EQ(mem_stream_read(&s, buf, 1, 4), 0u);
  mem_stream_close(&s);
  EXPECT_EQ(s.block, nullptr);
  EXPECT_EQ(s.size, 0);
  platform::set_data_dir(".");
  EXPECT_FALSE(mem_stream_open(&s, "music\\var56.mp3"));
}
