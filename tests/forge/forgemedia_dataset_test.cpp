// The generated data set as the show sees it: every file it names is there, every picture
// has the size and the character its scene needs, and reads the same in our readers and
// in ImageMagick.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>

#include "assets/data_files.h"
#include "assets/image.h"
#include "forgemedia_support.h"
#include "platform/exit.h"
#include "portrait_layout.h"

namespace {

using forgemedia_test::file;
namespace fs = std::filesystem;

// Every file the show opens, by the show's own names.
std::vector<std::string> show_files() {
  return {std::begin(data_file::kAll), std::end(data_file::kAll)};
}

bool is_picture(const std::string& n) {
  auto ext = n.substr(n.size() - 4);
  return ext == ".jpg" || ext == ".pcx" || ext == ".tga";
}

struct Pic {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
  double luma(int x, int y) const {
    const uint8_t* p = at(x, y);
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
  }
  double mean_luma() const {
    double s = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s += luma(x, y);
    return s / (static_cast<double>(w) * h);
  }
};

Pic load(const std::string& show_name) {
  Pic p;
  try {
    auto img = load_image(file(show_name).string().c_str());
    p.w = img->width;
    p.h = img->height;
    for (int i = 0; i < p.w * p.h; ++i) {
      uint32_t v = img->pixels[i];
      p.rgb.insert(p.rgb.end(), {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                 static_cast<uint8_t>(v)});
    }
  } catch (const platform::ProcessExit& e) {
    ADD_FAILURE() << show_name << " refused by the reader, status " << e.status;
  }
  return p;
}

Pic load_flare(int n, int w, int h) {
  Pic p;
  std::ifstream f(file("flares\\lenz" + std::to_string(n) + ".raw"), std::ios::binary);
  p.w = w;
  p.h = h;
  p.rgb.assign(std::istreambuf_iterator<char>(f), {});
  return p;
}

TEST(ForgeMediaDataSet, EveryFileTheShowNamesIsThere) {
  const auto names = show_files();
  ASSERT_EQ(names.size(), 116u);
  ASSERT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 116u);
  // The scenes, motions and morph come from the 3D half of the forge, once it has parts.
  const std::set<std::string> media_parts = {"pictures", "textures", "city", "flares", "music"};
  bool have_3d = false;
  for (const auto& p : forge::parts()) have_3d |= media_parts.count(p.name) == 0;
  for (const auto& n : names) {
    const bool media =
        is_picture(n) || n.find(".raw") != std::string::npos || n.find(".mp3") != std::string::npos;
    if (!media && !have_3d) continue;
    EXPECT_TRUE(fs::is_regular_file(file(n))) << n;
  }
  // And nothing else in the media folders.
  size_t pictures = 0;
  for (const auto& e : fs::recursive_directory_iterator(forgemedia_test::data_dir()))
    if (e.is_regular_file() && is_picture(e.path().string())) ++pictures;
  EXPECT_EQ(pictures, static_cast<size_t>(std::count_if(names.begin(), names.end(), is_picture)));
}

TEST(ForgeMediaDataSet, PicturesHaveTheSizesTheirScenesUse) {
  std::map<std::string, std::pair<int, int>> exact;
  for (const char* n :
       {"kdouble.jpg", "kblue.jpg", "ktopb.jpg", "3da.jpg", "kfaceb.jpg", "kfacef.jpg", "tovr1.jpg",
        "tovr2.jpg", "title1.pcx", "title2.pcx", "title3.pcx", "title4.pcx"})
    exact[std::string("gfx\\") + n] = {320, 240};
  for (const auto& n : show_files())
    if (is_picture(n) && (n.rfind("textures", 0) == 0 || n.rfind("3d", 0) == 0))
      exact[n] = {256, 256};
  exact["gfx\\sprite.jpg"] = {256, 256};
  exact["textures\\light.jpg"] = {128, 128};
  exact["textures\\flower1.pcx"] = {64, 64};
  for (const auto& [name, size] : exact) {
    Pic p = load(name);
    EXPECT_EQ(p.w, size.first) << name;
    EXPECT_EQ(p.h, size.second) << name;
  }
  for (const char* n : {"artwork", "audio", "control", "objects", "love"}) {
    Pic p = load(std::string("gfx\\") + n + ".pcx");
    EXPECT_TRUE(p.w >= 8 && p.w <= 310 && p.h >= 8 && p.h <= 230) << n << " " << p.w << "x" << p.h;
  }
  Pic logo = load("gfx\\silence.pcx");
  EXPECT_TRUE(logo.w <= 319 && logo.h <= 239) << logo.w << "x" << logo.h;
  Pic s1 = load("gfx\\scroll1.jpg"), s2 = load("gfx\\scroll2.jpg");
  EXPECT_EQ(s1.w, 320);
  EXPECT_EQ(s2.w, 320);
  EXPECT_GT(s1.h, 240);
  EXPECT_GT(s2.h, 240);
  EXPECT_NE(s1.h, s2.h);
  const int flare_sizes[9][2] = {{40, 40}, {9, 10}, {8, 10},  {6, 6}, {18, 18},
                                 {7, 7},   {6, 7},  {11, 11}, {7, 7}};
  const int flare_bytes[9] = {4800, 270, 240, 108, 972, 147, 126, 363, 147};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(flare_sizes[i][0] * flare_sizes[i][1] * 3, flare_bytes[i]);
    EXPECT_EQ(fs::file_size(file("flares\\lenz" + std::to_string(i + 1) + ".raw")),
              static_cast<uintmax_t>(flare_bytes[i]));
  }
}

// Not flat: every channel of every picture varies.
TEST(ForgeMediaDataSet, NoPictureIsFlat) {
  for (const auto& n : show_files()) {
    if (!is_picture(n)) continue;
    Pic p = load(n);
    for (int c = 0; c < 3; ++c) {
      double s = 0, s2 = 0, cnt = static_cast<double>(p.w) * p.h;
      for (size_t i = c; i < p.rgb.size(); i += 3) {
        s += p.rgb[i];
        s2 += static_cast<double>(p.rgb[i]) * p.rgb[i];
      }
      double var = s2 / cnt - (s / cnt) * (s / cnt);
      EXPECT_GT(var, 8.0) << n << " channel " << c;
    }
  }
}

// Additive layers are dark with black edges (nothing shows round them); multiplied layers
// are light (they only darken where they draw something).
TEST(ForgeMediaDataSet, LayersSuitHowTheyAreBlended) {
  for (const char* n :
       {"gfx\\sprite.jpg", "textures\\light.jpg", "textures\\phong.jpg", "textures\\flower1.pcx"}) {
    Pic p = load(n);
    double edge = 0;
    for (int i = 0; i < p.w; ++i)
      edge = std::max(
          {edge, p.luma(i, 0), p.luma(i, p.h - 1), p.luma(0, i % p.h), p.luma(p.w - 1, i % p.h)});
    EXPECT_LT(edge, 6.0) << n;
    EXPECT_GT(p.luma(p.w / 2, p.h / 2), 150.0) << n;
  }
  for (int i = 1; i <= 9; ++i) {
    static const int sz[9][2] = {{40, 40}, {9, 10}, {8, 10},  {6, 6}, {18, 18},
                                 {7, 7},   {6, 7},  {11, 11}, {7, 7}};
    Pic p = load_flare(i, sz[i - 1][0], sz[i - 1][1]);
    EXPECT_LT(p.luma(0, 0) + p.luma(p.w - 1, p.h - 1), 2.0) << "lenz" << i;
    EXPECT_GT(p.mean_luma(), 8.0) << "lenz" << i;
  }
  for (const char* n :
       {"gfx\\kfacef.jpg", "3d3\\danceflr.jpg", "gfx\\scroll1.jpg", "gfx\\scroll2.jpg"})
    EXPECT_LT(load(n).mean_luma(), 60.0) << n;
  for (const char* n :
       {"gfx\\kfaceb.jpg", "gfx\\ktopb.jpg", "textures\\qub1.jpg", "textures\\blobtxt1.jpg"})
    EXPECT_GT(load(n).mean_luma(), 190.0) << n;
  // The spot falls off from its middle to black.
  Pic spot = load("textures\\phong.jpg");
  for (int r = 0; r + 16 < 128; r += 16)
    EXPECT_GE(spot.luma(128 + r, 128) + 2, spot.luma(128 + r + 16, 128)) << r;
}

TEST(ForgeMediaDataSet, CaptionsAreTextOnTheirFirstPixel) {
  for (const char* n : {"title1", "title2", "title3", "title4", "artwork", "audio", "control",
                        "objects", "love", "silence"}) {
    Pic p = load(std::string("gfx\\") + n + ".pcx");
    const uint8_t* key = p.at(0, 0);
    size_t keyed = 0;
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) keyed += std::equal(key, key + 3, p.at(x, y));
    const double share = static_cast<double>(keyed) / (p.w * p.h);
    EXPECT_GT(share, 0.3) << n;   // mostly see-through
    EXPECT_LT(share, 0.97) << n;  // but with something written on it
  }
}

// The morph grid runs through the portraits' features, so the features must be there.
TEST(ForgeMediaDataSet, PortraitsHaveTheirFeaturesOnTheMorphGrid) {
  namespace pl = forge::portrait;
  const std::pair<const char*, pl::Layout> both[] = {{"gfx\\tovr1.jpg", pl::kFirst},
                                                     {"gfx\\tovr2.jpg", pl::kSecond}};
  for (const auto& [name, l] : both) {
    Pic p = load(name);
    for (int ex : {l.eye_left_x, l.eye_right_x}) {
      EXPECT_LT(p.luma(ex, l.eye_y), 40.0) << name << ": pupil at " << ex;
      EXPECT_GT(p.luma(ex + static_cast<int>(l.eye_radius * 1.1), l.eye_y), 120.0)
          << name << ": eye white";
    }
    const int cheek_x = (l.eye_left_x + l.centre_x) / 2 - 4, cheek_y = (l.nose_y + l.mouth_y) / 2;
    EXPECT_GT(p.luma(cheek_x, cheek_y), 100.0) << name << ": cheek";
    const uint8_t* lip = p.at(l.centre_x, l.mouth_y - 3);
    EXPECT_GT(lip[0], lip[1] + 40) << name << ": lips";
    // Added onto the moving background: dark round the head.
    for (int corner = 0; corner < 4; ++corner)
      EXPECT_LT(p.luma(corner & 1 ? 314 : 5, corner & 2 ? 60 : 5), 30.0)
          << name << ": corner " << corner;
  }
}

TEST(ForgeMediaDataSet, RepeatedTexturesTileWithoutASeam) {
  std::vector<std::string> tiling = {"black", "skin",     "armglove", "cubetxt3", "blobtxt1",
                                     "qub1",  "meta1",    "meta2",    "meta3",    "meta4",
                                     "cmap1", "cat_side", "rope",     "cat_flr"};
  for (auto& t : tiling) t = "textures\\" + t + ".jpg";
  tiling.insert(tiling.end(), {"textures\\gold.tga", "textures\\pole.tga", "3d3\\floor.jpg",
                               "3d3\\step.jpg", "3d3\\danceflr.jpg", "3d3\\stone.jpg"});
  for (const char* m : {"rust2", "rust3", "skur", "sf2", "long1", "loft31", "w", "window1",
                        "window2", "window3", "25015", "pelto", "road2", "green"})
    tiling.push_back(std::string("3d2\\maps\\") + m + ".jpg");
  for (const auto& n : tiling) {
    Pic p = load(n);
    ASSERT_EQ(p.w, 256) << n;
    // The step across the wrap must look like any other step between neighbours, or like
    // the step across the middle (where a pattern of 2, 4, 8... cells has a cell edge too).
    for (int axis = 0; axis < 2; ++axis) {
      double inner = 0, middle = 0, seam = 0;
      for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) {
          auto v = [&](int a, int b) {
            return static_cast<double>(axis ? p.at(b, a)[c] : p.at(a, b)[c]);
          };
          seam += std::fabs(v(255, i) - v(0, i));
          middle += std::fabs(v(127, i) - v(128, i));
          for (int a = 0; a < 255; a += 15) inner += std::fabs(v(a + 1, i) - v(a, i)) / 17.0;
        }
      inner = std::max(inner, middle);
      EXPECT_LT(seam, 3.0 * inner + 4.0 * 256 * 3)
          << n << (axis ? " top to bottom" : " left to right");
    }
  }
}

TEST(ForgeMediaDataSet, ImageMagickReadsWhatOurReadersRead) {
  FORGEMEDIA_NEED_MAGICK();
  for (const auto& n : show_files()) {
    if (!is_picture(n)) continue;
    Pic p = load(n);
    const auto theirs = forgemedia_test::magick_rgb(file(n), p.w, p.h);
    ASSERT_EQ(theirs.size(), p.rgb.size()) << n << " does not decode in ImageMagick";
    const int tolerance = n.find(".jpg") != std::string::npos ? 1 : 0;
    int worst = 0;
    for (size_t i = 0; i < theirs.size(); ++i)
      worst = std::max(worst, std::abs(theirs[i] - p.rgb[i]));
    EXPECT_LE(worst, tolerance) << n;
  }
  for (int i = 1; i <= 9; ++i) {
    static const int sz[9][2] = {{40, 40}, {9, 10}, {8, 10},  {6, 6}, {18, 18},
                                 {7, 7},   {6, 7},  {11, 11}, {7, 7}};
    Pic p = load_flare(i, sz[i - 1][0], sz[i - 1][1]);
    auto size = std::to_string(p.w) + "x" + std::to_string(p.h);
    EXPECT_EQ(forgemedia_test::magick_rgb(file("flares\\lenz" + std::to_string(i) + ".raw"), p.w,
                                          p.h, size),
              p.rgb);
  }
}

// Same seed, same bytes: the whole set made again must match file for file. Prints how
// long a full run takes.
TEST(ForgeMediaDataSet, SameSeedSameBytesAndTheTimeOfAFullRun) {
  const fs::path again =
      fs::temp_directory_path() / ("forgemedia_again_" + std::to_string(::getpid()));
  fs::remove_all(again);
  const double secs = forgemedia_test::run_forge(again, 1);
  std::printf("[ forge    ] full run: %.2f s\n", secs);
  size_t n = 0;
  for (const auto& e : fs::recursive_directory_iterator(forgemedia_test::data_dir())) {
    if (!e.is_regular_file() || e.path().filename() == ".complete") continue;
    const fs::path other = again / fs::relative(e.path(), forgemedia_test::data_dir());
    std::ifstream a(e.path(), std::ios::binary), b(other, std::ios::binary);
    std::vector<char> va((std::istreambuf_iterator<char>(a)), {}),
        vb((std::istreambuf_iterator<char>(b)), {});
    EXPECT_TRUE(va == vb) << fs::relative(e.path(), forgemedia_test::data_dir());
    ++n;
  }
  EXPECT_GE(n, 103u);
  // Another seed gives other pictures.
  const fs::path other_seed = again / "seed2";
  forgemedia_test::run_forge(other_seed, 2, "textures");
  std::ifstream a(forgemedia_test::file("textures\\meta1.jpg"), std::ios::binary),
      b(other_seed / "textures/meta1.jpg", std::ios::binary);
  std::vector<char> va((std::istreambuf_iterator<char>(a)), {}),
      vb((std::istreambuf_iterator<char>(b)), {});
  EXPECT_FALSE(va == vb);
  fs::remove_all(again);
}

}  // namespace
