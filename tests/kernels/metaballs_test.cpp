// Marching-cubes metaballs: the case tables, the surface's shape and closure, the blended
// chains, and a surface that does not fit its tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"

namespace {

constexpr float kCell = 4.0f;
constexpr float kThreshold = 10.0f;

// A World holding only the surface's Mesh, with a base and an overlay material a ball.
struct Surface {
  World world = {};
  Mesh* mesh = nullptr;
  Material* base[kMetaBallLimit] = {};
  Material* overlay[kMetaBallLimit] = {};

  explicit Surface(int vertices = 5000, int faces = 5000) {
    EXPECT_EQ(world_init(&world, vertices, faces, 1, 0, 0, 0), 1);
    mesh = &world.meshes[0];
    for (int m = 0; m < kMetaBallLimit; ++m) {
      char name[16];
      std::snprintf(name, sizeof name, "g%d", m);
      base[m] = world_add_material(&world, name);
      std::snprintf(name, sizeof name, "a%d", m);
      overlay[m] = world_add_material(&world, name);
    }
    metaballs_init(kCell);
    metaball_count = 0;
  }
  ~Surface() { world_free(&world); }

  void ball(int m, float x, float y, float z, float radius, float strength) {
    metaball_table[m] = {};
    metaball_table[m].x = x;
    metaball_table[m].y = y;
    metaball_table[m].z = z;
    metaball_table[m].radius = radius;
    metaball_table[m].strength = strength;
    metaball_table[m].base = base[m];
    metaball_table[m].overlay = overlay[m];
    metaball_count = std::max(metaball_count, m + 1);
  }
  void build() { metaballs_build_blended(mesh, kThreshold); }
  Face& face(int k) { return world.faces[mesh->first_face + k]; }
  Vertex& vertex(int k) { return world.vertices[mesh->first_vertex + k]; }
};

// Every undirected edge of the base faces, with how often each direction is used.
std::map<std::pair<int, int>, std::pair<int, int>> edge_uses(Surface& s) {
  std::map<std::pair<int, int>, std::pair<int, int>> uses;
  for (int k = 0; k < s.mesh->face_count; ++k) {
    const Face& f = s.face(k);
    const int v[3] = {f.a, f.b, f.c};
    for (int e = 0; e < 3; ++e) {
      const int p = v[e], q = v[(e + 1) % 3];
      if (p < q)
        ++uses[{p, q}].first;
      else
        ++uses[{q, p}].second;
    }
  }
  return uses;
}

void expect_closed(Surface& s) {
  ASSERT_GT(s.mesh->face_count, 0);
  int open = 0;
  for (const auto& [edge, count] : edge_uses(s))
    if (count.first != 1 || count.second != 1) ++open;
  EXPECT_EQ(open, 0) << "edges not shared by exactly two opposite faces";
}

TEST(MetaballTables, EdgesAndTrianglesFollowTheCornerRule) {
  metaballs_init(kCell);
  const int corner_of_edge[12][2] = {{0, 1}, {1, 2}, {2, 3}, {0, 3}, {4, 5}, {5, 6},
                                     {6, 7}, {4, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  int triangles = 0;
  for (int mask = 0; mask < 256; ++mask) {
    int expect = 0;
    for (int e = 0; e < 12; ++e)
      if (((mask >> corner_of_edge[e][0]) & 1) != ((mask >> corner_of_edge[e][1]) & 1))
        expect |= 1 << e;
    ASSERT_EQ(metaball_edge_table[mask], expect) << "case " << mask;
    int used = 0, k = 0;
    for (; metaball_triangle_table[mask][k] >= 0; ++k)
      used |= 1 << metaball_triangle_table[mask][k];
    EXPECT_EQ(k % 3, 0);
    EXPECT_LE(k, 15);
    EXPECT_EQ(used, expect) << "case " << mask << " uses other edges than it crosses";
    triangles += k / 3;
  }
  EXPECT_EQ(triangles, 820);
  // The first cases as the classic table lists them, wound the same way.
  const int8_t* c1 = metaball_triangle_table[1];
  EXPECT_EQ((std::vector<int>{c1[0], c1[1], c1[2], c1[3]}), (std::vector<int>{0, 8, 3, -1}));
  const int8_t* c2 = metaball_triangle_table[2];
  EXPECT_EQ((std::vector<int>{c2[0], c2[1], c2[2], c2[3]}), (std::vector<int>{0, 1, 9, -1}));
  EXPECT_EQ(metaball_triangle_table[0][0], -1);
  EXPECT_EQ(metaball_triangle_table[255][0], -1);
}

TEST(MetaballSurface, SingleBallIsTheSphereOfTheThreshold) {
  // Centred on the grid's middle height, so the polygonized cells (y -24..16) hold it whole.
  Surface s;
  s.ball(0, 0.0f, -4.0f, 0.0f, 40.0f, 15.0f);
  s.build();
  ASSERT_GT(s.mesh->vertex_count, 100);
  const double radius = 40.0 * std::sqrt(1.0 - std::sqrt(2.0 / 3.0));  // about 17.1
  for (int k = 0; k < s.mesh->vertex_count; ++k) {
    const Vertex& v = s.vertex(k);
    const double r = std::sqrt(v.position.x * v.position.x + v.position.y * v.position.y +
                               v.position.z * v.position.z);
    ASSERT_NEAR(r, radius, kCell) << "vertex " << k;
    // The normal points out, and the mapping follows it.
    EXPECT_GT(
        (v.normal.x * v.position.x + v.normal.y * v.position.y + v.normal.z * v.position.z) / r,
        0.9);
    EXPECT_FLOAT_EQ(v.u, 127.0f * v.normal.x + 127.0f);
  }
  expect_closed(s);
  // One ball: no overlays, every face its base material, material 0 as the fallback.
  EXPECT_EQ(metaballs_overlay_count(), 0);
  for (int k = 0; k < s.mesh->face_count; ++k) {
    EXPECT_EQ(s.face(k).material, s.base[0]);
    EXPECT_EQ(s.face(k).fallback_material, &s.world.materials[0]);
    EXPECT_EQ(s.face(k).chain_link, nullptr);
  }
}

TEST(MetaballSurface, WeakOrAbsentBallsMakeNothingOrKeepTheLastSurface) {
  Surface s;
  s.ball(0, 0.0f, 0.0f, 0.0f, 25.0f, 9.0f);  // below the threshold everywhere
  s.build();
  EXPECT_EQ(s.mesh->vertex_count, 0);
  EXPECT_EQ(s.mesh->face_count, 0);
  s.ball(0, 0.0f, 0.0f, 0.0f, 25.0f, 15.0f);
  s.build();
  const int faces = s.mesh->face_count, frame = metaballs_frame();
  ASSERT_GT(faces, 0);
  metaball_count = 0;
  s.build();
  EXPECT_EQ(s.mesh->face_count, faces);
  EXPECT_EQ(s.world.face_count, faces);
  EXPECT_EQ(metaballs_frame(), frame);
  // Rebuilding replaces the surface instead of piling it up.
  metaball_count = 1;
  s.build();
  EXPECT_EQ(s.world.face_count, faces);
  EXPECT_EQ(s.world.vertex_count, s.mesh->vertex_count);
}

TEST(MetaballSurface, TouchingBallsCloseOneSurfaceWithChainedBlends) {
  Surface s;
  s.ball(0, -15.0f, 0.0f, 0.0f, 25.0f, 15.0f);
  s.ball(1, 15.0f, 0.0f, 0.0f, 25.0f, 15.0f);
  s.build();
  expect_closed(s);
  // The midpoint lies inside: one merged surface, so some vertex sits near x = 0.
  bool waist = false;
  for (int k = 0; k < s.mesh->vertex_count; ++k)
    waist = waist || std::fabs(s.vertex(k).position.x) < kCell;
  EXPECT_TRUE(waist);

  // A triangle both balls colour: the base face carries ball 0's base material, the face
  // chained to it ball 1's overlay, and their corner shares add up to the whole.
  int chains = 0;
  EXPECT_GT(metaballs_overlay_count(), 0);
  for (int k = 0; k < s.mesh->face_count; ++k) {
    const Face& f = s.face(k);
    if (f.chain_link == nullptr) continue;
    ++chains;
    const Face& o = *f.chain_link;
    EXPECT_EQ(f.material, s.base[0]);
    EXPECT_EQ(o.material, s.overlay[1]);
    EXPECT_EQ(o.chain_link, nullptr);
    EXPECT_EQ(o.fallback_material, &s.world.materials[0]);
    EXPECT_EQ(o.a, f.a);
    EXPECT_EQ(o.pc, f.pc);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(f.corner_intensity[c] + o.corner_intensity[c], 255.0f, 0.01f);
  }
  EXPECT_EQ(chains, metaballs_overlay_count());
}

TEST(MetaballSurface, ManyOverlappingBallsStayClosed) {
  // Random clusters reach the ambiguous cube faces that single and paired balls miss.
  std::mt19937 rng(7);
  // Centres and radii keep every surface inside the grid's polygonized cells.
  std::uniform_real_distribution<float> pos(-14.0f, 14.0f), low(-7.0f, -1.0f), rad(8.0f, 16.0f),
      str(11.0f, 30.0f);
  for (int round = 0; round < 12; ++round) {
    Surface s(20000, 20000);
    for (int m = 0; m < kMetaBallLimit; ++m)
      s.ball(m, pos(rng), low(rng), pos(rng), rad(rng), str(rng));
    s.build();
    ASSERT_FALSE(metaballs_cut_short());
    SCOPED_TRACE(round);
    expect_closed(s);
  }
}

TEST(MetaballSurface, NormalsReadOnlyThisFramesField) {
  // A first surface fills the grid's field; a smaller one built next must not take its
  // normals from points the first left behind.
  Surface s;
  s.ball(0, 0.0f, 0.0f, 0.0f, 60.0f, 40.0f);
  s.build();
  // Strong enough that its surface runs close to the edge of the box it is evaluated in.
  s.ball(0, 0.0f, -4.0f, 0.0f, 25.0f, 200.0f);
  s.build();
  ASSERT_GT(s.mesh->vertex_count, 0);
  for (int k = 0; k < s.mesh->vertex_count; ++k) {
    Vertex v = s.vertex(k);
    v.position.y += 4.0f;
    const float r = std::sqrt(vec_length_sq(&v.position));
    EXPECT_GT(vec_dot(&v.normal, &v.position) / r, 0.9f) << "vertex " << k;
  }
}

TEST(MetaballSurface, BallAtTheGridsEdgeIsCutAtTheLastCell) {
  Surface s;
  s.ball(0, 40.0f, 18.0f, -40.0f, 25.0f, 15.0f);
  s.build();
  ASSERT_GT(s.mesh->vertex_count, 0);
  for (int k = 0; k < s.mesh->vertex_count; ++k) {
    const Vertex& v = s.vertex(k);
    EXPECT_LE(v.position.x, (19 - 10.5f) * kCell);
    EXPECT_LE(v.position.y, (10 - 6.0f) * kCell);
    EXPECT_GE(v.position.z, (0 - 10.5f) * kCell);
  }
}

TEST(MetaballSurface, SurfaceLargerThanItsTablesIsCutShort) {
  // The World's tables end early (capacity below what is allocated): the build stops at
  // the capacity and the slots past it keep what they held.
  Surface s(4000, 4000);
  s.world.vertex_capacity = 300;
  s.world.face_capacity = 200;
  for (int k = 300; k < 4000; ++k) s.world.vertices[k].u = -7.0f;
  for (int k = 200; k < 4000; ++k) s.world.faces[k].a = -7;
  s.ball(0, -15.0f, 0.0f, 0.0f, 25.0f, 15.0f);
  s.ball(1, 15.0f, 0.0f, 0.0f, 25.0f, 15.0f);
  s.build();
  EXPECT_TRUE(metaballs_cut_short());
  EXPECT_LE(s.mesh->vertex_count, 300);
  EXPECT_LE(s.mesh->face_count, 200);
  EXPECT_GT(s.mesh->face_count, 100);
  for (int k = 300; k < 4000; ++k) ASSERT_EQ(s.world.vertices[k].u, -7.0f);
  for (int k = 200; k < 4000; ++k) ASSERT_EQ(s.world.faces[k].a, -7);
  // The faces that were made point at vertices that were made.
  for (int k = 0; k < s.mesh->face_count; ++k) EXPECT_LT(s.face(k).c, s.mesh->vertex_count);

  // Eight balls on one spot: every triangle chains seven overlays, more than the pool holds.
  Surface big(20000, 20000);
  for (int m = 0; m < kMetaBallLimit; ++m) big.ball(m, 0.0f, 0.0f, 0.0f, 40.0f, 15.0f);
  big.build();
  EXPECT_TRUE(metaballs_cut_short());
  EXPECT_EQ(metaballs_overlay_count(), kMetaOverlayFaces);
  for (int k = 0; k < big.mesh->face_count; ++k)
    for (const Face* f = big.face(k).chain_link; f != nullptr; f = f->chain_link)
      ASSERT_NE(f->material, nullptr);
}

}  // namespace
