// The delayed-rotation wobble: which history entry a vertex shows, and a history that
// depends on the time alone, not on how often it is stepped.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"

namespace {

constexpr float kA = 0.03f, kB = 0.025f, kC = 0.02f;

// A World with one Mesh of the given vertices (normals along +y).
struct TestMesh {
  World world = {};
  explicit TestMesh(const std::vector<Vec3>& points) {
    world_init(&world, static_cast<int>(points.size()), 1, 1, 0, 0, 0);
    for (size_t i = 0; i < points.size(); ++i) {
      world.vertices[i].position = points[i];
      world.vertices[i].normal = {0.0f, 1.0f, 0.0f};
    }
    world.vertex_count = static_cast<int>(points.size());
    world.mesh_count = 1;
    Mesh& m = world.meshes[0];
    m.world = &world;
    m.first_vertex = 0;
    m.vertex_count = world.vertex_count;
  }
  ~TestMesh() { world_free(&world); }
  Mesh* mesh() { return &world.meshes[0]; }
  Vec3 at(int i) const { return world.vertices[i].position; }
};

Vec3 turned(Vec3 p, float steps) {
  Mat4 m;
  mat_rotation_euler(&m, steps * kA, steps * kB, steps * kC);
  Vec3 out;
  mat_transform_point(&p, &m, &out);
  return out;
}

// The mesh's positions after stepping from origin 0 up to `until`, `per_unit` calls a unit.
std::vector<Vec3> shape_after(const std::vector<Vec3>& points, float until, float per_unit) {
  TestMesh tm(points);
  wobble_prepare(tm.mesh());
  const long calls = std::lround(until * per_unit);
  for (long k = 0; k <= calls; ++k) {
    const float time = static_cast<float>(static_cast<double>(k) / per_unit);
    wobble_step(kA, kB, kC, time, 0.0f);
    wobble_apply(tm.mesh());
  }
  std::vector<Vec3> shape;
  for (int i = 0; i < tm.world.vertex_count; ++i) shape.push_back(tm.at(i));
  return shape;
}

TEST(Wobble, TheCentreShowsTheNewestRotationAndDistanceTenTheSixthEntry) {
  // Farthest point at 20: 13 rings and 3 more, so 16 entries; entry i holds (15 - i) steps.
  TestMesh tm({{0, 0, 0}, {10, 0, 0}, {0, 0, 20}});
  wobble_prepare(tm.mesh());
  ASSERT_EQ(wobble_history_length(), 16);
  wobble_step(kA, kB, kC, 0.0f, 0.0f);
  wobble_apply(tm.mesh());
  const Vec3 want10 = turned({10, 0, 0}, 15 - 6), want20 = turned({0, 0, 20}, 15 - 13);
  EXPECT_FLOAT_EQ(tm.at(1).x, want10.x);
  EXPECT_FLOAT_EQ(tm.at(1).y, want10.y);
  EXPECT_FLOAT_EQ(tm.at(1).z, want10.z);
  EXPECT_FLOAT_EQ(tm.at(2).y, want20.y);
  // The centre's normal turns by the newest rotation.
  Mat4 m;
  mat_rotation_euler(&m, 15 * kA, 15 * kB, 15 * kC);
  const Vec3 up = {0, 1, 0};
  Vec3 n;
  mat_rotate_vector(&up, &m, &n);
  EXPECT_NEAR(tm.world.vertices[0].normal.x, n.x, 1e-6f);
  EXPECT_NEAR(tm.world.vertices[0].normal.z, n.z, 1e-6f);
}

TEST(Wobble, ZeroRatesKeepTheRestShape) {
  TestMesh tm({{3, 4, 5}, {-30, 2, 8}});
  wobble_prepare(tm.mesh());
  for (float time : {0.0f, 0.5f, 3.0f}) wobble_step(0, 0, 0, time, 0.0f);
  wobble_apply(tm.mesh());
  EXPECT_FLOAT_EQ(tm.at(0).x, 3.0f);
  EXPECT_FLOAT_EQ(tm.at(1).x, -30.0f);
  EXPECT_FLOAT_EQ(tm.at(1).z, 8.0f);
}

TEST(Wobble, OneStepPerFifteenthOfATimeUnitFromTheOrigin) {
  TestMesh tm({{0, 0, 0}, {40, 0, 0}});
  wobble_prepare(tm.mesh());
  wobble_step(kA, kB, kC, 8.0f, 8.0f);
  EXPECT_EQ(wobble_steps_taken(), 0);
  wobble_step(kA, kB, kC, 8.0625f, 8.0f);
  EXPECT_EQ(wobble_steps_taken(), 0);  // less than a fifteenth
  wobble_step(kA, kB, kC, 8.25f, 8.0f);
  EXPECT_EQ(wobble_steps_taken(), 3);  // one slow frame catches up three steps
  wobble_step(kA, kB, kC, 8.125f, 8.0f);
  EXPECT_EQ(wobble_steps_taken(), 3);  // an earlier time never steps back
}

TEST(Wobble, TheShapeAtATimeIsTheSameAtAnyCallRate) {
  // Radius 40: 29 entries, fewer than the 60 steps one slow call has to catch up.
  const std::vector<Vec3> points = {{0, 0, 0}, {5, 1, 0}, {0, 12, -3}, {25, 0, 25}, {0, 0, 40}};
  const auto every_step = shape_after(points, 4.0f, 15.0f);
  for (float rate : {4.0f, 60.0f, 1000.0f, 0.25f}) {
    SCOPED_TRACE(rate);
    const auto other = shape_after(points, 4.0f, rate);
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_EQ(other[i].x, every_step[i].x) << "vertex " << i;
      EXPECT_EQ(other[i].y, every_step[i].y) << "vertex " << i;
      EXPECT_EQ(other[i].z, every_step[i].z) << "vertex " << i;
    }
  }
  // And it did turn: the outermost point lags the centre.
  EXPECT_NE(every_step[4].z, 40.0f);
}

TEST(Wobble, UnmeasurableVerticesStayInsideTheHistory) {
  TestMesh tm({{NAN, 0, 0}, {1e30f, 0, 0}, {2, 0, 0}});
  wobble_prepare(tm.mesh());
  EXPECT_LE(wobble_history_length(), 4096);
  wobble_step(kA, kB, kC, 0.0f, 0.0f);
  wobble_step(kA, kB, kC, 1.0e9f, 0.0f);  // a wildly late call ends in moments
  wobble_apply(tm.mesh());
  EXPECT_TRUE(std::isfinite(tm.at(2).x));
}

}  // namespace
