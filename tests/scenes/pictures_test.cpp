// The still pictures, captions, logo and cards through the show's frames, and the overlays
// given pictures that do not fit where they are placed.
#include <cmath>
#include <cstring>

#include "kernels/kernels.h"
#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

using show_test::Frame;

constexpr uint32_t kColour = 0x00FFFFFF;

// A frame with room on both sides, so a write past either end shows.
struct Guarded {
  static constexpr int kGuard = 4096;
  static constexpr uint32_t kMark = 0xA5A5A5A5u;
  std::vector<uint32_t> words = std::vector<uint32_t>(kFramePixels + 2 * kGuard, kMark);
  uint32_t* frame() { return words.data() + kGuard; }
  bool guards_intact() const {
    for (int i = 0; i < kGuard; ++i)
      if (words[i] != kMark || words[kGuard + kFramePixels + i] != kMark) return false;
    return true;
  }
};

// A picture whose first pixel (the key) is black, with a solid body and key holes.
ImagePtr keyed_picture(int w, int h, uint32_t body) {
  auto img = std::make_unique<Image>();
  img->width = w;
  img->height = h;
  img->pixels = new uint32_t[static_cast<size_t>(w) * h];
  for (int i = 0; i < w * h; ++i) img->pixels[i] = (i % 7 == 3) ? 0u : body;
  img->pixels[0] = 0;
  return img;
}

TEST(PictureScenes, StillsAndCardsAreTheirPictures) {
  show_test::prepare();
  const Show& s = show();
  auto same_colours = [](const Frame& f, const Image& img) {
    for (int i = 0; i < kFramePixels; ++i)
      if ((f[i] ^ img.pixels[i]) & kColour) return false;
    return true;
  };
  EXPECT_TRUE(same_colours(show_test::frame_at(170.0f), *s.blue_picture));
  // The middle card row is the picture; the first comes out of black, the last fades
  // from the picture into what lies under it (the city, or black while it is not drawn).
  EXPECT_TRUE(same_colours(show_test::frame_at(239.5f), *s.card));
  const Frame in = show_test::frame_at(238.0f);
  for (int i = 0; i < kFramePixels; i += 97) ASSERT_EQ(in[i] & kColour, 0u) << i;
  Frame out(kFramePixels, 0);
  PictureCardScene(out.data(), nullptr, 0, 240.0f, 240.0f, 241.0f, 0.0f, 2);
  for (int i = 0; i < kFramePixels; i += 97) {
    const uint32_t p = s.card->pixels[i];
    const uint32_t want = ((((p >> 16) & 0xFF) * 255 / 256) << 16) |
                          ((((p >> 8) & 0xFF) * 255 / 256) << 8) | ((p & 0xFF) * 255 / 256);
    ASSERT_EQ(out[i] & kColour, want) << i;
  }
}

TEST(PictureScenes, CaptionsSitAtTenTenAndLeaveTheKeyOut) {
  show_test::prepare();
  const Show& s = show();
  const uint32_t ground = 0x00336699;
  for (int32_t parameter : {0, 1, 2, 3, 4, 7, -1}) {
    const Image& cap = *s.captions[(parameter >= 0 && parameter < 5) ? parameter : 0];
    Frame f(kFramePixels, ground);
    WordCaptionScene(f.data(), nullptr, 0, 58.0f, 58.0f, 59.5f, 0.0f, parameter);
    const uint32_t key = cap.pixels[0];
    int drawn = 0;
    for (int y = 0; y < cap.height; ++y)
      for (int x = 0; x < cap.width; ++x) {
        const uint32_t src = cap.pixels[y * cap.width + x];
        const uint32_t got = f[(y + 10) * kFrameWidth + x + 10];
        ASSERT_EQ(got, src == key ? ground : src) << "parameter " << parameter;
        drawn += src != key;
      }
    EXPECT_GT(drawn, 200) << "the word has pixels of its own";
    EXPECT_EQ(f[9 * kFrameWidth + 9], ground);
  }
  // Through the show's frames: the first caption over whatever runs under it.
  const Frame f = show_test::frame_at(58.5f);
  const Image& art = *s.captions[0];
  for (int i = 1; i < art.width * art.height; ++i)
    if (art.pixels[i] != art.pixels[0]) {
      const int x = i % art.width, y = i / art.width;
      ASSERT_EQ(f[(y + 10) * kFrameWidth + x + 10] & kColour, art.pixels[i] & kColour);
      break;
    }
}

TEST(PictureScenes, LogoStandsOnePixelInFromTheCorner) {
  show_test::prepare();
  Show& s = show();
  s.logo = keyed_picture(40, 20, 0x00FFEE00);
  Frame f(kFramePixels, 0x00010203);
  CornerLogoScene(f.data(), nullptr, 0, 166.0f, 165.5f, 166.5f, 0.5f, 0);
  EXPECT_EQ(f[238 * kFrameWidth + 318], 0x00FFEE00u);  // the logo's last pixel
  EXPECT_EQ(f[(238 - 19) * kFrameWidth + (318 - 38)], 0x00FFEE00u);
  EXPECT_EQ(f[(238 - 20) * kFrameWidth + 318], 0x00010203u);  // above it
  for (int x = 0; x < kFrameWidth; ++x) ASSERT_EQ(f[239 * kFrameWidth + x], 0x00010203u);
  for (int y = 0; y < kFrameHeight; ++y) ASSERT_EQ(f[y * kFrameWidth + 319], 0x00010203u);
}

TEST(PictureScenes, OverlaysLargerThanTheFrameAreCutToIt) {
  show_test::prepare();
  Show& s = show();
  // Wider and taller than the frame: the caption runs off the right and bottom, the logo
  // (placed from the corner) off the left and top.
  s.captions[0] = keyed_picture(700, 500, 0x00445566);
  s.logo = keyed_picture(700, 500, 0x00778899);
  Guarded g;
  std::memset(g.frame(), 0, kFrameBytes);
  WordCaptionScene(g.frame(), nullptr, 0, 58.0f, 58.0f, 59.5f, 0.0f, 0);
  EXPECT_TRUE(g.guards_intact());
  EXPECT_EQ(g.frame()[kFramePixels - 1], s.captions[0]->pixels[229 * 700 + 309]);
  CornerLogoScene(g.frame(), nullptr, 0, 166.0f, 165.5f, 166.5f, 0.5f, 0);
  EXPECT_TRUE(g.guards_intact());
  // The logo's column 381 (= 700 - 319) lands on frame column 0 of row 0 (its row 261),
  // which the caption at (10, 10) leaves black.
  EXPECT_EQ(g.frame()[0], s.logo->pixels[261 * 700 + 381] ? 0x00778899u : 0u);
}

// A 320-wide credits picture of `rows` rows, each row one grey level; the allocation runs
// on for 240 more rows of white, so a read past its last row would light the frame.
ImagePtr scroll_picture(int rows) {
  auto img = std::make_unique<Image>();
  img->width = kFrameWidth;
  img->height = rows;
  img->pixels = new uint32_t[static_cast<size_t>(rows + kFrameHeight) * kFrameWidth];
  for (int y = 0; y < rows + kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x)
      img->pixels[y * kFrameWidth + x] = y < rows ? 0x00010101u * (1 + y % 200) : 0x00FFFFFFu;
  return img;
}

TEST(CreditsScrollScene, ScrollsInFromTheBottomAndOutThroughTheTop) {
  show_test::prepare();
  PictureState& st = show().pictures;
  st.credits_first_frame = false;
  st.scroll1 = scroll_picture(100);  // shorter than the screen
  st.scroll2 = nullptr;
  auto draw = [](float q) {
    Frame f(kFramePixels, 0);
    CreditsScrollScene(f.data(), nullptr, 0, 252.0f + 14.0f * q, 252.0f, 266.0f, q, 0);
    return f;
  };
  // Nothing at either end.
  for (float q : {0.0f, 1.0f})
    for (uint32_t p : draw(q)) ASSERT_EQ(p & kColour, 0u) << q;
  // o = trunc(q x 340) - 240. At o = -100 the picture's 100 rows stand on screen rows
  // 100..199 and the rows below stay black: only rows the picture has are read.
  const Frame mid = draw(140.0f / 340.0f);
  for (int y = 0; y < kFrameHeight; ++y) {
    const uint32_t want = (y >= 100 && y < 200) ? 0x00010101u * (1 + (y - 100)) : 0u;
    ASSERT_EQ(mid[y * kFrameWidth + 7] & kColour, want) << "row " << y;
  }
  // At o = 50 rows 50..99 stand at the top, nothing under them.
  const Frame late = draw(290.0f / 340.0f);
  for (int y = 0; y < kFrameHeight; ++y) {
    const uint32_t want = y < 50 ? 0x00010101u * (1 + (y + 50)) : 0u;
    ASSERT_EQ(late[y * kFrameWidth + 300] & kColour, want) << "row " << y;
  }
}

TEST(CreditsScrollScene, SharpCreditsOverTheirSmearedFasterCopy) {
  show_test::prepare();
  // The scene loads its pictures on its first frame, at the row's start.
  const Frame f = show_test::frame_at(259.0f);
  const PictureState& st = show().pictures;
  ASSERT_TRUE(st.scroll1 && st.scroll2);
  EXPECT_FALSE(st.credits_first_frame);
  const float q = 7.0f / 14.0f;
  const int o1 = static_cast<int>(q * (st.scroll1->height + 240)) - 240;
  const int o2 = static_cast<int>(q * (st.scroll2->height + 240)) - 240;
  ASSERT_GT(st.scroll2->height, st.scroll1->height);  // the smeared layer moves faster
  int lit = 0, smeared = 0;
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x) {
      const uint32_t got = f[y * kFrameWidth + x];
      const int r1 = y + o1, r2 = y + o2;
      const uint32_t sharp =
          (r1 >= 0 && r1 < st.scroll1->height) ? st.scroll1->pixels[r1 * kFrameWidth + x] : 0u;
      // The sharp layer is added last: every channel at least its own.
      for (int sh : {0, 8, 16})
        ASSERT_GE((got >> sh) & 0xFF, (sharp >> sh) & 0xFF) << x << "," << y;
      lit += (sharp & kColour) > 0x00404040;
      const uint32_t under =
          (r2 >= 0 && r2 < st.scroll2->height) ? st.scroll2->pixels[r2 * kFrameWidth + x] : 0u;
      smeared += (sharp & kColour) == 0 && (got & kColour) != (under & kColour);
    }
  EXPECT_GT(lit, 500);
  EXPECT_GT(smeared, kFramePixels / 4);
}

TEST(CreditsScrollScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(252.5, 266.0, 1.5);
}

TEST(FlowerSpriteScene, TenFlowersTurnOnTheirPathsFromTheTexturesOwnSize) {
  show_test::prepare();
  Show& s = show();
  const float t = 189.0f;
  // Where the first, fifth and last flowers stand at t.
  const double d = t;
  const double at[3][2] = {
      {std::sin(d) * std::cos(d * 0.7142857142857143), std::cos(0.25 * d) * std::cos(1.2 * d)},
      {std::cos(2 * d) * std::sin(1.9 * d), std::sin(2.2 * d) * std::sin(d * 1.6666666666666665)},
      {-std::sin(1.9 * d) * std::cos(d), -std::sin(2.2 * d) * std::sin(d * 1.6666666666666665)}};
  Frame f(kFramePixels, 0);
  FlowerSpriteScene(f.data(), nullptr, 0, t, 187.3f, 190.9f, 0.5f, 0);
  for (const auto& xy : at) {
    const int x = static_cast<int>(160 + 120 * xy[0]), y = static_cast<int>(120 + 80 * xy[1]);
    EXPECT_GT(f[y * kFrameWidth + x] & kColour, 0x00404040u) << x << "," << y;
  }
  int lit = 0;
  for (uint32_t p : f) lit += (p & kColour) != 0;
  EXPECT_GT(lit, 5 * 1000);  // ten flowers of about 45 x 45, some overlapping
  EXPECT_LT(lit, 10 * 64 * 64);
  EXPECT_EQ(sprite_source_width, 64);

  // A flower texture of another size is read at that size (32 x 32 here), never past it:
  // red texels follow its grey ones in memory, so reading on would tint the frame.
  auto small = std::make_unique<Image>();
  small->width = small->height = 32;
  small->pixels = new uint32_t[64 * 64];
  for (int i = 0; i < 64 * 64; ++i) small->pixels[i] = i < 32 * 32 ? 0x00808080u : 0x00FF0000u;
  s.flower = std::move(small);
  Frame g(kFramePixels, 0);
  FlowerSpriteScene(g.data(), nullptr, 0, t, 187.3f, 190.9f, 0.5f, 0);
  EXPECT_EQ(sprite_source_width, 32);
  EXPECT_EQ(sprite_source_height, 32);
  int grey = 0;
  for (uint32_t p : g) {
    ASSERT_EQ((p >> 16) & 0xFF, p & 0xFF) << std::hex << p;
    grey += (p & 0xFF) != 0;
  }
  EXPECT_GT(grey, 5 * 1000);
}

TEST(PictureScenes, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(165.5, 167.0, 4.0);
  show_test::expect_plain_equals_simd(187.3, 190.9, 2.0);
  show_test::expect_plain_equals_simd(238.0, 241.0, 4.0);
}

}  // namespace
