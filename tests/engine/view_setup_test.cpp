// View set-up, camera, projection, lighting and fog.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "raster_fixture.h"

using namespace rtest;

namespace {

TEST(ViewSetup, ProjectionScalesAndPlanes) {
  ScreenView s;
  EXPECT_NEAR(s.view.scale_x, 277.1f, 0.05f);
  EXPECT_NEAR(s.view.scale_y, 289.7f, 0.05f);
  EXPECT_FLOAT_EQ(s.view.centre_x, 159.5f);
  EXPECT_FLOAT_EQ(s.view.centre_y, 119.5f);
  EXPECT_EQ(s.view.plane_count, 5);
  // Plane 0 is the left edge of the 60 degree view.
  const Vec3 edge{-std::tan(0.5235988f) * 10.0f, 0.0f, 10.0f};  // on the left edge
  EXPECT_NEAR(vec_dot(&edge, &s.view.planes[0].normal), 0.0f, 1e-3f * 10);
  view_set_fov_square(&s.view, 90.0f);
  EXPECT_NEAR(s.view.scale_x, 160.0f, 0.01f);
  EXPECT_NEAR(s.view.scale_y, 120.0f, 0.01f);
}

TEST(ViewSetup, VertexAtEyeProjectsWithUnitDivisor) {
  ScreenView s;
  Vertex v{};
  v.camera_position = {2.0f, 1.0f, 0.0f};
  vertex_project(&v, &s.view);
  EXPECT_FLOAT_EQ(v.screen_x, 2.0f * s.view.scale_x + 159.5f);
  EXPECT_FLOAT_EQ(v.screen_y, 119.5f - s.view.scale_y);
  EXPECT_EQ(v.depth, 0.0f);
  v.camera_position = {2.0f, 1.0f, 4.0f};
  vertex_project(&v, &s.view);
  EXPECT_FLOAT_EQ(v.screen_x, 0.5f * s.view.scale_x + 159.5f);
  EXPECT_FLOAT_EQ(v.depth, 4.0f);
}

TEST(ViewSetup, FarPlaneSurvivesOnlyWhenSetAfterTheCamera) {
  SceneWorld w(0, 0, 0, 0, 1);
  Camera* cam = &w.world.cameras[w.world.camera_count++];
  cam->node.position_present = cam->target_node.position_present = 1;
  cam->node.fov_present = 1;
  cam->node.fov.value = 60.0f;
  cam->target_node.position.value = {0, 0, 10};
  ScreenView s;
  view_set_fog(&s.view, 10.0f, 100.0f);
  view_set_far_plane(&s.view, 1);
  EXPECT_EQ(s.view.plane_count, 6);
  view_set_camera(&s.view, cam);
  EXPECT_EQ(s.view.plane_count, 5);
  view_set_far_plane(&s.view, 1);
  EXPECT_EQ(s.view.plane_count, 6);
  EXPECT_EQ(s.view.fog_on, 1);
  // view_set_fog alone switches the plane on but never the fog.
  view_set_far_plane(&s.view, 0);
  view_set_fog(&s.view, 10.0f, 100.0f);
  EXPECT_EQ(s.view.plane_count, 6);
  EXPECT_EQ(s.view.fog_on, 0);
}

TEST(ViewSetup, CameraFromTracksOrFromTheFile) {
  SceneWorld w(0, 0, 0, 0, 2);
  Camera* animated = &w.world.cameras[w.world.camera_count++];
  animated->position = {100, 100, 100};  // ignored when the tracks are there
  animated->node.position_present = animated->target_node.position_present = 1;
  animated->node.fov_present = animated->node.roll_present = 1;
  animated->node.position.value = {0, 0, -5};
  animated->target_node.position.value = {0, 0, 5};
  animated->node.fov.value = 90.0f;
  animated->node.roll.value = 0.0f;
  ScreenView s;
  view_set_camera(&s.view, animated);
  Vec3 p{0, 0, 0}, out;
  mat_transform_point(&p, &s.view.view_matrix, &out);
  EXPECT_NEAR(out.z, 5.0f, 1e-5f);
  EXPECT_NEAR(s.view.scale_x, 160.0f, 0.01f);

  // No tracks: the camera chunk's position, target, roll and lens.
  Camera* still = &w.world.cameras[w.world.camera_count++];
  still->position = {0, 0, -20};
  still->target = {0, 0, 0};
  still->lens = 48.0f;  // 50 degrees
  view_set_camera(&s.view, still);
  mat_transform_point(&p, &s.view.view_matrix, &out);
  EXPECT_NEAR(out.z, 20.0f, 1e-4f);
  EXPECT_NEAR(s.view.horizontal_angle, 50.0f * 3.1415927f / 180.0f, 1e-5f);
  EXPECT_TRUE(std::isfinite(s.view.scale_x));
}

TEST(ViewSetup, LightsFromTracksOrFromTheFile) {
  SceneWorld w(0, 0, 0, 2);
  Light* file_light = &w.world.lights[w.world.light_count++];
  file_light->position = {0, 0, 7};
  file_light->r = 0.5f;
  Light* tracked = &w.world.lights[w.world.light_count++];
  tracked->node.position_present = tracked->node.colour_present = 1;
  tracked->node.position.value = {1, 2, 3};
  tracked->node.colour.value = {0.1f, 0.2f, 0.3f};
  ScreenView s;
  mat_identity(&s.view.view_matrix);
  s.view.view_matrix.m[14] = 1.0f;           // the camera one unit behind the origin
  for (int frame = 0; frame < 2; ++frame) {  // stable from one frame to the next
    view_place_lights(&w.world, &s.view);
    EXPECT_FLOAT_EQ(file_light->position.z, 8.0f);  // camera space, from the file's 7
    EXPECT_FLOAT_EQ(file_light->r, 0.5f);
    EXPECT_FLOAT_EQ(tracked->position.z, 4.0f);
    EXPECT_FLOAT_EQ(tracked->b, 0.3f);
  }
}

TEST(ViewSetup, CopyPictureFillsTheLightPicture) {
  ScreenView s;
  std::vector<uint32_t> pic(256 * 256);
  for (size_t i = 0; i < pic.size(); ++i) pic[i] = uint32_t(i * 7);
  s.view.picture = pic.data();
  view_copy_picture(&s.view);
  EXPECT_EQ(std::memcmp(engine_light_picture(), pic.data(), 262144), 0);
}

// One vertex of a one-face mesh, lit in camera space.
struct LitVertex {
  SceneWorld w{3, 1, 1, 2};
  Mesh* mesh;
  Vertex* v;
  LitVertex() {
    mesh = w.add_mesh({{0, 0, 10}, {1, 0, 10}, {1, 1, 10}}, {{{0, 1, 2}}}, nullptr);
    v = &w.world.vertices[0];
    v->camera_position = {0, 0, 10};
    v->camera_normal = {0, 0, 1};  // away from the eye, as on a kept face
    v->r = v->g = v->b = 0.25f;
  }
  Light* light(Vec3 at, float c) {
    Light* l = &w.world.lights[w.world.light_count++];
    l->position = at;  // camera space, as view_place_lights leaves it
    l->r = l->g = l->b = c;
    return l;
  }
};

TEST(Lighting, AmbientOnlyWhenEveryLightIsOnTheOtherSide) {
  LitVertex t;
  t.light({0, 0, 0}, 1.0f);  // at the eye: dot(normal, light - vertex) < 0
  t.light({5, 0, 2}, 1.0f);
  mesh_light(t.mesh);
  EXPECT_FLOAT_EQ(t.v->r, 0.25f * 255.0f);
  EXPECT_FLOAT_EQ(t.v->b, 0.25f * 255.0f);
}

TEST(Lighting, LightsBehindTheSurfaceAddAndSaturate) {
  LitVertex one;
  one.light({0, 0, 20}, 0.5f);  // straight behind, along the normal
  mesh_light(one.mesh);
  EXPECT_FLOAT_EQ(one.v->g, (0.25f + 0.5f) * 255.0f);

  LitVertex two;
  two.light({0, 0, 20}, 1.0f);
  two.light({0, 0, 30}, 1.0f);
  mesh_light(two.mesh);
  EXPECT_FLOAT_EQ(two.v->r, 255.0f);
  EXPECT_FLOAT_EQ(two.v->g, 255.0f);
}

// The engine's convention, kept as the show has it: the normal of a face that cull mode 0
// keeps points away from the eye, and a light counts where dot(normal, light - vertex) >= 0,
// so such a face is lit from behind.
TEST(Lighting, KeptFaceIsLitByLightsOnItsFarSide) {
  auto lit = [](Vec3 light_at) {
    SceneWorld w(4, 2, 1, 1);
    static const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
    Material* m = w.material("white", white, 0x302);
    w.add_square(0, 0, 10, 2, m);
    Light* l = &w.world.lights[w.world.light_count++];
    l->position = light_at;
    l->r = l->g = l->b = 0.5f;
    ScreenView s;
    view_set_ambient(&s.view, 0.25f, 0.25f, 0.25f);
    s.draw(&w.world);
    EXPECT_EQ(s.view.draw_count, 2);
    EXPECT_GT(w.world.vertices[0].camera_normal.z, 0.99f);
    return w.world.vertices[0].r;
  };
  EXPECT_NEAR(lit({0, 0, 30}), 0.75f * 255.0f, 0.5f);  // behind the face
  EXPECT_FLOAT_EQ(lit({0, 0, 0}), 0.25f * 255.0f);     // at the eye: ambient only
}

TEST(Lighting, LinearFogFromFogStartToTheFarPlane) {
  SceneWorld w(3, 1, 1);
  Mesh* m = w.add_mesh({{0, 0, 10}, {0, 0, 30}, {0, 0, 50}}, {{{0, 1, 2}}}, nullptr);
  ScreenView s;
  view_set_fog(&s.view, 20.0f, 60.0f);
  const float z[3] = {10.0f, 30.0f, 50.0f};
  for (int i = 0; i < 3; ++i) {
    Vertex& v = w.world.vertices[i];
    v.camera_position = {0, 0, z[i]};
    v.r = v.g = v.b = 200.0f;
  }
  mesh_fog(m, &s.view);
  EXPECT_FLOAT_EQ(w.world.vertices[0].r, 200.0f);  // nearer than the fog start
  EXPECT_FLOAT_EQ(w.world.vertices[1].r, 150.0f);
  EXPECT_FLOAT_EQ(w.world.vertices[2].g, 50.0f);
}

}  // namespace
