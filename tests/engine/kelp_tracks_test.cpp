#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "engine/chunk_reader.h"
#include "engine/kelp.h"
#include "tds_writer.h"

using namespace tds;

namespace {

constexpr float kPi = 3.14159265f;

ChunkReader reader_for(const Bytes& chunk_bytes, float scale = 1.0f) {
  return ChunkReader{chunk_bytes.data(), chunk_bytes.size(), 6, chunk_bytes.size(), scale, true};
}

// A vector track whose keys carry x = value and y = z = 0 (file order x, y, z).
struct VTrack {
  Track t{};
  Bytes bytes;
  VTrack(const std::vector<std::pair<int, float>>& keys, int flags = 0,
         std::vector<float> params = {}, int spline_flags = 0) {
    std::vector<Key> ks;
    for (auto [f, v] : keys) ks.push_back({f, {v, 0, 0}, spline_flags, params});
    bytes = track(0xb020, ks, flags);
    ChunkReader r = reader_for(bytes);
    EXPECT_EQ(track_read_vector(&r, &t, 0), 1);
    EXPECT_TRUE(r.ok);
  }
  ~VTrack() { std::free(t.keys); }
  float at(float f) {
    track_eval_vector(&t, f);
    return t.value.x;
  }
};

}  // namespace

TEST(KelpTrackRead, KeysArePaddedAndSwapped) {
  Bytes b = track(0xb020, {{3, {1, 2, 3}, 0x09, {0.5f, 0.25f}}, {-7 & 0xffff, {4, 5, 6}}});
  ChunkReader r = reader_for(b, 2.0f);
  Track t{};
  ASSERT_EQ(track_read_vector(&r, &t, 0), 1);
  ASSERT_EQ(t.key_count, 2);
  EXPECT_EQ(t.keys[1].tension, 0.5f);   // flag bit 0
  EXPECT_EQ(t.keys[1].ease_to, 0.25f);  // flag bit 3
  EXPECT_EQ(t.keys[1].continuity, 0.0f);
  EXPECT_EQ(t.keys[1].value.y, 6.0f);  // scaled, then y and z exchanged
  EXPECT_EQ(t.keys[2].frame, -7);      // low 16 bits, sign-extended
  EXPECT_EQ(t.keys[0].value.x, t.keys[1].value.x);
  EXPECT_EQ(t.keys[3].value.x, 8.0f);
  EXPECT_EQ(t.keys[4].value.x, 8.0f);
  std::free(t.keys);
  t.keys = nullptr;
  // Colour keys are neither scaled nor swapped.
  Bytes c = track(0xb025, {{0, {0.1f, 0.2f, 0.3f}}});
  r = reader_for(c, 2.0f);
  ASSERT_EQ(track_read_vector(&r, &t, 1), 1);
  EXPECT_EQ(t.keys[1].value.y, 0.2f);
  std::free(t.keys);
  // Field-of-view and roll keys are degrees as stored, splined like the vectors.
  Bytes fov = track(0xb023, {{0, {10.0f}}, {10, {20.0f}}});
  r = reader_for(fov, 2.0f);
  FloatTrack ft{};
  ASSERT_EQ(track_read_float(&r, &ft), 1);
  ASSERT_EQ(ft.key_count, 2);
  EXPECT_EQ(ft.keys[0].value, 10.0f);
  EXPECT_EQ(ft.keys[3].value, 20.0f);
  track_eval_float(&ft, 5.0f);
  EXPECT_FLOAT_EQ(ft.value, 15.0f);
  track_eval_float(&ft, 30.0f);
  EXPECT_EQ(ft.value, 20.0f);
  std::free(ft.keys);
}

TEST(KelpTrackRead, CountsBeyondTheChunkAreRefusedBeforeAllocating) {
  Bytes b = track(0xb020, {{0, {1, 2, 3}}});
  b[6 + 10] = 0xff, b[6 + 11] = 0xff;  // 65535 keys in a chunk that holds one
  ChunkReader r = reader_for(b);
  Track t{};
  EXPECT_EQ(track_read_vector(&r, &t, 0), 1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(t.key_count, 0);
  EXPECT_EQ(t.keys, nullptr);
}

TEST(KelpTrackEval, OneKeyAndTheEnds) {
  VTrack one({{5, 3.0f}});
  EXPECT_EQ(one.at(-100), 3.0f);
  EXPECT_EQ(one.at(1000), 3.0f);
  VTrack two({{10, 1.0f}, {20, 2.0f}});
  EXPECT_EQ(two.at(0), 1.0f);
  EXPECT_EQ(two.at(25), 2.0f);
  EXPECT_EQ(two.at(20), 2.0f);
}

TEST(KelpTrackEval, RepeatBitWrapsAtTheLastKey) {
  VTrack rep({{0, 0.0f}, {10, 10.0f}}, kTrackRepeat);
  VTrack once({{0, 0.0f}, {10, 10.0f}});
  EXPECT_FLOAT_EQ(rep.at(15), once.at(5));
  EXPECT_EQ(once.at(15), 10.0f);
  // A repeating track whose last key sits at frame 0 has no period: no wrap, no NaN.
  VTrack zero({{-10, 4.0f}, {0, 8.0f}}, kTrackRepeat);
  EXPECT_EQ(zero.at(5), 8.0f);
  EXPECT_FALSE(std::isnan(zero.at(-5)));
}

TEST(KelpTrackEval, CatmullRomWithZeroTcb) {
  VTrack t({{0, 0.0f}, {10, 10.0f}, {20, 40.0f}, {30, 90.0f}});
  // Segment 10..20 at its middle: tangents (40-0)/2 and (90-10)/2.
  EXPECT_FLOAT_EQ(t.at(15), 0.5f * 10 + 0.5f * 40 + 0.125f * 20 - 0.125f * 40);
  EXPECT_FLOAT_EQ(t.at(10), 10.0f);
  EXPECT_FLOAT_EQ(t.at(20), 40.0f);
}

TEST(KelpTrackEval, KeysOnTheSameFrameAndBadFramesStayInTheTable) {
  VTrack same({{0, 1.0f}, {0, 2.0f}, {10, 3.0f}});
  EXPECT_TRUE(std::isfinite(same.at(0)));
  EXPECT_TRUE(std::isfinite(same.at(5)));
  VTrack back({{0, 1.0f}, {20, 2.0f}, {10, 3.0f}});  // frames out of order
  EXPECT_EQ(back.at(15), 3.0f);
  back.at(std::numeric_limits<float>::quiet_NaN());  // searches to the last key only
}

TEST(KelpTrackEval, EaseCurve) {
  for (float t : {0.0f, 0.2f, 0.5f, 0.9f, 0.999f})
    EXPECT_FLOAT_EQ(track_ease(t, 1.0f, 0.0f), t * t);
  EXPECT_EQ(track_ease(0.3f, 0.0f, 0.0f), 0.3f);
  EXPECT_EQ(track_ease(1.0f, 0.5f, 0.0f), 1.0f);  // 0/0 in the plain formula
  EXPECT_EQ(track_ease(1.0f, 0.0f, 0.0f), 1.0f);
  // Sums above 1 are normalised: (1, 1) behaves as (0.5, 0.5).
  EXPECT_FLOAT_EQ(track_ease(0.25f, 1.0f, 1.0f), track_ease(0.25f, 0.5f, 0.5f));
  EXPECT_FLOAT_EQ(track_ease(0.5f, 0.5f, 0.5f), 0.5f);
  // Ease from on the earlier key slows the start of the segment.
  VTrack eased({{0, 0.0f}, {10, 10.0f}}, 0, {1.0f}, 0x10);
  EXPECT_LT(eased.at(2), 1.0f);
}

TEST(KelpTrackEval, RotationKeysAccumulate) {
  // 90 degrees about the file's z (the loaded y) at frames 0 and 10.
  Bytes b = track(0xb021, {{0, {kPi / 2, 0, 0, 1}}, {10, {kPi / 2, 0, 0, 1}}});
  ChunkReader r = reader_for(b);
  RotationTrack t{};
  ASSERT_EQ(track_read_rotation(&r, &t), 1);
  Mat4 expect;
  track_eval_rotation(&t, 10);
  mat_rotation_y(&expect, kPi);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(t.value.m[i], expect.m[i], 1e-5f) << i;
  track_eval_rotation(&t, 5);
  mat_rotation_y(&expect, kPi * 0.75f);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(t.value.m[i], expect.m[i], 1e-5f) << i;
  track_eval_rotation(&t, -3);
  mat_rotation_y(&expect, kPi / 2);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(t.value.m[i], expect.m[i], 1e-5f) << i;
  std::free(t.keys);
}

TEST(KelpAnimate, LastFrameZeroAndEmptyTracks) {
  auto w = std::make_unique<World>();
  ASSERT_EQ(world_init(w.get(), 0, 0, 2, 0, 0, 0), 1);
  w->mesh_count = 2;
  Node& a = w->meshes[0].node;
  a.id = 1, a.parent_id = -1;
  VTrack pos({{0, 5.0f}, {10, 15.0f}});
  a.position_present = 1;
  a.position = pos.t;
  Node& b = w->meshes[1].node;
  b.id = 2, b.parent_id = -1;
  b.scale_present = 1;  // present but without keys: absent
  ASSERT_EQ(world_link_nodes(w.get()), 1);
  w->last_frame = 0;
  world_animate(w.get(), 7.0f);
  EXPECT_EQ(a.world_matrix.m[12], 5.0f);
  EXPECT_EQ(b.world_matrix.m[0], 1.0f);
  w->last_frame = 100;
  world_animate(w.get(), -95.0f);  // fmod keeps the sign: frame -5, before the first key
  EXPECT_EQ(a.world_matrix.m[12], 5.0f);
  a.position.keys = nullptr;  // owned by `pos`
  world_free(w.get());
}
