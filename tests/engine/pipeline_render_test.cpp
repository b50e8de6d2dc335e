// The pipeline: box and vertex tests, culling, the draw list, sort order, clipping and the
// render variants, on Worlds built in code with the camera at the origin looking down +z.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/view_internal.h"
#include "raster_fixture.h"

using namespace rtest;

namespace {

const std::vector<uint32_t> kWhite = flat_texture(256, 0xffffff);
const std::vector<uint32_t> kRed = flat_texture(256, 0xff0000);
const std::vector<uint32_t> kGreen = flat_texture(256, 0x00ff00);
const std::vector<uint32_t> kBlue = flat_texture(256, 0x0000ff);

int drawn(const Target& t) {
  return int(t.colour.size()) - t.count(0);
}

TEST(Pipeline, CullModes) {
  SceneWorld w(8, 4, 2);
  Material* m = w.material("white", kWhite, 0x200);
  w.add_square(-2, 0, 10, 3, m);
  Mesh* back = w.add_square(2, 0, 10, 3, m);
  mesh_flip_faces(back);
  int left[3], right[3];
  for (int mode = 0; mode < 3; ++mode) {
    ScreenView s;
    view_set_cull_mode(&s.view, mode);
    s.draw(&w.world);
    left[mode] = s.target.at(160 - 55, 120) != 0;
    right[mode] = s.target.at(160 + 55, 120) != 0;
  }
  EXPECT_TRUE(left[0] && !right[0]);
  EXPECT_TRUE(!left[1] && right[1]);
  EXPECT_TRUE(left[2] && right[2]);
}

TEST(Pipeline, FaceThroughTheEyeIsClippedIntoAQuadrilateral) {
  SceneWorld w(3, 1, 1);
  Material* m = w.material("white", kWhite, 0x200);
  // A floor triangle reaching behind the camera.
  w.add_mesh({{1, -1, 4}, {-1, -1, 4}, {0, -1, -2}}, {{{0, 1, 2}}}, m);
  ScreenView s;
  s.draw(&w.world);
  ASSERT_EQ(s.view.draw_count, 1);
  EXPECT_GT(drawn(s.target), 1000);
  // Nothing above the horizon, and the bottom row is reached.
  for (int x = 0; x < 320; ++x) EXPECT_EQ(s.target.at(x, 100), 0u);
  EXPECT_NE(s.target.at(160, 239), 0u);
  // Against the near plane alone the triangle becomes four corners, all at z >= 1.
  Face* f = &w.world.faces[0];
  EXPECT_EQ(clip_face(f, 1 << 4, &s.view), 4);
  for (int i = 0; i < 4; ++i) EXPECT_GE(clip_polygon_vertex(i)->camera_position.z, 1.0f - 1e-5f);
  // The face has a corner behind the eye, so the camera-space test decides: mode 1 culls it.
  ScreenView s1;
  view_set_cull_mode(&s1.view, 1);
  s1.draw(&w.world);
  EXPECT_EQ(s1.view.draw_count, 0);
}

TEST(Pipeline, BoxTestIsStrictAndVertexTestInclusive) {
  SceneWorld w(12, 6, 3);
  Material* m = w.material("white", kWhite, 0x200);
  w.add_square(0, 0, -10, 4, m);   // behind the camera
  w.add_square(0, 0, 1, 0.5f, m);  // flat on the near plane: every box corner fails "> 1"
  // A box from z = 1 to 5 whose first face lies on z = 1: listed, since z >= 1 is inside.
  w.add_mesh({{-0.2f, -0.2f, 1}, {0.2f, -0.2f, 1}, {0.2f, 0.2f, 1}, {0, 0, 5}},
             {{{0, 1, 2}}, {{0, 3, 1}}}, m);
  ScreenView s;
  view_set_cull_mode(&s.view, 2);
  view_clear(&s.view);
  world_draw_meshes(&w.world, &s.view);
  ASSERT_GE(s.view.draw_count, 1);
  bool near_face_listed = false;
  for (int i = 0; i < s.view.draw_count; ++i) {
    EXPECT_NE(s.view.draw_list[i], &w.world.faces[0]);
    EXPECT_NE(s.view.draw_list[i], &w.world.faces[2]);
    near_face_listed |= s.view.draw_list[i] == &w.world.faces[4];
  }
  EXPECT_TRUE(near_face_listed);
  EXPECT_EQ(w.world.faces[4].clip_mask & (1 << 4), 0);
}

TEST(Pipeline, SortIsDescendingAndRenderDrawsNearestFirst) {
  // Three overlapping faces in a mode without depth: the last one drawn shows.
  SceneWorld w(12, 6, 3);
  Material* red = w.material("red", kRed, 0x04);  // texel * intensity, no depth
  Material* green = w.material("green", kGreen, 0x04);
  Material* blue = w.material("blue", kBlue, 0x04);
  w.add_square(0, 0, 10, 2, red);
  w.add_square(0, 0, 10, 2, green);
  w.add_square(0, 0, 10, 2, blue);
  ScreenView s;
  Face* f[3] = {&w.world.faces[0], &w.world.faces[2], &w.world.faces[4]};
  const int keys[3] = {5, 9, 1};
  for (int i = 0; i < 3; ++i) {
    f[i]->depth_key = keys[i];
    f[i]->clip_mask = 0;
    s.view.draw_list[i] = f[i];
  }
  s.view.draw_count = 3;
  // Corners need screen positions: project them once through mesh_draw's transform.
  for (int i = 0; i < w.world.vertex_count; ++i) {
    Vertex& v = w.world.vertices[i];
    v.camera_position = v.position;
    v.r = v.g = v.b = 255.0f;
  }
  view_sort(&s.view, 1);
  EXPECT_EQ(s.view.draw_list[0]->depth_key, 9);
  EXPECT_EQ(s.view.draw_list[1]->depth_key, 5);
  EXPECT_EQ(s.view.draw_list[2]->depth_key, 1);
  view_render(&s.view);
  // Key 1 (blue) first, key 9 (green) last.
  EXPECT_EQ(s.target.at(160, 119), 0x007f00u);
  view_sort(&s.view, 0);  // any other mode leaves the list
  EXPECT_EQ(s.view.draw_list[0]->depth_key, 9);
}

// Hoare's partition around the middle key, one key at a time: the order, ties included,
// that drawing has always had and that every frame depends on.
void reference_sort(std::vector<Face*>& list, int low, int high) {
  const int pivot = list[(low + high) / 2]->depth_key;
  int i = low, j = high;
  while (i <= j) {
    while (list[i]->depth_key > pivot) ++i;
    while (list[j]->depth_key < pivot) --j;
    if (i <= j) std::swap(list[i++], list[j--]);
  }
  if (low < j) reference_sort(list, low, j);
  if (i < high) reference_sort(list, i, high);
}

TEST(Pipeline, SortKeepsTheOrderOfEqualKeys) {
  SceneWorld w(3, 1, 1);
  w.add_mesh({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{{0, 1, 2}}}, nullptr);
  for (const int n : {2, 3, 5, 17, 500}) {
    std::vector<Face> faces(n, w.world.faces[0]);
    ScreenView s(320, 240, n);
    std::vector<Face*> expect(n);
    for (int i = 0; i < n; ++i) {
      faces[i].depth_key = (i * 37) % 11 - 5;
      s.view.draw_list[i] = expect[i] = &faces[i];
    }
    s.view.draw_count = n;
    view_sort(&s.view, 1);
    reference_sort(expect, 0, n - 1);
    for (int i = 0; i < n; ++i) ASSERT_EQ(s.view.draw_list[i], expect[i]) << n << " faces, " << i;
  }
}

TEST(Pipeline, UntexturedMaterialDrawsWithItsFallback) {
  SceneWorld w(4, 2, 1);
  Material* bare = world_add_material(&w.world, "no texture yet");
  material_set_texture(&w.world.materials[0], kGreen.data(), 0x200, 0, 1);
  w.add_square(0, 0, 10, 4, bare);
  ScreenView s;
  s.draw(&w.world);
  EXPECT_EQ(s.target.at(160, 120), 0x00ff00u);
  material_set_texture(bare, kRed.data(), 0x200, 0, 1);
  ScreenView s2;
  s2.draw(&w.world);
  EXPECT_EQ(s2.target.at(160, 120), 0xff0000u);
}

TEST(Pipeline, ChainedRenderDrawsLinkedFacesWithTheirIntensities) {
  SceneWorld w(8, 4, 2);
  Material* shaded = w.material("shaded", kWhite, 0x04);
  w.add_square(-2, 0, 10, 3, shaded);
  w.add_square(2, 0, 10, 3, shaded);
  Face* faces = w.world.faces;
  faces[0].chain_link = &faces[2];  // the right square's first triangle rides on the left's
  for (int i = 0; i < 4; ++i)
    for (float& c : faces[i].corner_intensity) c = 64.0f;
  faces[1].corner_intensity[0] = faces[1].corner_intensity[1] = faces[1].corner_intensity[2] =
      255.0f;
  ScreenView s;
  view_clear(&s.view);
  world_draw_meshes(&w.world, &s.view);
  // Keep only the left square's two faces in the list.
  int n = 0;
  for (int i = 0; i < s.view.draw_count; ++i) {
    Face* f = s.view.draw_list[i];
    if (f == &faces[0] || f == &faces[1]) s.view.draw_list[n++] = f;
  }
  s.view.draw_count = n;
  ASSERT_EQ(n, 2);
  view_render_chained(&s.view);
  // The chained triangle of the right square shows, at a quarter; its partner does not.
  const uint32_t quarter = 0x3f3f3f;
  int right_quarter = 0, right_other = 0, left_full = 0;
  for (int y = 80; y < 160; ++y)
    for (int x = 160; x < 320; ++x) {
      const uint32_t px = s.target.at(x, y);
      right_quarter += px == quarter;
      right_other += px != 0 && px != quarter;
    }
  for (int y = 80; y < 160; ++y)
    for (int x = 0; x < 160; ++x) left_full += s.target.at(x, y) == 0xfefefeu;
  EXPECT_GT(right_quarter, 500);
  EXPECT_EQ(right_other, 0);
  EXPECT_GT(left_full, 500);
}

TEST(Pipeline, ElevenPlaneFrustumClipsToItsWindow) {
  SceneWorld w(4, 2, 1);
  Material* m = w.material("white", kWhite, 0x200);
  w.add_square(0, 0, 10, 40, m);  // fills the screen
  ScreenView s;
  // Six more planes through the eye bound a hexagon of apothem 2 (corners at 2.31) at z = 10.
  for (int k = 0; k < 6; ++k) {
    const float a = float(k) * 3.1415927f / 3.0f;
    Vec3 n{-std::cos(a), -std::sin(a), 0.2f};
    vec_set_length(&n, 1.0f, &n);
    s.view.planes[5 + k] = Plane{n, 0.0f};
  }
  s.view.plane_count = 11;
  s.draw(&w.world);
  EXPECT_NE(w.world.faces[0].clip_mask & (1 << 10), 0);
  int inside = 0;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      const float cx = (x - 159.5f) / s.view.scale_x * 10.0f,
                  cy = (119.5f - y) / s.view.scale_y * 10.0f;
      const float r = std::sqrt(cx * cx + cy * cy);
      if (r > 2.35f) {
        ASSERT_EQ(s.target.at(x, y), 0u) << x << "," << y;
      }
      inside += s.target.at(x, y) != 0;
    }
  EXPECT_GT(inside, 3000);
  EXPECT_NE(s.target.at(160, 120), 0u);
}

TEST(Pipeline, FullDrawListDropsAndCountsFaces) {
  SceneWorld w(16, 8, 4);
  Material* m = w.material("white", kWhite, 0x200);
  for (int i = 0; i < 4; ++i) w.add_square(-3.0f + 2 * i, 0, 10, 1.5f, m);
  ScreenView s(320, 240, 3);
  s.draw(&w.world);
  EXPECT_EQ(s.view.draw_count, 3);
  EXPECT_EQ(s.view.dropped_faces, 5);
  EXPECT_GT(drawn(s.target), 100);
}

TEST(Pipeline, MeshMatricesFromNodesAndWholeSceneMoves) {
  SceneWorld w(4, 2, 1);
  Material* m = w.material("white", kWhite, 0x200);
  Mesh* sq = w.add_square(0, 0, 0, 2, m);
  mat_identity(&sq->node.world_matrix);
  sq->node.world_matrix.m[14] = 10.0f;
  world_reset_mesh_matrices(&w.world);
  Mat4 shift;
  mat_identity(&shift);
  shift.m[12] = 3.0f;
  world_transform_meshes(&w.world, &shift);
  ScreenView s;
  s.draw(&w.world);
  // Centre at camera (3, 0, 10): screen x = 159.5 + 3 * 277.1 / 10.
  EXPECT_NE(s.target.at(243, 120), 0u);
  EXPECT_EQ(s.target.at(160, 120), 0u);
}

TEST(Pipeline, CallerPolygonClippedAgainstChosenPlanes) {
  Vertex quad[4]{};
  const Vec3 p[4] = {{-5, -5, 10}, {5, -5, 10}, {5, 5, 10}, {-5, 5, 10}};
  for (int i = 0; i < 4; ++i) quad[i].camera_position = p[i];
  clip_begin(quad, 4);
  const Plane right_half{{1, 0, 0}, 0.0f};
  clip_plane(&right_half);
  ASSERT_EQ(clip_polygon_count(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_GE(clip_polygon_vertex(i)->camera_position.x, 0.0f);
  // More corners than the buffers hold are cut, never written past the end.
  std::vector<Vertex> many(200);
  for (int i = 0; i < 200; ++i) {
    const float a = float(i) * 6.2831853f / 200.0f;
    many[i].camera_position = {std::cos(a), std::sin(a), 10};
  }
  clip_begin(many.data(), 200);
  const Plane diagonal{{0.6f, 0.8f, 0}, 0.1f};
  for (int i = 0; i < 16; ++i) clip_plane(&diagonal);
  EXPECT_LE(clip_polygon_count(), 64);
}

}  // namespace

TEST(Pipeline, DepthPassLeavesEveryPixelAsDrawingAlone) {
  // Squares drawn back to front, far more than a run needs for its depth pass: lit and
  // perspective writers, affine ones the pass leaves out, faces without depth or with a
  // depth test alone, ties of depth between different textures, a blending face that
  // splits the list, squares cut by the screen's edges, squares hidden as a whole and in
  // part. The 4-pixel forms run the depth
  // pass; the plain forms draw face by face.
  std::vector<std::vector<uint32_t>> textures;
  for (int k = 0; k < 4; ++k) {
    std::vector<uint32_t> t(256 * 256);
    for (size_t i = 0; i < t.size(); ++i) t[i] = uint32_t(i * (2654435761u + 40503u * k)) >> 8;
    textures.push_back(std::move(t));
  }
  constexpr int kSquares = 150;
  SceneWorld w(4 * kSquares, 2 * kSquares, kSquares);
  Material* kinds[] = {
      w.material("lit", textures[0], 0x102),   w.material("persp", textures[1], 0x100),
      w.material("plain", textures[2], 0x200), w.material("lit 2", textures[2], 0x302),
      w.material("shaded", textures[3], 0x24), w.material("test", textures[1], 0x20)};
  Material* half = w.material("half", textures[2], 0x110);
  uint32_t seed = 7;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 16) % uint32_t(n));
  };
  for (int i = 0; i < kSquares; ++i) {
    const float z = 15.0f + float(i / 3) * 0.5f;  // three at each depth; the last drawn first
    if (i == kSquares / 2) {
      w.add_square(2.0f, 1.0f, 14.0f, 8.0f, half);  // in front of all, in the list's middle
      continue;
    }
    Material* m = kinds[i % 3 == 2 ? next(6) : next(3)];
    // Tilted, so that squares cut through each other and show only in part behind nearer
    // ones: a face left out as hidden must be hidden at its nearest corner too.
    const float cx = float(next(40) - 20), cy = float(next(30) - 15), h = float(4 + next(14)) / 2;
    const float tilt = float(next(9) - 4) * 0.4f;
    w.add_mesh({{cx - h, cy - h, z - tilt},
                {cx + h, cy - h, z + tilt},
                {cx + h, cy + h, z + tilt},
                {cx - h, cy + h, z - tilt}},
               {{{0, 1, 2}}, {{0, 2, 3}}}, m);
  }
  auto draw = [&](bool simd, Target& out) {
    const bool was = raster_use_simd;
    raster_use_simd = simd;
    ScreenView s;
    view_set_ambient(&s.view, 0.9f, 0.7f, 0.5f);
    s.draw(&w.world, false);
    raster_use_simd = was;
    out = s.target;
  };
  Target plain(320, 240), simd(320, 240);
  draw(false, plain);
  draw(true, simd);
  ASSERT_GT(drawn(plain), 320 * 200);
  EXPECT_EQ(plain.colour, simd.colour);
  EXPECT_EQ(plain.depth, simd.depth);
}
