#include "host/host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/options.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"
#include "support/backend_fake.h"

namespace {

std::vector<std::string> log_;
std::vector<float> frame_times;
bool music_fails = false;
float last_row_end = 1.0f;

int fake_music_init(void*, const char*) {
  log_.push_back("music_init");
  return music_fails ? 0 : 1;
}
void fake_music_start() {
  log_.push_back("music_start");
}
void fake_music_pump(float) {
  log_.push_back("pump");
}
void fake_music_stop() {
  log_.push_back("music_stop");
}
void fake_sound_shutdown() {
  log_.push_back("sound_shutdown");
}
void fake_prepare() {
  log_.push_back("prepare_assets");
}
int fake_sequencer(uint32_t* pixels, float t) {
  frame_times.push_back(t);
  pixels[0] = 0x00FF0000;
  return t <= last_row_end;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("host_test_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    old_dir = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::filesystem::remove("debug.txt");
    display_reset();
    platform::reset_windowing();
    platform::set_backend(&fake);
    platform::run_options() = platform::RunOptions{};
    platform::run_options().fps = 10;
    reset_host_hooks();
    HostHooks& h = host_hooks();
    h.music_init = fake_music_init;
    h.music_start = fake_music_start;
    h.music_pump = fake_music_pump;
    h.music_stop = fake_music_stop;
    h.sound_shutdown = fake_sound_shutdown;
    h.prepare_assets = fake_prepare;
    h.sequencer_frame = fake_sequencer;
    log_.clear();
    frame_times.clear();
    music_fails = false;
    last_row_end = 1.0f;
  }
  void TearDown() override {
    std::filesystem::current_path(old_dir);
    std::filesystem::remove_all(dir);
    reset_host_hooks();
    platform::set_backend(nullptr);
    display_reset();
  }
  int run(double start = 0.0) {
    platform::run_options().start = start;
    platform::virtual_clock_enable(start);
    return WinMain(nullptr, nullptr, "", 1);
  }
  int presents() const { return fake.count("unlock") - 1; }  // less the start-up clear

  platform::FakeBackend fake;
  std::filesystem::path dir, old_dir;
};

TEST_F(HostTest, StartsAndStopsInTheFixedOrder) {
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(fake.title, "Quiet Orbit - Tidal Hall (Long Night Mix)");
  ASSERT_GE(log_.size(), 6u);
  EXPECT_EQ(log_[0], "music_init");
  EXPECT_EQ(log_[1], "prepare_assets");
  EXPECT_EQ(log_[2], "music_start");
  EXPECT_EQ(log_[log_.size() - 2], "music_stop");
  EXPECT_EQ(log_.back(), "sound_shutdown");
  auto at = [&](const std::string& c) {
    return std::find(fake.calls.begin(), fake.calls.end(), c) - fake.calls.begin();
  };
  EXPECT_LT(at("window"), at("create"));
  EXPECT_LT(at("release surface"), at("release draw"));
  EXPECT_LT(at("release draw"), at("close window"));
}

TEST_F(HostTest, TheFrameThatEndsTheShowIsStillPresented) {
  last_row_end = 0.5f;
  EXPECT_EQ(run(), 0);
  // t = 0, 0.1, ..., 0.5 keep the show alive; t = 0.6 ends it and is still shown.
  ASSERT_EQ(frame_times.size(), 7u);
  EXPECT_EQ(presents(), 7);
  EXPECT_EQ(frame_times.back(), static_cast<float>(0.6));
}

TEST_F(HostTest, HeadlessFrameTimesAreStartPlusFrameOverFpsRoundedOnce) {
  platform::run_options().fps = 60;
  last_row_end = 266.0f;
  EXPECT_EQ(run(265.0), 0);
  ASSERT_EQ(frame_times.size(), 62u);
  for (size_t k = 0; k < frame_times.size(); ++k)
    ASSERT_EQ(frame_times[k], static_cast<float>(265.0 + static_cast<double>(k) / 60.0)) << k;
}

TEST_F(HostTest, EndOptionStopsBeforeTheFirstFrameAtOrPastIt) {
  platform::run_options().end = 0.3;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(presents(), 3);
  EXPECT_EQ(frame_times.size(), 3u);
}

TEST_F(HostTest, RealTimelineEndsByItselfJustAfter266Seconds) {
  host_hooks().sequencer_frame = show_frame;
  host_hooks().prepare_assets = prepare_assets;
  platform::set_data_dir(TH_BINARY_DIR "/data");
  platform::run_options().fps = 60;
  auto observer = [](float t) { frame_times.push_back(t); };
  host_hooks().frame_done = observer;
  EXPECT_EQ(run(265.0), 0);
  ASSERT_FALSE(frame_times.empty());
  EXPECT_GT(frame_times.back(), 266.0f);
  EXPECT_LT(frame_times.back(), 266.02f);
}

TEST_F(HostTest, SoundFailureIsReportedBeforeAssetsAndEndsWithStatusOne) {
  music_fails = true;
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], "Quiet Orbit - Tidal Hall (Long Night Mix)|Unable to init Direct Sound");
  EXPECT_EQ(log_, (std::vector<std::string>{"music_init", "prepare_assets", "sound_shutdown"}))
      << "the sound device that failed is not started, pumped or stopped";
  EXPECT_EQ(presents(), 0) << "the queued quit is taken before any frame";
}

TEST_F(HostTest, DisplayFailureIsReportedAfterAssetsAndNothingTouchesTheDisplay) {
  fake.failing = {"create"};
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(fake.boxes.size(), 1u);
  EXPECT_EQ(fake.boxes[0], "Quiet Orbit - Tidal Hall (Long Night Mix)|Unable to init Direct Draw");
  EXPECT_EQ(log_[2], "music_start") << "the music is still started";
  EXPECT_EQ(fake.locks, 0);
  EXPECT_TRUE(frame_times.empty());
}

TEST_F(HostTest, BothDevicesFailingShowTheirMessagesAroundAssetPreparation) {
  music_fails = true;
  fake.failing = {"mode"};
  EXPECT_EQ(run(), 1);
  std::vector<std::string> order;
  for (const auto& c : fake.calls)
    if (c.rfind("box ", 0) == 0 || c == "create") order.push_back(c);
  EXPECT_EQ(order, (std::vector<std::string>{"box Unable to init Direct Sound", "create",
                                             "box Unable to init Direct Draw"}));
}

TEST_F(HostTest, WindowThatCannotBeMadeEndsWithStatusOne) {
  fake.window_fails = true;
  EXPECT_EQ(run(), 1);
  EXPECT_TRUE(log_.empty());
}

TEST_F(HostTest, KeysAreLoggedWithTheirRunningNumberAndShowTime) {
  std::ofstream("debug.txt") << "earlier\n";
  platform::run_options().fps = 4;  // frame k at k / 4 s; a key at poll k sees frame k - 1's time
  last_row_end = 100.0f;
  fake.key_at_poll(7, 'A');
  fake.key_at_poll(10, 'A');
  fake.key_at_poll(13, 'B');
  fake.key_at_poll(14, platform::VK_ESCAPE);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file("debug.txt"),
            "earlier\nkey: 0 time: 1.500000\nkey: 1 time: 2.250000\nkey: 2 time: 3.000000\n");
  EXPECT_EQ(key_count, 3);
}

TEST_F(HostTest, F12EndsTheShowUnlogged) {
  last_row_end = 100.0f;
  fake.key_at_poll(3, platform::VK_F12);
  EXPECT_EQ(run(), 0);
  EXPECT_FALSE(std::filesystem::exists("debug.txt"));
  // The pass that took the key still draws its frame; the next pass takes the quit.
  EXPECT_EQ(frame_times.size(), 4u);
}

TEST_F(HostTest, ClosingTheWindowEndsTheShow) {
  last_row_end = 100.0f;
  fake.close_at_poll(2);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(fake.count("close window"), 1);
  EXPECT_FALSE(std::filesystem::exists("debug.txt"));
}

TEST_F(HostTest, UnopenableLogSkipsTheLineButCountsThePress) {
  platform::virtual_clock_enable(2.0);
  key_count = 0;
  std::filesystem::create_directory("debug.txt");
  window_proc(nullptr, platform::WM_KEYDOWN, 'Q', 1);
  std::filesystem::remove("debug.txt");
  window_proc(nullptr, platform::WM_KEYDOWN, 'Q', 1);
  EXPECT_EQ(read_file("debug.txt"), "key: 1 time: 2.000000\n");
}

TEST_F(HostTest, CursorIsHiddenOverTheWindow) {
  EXPECT_EQ(window_proc(nullptr, platform::WM_SETCURSOR, 0, 0), 1);
  EXPECT_FALSE(fake.cursor_visible);
}

TEST_F(HostTest, TestCardReachesA24BitScreenInItsColours) {
  fake.modes = {{320, 240, 24}};
  host_hooks().sequencer_frame = test_card_frame;
  platform::run_options().end = 0.05;
  EXPECT_EQ(run(), 0);
  const auto* b = static_cast<const uint8_t*>(fake.surface.pixels);
  EXPECT_EQ(b[0], 0x00);  // blue, green, red of the red bar
  EXPECT_EQ(b[1], 0x00);
  EXPECT_EQ(b[2], 0xFF);
  EXPECT_EQ(b[(100 * 320 + 90) * 3 + 0], 0xFF) << "third bar is blue";
}

TEST_F(HostTest, TestCardEndsWithTheShowWithoutAnEndTime) {
  // Called directly: a card that never ended would hang a run.
  std::vector<uint32_t> frame(320 * 240);
  EXPECT_EQ(test_card_frame(frame.data(), 266.0f), 1);
  EXPECT_EQ(test_card_frame(frame.data(), 266.01f), 0);
  EXPECT_EQ(frame[0], 0xff0000u);
}

}  // namespace
