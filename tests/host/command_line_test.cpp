#include "host/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Parsed {
  bool ok;
  platform::RunOptions options;
  CommandLine result;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tidalhall");
  Parsed p;
  p.ok = parse_command_line(static_cast<int>(args.size()), args.data(), p.options, p.result);
  return p;
}

TEST(CommandLine, BareWordsBecomeTheMusicsCommandLineAndNothingElseDoes) {
  Parsed p = parse({"mono", "--data", "/tmp", "2to1", "--window", "8bit"});
  ASSERT_TRUE(p.ok) << p.result.error;
  EXPECT_EQ(p.options.music_words, "mono 2to1 8bit");
  EXPECT_EQ(p.options.data_dir, "/tmp");
  EXPECT_FALSE(p.options.fullscreen);
  EXPECT_EQ(parse({"--window"}).options.music_words, "");
}

TEST(CommandLine, OptionsAndTheirValues) {
  Parsed p = parse({"--bits", "16", "--mode=640x480", "--start", "12.5", "--end", "20", "--fps",
                    "30", "--scale", "2", "--plain", "--capture", "out/x.mp4"});
  ASSERT_TRUE(p.ok) << p.result.error;
  EXPECT_EQ(p.options.only_bits, 16);
  EXPECT_EQ(p.options.only_width, 640);
  EXPECT_EQ(p.options.only_height, 480);
  EXPECT_EQ(p.options.start, 12.5);
  EXPECT_EQ(p.options.end, 20.0);
  EXPECT_EQ(p.options.fps, 30.0);
  EXPECT_EQ(p.options.scale, 2);
  EXPECT_TRUE(p.options.plain);
  EXPECT_TRUE(p.options.headless) << "--capture implies --headless";
  EXPECT_EQ(p.options.end, 20.0);
}

TEST(CommandLine, UnusableCommandLinesAreRefusedWithAReason) {
  for (auto args : std::vector<std::vector<const char*>>{{"--bits", "8"},
                                                         {"--bits"},
                                                         {"--mode", "800x600"},
                                                         {"--start", "abc"},
                                                         {"--start", "-1"},
                                                         {"--fps", "0"},
                                                         {"--scale", "2.5"},
                                                         {"--start", "10", "--end", "5"},
                                                         {"--frobnicate"},
                                                         {"MONO"},
                                                         {"Mono"},
                                                         {"--json", "x.json"},
                                                         {"somefile"},
                                                         {"--window=yes"},
                                                         {"--data", "/no/such/folder/here"},
                                                         {"--capture", "a", "--bench"},
                                                         {"--start", "nan"}}) {
    Parsed p = parse(args);
    EXPECT_FALSE(p.ok) << args[0];
    EXPECT_FALSE(p.result.error.empty());
    EXPECT_EQ(p.result.error.find('\n'), std::string::npos) << "one line";
  }
}

TEST(CommandLine, ShowWordsAreFoundAsTheShowsOwnSearchFindsThem) {
  // The first letter as typed, the rest in any case.
  Parsed p = parse({"8BIT", "mONO", "2To1"});
  ASSERT_TRUE(p.ok) << p.result.error;
  EXPECT_EQ(p.options.music_words, "8BIT mONO 2To1");
}

TEST(CommandLine, HelpNamesEveryOption) {
  std::string help = help_text();
  for (const char* o :
       {"--data",  "--window", "--fullscreen", "--scale",     "--bits",    "--mode",
        "--start", "--end",    "--headless",   "--fps",       "--capture", "--contact-sheet",
        "--every", "--bench",  "--plain",      "--test-card", "--version", "--help",
        "8bit",    "mono",     "1to1",         "2to1",        "4to1"})
    EXPECT_NE(help.find(o), std::string::npos) << o;
}

}  // namespace
