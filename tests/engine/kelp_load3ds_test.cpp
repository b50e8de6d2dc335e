#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "engine/kelp.h"
#include "platform/exit.h"
#include "tds_writer.h"

using namespace tds;

namespace {

struct Loaded {
  std::unique_ptr<World> w = std::make_unique<World>();
  int result = -1;
  explicit Loaded(const Bytes& b, float scale = 1.0f) {
    load_3ds_set_log(nullptr);
    result = load_3ds_memory(w.get(), b.data(), b.size(), "t.3ds", scale);
  }
  ~Loaded() { world_free(w.get()); }
  World* operator->() { return w.get(); }
};

// Runs a load that must end the process; returns the status and what it printed.
int exit_status(const Bytes& b, std::string* out) {
  auto w = std::make_unique<World>();
  int status = -1;
  testing::internal::CaptureStdout();
  try {
    load_3ds_memory(w.get(), b.data(), b.size(), "bad.3ds", 1.0f);
  } catch (const platform::ProcessExit& e) {
    status = e.status;
  }
  *out = testing::internal::GetCapturedStdout();
  world_free(w.get());
  return status;
}

const char* kRefused = "RARA: bad.3ds is not a .3ds file!\n";

Bytes with_len(Bytes b, size_t at, uint32_t len) {
  b[at + 2] = uint8_t(len), b[at + 3] = uint8_t(len >> 8);
  b[at + 4] = uint8_t(len >> 16), b[at + 5] = uint8_t(len >> 24);
  return b;
}

}  // namespace

TEST(Load3dsGeometry, TwoPassesSizeTheTablesExactly) {
  Loaded w(file(mdata(cat({fan_mesh("a", 8), fan_mesh("b", 12)}))));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->mesh_count, 2);
  EXPECT_EQ(w->vertex_count, 20);
  EXPECT_EQ(w->vertex_capacity, 20);
  EXPECT_EQ(w->face_count, 6 + 10);
  EXPECT_EQ(w->meshes[1].first_vertex, 8);
  EXPECT_EQ(w->meshes[1].first_face, 6);
  EXPECT_STREQ(w->meshes[1].name, "b");
  // Face indices are absolute in the World's table.
  EXPECT_EQ(w->faces[6].a, 8);
  EXPECT_EQ(w->faces[6].pc, &w->vertices[10]);
  EXPECT_EQ(w->faces[6].material, &w->materials[0]);
  EXPECT_EQ(w->faces[6].fallback_material, &w->materials[0]);
}

TEST(Load3dsGeometry, ZUpBecomesYUpAndMappingIsScaled) {
  Bytes mesh =
      named("m", trimesh(cat({vertices({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}),
                              mapping({{0.5f, 0.25f}, {1, 0}, {0, 1}}), faces({{0, 1, 2, 0}})})));
  Loaded w(file(mdata(mesh)), 2.0f);
  ASSERT_EQ(w.result, 1);
  const Vertex& v = w->vertices[0];
  EXPECT_EQ(v.position.x, 2.0f);
  EXPECT_EQ(v.position.y, 6.0f);
  EXPECT_EQ(v.position.z, 4.0f);
  EXPECT_EQ(w->meshes[0].has_mapping, 1);
  EXPECT_EQ(v.u, 128.0f);
  EXPECT_EQ(v.v, -64.0f);
  EXPECT_EQ(w->faces[0].mapping[1], -64.0f);
  EXPECT_NEAR(vec_length(&v.normal), 1.0f, 1e-6f);
  // Bounds are taken after the swap.
  EXPECT_EQ(w->meshes[0].bounds[0].y, 20.0f);
}

TEST(Load3dsGeometry, MissingMappingIsGeneratedFromNormals) {
  // Triangle in the file's x-y plane: y-up, its normal points along the loaded y axis.
  Bytes mesh = named(
      "m", trimesh(cat({vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), faces({{0, 1, 2, 0}})})));
  Loaded w(file(mdata(mesh)));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->meshes[0].has_mapping, 0);
  const Vertex& v = w->vertices[0];
  EXPECT_FLOAT_EQ(v.u, 128.0f + 128.0f * v.normal.x);
  EXPECT_FLOAT_EQ(v.v, 128.0f + 128.0f * v.normal.y);
  EXPECT_FLOAT_EQ(std::fabs(v.normal.y), 1.0f);
}

TEST(Load3dsGeometry, MeshMatrixIsInvertedBeforeTheSwap) {
  // Axes scaled by 2, origin at (10, 0, 0): a vertex at (14, 0, 0) lands at (2, 0, 0).
  Bytes matrix = chunk(0x4160, floats({2, 0, 0, 0, 2, 0, 0, 0, 2, 10, 0, 0}));
  Bytes mesh = named("m", trimesh(cat({vertices({{14, 0, 0}, {10, 0, 4}, {10, 2, 0}}), matrix,
                                       faces({{0, 1, 2, 0}})})));
  Loaded w(file(mdata(mesh)));
  ASSERT_EQ(w.result, 1);
  EXPECT_FLOAT_EQ(w->vertices[0].position.x, 2.0f);
  EXPECT_FLOAT_EQ(w->vertices[1].position.y, 2.0f);  // file z -> y
  EXPECT_FLOAT_EQ(w->vertices[2].position.z, 1.0f);
  EXPECT_FLOAT_EQ(w->meshes[0].local_axes.m[0], 0.5f);
}

TEST(Load3dsGeometry, MaterialGroupsAssignByNameAndDropBadIndices) {
  Bytes groups = cat({material_group("red", {0, 7}), material_group("nosuch", {1})});
  Bytes mesh =
      named("m", trimesh(cat({vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                              faces({{0, 1, 2, 0}, {0, 2, 1, 0}, {0, 1, 9, 0}}, groups)})));
  Loaded w(file(mdata(cat({material("red"), material("blue"), material("red"), mesh}))));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->material_count, 4);
  EXPECT_EQ(w->face_count, 2);  // the face naming vertex 9 is dropped
  EXPECT_EQ(w->meshes[0].face_count, 2);
  EXPECT_EQ(w->faces[0].material, &w->materials[3]);  // the last "red"
  EXPECT_EQ(w->faces[1].material, &w->materials[0]);  // undefined material keeps 0
}

TEST(Load3dsGeometry, LongNamesAreCutAndTheRestConsumed) {
  const std::string long_name(45, 'n');
  Loaded w(file(mdata(cat({fan_mesh(long_name, 3), fan_mesh("after", 4)}))));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(std::string(w->meshes[0].name), std::string(31, 'n'));
  EXPECT_STREQ(w->meshes[1].name, "after");
}

TEST(Load3dsGeometry, ShortMappingChunkKeepsItsSiblings) {
  Bytes map = mapping({{0.5f, 0.5f}});  // one pair for a mesh of four vertices
  Bytes mesh = named("m", trimesh(cat({vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}), map,
                                       faces({{0, 1, 2, 0}, {1, 3, 2, 0}})})));
  Loaded w(file(mdata(mesh)));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->face_count, 2);
  EXPECT_EQ(w->vertices[0].u, 128.0f);
  EXPECT_EQ(w->vertices[1].u, 0.0f);
}

TEST(Load3dsGeometry, GeometryNeedsACurrentMeshWithinTheCountedTables) {
  // Mapping and matrix before the vertex list touch nothing; a mesh hidden inside a
  // material entry (where the counting pass does not look) is not taken.
  Bytes early =
      cat({mapping({{1, 1}}), chunk(0x4160, floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 5, 5}))});
  Bytes mesh = named(
      "m",
      trimesh(cat({early, vertices({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), faces({{0, 1, 2, 0}})})));
  Bytes hidden = chunk(0xafff, named("h", trimesh(vertices({{9, 9, 9}}))));
  Bytes stray = named("s", vertices({{7, 7, 7}}));  // a vertex list outside any mesh
  Loaded w(file(mdata(cat({mesh, hidden, stray}))));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->mesh_count, 1);
  EXPECT_EQ(w->vertex_count, 3);
  EXPECT_FLOAT_EQ(w->vertices[0].position.x, 1.0f);  // the early matrix had nothing to move
  EXPECT_EQ(w->vertices[0].u, 0.0f);
}

TEST(Load3dsLightsCameras, LightColourIsTheFloatColourReadLast) {
  Bytes lights =
      cat({named("none", light(0, 0, 0)), named("own", light(1, 2, 3, colour(0.5f, 0.25f, 1))),
           named("inherit", light(0, 0, 0))});
  Loaded w(file(mdata(lights)));
  ASSERT_EQ(w.result, 1);
  ASSERT_EQ(w->light_count, 3);
  EXPECT_EQ(w->lights[0].r, 0.0f);
  EXPECT_EQ(w->lights[1].g, 0.25f);
  EXPECT_EQ(w->lights[1].position.y, 3.0f);
  EXPECT_EQ(w->lights[2].b, 1.0f);
  EXPECT_STREQ(w->lights[2].name, "inherit");
}

TEST(Load3dsLightsCameras, CameraPositionsAreSwappedAndScaled) {
  Loaded w(file(mdata(named("cam", camera({1, 2, 3}, {4, 5, 6}, 15, 35)))), 10.0f);
  ASSERT_EQ(w.result, 1);
  ASSERT_EQ(w->camera_count, 1);
  const Camera& c = w->cameras[0];
  EXPECT_EQ(c.position.y, 30.0f);
  EXPECT_EQ(c.target.z, 50.0f);
  EXPECT_EQ(c.roll, 15.0f);
  EXPECT_EQ(c.lens, 35.0f);
}

TEST(Load3dsKeyframer, MeshOnlyFileAnimatesAtIdentity) {
  Loaded w(file(mdata(fan_mesh("a", 5))));
  ASSERT_EQ(w.result, 1);
  ASSERT_EQ(world_link_nodes(w.w.get()), 1);
  world_animate(w.w.get(), 12.5f);
  const Node& n = w->meshes[0].node;
  EXPECT_EQ(n.position_present + n.rotation_present + n.scale_present, 0);
  Mat4 id;
  mat_identity(&id);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(n.world_matrix.m[i], id.m[i]);
  EXPECT_EQ(w->root.child_count, 0);
}

TEST(Load3dsKeyframer, NodesTracksAndHierarchy) {
  Bytes meshes = cat({fan_mesh("body", 4), fan_mesh("arm", 4)});
  Bytes kf = keyframer(cat({
      segment(0, 100),
      chunk(0xb002, cat({node_id(0), node_header("body", -1), chunk(0xb013, floats({1, 2, 3})),
                         track(0xb020, {{0, {10, 0, 0}}})})),
      chunk(0xb002, cat({node_id(1), node_header("arm", 0),
                         track(0xb020, {{0, {0, 1, 0}}, {10, {0, 2, 0}}}),
                         track(0xb022, {{0, {2, 2, 2}}})})),
      chunk(0xb002, cat({node_id(2), node_header("$$$DUMMY", 0),
                         chunk(0xb011,
                               [] {
                                 Bytes b;
                                 put_str(b, "handle");
                                 return b;
                               }()),
                         chunk(0xb013, floats({7, 7, 7}))})),
  }));
  Loaded w(file(cat({mdata(meshes), kf})));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->last_frame, 100);
  Node& body = w->meshes[0].node;
  Node& arm = w->meshes[1].node;
  EXPECT_EQ(body.id, 1);
  EXPECT_EQ(body.parent_id, -1);
  EXPECT_EQ(arm.parent_id, 1);
  EXPECT_EQ(w->meshes[0].pivot.y, 2.0f);
  ASSERT_EQ(w->dummy_count, 1);
  EXPECT_STREQ(w->dummies[0].instance_name, "handle");
  ASSERT_EQ(world_link_nodes(w.w.get()), 1);
  EXPECT_EQ(body.child_count, 2);
  world_animate(w.w.get(), 110.0f);  // wraps to frame 10
  // arm: scale 2, then position (0, 0, 2) after the swap, then the body's (10, 0, 0).
  Vec3 p{1, 0, 0}, out;
  mat_transform_point(&p, &arm.world_matrix, &out);
  EXPECT_FLOAT_EQ(out.x, 12.0f);
  EXPECT_FLOAT_EQ(out.z, 2.0f);
}

TEST(Load3dsKeyframer, InstanceNameOutsideADummyIsIgnored) {
  Bytes kf = keyframer(chunk(0xb002, cat({node_id(0), node_header("a", -1), chunk(0xb011, [] {
                                            Bytes b;
                                            put_str(b, "x");
                                            return b;
                                          }())})));
  Loaded w(file(cat({mdata(fan_mesh("a", 3)), kf})));
  ASSERT_EQ(w.result, 1);
  EXPECT_EQ(w->dummy_count, 0);  // counted one, but only a $$$DUMMY header takes it
  EXPECT_STREQ(w->meshes[0].name, "a");
}

TEST(Load3dsFailures, MissingAndForeignFiles) {
  auto w = std::make_unique<World>();
  testing::internal::CaptureStdout();
  int status = -1;
  try {
    load_3ds(w.get(), "/nonexistent/dir/x.3ds", 1.0f);
  } catch (const platform::ProcessExit& e) {
    status = e.status;
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "RARA: /nonexistent/dir/x.3ds not found!\n");
  EXPECT_EQ(status, 1);
  std::string out;
  EXPECT_EQ(exit_status(chunk(0x3d3d, {}), &out), 1);
  EXPECT_EQ(out, kRefused);
  EXPECT_EQ(exit_status({0x4d}, &out), 1);
  EXPECT_EQ(out, kRefused);
}

TEST(Load3dsFailures, BadChunkLengthsAreRefused) {
  const Bytes good = file(mdata(fan_mesh("a", 4)));
  std::string out;
  // 6 = 0x4d4d header, 12 = 0x3d3d + 0x4000 headers; the name "a\0" is 2 bytes.
  const size_t mesh_at = 6 + 6 + 6 + 2;
  EXPECT_EQ(exit_status(with_len(good, mesh_at, 3), &out), 1) << "below the header size";
  EXPECT_EQ(out, kRefused);
  EXPECT_EQ(exit_status(with_len(good, mesh_at, 5000), &out), 1) << "past its parent";
  EXPECT_EQ(exit_status(with_len(good, 0, uint32_t(good.size() + 1)), &out), 1) << "past the end";
  Bytes cut(good.begin(), good.end() - 4);
  EXPECT_EQ(exit_status(cut, &out), 1) << "truncated file";
  // A vertex count larger than its chunk.
  Bytes lie = file(mdata(named("m", trimesh(chunk(0x4110, [] {
                                 Bytes b;
                                 put_u16(b, 100);
                                 return b;
                               }())))));
  EXPECT_EQ(exit_status(lie, &out), 1);
  // A name without a terminator.
  Bytes noterm = file(mdata(chunk(0x4000, {'a', 'b'})));
  EXPECT_EQ(exit_status(noterm, &out), 1);
  // Nesting far deeper than any real file.
  Bytes deep = chunk(0x3d3d, {});
  for (int i = 0; i < 200; ++i) deep = chunk(0x3d3d, deep);
  EXPECT_EQ(exit_status(file(deep), &out), 1);
}

TEST(Load3dsFailures, UnmatchedNodeNameSaysNoeBugga) {
  Bytes kf = keyframer(chunk(0xb002, cat({node_id(0), node_header("ghost", -1)})));
  std::string out;
  EXPECT_EQ(exit_status(file(cat({mdata(fan_mesh("a", 3)), kf})), &out), 1);
  EXPECT_EQ(out, "ghost\nnoe bugga\n");
}

TEST(Load3dsFailures, MalformedTrackIsRefused) {
  Bytes bad_track = track(0xb020, {{0, {1, 2, 3}}, {5, {1, 2, 3}}});
  bad_track.resize(bad_track.size() - 8);
  bad_track = with_len(bad_track, 0, uint32_t(bad_track.size()));
  Bytes kf = keyframer(chunk(0xb002, cat({node_id(0), node_header("a", -1), bad_track})));
  std::string out;
  EXPECT_EQ(exit_status(file(cat({mdata(fan_mesh("a", 3)), kf})), &out), 1);
  EXPECT_EQ(out, kRefused);
}
