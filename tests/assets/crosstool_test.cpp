// Files written by ImageMagick must decode to exactly the pixels ImageMagick decodes.
#include <cstdlib>

#include "assets/image.h"
#include "files.h"

using namespace assets_test;

namespace {

bool have_convert() {
  return std::system("command -v convert >/dev/null 2>&1") == 0;
}

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << command;
  return out;
}

// A 37 x 23 picture of many colours, odd sides so that row padding shows.
std::string source_ppm() {
  Bytes b;
  put_text(b, "P6 37 23 255\n");
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x)
      b.insert(b.end(), {uint8_t((x + y) % 3 ? x * 7 : 255), uint8_t(y * 11),
                         uint8_t(x % 2 ? (x ^ y) * 5 : 0)});
  return write_file("source.ppm", b);
}

struct Case {
  const char* file;
  const char* options;  // convert options and output format prefix
  size_t check_at;      // header byte that tells the variant was written
  uint8_t check_value;
};

}  // namespace

TEST(CrossTool, ImageMagickFilesDecodeToItsOwnPixels) {
  if (!have_convert()) {
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
      FAIL() << "ImageMagick's convert is missing";
    GTEST_SKIP() << "ImageMagick's convert is not installed";
  }
  const std::string src = source_ppm();
  const Case cases[] = {
      {"pal8.pcx", "-colors 200 -type Palette pcx", 65, 1},
      {"rgb.pcx", "-type TrueColor pcx", 65, 3},
      {"map.tga", "-colors 200 -type Palette -compress None tga", 2, 1},
      {"true.tga", "-type TrueColor -compress None tga", 2, 2},
      {"maprle.tga", "-colors 200 -type Palette -compress RLE tga", 2, 9},
      {"truerle.tga", "-type TrueColor -compress RLE tga", 2, 10},
      {"top.tga", "-orient TopLeft -type TrueColor -compress None tga", 17, 0x20},
      {"pal8.bmp", "-colors 200 -type Palette -compress None bmp3", 30, 0},
      {"rle8.bmp", "-colors 200 -type Palette -compress RLE bmp3", 30, 1},
      {"rgb.bmp", "-type TrueColor -compress None bmp3", 28, 24},
      {"v5.bmp", "-colors 200 -type Palette bmp", 14, 124},  // the longer header
      {"colour.jpg", "-quality 85 jpg", 0, 0xFF},
      {"grey.jpg", "-colorspace Gray -quality 85 jpg", 0, 0xFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = (scratch_dir() / c.file).string();
    std::string opts = c.options;
    const size_t space = opts.rfind(' ');
    run("convert '" + src + "' " + opts.substr(0, space) + " " + opts.substr(space + 1) + ":'" +
        path + "'");
    Bytes written = read_file(path);
    ASSERT_GT(written.size(), c.check_at);
    ASSERT_EQ(written[c.check_at], c.check_value) << "convert wrote another variant";

    // -auto-orient: ImageMagick 6 leaves a bottom-up TGA's rows as stored and only notes
    // the orientation; applied, it agrees with other decoders (ffmpeg) and with ours.
    const std::string want = run("convert '" + path + "' -auto-orient -depth 8 rgb:-");
    std::unique_ptr<Image> image = load_image(path.c_str());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 37);
    ASSERT_EQ(image->height, 23);
    ASSERT_EQ(want.size(), size_t{37 * 23 * 3});
    int wrong = 0;
    for (int i = 0; i < 37 * 23; ++i) {
      uint32_t expect = uint32_t(uint8_t(want[3 * i])) << 16 |
                        uint32_t(uint8_t(want[3 * i + 1])) << 8 | uint8_t(want[3 * i + 2]);
      if (image->pixels[i] != expect && wrong++ < 3)
        ADD_FAILURE() << "pixel " << i << ": " << std::hex << image->pixels[i] << " != " << expect;
    }
    EXPECT_EQ(wrong, 0);
  }
}
