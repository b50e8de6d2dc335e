#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/kelp.h"

namespace {

struct WorldHolder {
  std::unique_ptr<World> w = std::make_unique<World>();
  ~WorldHolder() { world_free(w.get()); }
  World* operator->() { return w.get(); }
  World* get() { return w.get(); }
};

// One mesh holding one triangle with the given corner u values and face flags.
void one_triangle(World* w, float u0, float u1, float u2, int flags) {
  ASSERT_EQ(world_init(w, 3, 1, 1, 0, 0, 0), 1);
  Mesh* m = &w->meshes[w->mesh_count++];
  m->first_vertex = 0, m->vertex_count = 3, m->first_face = 0, m->face_count = 1;
  w->vertex_count = 3, w->face_count = 1;
  w->vertices[0].position = {0, 0, 0};
  w->vertices[1].position = {0, 1, 0};
  w->vertices[2].position = {1, 0, 0};
  w->vertices[0].u = u0, w->vertices[1].u = u1, w->vertices[2].u = u2;
  Face* f = &w->faces[0];
  f->a = 0, f->b = 1, f->c = 2;
  f->pa = &w->vertices[0], f->pb = &w->vertices[1], f->pc = &w->vertices[2];
  f->flags = flags;
  m->has_mapping = 1;
}

}  // namespace

TEST(KelpWorld, InitAllocatesExactlyAndAddsTheDefaultMaterial) {
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 10, 5, 2, 0, 1, 1), 1);
  EXPECT_EQ(w->lights, nullptr);
  EXPECT_EQ(w->light_count, 0);
  EXPECT_EQ(w->vertex_count, 0);
  EXPECT_EQ(w->node_capacity, 2 + 1 + 2 * 1);
  EXPECT_EQ(world_find_material(w.get(), "kelp_defmat"), &w->materials[0]);
  EXPECT_EQ(w->material_count, 1);
  EXPECT_EQ(w->meshes[1].world, w.get());
  EXPECT_EQ(w->meshes[1].node.owner, &w->meshes[1]);
  EXPECT_EQ(w->cameras[0].target_node.owner, &w->cameras[0]);
  EXPECT_EQ(w->meshes[0].node.world_matrix.m[0], 1.0f);  // unanimated nodes place at identity
  EXPECT_EQ(w->vertices[9].u, 0.0f);
}

TEST(KelpWorld, MaterialLibraryBindsByNameAndReportsMisses) {
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 0, 0, 0, 0, 0, 0), 1);
  Material* skin = world_add_material(w.get(), "skin");
  uint32_t texels[64 * 64] = {};
  testing::internal::CaptureStdout();
  world_bind_texture(w.get(), "skin", texels, 0x302, 0, 3);
  world_bind_texture(w.get(), "nosuch", texels, 0x302, 0, 3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "nosuch\ntexture not in library\n");
  EXPECT_EQ(skin->flags, 0x302);
  EXPECT_EQ(skin->texture_ready, 1);
  EXPECT_EQ(skin->width, 64);
  EXPECT_EQ(skin->u_shift, 18);
  EXPECT_EQ(skin->v_mask, 0xfc0);
  EXPECT_EQ(skin->texels, texels);
  world_set_material_colour(w.get(), "skin", 1, 0.5f, 0.25f, 0.75f);
  EXPECT_EQ(skin->g, 0.5f);
  world_set_material_colour(w.get(), "nosuch", 1, 1, 1, 1);  // no crash, nothing changed
}

TEST(KelpWorld, MaterialTableStopsAt256AndCutsLongNames) {
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 0, 0, 0, 0, 0, 0), 1);
  for (int i = 1; i < kMaxMaterials; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "m%d", i);
    ASSERT_NE(world_add_material(w.get(), name), nullptr);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(world_add_material(w.get(), "one_too_many"), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("one_too_many"), std::string::npos);
  EXPECT_EQ(w->material_count, kMaxMaterials);
  WorldHolder v;
  ASSERT_EQ(world_init(v.get(), 0, 0, 0, 0, 0, 0), 1);
  const std::string long_name(40, 'x');
  Material* m = world_add_material(v.get(), long_name.c_str());
  EXPECT_EQ(std::string(m->name), std::string(31, 'x'));
}

TEST(KelpTextures, SizeCodesAndSamplingParameters) {
  Material m{};
  m.width = 77;
  material_set_texture(&m, nullptr, 0, 0, 7);
  EXPECT_EQ(m.width, 77);  // only the square codes set the size
  EXPECT_EQ(m.v_shift, 11);
  EXPECT_EQ(m.v_mask, 0x1f00);
  Material n{};
  material_set_texture(&n, nullptr, 0, 0, 17);
  EXPECT_EQ(n.texture_ready, 0);
  EXPECT_EQ(n.u_shift, 0);
  // Every code's masks address exactly width x height texels.
  for (int c = 1; c <= 16; ++c) {
    const TextureSize& t = kTextureSizes[c];
    EXPECT_EQ(t.u_mask, t.width - 1);
    EXPECT_EQ(t.v_mask, (t.height - 1) * t.width) << c;
    EXPECT_EQ(((0xffffffffu >> t.v_shift) & t.v_mask), uint32_t(t.v_mask)) << c;
    EXPECT_EQ(texture_size_code(t.width, t.height), c);
  }
}

TEST(KelpTextures, ResampleWideStripTo256x32) {
  std::vector<uint32_t> src(300 * 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 300; ++x) src[y * 300 + x] = uint32_t(y << 16 | x);
  std::vector<uint32_t> dst(256 * 32, 0xdeadbeef);
  EXPECT_EQ(texture_resample(src.data(), 20, dst.data(), 300), 7);
  // Nearest texel with 16.16 steps: column 255 reads x = (255 * 300 * 65536 / 256) >> 16.
  EXPECT_EQ(dst[255], uint32_t(((255LL * (300 * 65536 / 256)) >> 16)));
  EXPECT_EQ(dst[31 * 256] >> 16, uint32_t((31LL * (20 * 65536 / 32)) >> 16));
  for (uint32_t p : dst) EXPECT_NE(p, 0xdeadbeefu);
}

TEST(KelpTextures, ResampleSquareIsACopy) {
  std::vector<uint32_t> src(64 * 64);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint32_t(i * 2654435761u);
  std::vector<uint32_t> dst(64 * 64);
  EXPECT_EQ(texture_resample(src.data(), 64, dst.data(), 64), 3);
  EXPECT_EQ(dst, src);
  EXPECT_EQ(texture_target_side(1), 32);
  EXPECT_EQ(texture_target_side(33), 64);
  EXPECT_EQ(texture_target_side(255), 256);
  EXPECT_EQ(texture_target_side(1000), 256);
}

TEST(KelpMeshes, SeamRepairLiftsTheLowCorners) {
  WorldHolder w;
  one_triangle(w.get(), 10, 250, 240, kFaceWrapU);
  mesh_face_mapping(&w->meshes[0]);
  EXPECT_FLOAT_EQ(w->faces[0].mapping[0], 266.0f);
  EXPECT_FLOAT_EQ(w->faces[0].mapping[2], 250.0f);
  EXPECT_FLOAT_EQ(w->faces[0].mapping[4], 240.0f);
  WorldHolder plain;
  one_triangle(plain.get(), 10, 250, 240, kFaceWrapV);  // v flag does not touch u
  mesh_face_mapping(&plain->meshes[0]);
  EXPECT_FLOAT_EQ(plain->faces[0].mapping[0], 10.0f);
  // The bound is 204.8 itself: a span of 0.8 repeats (204.8f, a hair above) is a seam,
  // one a float step below it is not.
  WorldHolder edge;
  one_triangle(edge.get(), 0.0f, 0.8f * 256.0f, 100.0f, kFaceWrapU);
  mesh_face_mapping(&edge->meshes[0]);
  EXPECT_EQ(edge->faces[0].mapping[0], 256.0f);
  EXPECT_EQ(edge->faces[0].mapping[4], 356.0f);
  WorldHolder below;
  one_triangle(below.get(), 0.0f, std::nextafter(204.8f, 0.0f), 100.0f, kFaceWrapU);
  mesh_face_mapping(&below->meshes[0]);
  EXPECT_EQ(below->faces[0].mapping[0], 0.0f);
}

TEST(KelpMeshes, NormalsAndSphericalMapping) {
  WorldHolder w;
  one_triangle(w.get(), 0, 0, 0, 0);
  Mesh* m = &w->meshes[0];
  m->has_mapping = 0;
  // Corners (0,0,0) (0,1,0) (1,0,0): n = normalise(cross(a - b, a - c)) = (0, 0, -1)
  mesh_compute_normals(m);
  EXPECT_FLOAT_EQ(w->faces[0].normal.z, -1.0f);
  mesh_negate_normals(m);
  EXPECT_FLOAT_EQ(w->vertices[1].normal.z, 1.0f);
  mesh_flip_faces(m);
  mesh_compute_normals(m);
  EXPECT_FLOAT_EQ(w->vertices[0].normal.z, 1.0f);
  EXPECT_FLOAT_EQ(w->vertices[0].u, 128.0f);
  EXPECT_FLOAT_EQ(w->vertices[0].v, 128.0f);
  EXPECT_EQ(w->faces[0].a, 2);
  EXPECT_EQ(w->faces[0].pa, &w->vertices[2]);
}

TEST(KelpMeshes, BoundsOrderAndEnvMap) {
  WorldHolder w;
  one_triangle(w.get(), 0, 0, 0, 0);
  Mesh* m = &w->meshes[0];
  w->vertices[2].position = {1, 0, -3};
  mesh_compute_bounds(m);
  EXPECT_EQ(m->bounds[0].x, 0.0f);
  EXPECT_EQ(m->bounds[0].y, 1.0f);
  EXPECT_EQ(m->bounds[0].z, 0.0f);
  EXPECT_EQ(m->bounds[5].x, 1.0f);
  EXPECT_EQ(m->bounds[5].y, 0.0f);
  EXPECT_EQ(m->bounds[5].z, -3.0f);
  w->vertices[1].camera_normal = {1, -1, 0};
  mesh_env_map(m);
  EXPECT_FLOAT_EQ(w->faces[0].mapping[2], 255.0f);
  EXPECT_FLOAT_EQ(w->faces[0].mapping[3], 0.0f);
}

TEST(KelpNodes, LinkBuildsTheTreeAndResetsTheRoot) {
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 0, 0, 3, 0, 0, 0), 1);
  w->mesh_count = 3;
  w->meshes[0].node.id = 1, w->meshes[0].node.parent_id = -1;
  w->meshes[1].node.id = 2, w->meshes[1].node.parent_id = 1;
  w->meshes[2].node.id = 3, w->meshes[2].node.parent_id = 2;
  w->root.position_present = 1;
  ASSERT_EQ(world_link_nodes(w.get()), 1);
  EXPECT_EQ(w->root.position_present, 0);
  EXPECT_EQ(w->node_count, 3);
  ASSERT_EQ(w->root.child_count, 1);
  EXPECT_EQ(w->root.children[0], &w->meshes[0].node);
  EXPECT_EQ(w->root.children[1], nullptr);
  EXPECT_EQ(w->meshes[2].node.parent, &w->meshes[1].node);
  // Linking again gives the same tree, not doubled children.
  ASSERT_EQ(world_link_nodes(w.get()), 1);
  EXPECT_EQ(w->meshes[0].node.child_count, 1);
}

TEST(KelpNodes, CyclesSelfParentsAndDuplicateIdsTerminate) {
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 0, 0, 5, 0, 0, 0), 1);
  w->mesh_count = 5;
  Node* n[5];
  for (int i = 0; i < 5; ++i) n[i] = &w->meshes[i].node;
  n[0]->id = 1, n[0]->parent_id = -1;
  n[1]->id = 2, n[1]->parent_id = 2;  // its own parent
  n[2]->id = 3, n[2]->parent_id = 4;  // 3 <-> 4 cycle, unreachable
  n[3]->id = 4, n[3]->parent_id = 3;
  n[4]->id = 1, n[4]->parent_id = 1;  // duplicate id, child of the other 1
  ASSERT_EQ(world_link_nodes(w.get()), 1);
  EXPECT_EQ(n[1]->parent, nullptr);
  EXPECT_EQ(n[2]->parent, nullptr);
  EXPECT_EQ(n[4]->parent, n[0]);
  EXPECT_EQ(n[4]->child_count, 0);
  world_animate(w.get(), 3.0f);  // evaluation walks the same finite tree
}

TEST(KelpNodes, DeepChainsStopAtABoundedDepth) {
  // A damaged file can chain tens of thousands of dummies; linking and evaluating such a
  // chain by recursion would run off the stack. The tree stops at a bounded depth and the
  // nodes below it stay unlinked, at identity.
  constexpr int kChain = 100000;
  WorldHolder w;
  ASSERT_EQ(world_init(w.get(), 0, 0, 0, 0, 0, kChain), 1);
  w->dummy_count = kChain;
  for (int i = 0; i < kChain; ++i) {
    Node& n = w->dummies[i].node;
    n.id = i + 1;
    n.parent_id = i == 0 ? -1 : i;
  }
  ASSERT_EQ(world_link_nodes(w.get()), 1);
  EXPECT_EQ(w->dummies[1].node.parent, &w->dummies[0].node);
  EXPECT_EQ(w->dummies[kChain - 1].node.parent, nullptr);
  world_animate(w.get(), 1.0f);
  EXPECT_EQ(w->dummies[kChain - 1].node.world_matrix.m[0], 1.0f);
}
