#include "platform/files.h"

#include <gtest/gtest.h>

TEST(Files, ShowNamesBecomePathsUnderTheDataFolder) {
  platform::set_data_dir("/srv/data");
  EXPECT_EQ(platform::data_path("3d\\catwalk.3ds"), "/srv/data/3d/catwalk.3ds");
  EXPECT_EQ(platform::data_path("music\\var56.mp3"), "/srv/data/music/var56.mp3");
  EXPECT_EQ(platform::data_path("/abs/x.jpg"), "/abs/x.jpg");
  platform::set_data_dir(".");
  EXPECT_EQ(platform::data_path("gfx\\kblue.jpg"), "gfx/kblue.jpg");
}
