// The dancer's motions read back with the show's motion reader: they drive every body
// part of the three dancer Worlds and keep the body in one piece in every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "assets/motion.h"
#include "forge3d_util.h"
#include "forge_3d.h"
#include "platform/files.h"

using namespace forge3d_test;

namespace {

std::filesystem::path data_dir() {
  static const std::filesystem::path dir = [] {
    auto d = scratch_dir("motions");
    forge::Forge f(d, 1);
    forge::make_motions(f);
    return d;
  }();
  return dir;
}

void load(int n) {
  platform::set_data_dir(data_dir().string());
  char name[32];
  std::snprintf(name, sizeof name, "3d\\motion%02d.qub", n);
  ASSERT_EQ(motion_load(name), MotionLoad::kLoaded) << name;
}

World& dancer_world(const char* which) {
  static std::unique_ptr<World> worlds[3];
  int i = !std::strcmp(which, "catwalk") ? 0 : !std::strcmp(which, "box") ? 1 : 2;
  if (!worlds[i]) {
    auto scene = i == 0   ? forge::catwalk_world()
                 : i == 1 ? forge::box_world()
                          : forge::dance_world();
    worlds[i] = load_world(forge::w3ds::write(scene), which);
    world_animate(worlds[i].get(), 0);
    world_reset_mesh_matrices(worlds[i].get());
  }
  return *worlds[i];
}

const MotionTrack* track(const char* name) {
  for (int i = 0; i < motion_track_count; ++i)
    if (!std::strcmp(motion_tracks[i].name, name)) return &motion_tracks[i];
  return nullptr;
}

// The inverse of a placement (orthonormal axes, possibly mirrored, plus translation).
Mat4 inverse(const Mat4& m) {
  Mat4 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i * 4 + j] = m.m[j * 4 + i];
  Vec3 t{m.m[12], m.m[13], m.m[14]}, it;
  mat_rotate_vector(&t, &r, &it);
  r.m[12] = -it.x, r.m[13] = -it.y, r.m[14] = -it.z, r.m[15] = 1;
  return r;
}

Mat4 blend(const Mat4& a, const Mat4& b, float f) {
  Mat4 r = a;
  for (int k = 0; k < 16; ++k) r.m[k] = a.m[k] + (b.m[k] - a.m[k]) * f;
  return r;
}

class Motion : public ::testing::TestWithParam<int> {};

TEST_P(Motion, DrivesEveryPartOfTheDancerWorldsWithinTheTableLimits) {
  load(GetParam());
  EXPECT_LE(motion_track_count, MOTION_MAX_TRACKS);
  for (const char* w : {"catwalk", "box", "dance"})
    for (int i = 0; i < motion_track_count; ++i) {
      EXPECT_NE(motion_find_mesh(&dancer_world(w), motion_tracks[i].name), nullptr)
          << w << " has no mesh for " << motion_tracks[i].name;
      EXPECT_GE(motion_tracks[i].frame_count, 2);
      EXPECT_LE(motion_tracks[i].frame_count, MOTION_MAX_FRAMES);
    }
  // And every body part has a track.
  World& w = dancer_world("catwalk");
  for (int p = 0; p < forge::dancer::kParts; ++p)
    EXPECT_NE(track(forge::dancer::info(p).name), nullptr);
  EXPECT_GE(w.mesh_count, forge::dancer::kParts);
}

// Each part's joint stays on its parent: the joint's place in the parent's own frame
// (from the World at rest) goes through the parent's matrix to the child's origin.
TEST_P(Motion, JointsStayConnectedInEveryFrameAndBetweenFrames) {
  load(GetParam());
  World& w = dancer_world("catwalk");
  for (int p = 0; p < forge::dancer::kParts; ++p) {
    const auto& in = forge::dancer::info(p);
    if (in.parent < 0) continue;
    const char* parent = forge::dancer::info(in.parent).name;
    Mesh* child_mesh = world_find_mesh(&w, in.name);
    Mesh* parent_mesh = world_find_mesh(&w, parent);
    Vec3 rest_joint{child_mesh->render_matrix.m[12], child_mesh->render_matrix.m[13],
                    child_mesh->render_matrix.m[14]};
    Vec3 joint_in_parent = apply(rest_joint, inverse(parent_mesh->render_matrix));
    const MotionTrack* c = track(in.name);
    const MotionTrack* pa = track(parent);
    ASSERT_TRUE(c && pa);
    for (int f = 0; f + 1 < c->frame_count; ++f)
      for (float s : {0.0f, 0.5f}) {
        Mat4 pm = blend(pa->frames[f], pa->frames[f + 1], s);
        Mat4 cm = blend(c->frames[f], c->frames[f + 1], s);
        Vec3 want = apply(joint_in_parent, pm);
        Vec3 got{cm.m[12], cm.m[13], cm.m[14]};
        ASSERT_LT(len3(sub(want, got)), s == 0 ? 0.05f : 1.5f)
            << in.name << " leaves " << parent << " at frame " << f + s;
      }
  }
}

TEST_P(Motion, PosesAreRigidSmoothAndStandOnTheFloor) {
  load(GetParam());
  World& w = dancer_world("catwalk");
  for (int i = 0; i < motion_track_count; ++i) {
    const MotionTrack& t = motion_tracks[i];
    Mesh* m = motion_find_mesh(&w, t.name);
    float rest_det = det3(m->render_matrix);
    for (int f = 0; f < t.frame_count; ++f) {
      const Mat4& a = t.frames[f];
      ASSERT_NEAR(det3(a), rest_det, 1e-3f) << t.name << " frame " << f;
      for (int r = 0; r < 3; ++r) {
        Vec3 row{a.m[r * 4], a.m[r * 4 + 1], a.m[r * 4 + 2]};
        ASSERT_NEAR(len3(row), 1.0f, 1e-3f) << t.name << " frame " << f;
      }
      for (int k = 0; k < 12 && f + 1 < t.frame_count; ++k) {
        if (k % 4 != 3) {
          ASSERT_LT(std::fabs(t.frames[f + 1].m[k] - a.m[k]), 0.4f) << t.name << " frame " << f;
        }
      }
    }
  }
  // Nothing sinks below the floor and something touches it.
  const int frames = motion_tracks[0].frame_count;
  for (int f = 0; f < frames; ++f) {
    float low = 1e9f;
    for (int i = 0; i < motion_track_count; ++i) {
      Mesh* m = motion_find_mesh(&w, motion_tracks[i].name);
      for (int v = 0; v < m->vertex_count; ++v)
        low = std::min(
            low, apply(w.vertices[m->first_vertex + v].position, motion_tracks[i].frames[f]).y);
    }
    ASSERT_NEAR(low, 0.0f, 0.5f) << "frame " << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Forge3d, Motion, ::testing::Range(1, 7));

TEST(Forge3dMotions, DancesLoopWithoutASeamAndStayAtTheOrigin) {
  for (int n = 2; n <= 6; ++n) {
    load(n);
    for (int i = 0; i < motion_track_count; ++i) {
      const MotionTrack& t = motion_tracks[i];
      for (int k = 0; k < 16; ++k)
        ASSERT_NEAR(t.frames[0].m[k], t.frames[t.frame_count - 1].m[k], 1e-3f)
            << n << " " << t.name;
    }
    const MotionTrack* hip = track("Hip");
    for (int f = 0; f < hip->frame_count; ++f)
      ASSERT_LT(std::hypot(hip->frames[f].m[12], hip->frames[f].m[14]), 20.0f)
          << n << " frame " << f;
  }
  // The frames the show plays: 02 up to 659 at 22.5 a second wraps; 03, 04, 05 at 7.5.
  load(3);
  EXPECT_GE(track("Hip")->frame_count, 25);
  load(4);
  EXPECT_GE(track("Hip")->frame_count, 70);
  load(5);
  EXPECT_GE(track("Hip")->frame_count, 115);
}

TEST(Forge3dMotions, WalkComesDownTheRunwayAndStopsAtTheOrigin) {
  load(1);
  const MotionTrack* hip = track("Hip");
  ASSERT_GE(hip->frame_count, 107);
  EXPECT_GT(hip->frames[0].m[14], 1200.0f);
  for (int f = 1; f < hip->frame_count; ++f)
    EXPECT_LE(hip->frames[f].m[14], hip->frames[f - 1].m[14] + 1.0f);
  for (int f = 80; f < hip->frame_count; ++f)
    EXPECT_LT(std::hypot(hip->frames[f].m[12], hip->frames[f].m[14]), 10.0f);
}

// The silhouettes are recorded from camera 0 over keyframes 0-199 (motion frames
// 0-66): the dancer must fill much of that picture.
TEST(Forge3dMotions, CatwalkCameraZeroFramesTheWalkingDancerLarge) {
  load(1);
  World& w = dancer_world("catwalk");
  View v{};
  ASSERT_TRUE(view_init(&v, 3000, 320, 240));
  for (int k = 0; k < 200; k += 3) {
    world_animate(&w, static_cast<float>(k));
    view_set_camera(&v, &w.cameras[0]);
    float top = 1e9f, bottom = -1e9f, left = 1e9f, right = -1e9f;
    for (int i = 0; i < motion_track_count; ++i) {
      Mesh* m = motion_find_mesh(&w, motion_tracks[i].name);
      Mat4 mv;
      mat_mul(&motion_tracks[i].frames[k / 3], &v.view_matrix, &mv);
      for (int j = 0; j < m->vertex_count; ++j) {
        Vec3 c = apply(w.vertices[m->first_vertex + j].position, mv);
        ASSERT_GT(c.z, 1.0f);
        float sx = c.x * v.scale_x / c.z + v.centre_x, sy = v.centre_y - c.y * v.scale_y / c.z;
        top = std::min(top, sy), bottom = std::max(bottom, sy);
        left = std::min(left, sx), right = std::max(right, sx);
      }
    }
    // From the head (inside the picture) down past the bottom edge or nearly so.
    EXPECT_GT(std::min(bottom, 240.0f) - top, 0.75f * 240) << "keyframe " << k;
    EXPECT_GE(top, 0.0f) << "keyframe " << k;
    EXPECT_GE(left, 0.0f) << "keyframe " << k;
    EXPECT_LE(right, 320.0f) << "keyframe " << k;
  }
  view_free(&v);
}

// Start-up records the silhouettes as the show draws them: every face of the catwalk in
// colour 0 over a 0xFF picture. The dancer, not the set, must make up that picture.
TEST(Forge3dMotions, SilhouettesFromCameraZeroAreMostlyTheDancer) {
  load(1);
  auto w = load_world(forge::w3ds::write(forge::catwalk_world()), "catwalk");
  ASSERT_TRUE(w);
  std::vector<uint32_t> texels(256 * 256, 0x808080), picture(320 * 240);
  std::vector<int32_t> depth(320 * 240, 0);
  world_bind_texture(w.get(), "kelp_defmat", texels.data(), -1, 0, 1);
  View v{};
  ASSERT_TRUE(view_init(&v, 3000, 320, 240));
  view_set_cull_mode(&v, 0);
  view_set_target(&v, 1280, picture.data(), depth.data());
  auto covered = [&](bool dancer_only) {
    std::fill(picture.begin(), picture.end(), 0xFFFFFFFFu);
    for (int i = 0; i < w->mesh_count; ++i)
      if (!dancer_only || motion_find_mesh(w.get(), w->meshes[i].name) == &w->meshes[i]) {
        bool part = false;
        for (int p = 0; p < forge::dancer::kParts; ++p)
          part |= !std::strcmp(forge::dancer::info(p).name, w->meshes[i].name);
        if (!dancer_only || part) mesh_draw(&w->meshes[i], &v);
      }
    view_render(&v);
    view_clear(&v);
    return static_cast<double>(std::count(picture.begin(), picture.end(), 0u)) / picture.size();
  };
  for (int k = 0; k < 200; k += 7) {
    world_animate(w.get(), static_cast<float>(k));
    view_set_camera(&v, &w->cameras[0]);
    world_reset_mesh_matrices(w.get());
    motion_unbind();
    motion_apply(w.get(), static_cast<float>(k));
    double all = covered(false), dancer = covered(true);
    EXPECT_GT(dancer, 0.1) << "keyframe " << k;
    EXPECT_LT(all - dancer, 0.25) << "keyframe " << k << ": the set covers too much";
    EXPECT_GT(dancer / all, 0.4) << "keyframe " << k << ": the set covers " << all - dancer;
  }
  view_free(&v);
}

// The opening spotlight sweeps down the runway while she walks it: she stays in its cone.
TEST(Forge3dMotions, WalkStaysInTheSweepingSpotlight) {
  load(1);
  World& w = dancer_world("catwalk");
  const double half = w.cameras[0].lens * 2.0 / 3.0 / 2.0;
  for (float t = 0; t < 14.0f; t += 0.25f) {
    float z = -100, y = 0, z2 = 0;
    if (t < 10.0f) {
      float k = 1 - t / 11;
      z = k * 500 - 100, y = k * 100, z2 = k * 1350;
    }
    Vec3 spot{0, 250, z}, aim{0, y, z2};
    int f = static_cast<int>(t * 7.5f);
    for (const char* part : {"Head", "Hip", "Fot_L", "Fot_R", "Hand_L", "Hand_R"}) {
      const Mat4& m = track(part)->frames[f];
      Vec3 p{m.m[12], m.m[13], m.m[14]}, a = sub(aim, spot), b = sub(p, spot);
      double angle =
          std::acos(std::min(1.0f, dot3(a, b) / (len3(a) * len3(b)))) * 180 / 3.14159265358979;
      EXPECT_LT(angle, half) << part << " at " << t << " s";
    }
  }
}

}  // namespace
