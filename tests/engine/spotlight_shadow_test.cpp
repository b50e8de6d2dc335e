// The projected spotlight: light where the light sees a surface, shadows of nearer surfaces,
// brightness limits, surfaces turned away, and the pending ring under load.
#include <gtest/gtest.h>

#include <cmath>

#include "raster_fixture.h"

using namespace rtest;

namespace {

const std::vector<uint32_t> kGrey = flat_texture(256, 0x404040);
const std::vector<uint32_t> kWhitePicture = flat_texture(256, 0xffffff);

struct SpotScene {
  SceneWorld w{8, 4, 2};
  ScreenView s;
  View lv{};
  Light spot{};
  Mesh* far;
  Mesh* near;
  SpotScene() {
    Material* grey = w.material("grey", kGrey, 0x200);
    far = w.add_square(0, 0, 10, 10, grey);
    near = w.add_square(0.5f, 0.5f, 5, 1, grey);
    view_init(&lv, 3000, 256, 256);
    spot.position = {0.5f, 0.5f, 0};
    spot.target = {0.5f, 0.5f, 10};
    spot.spot_fov = 60.0f;
  }
  ~SpotScene() { view_free(&lv); }
  void run(float brightness) {
    s.draw(&w.world);
    s.view.picture = kWhitePicture.data();
    view_copy_picture(&s.view);
    spotlight_render(&spot, &lv, &w.world, brightness, &s.view);
  }
  // Screen pixel of a camera-space point.
  uint32_t at(float x, float y, float z) {
    return s.target.at(int(159.5f + x * s.view.scale_x / z + 0.5f),
                       int(119.5f - y * s.view.scale_y / z + 0.5f));
  }
};

TEST(Spotlight, NearerMeshLeavesItsSilhouetteOnTheFarther) {
  SpotScene sc;
  sc.run(1.0f);
  EXPECT_EQ(sc.at(-3, 0, 10), 0xffffffu);         // lit far square
  EXPECT_EQ(sc.at(0.6f, 0.6f, 5), 0xffffffu);     // lit near square
  EXPECT_EQ(sc.at(-0.3f, -0.3f, 10), 0x404040u);  // its shadow on the far square
  EXPECT_EQ(sc.at(-0.3f, 1.3f, 10), 0x404040u);
  EXPECT_EQ(sc.at(-0.8f, -0.8f, 10), 0xffffffu);  // just outside the shadow
  EXPECT_EQ(sc.at(0, 3.5f, 10), 0xffffffu);
  // The light picture ends black wherever a surface was lit.
  EXPECT_EQ(engine_light_picture()[128 * 256 + 128], 0u);
  // Lighting leaves the screen's depth as the scene drew it.
  ScreenView plain;
  plain.draw(&sc.w.world);
  EXPECT_EQ(plain.target.depth, sc.s.target.depth);
}

TEST(Spotlight, BrightnessIsClampedToOne) {
  SpotScene one, two, none;
  one.run(1.0f);
  two.run(2.0f);
  none.run(-1.0f);
  EXPECT_EQ(one.s.target.colour, two.s.target.colour);
  ScreenView plain;
  plain.draw(&none.w.world);
  EXPECT_EQ(none.s.target.colour, plain.target.colour);
}

TEST(Spotlight, LightsOnlyFacesWhoseNormalPointsAwayFromTheLight) {
  // With the engine's winding a face the light sees has n.z > 0 in light space; turn the
  // far square's normals towards the light and it receives nothing.
  SpotScene sc;
  mesh_negate_normals(sc.far);
  sc.run(1.0f);
  EXPECT_EQ(sc.at(-3, 0, 10), 0x404040u);
  EXPECT_EQ(sc.at(0.6f, 0.6f, 5), 0xffffffu);
}

// A grey disc of radius 3 at depth 10: `rim` triangles round one centre.
void add_grey_fan(SceneWorld& w, int rim) {
  Material* grey = w.material("grey", kGrey, 0x200);
  std::vector<Vec3> corners{{0, 0, 10}};
  std::vector<std::array<int, 3>> tris;
  for (int i = 0; i < rim; ++i) {
    const float a = float(i) * 6.2831853f / rim;
    corners.push_back({3 * std::cos(a), 3 * std::sin(a), 10});
    tris.push_back({0, 1 + i, 1 + (i + 1) % rim});
  }
  w.add_mesh(corners, tris, grey);
}

TEST(Spotlight, PendingRingWrapsWithoutLosingRecords) {
  // A fan of 1600 triangles round one centre: no face may be painted until the last is lit,
  // so more records wait than the ring holds.
  constexpr int kRim = 1600;
  SceneWorld w(kRim + 1, kRim, 1);
  add_grey_fan(w, kRim);
  ScreenView s;
  view_set_cull_mode(&s.view, 2);
  s.draw(&w.world);
  View lv{};
  view_init(&lv, 3000, 256, 256);
  view_set_cull_mode(&lv, 2);
  Light spot{};
  spot.position = {0, 0, 0};
  spot.target = {0, 0, 10};
  spot.spot_fov = 60.0f;
  s.view.picture = kWhitePicture.data();
  view_copy_picture(&s.view);
  const int before = spotlight_forced_flushes();
  spotlight_render(&spot, &lv, &w.world, 1.0f, &s.view);
  EXPECT_EQ(lv.draw_count, kRim);
  EXPECT_GE(spotlight_forced_flushes() - before, kRim - 1500);
  // Every face was lit (the whole disc is bright) and every occluder painted.
  EXPECT_EQ(s.target.at(160, 120), 0xffffffu);
  EXPECT_EQ(s.target.at(160 + 60, 120), 0xffffffu);
  EXPECT_EQ(engine_light_picture()[128 * 256 + 128], 0u);
  EXPECT_EQ(engine_light_picture()[128 * 256 + 128 + 60], 0u);
  // A second call works the same.
  s.draw(&w.world);
  view_copy_picture(&s.view);
  spotlight_render(&spot, &lv, &w.world, 1.0f, &s.view);
  EXPECT_EQ(s.target.at(160 + 60, 120), 0xffffffu);
  view_free(&lv);
}

TEST(Spotlight, PolygonStoreWrapsWithoutLosingAWaitingPolygon) {
  // 17000 waiting fan triangles fill the polygon store several times over while records
  // wait: every one must still be painted with its own shape, so the light picture ends
  // black over the whole disc (radius 3 at depth 10 is about 66 light pixels) and stays
  // white outside it.
  constexpr int kRim = 17000;
  SceneWorld w(kRim + 1, kRim, 1);
  add_grey_fan(w, kRim);
  ScreenView s(320, 240, kRim + 10);
  view_set_cull_mode(&s.view, 2);
  s.draw(&w.world);
  View lv{};
  view_init(&lv, kRim + 10, 256, 256);
  view_set_cull_mode(&lv, 2);
  Light spot{};
  spot.target = {0, 0, 10};
  spot.spot_fov = 60.0f;
  s.view.picture = kWhitePicture.data();
  view_copy_picture(&s.view);
  spotlight_render(&spot, &lv, &w.world, 1.0f, &s.view);
  ASSERT_EQ(lv.draw_count, kRim);
  const uint32_t* light = engine_light_picture();
  int unpainted = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const int d2 = (x - 128) * (x - 128) + (y - 128) * (y - 128);
      if (d2 < 62 * 62 && light[y * 256 + x] != 0) ++unpainted;
    }
  EXPECT_EQ(unpainted, 0);
  EXPECT_EQ(light[128 * 256 + 128 + 72], 0xffffffu);
  view_free(&lv);
}

}  // namespace
