// The dancer scenes through their frames: the spotlit catwalk, the titles, the silhouette
// echoes, the box dancer and the mirror floor; plus the pieces whose faults would not show
// in a frame (wrapping frame numbers, an off-origin mirror, missing meshes).
#include "scenes/dancers/dancers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "assets/motion.h"
#include "engine/raster_fixture.h"
#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

using show_test::Frame;

Frame draw(SceneHandler h, float t, float start, float end, int parameter, Frame f = {}) {
  if (f.empty()) f.assign(kFramePixels, 0);
  h(f.data(), nullptr, 0, t, start, end, (t - start) / (end - start), parameter);
  return f;
}

uint32_t rgb(uint32_t p) {
  return p & 0x00FFFFFF;
}
bool near_colour(uint32_t p, uint32_t c, int within) {
  for (int shift : {0, 8, 16})
    if (std::abs(int(p >> shift & 0xFF) - int(c >> shift & 0xFF)) > within) return false;
  return true;
}

// ---- Catwalk ----

TEST(Catwalk, SpotLightsTheSurfaceItSeesAndLeavesTheShadowOfANearerOne) {
  show_test::prepare();
  const std::vector<uint32_t> grey = rtest::flat_texture(256, 0x808080);
  const std::vector<uint32_t> white = rtest::flat_texture(256, 0xFFFFFF);
  rtest::SceneWorld w(8, 4, 2, 0, 1);
  Material* m = w.material("grey", grey, 0x200);
  w.add_square(0, 0, 10, 10, m);      // far wall
  w.add_square(0.5f, 0.5f, 5, 1, m);  // a small square between it and the spot
  w.world.camera_count = 1;
  w.world.cameras[0].target = {0, 0, 10};
  Light spot{};
  spot.position = {0.5f, 0.5f, 0};
  spot.target = {0.5f, 0.5f, 10};
  spot.spot_fov = 30.0f;  // on the wall: x and y from -2.18 to 3.18
  const CatwalkSpot spots[] = {{&spot, white.data()}};
  Frame f(kFramePixels, 0);
  catwalk_render(f.data(), {&w.world, 0, 0, 0, true, spots, 1});
  // Screen pixel of a camera-space point (fov 60 on 320 x 240).
  auto at = [&](float x, float y, float z) {
    const View& v = show().screen_view;
    return rgb(f[int(119.5f - y * v.scale_y / z + 0.5f) * kFrameWidth +
                 int(159.5f + x * v.scale_x / z + 0.5f)]);
  };
  const uint32_t unlit = 0x1E1E1E;                   // 0x80 x 60 / 256
  EXPECT_GT(at(2.5f, -1, 10) & 0xFF, unlit & 0xFF);  // the wall in the light
  EXPECT_EQ(at(2.5f, -1, 10), at(-1.5f, 2.5f, 10));
  EXPECT_GT(at(0.6f, 0.6f, 5) & 0xFF, unlit & 0xFF);  // the near square in it
  EXPECT_EQ(at(-0.3f, -0.3f, 10), unlit);             // its shadow on the wall
  EXPECT_EQ(at(-4, -4, 10), unlit);                   // outside the cone
}

TEST(Catwalk, OpeningLightSwingsOntoTheDancerAndRestsFromTenSeconds) {
  show_test::prepare();
  const Frame before = show_test::frame_at(9.9999f);
  const Light& spot = show().dancers.spots[0];
  EXPECT_NEAR(spot.position.z, -54.5f, 0.1f);
  EXPECT_NEAR(spot.target.y, 9.1f, 0.05f);
  EXPECT_NEAR(spot.target.z, 122.7f, 0.2f);
  EXPECT_FLOAT_EQ(spot.spot_fov, show().catwalk.cameras[0].lens * 2.0f / 3.0f);
  show_test::frame_at(10.0f);
  EXPECT_EQ(spot.position.z, -100.0f);
  EXPECT_EQ(spot.target.z, 0.0f);
  // Lit through the light buffer: both unlit (60) and lit (above 60) pixels in it.
  int lit = 0, dark = 0;
  for (uint32_t p : show().light) {
    lit += (p & 0xFF) > 60;
    dark += (p & 0xFF) == 60;
  }
  EXPECT_GT(lit, 2000);
  EXPECT_GT(dark, 2000);
  EXPECT_GT(std::count_if(before.begin(), before.end(), [](uint32_t p) { return rgb(p) != 0; }),
            kFramePixels / 10);
}

TEST(Catwalk, CloseUpsMakeTheirTintedSpotsOnceAndLoadTheCloseUpMotion) {
  show_test::prepare();
  show_test::frame_at(14.5f);
  const DancerState& d = show().dancers;
  ASSERT_TRUE(d.red_light && d.blue_light);
  const uint32_t* red = d.red_light->pixels;
  EXPECT_FALSE(d.catwalk_close_first_frame);
  EXPECT_EQ(motion_time_divisor, 1.0f);
  const uint32_t p = show().phong->pixels[128 * 256 + 128];
  EXPECT_EQ(rgb(red[128 * 256 + 128]), (((p >> 16) & 0xFF) * 200 >> 8) << 16 |
                                           (((p >> 8) & 0xFF) * 40 >> 8) << 8 |
                                           ((p & 0xFF) * 65 >> 8));
  show_test::frame_at(15.0f);
  EXPECT_EQ(d.red_light->pixels, red);  // not made again
  EXPECT_EQ(d.spots[0].target.x, 140.0f * std::sin(15.0f));
  EXPECT_EQ(d.spots[1].target.x, 140.0f * std::cos(15.0f));
  // A second show in the same process starts at the first motion's rate again.
  show_test::prepare();
  EXPECT_EQ(motion_time_divisor, 3.0f);
}

TEST(TitleScene, KeysOutTheFirstPixelAndIgnoresOtherParameters) {
  show_test::prepare();
  Frame under(kFramePixels, 0x00123456);
  const Frame over = draw(TitleScene, 1.0f, 0.0f, 3.85f, 1, under);
  const Image& title = *show().titles[1];
  for (int i = 0; i < kFramePixels; i += 97)
    EXPECT_EQ(over[i], title.pixels[i] == title.pixels[0] ? 0x00123456u : title.pixels[i]);
  EXPECT_EQ(draw(TitleScene, 1.0f, 0.0f, 3.85f, 4, under), under);
  EXPECT_EQ(draw(TitleScene, 1.0f, 0.0f, 3.85f, -1, under), under);
}

// ---- Silhouettes ----

// A silhouette store holding `count` frames, frame f marking pixel f only.
void fake_store(int count) {
  show_reset();
  std::vector<uint32_t> buf(kFramePixels);
  for (int f = 0; f < count; ++f) {
    std::fill(buf.begin(), buf.end(), 0xFFFFFFFFu);
    buf[f] = 0;
    silhouette_record(buf.data());
  }
}

int marked_pixel(const uint8_t* mask, uint8_t bit) {
  int found = -1;
  for (int i = 0; i < kFramePixels; ++i)
    if (mask[i] & bit) {
      if (found >= 0) return -2;
      found = i;
    }
  return found;
}

TEST(Silhouettes, FramesWrapIntoTheRecordedCountAndAnEmptyStoreStampsNothing) {
  fake_store(200);
  std::vector<uint8_t> mask(kFramePixels, 0);
  silhouette_stamp(mask.data(), 1, 205);
  silhouette_stamp(mask.data(), 2, -1);
  silhouette_stamp(mask.data(), 3, -401);
  silhouette_stamp(mask.data(), 4, 17);
  EXPECT_EQ(marked_pixel(mask.data(), 2), 5);
  EXPECT_EQ(marked_pixel(mask.data(), 4), 199);
  EXPECT_EQ(marked_pixel(mask.data(), 8), 199);
  EXPECT_EQ(marked_pixel(mask.data(), 16), 17);
  show_reset();
  std::vector<uint8_t> none(kFramePixels, 0);
  silhouette_stamp(none.data(), 1, 3);
  silhouette_stamp(none.data(), 1, -3);
  EXPECT_EQ(none, std::vector<uint8_t>(kFramePixels, 0));
  // The count runs modulo 240: the 240th frame wraps it to 0 with every plane in use.
  fake_store(240);
  EXPECT_EQ(show().silhouette_count, 0);
  EXPECT_EQ(show().silhouette_planes[29][239], 0x80);
  show_reset();
}

TEST(Silhouettes, ARecordedFrameHasTheOutlineOfTheMeshDrawn) {
  show_reset();
  rtest::SceneWorld w(8, 4, 1);
  static const std::vector<uint32_t> none = rtest::flat_texture(32, 0xFFFFFF);
  Material* solid = w.material("solid", none, -1);
  w.add_square(0, 0, 10, 4, solid);  // 4 x 4 at depth 10: about 111 x 116 pixels
  rtest::ScreenView s;
  std::fill(s.target.colour.begin(), s.target.colour.end(), 0xFFFFFFFFu);
  s.draw(&w.world, false);
  silhouette_record(s.target.colour.data());
  std::vector<uint8_t> mask(kFramePixels, 0);
  silhouette_stamp(mask.data(), 0, 0);
  int x0 = kFrameWidth, x1 = -1, y0 = kFrameHeight, y1 = -1, n = 0;
  for (int i = 0; i < kFramePixels; ++i) {
    ASSERT_EQ(mask[i] == 1, s.target.colour[i] == 0) << i;
    if (!mask[i]) continue;
    ++n;
    x0 = std::min(x0, i % kFrameWidth), x1 = std::max(x1, i % kFrameWidth);
    y0 = std::min(y0, i / kFrameWidth), y1 = std::max(y1, i / kFrameWidth);
  }
  const float half_x = 2 * s.view.scale_x / 10, half_y = 2 * s.view.scale_y / 10;
  EXPECT_NEAR(x0, 159.5f - half_x, 1.0f);
  EXPECT_NEAR(x1, 159.5f + half_x, 1.0f);
  EXPECT_NEAR(y0, 119.5f - half_y, 1.0f);
  EXPECT_NEAR(y1, 119.5f + half_y, 1.0f);
  EXPECT_EQ(n, (x1 - x0 + 1) * (y1 - y0 + 1));  // a filled square, no holes
  show_reset();
}

TEST(SilhouetteEchoScene, ThreeFlatEchoesOfTheRecordedDancerSoftened) {
  show_test::prepare();
  ASSERT_EQ(show().silhouette_count, 200);
  const Frame f = draw(SilhouetteEchoScene, 188.0f, 187.3f, 190.9f, 0);
  // Row 0 is left as coloured: only the four flat colours, the background among them.
  const std::set<uint32_t> flat = {0x309BD8, 0xB6A264, 0x4186EA, 0xCF6062};
  std::set<uint32_t> row0;
  for (int x = 0; x < kFrameWidth; ++x) row0.insert(rgb(f[x]));
  for (uint32_t c : row0) EXPECT_TRUE(flat.count(c)) << std::hex << c;
  EXPECT_TRUE(row0.count(0x309BD8));
  // Below it the echoes are softened: more than four colours, and the open background
  // away from any edge is the background's quarter-sum.
  std::set<uint32_t> inner;
  int front = 0;
  for (int i = kFrameWidth; i < kFramePixels - kFrameWidth; ++i) {
    inner.insert(rgb(f[i]));
    front += near_colour(f[i], 0xB6A264, 6);  // softened, a shade darker
  }
  EXPECT_GT(inner.size(), 4u);
  EXPECT_GT(front, 1000);
  // The mask holds all three echoes.
  int bits = 0;
  for (uint8_t m : show().dancers.echo_mask) bits |= m;
  EXPECT_EQ(bits, 2 | 4 | 8);
  // The echoes stand apart: each of the two behind shows beside the one in front.
  int first = 0, third = 0;
  for (uint8_t m : show().dancers.echo_mask) {
    first += (m & 6) == 2;
    third += m == 8;
  }
  EXPECT_GT(first, 5000);
  EXPECT_GT(third, 5000);
}

// ---- Box dancer and mirror floor ----

TEST(Mirror, ReflectsInAFloorOffTheOriginAndRefusesADegenerateOne) {
  Mat4 r;
  // The floor's top at y = 5, corners in the order the scene takes them.
  ASSERT_TRUE(mirror_through({250, 5, 250}, {-250, 5, 250}, {-250, 5, -250}, &r));
  Vec3 p{30, 8, -40}, q;
  mat_transform_point(&p, &r, &q);
  EXPECT_NEAR(q.x, 30, 1e-4);
  EXPECT_NEAR(q.y, 2, 1e-4);
  EXPECT_NEAR(q.z, -40, 1e-4);
  // A floor tilted through (0, 5, 0): its points stay where they are.
  ASSERT_TRUE(mirror_through({0, 5, 0}, {1, 6, 0}, {0, 5, 1}, &r));
  Vec3 on{2, 7, 3};
  mat_transform_point(&on, &r, &q);
  EXPECT_NEAR(q.y, 7, 1e-4);
  Mat4 untouched = r;
  EXPECT_FALSE(mirror_through({0, 5, 0}, {1, 5, 0}, {2, 5, 0}, &r));  // collinear
  EXPECT_FALSE(mirror_through({1, 1, 1}, {1, 1, 1}, {1, 1, 1}, &r));
  EXPECT_EQ(std::memcmp(&r, &untouched, sizeof r), 0);
}

TEST(DanceFloorScene, TheDancerStandsOverHerReflectionBelowTheFloorLine) {
  show_test::prepare();
  const Frame with = show_test::frame_at(197.0f);
  DancerState& d = show().dancers;
  ASSERT_NE(d.dance_floor, nullptr);
  // Without a mirror (a floor whose corners coincide) the same frame has no reflection.
  for (Vertex& c : d.floor_corners) c.position = d.floor_corners[0].position;
  const Frame without = show_test::frame_at(197.0f);
  int differ = 0, top = kFrameHeight, bottom = -1;
  for (int i = 0; i < kFramePixels; ++i) {
    if (rgb(with[i]) == rgb(without[i])) continue;
    ++differ;
    top = std::min(top, i / kFrameWidth);
    bottom = std::max(bottom, i / kFrameWidth);
  }
  EXPECT_GT(differ, 500);
  // The reflection hangs from her feet downwards: nothing changes in the upper third.
  EXPECT_GT(top, kFrameHeight / 3);
  EXPECT_GT(
      std::count_if(without.begin(), without.end(), [](uint32_t p) { return rgb(p) != 0x0F373F; }),
      kFramePixels / 2);
}

TEST(BoxDancerScene, LoadsAMotionOnlyWhenTheParameterChanges) {
  show_test::prepare();
  draw(BoxDancerScene, 88.0f, 87.0f, 90.0f, 0);
  EXPECT_EQ(show().dancers.box_motion_slot, 0);
  EXPECT_EQ(motion_time_divisor, 3.0f);
  motion_time_divisor = 2.0f;  // a load would set it back to 3
  draw(BoxDancerScene, 88.1f, 87.0f, 90.0f, 0);
  EXPECT_EQ(motion_time_divisor, 2.0f);
  draw(BoxDancerScene, 91.0f, 90.0f, 99.0f, 1);
  EXPECT_EQ(motion_time_divisor, 3.0f);
  EXPECT_EQ(show().dancers.box_motion_slot, 1);
}

TEST(BoxDancerScene, AMeshTheMotionDoesNotNameKeepsItsPlaceAndTheRestDance) {
  show_test::prepare();
  World& w = show().box;
  Mesh* hip = world_find_mesh(&w, "Hip");
  Mesh* chest = world_find_mesh(&w, "Chest");
  ASSERT_TRUE(hip && chest);
  std::strcpy(hip->name, "NotAPart");
  const Frame f = draw(BoxDancerScene, 88.0f, 87.0f, 90.0f, 0);
  EXPECT_EQ(std::memcmp(&hip->render_matrix, &hip->node.world_matrix, sizeof(Mat4)), 0);
  EXPECT_NE(std::memcmp(&chest->render_matrix, &chest->node.world_matrix, sizeof(Mat4)), 0);
  EXPECT_GT(std::count_if(f.begin(), f.end(), [](uint32_t p) { return rgb(p) != 0; }),
            kFramePixels / 10);
}

TEST(DancerScenes, PlayWithoutAMessage) {
  // Every span of the family's rows, a frame a second, after one start-up.
  show_test::prepare();
  testing::internal::CaptureStdout();
  for (auto [a, b] : {std::pair{0.0f, 29.3f},
                      {87.0f, 116.0f},
                      {132.0f, 144.6f},
                      {183.6f, 224.0f},
                      {248.0f, 252.2f}})
    for (float t = a; t < b; t += 1.0f) show_test::frame_at(t);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(DancerScenes, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(1.0, 16.0, 1.0);
  show_test::expect_plain_equals_simd(88.0, 92.0, 2.0);
  show_test::expect_plain_equals_simd(187.5, 190.0, 2.0);
  show_test::expect_plain_equals_simd(196.0, 220.0, 0.5);
}

}  // namespace
