// The city flight through its frames: which camera and keyframe each row shows, the fog,
// the View it leaves behind, and flights that stay in the streets.
#include <algorithm>
#include <cmath>

#include "scenes/scenes.h"
#include "show_fixture.h"

namespace {

struct CityRow {
  float start, end;
  int camera;
  float rate, offset;
};
const CityRow kRows[] = {{72.6f, 80.0f, 1, 9.5f, 0.0f},
                         {80.0f, 87.0f, 0, 6.5f, 0.0f},
                         {116.0f, 132.0f, 0, 14.5f, 160.0f},
                         {224.0f, 238.0f, 1, 9.5f, 0.0f},
                         {240.0f, 248.0f, 4, 11.5f, 0.0f}};

// The view matrix a camera of the city gives at keyframe a.
Mat4 camera_matrix(int camera, float a) {
  World& city = show().city;
  world_animate(&city, a);
  View v;
  EXPECT_EQ(view_init(&v, 1, kFrameWidth, kFrameHeight), 1);
  view_set_camera(&v, &city.cameras[camera]);
  const Mat4 m = v.view_matrix;
  view_free(&v);
  return m;
}

TEST(CityScene, EachRowFliesItsCameraFromItsOwnStart) {
  show_test::prepare();
  View& view = show().screen_view;
  for (const CityRow& row : kRows) {
    for (const float d : {0.0f, 1.25f}) {
      const float t = row.start + d;
      show_test::frame_at(t);
      const Mat4 drawn = view.view_matrix;
      // Leaving the scene, the far plane and the fog are off again.
      EXPECT_EQ(view.plane_count, 5) << t;
      EXPECT_EQ(view.fog_on, 0) << t;
      // t - start in single precision, as the scene takes it.
      const Mat4 want = camera_matrix(row.camera, (t - row.start) * row.rate + row.offset);
      for (int k = 0; k < 16; ++k)
        ASSERT_FLOAT_EQ(drawn.m[k], want.m[k]) << "t " << t << " k " << k;
    }
  }
}

TEST(CityScene, FogSwallowsTheFarStreet) {
  show_test::prepare();
  // Camera 0 looks down a long street: near walls lit, the far end above the road faded
  // into black.
  const auto f = show_test::frame_at(83.0f);
  auto brightness = [&](int x0, int y0, int w, int h) {
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) {
        const uint32_t p = f[y * kFrameWidth + x];
        sum += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255);
      }
    return sum / (w * h * 3);
  };
  const double whole = brightness(0, 0, kFrameWidth, kFrameHeight);
  EXPECT_GT(whole, 25.0);
  EXPECT_LT(brightness(152, 30, 16, 40), whole / 4);
  int lit = 0;
  for (uint32_t p : f) lit += (p & 0x00FFFFFF) != 0;
  EXPECT_GT(lit, kFramePixels * 3 / 4);
}

TEST(CityScene, FlightsStayOutOfTheBuildings) {
  show_test::prepare();
  World& city = show().city;
  Mesh* buildings = world_find_mesh(&city, "Buildings");
  ASSERT_NE(buildings, nullptr);
  // Every roof (a level face above the ground) with the rectangle it covers.
  struct Roof {
    float x0, x1, z0, z1, top;
  };
  std::vector<Roof> roofs;
  world_animate(&city, 0.0f);
  for (int k = 0; k < buildings->face_count; ++k) {
    const Face& face = city.faces[buildings->first_face + k];
    Vec3 p[3];
    mat_transform_point(&face.pa->position, &buildings->node.world_matrix, &p[0]);
    mat_transform_point(&face.pb->position, &buildings->node.world_matrix, &p[1]);
    mat_transform_point(&face.pc->position, &buildings->node.world_matrix, &p[2]);
    if (p[0].y < 1.0f || std::fabs(p[0].y - p[1].y) > 0.01f || std::fabs(p[0].y - p[2].y) > 0.01f)
      continue;
    roofs.push_back({std::min({p[0].x, p[1].x, p[2].x}), std::max({p[0].x, p[1].x, p[2].x}),
                     std::min({p[0].z, p[1].z, p[2].z}), std::max({p[0].z, p[1].z, p[2].z}),
                     p[0].y});
  }
  ASSERT_GT(roofs.size(), 50u);
  // The eye keeps two units (twice the near plane) from every wall and roof, at every
  // frame of 30 a second.
  constexpr float kMargin = 2.0f;
  for (const CityRow& row : kRows) {
    int inside = 0;
    for (float d = 0.0f; d < row.end - row.start; d += 1.0f / 30.0f) {
      world_animate(&city, d * row.rate + row.offset);
      const Vec3 eye = city.cameras[row.camera].node.position.value;
      for (const Roof& r : roofs)
        if (eye.x > r.x0 - kMargin && eye.x < r.x1 + kMargin && eye.z > r.z0 - kMargin &&
            eye.z < r.z1 + kMargin && eye.y < r.top + kMargin) {
          ++inside;
          break;
        }
    }
    EXPECT_EQ(inside, 0) << "camera " << row.camera << " from " << row.start << " s";
  }
}

TEST(CityScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(116.0, 116.3, 10.0);
  show_test::expect_plain_equals_simd(240.0, 240.3, 10.0);
}

TEST(CityScene, CameraTheWorldLacksDrawsNothing) {
  show_test::prepare();
  std::vector<uint32_t> frame(kFramePixels, 0x00123456u);
  render_world(frame.data(), &show().city, &show().screen_view, 0.0f, 99);
  for (uint32_t p : frame) ASSERT_EQ(p, 0x00123456u);
}

}  // namespace
