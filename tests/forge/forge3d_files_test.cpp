// The .3DS writer's limits and rotations, the morph grid, and the same bytes for the
// same seed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "forge3d_util.h"
#include "forge_3d.h"

using namespace forge3d_test;
namespace w3ds = forge::w3ds;

namespace {

w3ds::Scene one_triangle() {
  w3ds::Scene s;
  w3ds::Mesh m;
  m.name = "Tri";
  m.vertices = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}};
  m.faces = {{0, 1, 2, 7, -1}};
  s.meshes.push_back(m);
  return s;
}

TEST(Forge3dWriter, RefusesWhatTheLoaderCannotHold) {
  EXPECT_NO_THROW(w3ds::write(one_triangle()));
  auto s = one_triangle();
  s.meshes[0].name = std::string(32, 'x');
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.last_frame = 0;
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.meshes[0].faces[0].c = 3;
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.meshes[0].vertices.resize(32768);
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.meshes[0].faces[0].material = 0;  // no material defined
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.cameras.push_back(forge::camera("Cam", {{0, {0, 0, -10}, {0, 0, 0}, 45}}));
  s.cameras[0].fov_keys.clear();
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
  s = one_triangle();
  s.lights.push_back(forge::light("L", {1, 2, 3}, {1, 1, 1}));
  s.lights[0].colour_keys.clear();
  EXPECT_THROW(w3ds::write(s), std::runtime_error);
}

Mat4 to_mat4(const forge::M4& a) {
  Mat4 r;
  for (int i = 0; i < 16; ++i) r.m[i] = static_cast<float>(a.m[i]);
  return r;
}

void expect_same(const Mat4& a, const Mat4& b, const char* what) {
  for (int i = 0; i < 16; ++i) {
    if (i % 4 != 3) {
      EXPECT_NEAR(a.m[i], b.m[i], 2e-4f) << what << " element " << i;
    }
  }
}

// Mesh matrices of any rotation (and a mirror) come back as the node's placement, and a
// rotation track of absolute keys comes back through the file's relative steps.
TEST(Forge3dWriter, RotationsAndMirrorsSurviveTheFile) {
  w3ds::Scene s;
  s.last_frame = 60;  // world_animate wraps at the last frame
  const forge::M4 turns[] = {forge::axis_angle({0.3, 0.8, -0.5}, 1.1),
                             forge::axis_angle({1, 0, 0}, forge::kPi),       // half a turn
                             forge::axis_angle({0.2, -1, 0.1}, 3.1),         // nearly half
                             forge::scale({-1, 1, 1}) * forge::rot_y(0.7)};  // mirrored
  for (int i = 0; i < 4; ++i) {
    w3ds::Mesh m;
    m.name = "Part" + std::to_string(i);
    m.matrix = turns[i] * forge::translate({10.0 * i, 5, -3});
    m.vertices = {{1, 2, 3}, {4, -1, 0}, {-2, 0, 5}};
    m.faces = {{0, 1, 2, 7, -1}};
    s.meshes.push_back(m);
  }
  // A track: absolute rotations at frames 0, 20 and 40.
  auto& animated = s.meshes[0];
  const forge::M4 keys[] = {turns[0], forge::axis_angle({0, 1, 0}, 2.5) * turns[0],
                            forge::axis_angle({0.6, 0, 0.8}, -1.9)};
  for (int k = 0; k < 3; ++k) animated.rotation.push_back({{20 * k}, keys[k]});
  auto w = load_world(w3ds::write(s), "rotations");
  ASSERT_TRUE(w);
  world_animate(w.get(), 0);
  for (int i = 0; i < 4; ++i)
    expect_same(w->meshes[i].node.world_matrix, to_mat4(s.meshes[i].matrix), "mesh");
  world_reset_mesh_matrices(w.get());
  for (int i = 0; i < 4; ++i) {
    Vec3 p = world_vertex(*w, w->meshes[i], 0);  // back where it was built
    EXPECT_NEAR(p.x, 1, 1e-3f);
    EXPECT_NEAR(p.y, 2, 1e-3f);
    EXPECT_NEAR(p.z, 3, 1e-3f);
  }
  for (int k = 1; k < 3; ++k) {
    world_animate(w.get(), 20.0f * k);
    Mat4 want = to_mat4(keys[k]);
    Mat4 got = w->meshes[0].node.rotation.value;
    expect_same(got, want, "key");
  }
}

TEST(Forge3dMorph, GridSpansBothPicturesAndKeepsItsCellsOpen) {
  std::vector<uint8_t> b = forge::morph_bytes();
  ASSERT_EQ(b.size(), 1043u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "QUB HAR KULT MORPHEPROGRAM");
  auto i32 = [&](size_t at) {
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                static_cast<uint32_t>(b[at + 3]) << 24);
  };
  ASSERT_EQ(i32(27), 9);
  ASSERT_EQ(i32(31), 7);
  int x[2][7][9], y[2][7][9];
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 9; ++c) {
      size_t at = 35 + 16 * (r * 9 + c);
      x[0][r][c] = i32(at), y[0][r][c] = i32(at + 4);
      x[1][r][c] = i32(at + 8) - 320, y[1][r][c] = i32(at + 12);
    }
  for (int p = 0; p < 2; ++p) {
    for (int r = 0; r < 7; ++r) {
      EXPECT_EQ(x[p][r][0], 0);
      EXPECT_EQ(x[p][r][8], 319);
      for (int c = 0; c + 1 < 9; ++c)
        EXPECT_LT(x[p][r][c], x[p][r][c + 1]) << p << " " << r << " " << c;
    }
    for (int c = 0; c < 9; ++c) {
      EXPECT_EQ(y[p][0][c], 0);
      EXPECT_EQ(y[p][6][c], 239);
      for (int r = 0; r + 1 < 7; ++r)
        EXPECT_LT(y[p][r][c], y[p][r + 1][c]) << p << " " << r << " " << c;
    }
  }
}

std::vector<uint8_t> read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Forge3dFiles, SameSeedGivesTheSameBytes) {
  auto root = scratch_dir("seed");
  for (const char* run : {"a", "b"}) {
    forge::Forge f(root / run, 7);
    forge::make_worlds(f);
    forge::make_motions(f);
    forge::make_morph(f);
    EXPECT_EQ(f.files(), 13u);
  }
  int compared = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root / "a")) {
    if (!e.is_regular_file()) continue;
    auto other = root / "b" / std::filesystem::relative(e.path(), root / "a");
    EXPECT_EQ(read(e.path()), read(other)) << e.path();
    ++compared;
  }
  EXPECT_EQ(compared, 13);
}

}  // namespace
