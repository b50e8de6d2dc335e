#include "assets/motion.h"

#include <cstring>
#include <memory>

#include "files.h"

using namespace assets_test;

namespace {

// The header: 63 characters with the Latin-1 byte 0xC5 at offset 6, then a NUL.
Bytes qub_header() {
  const std::string text = "QUB SL\xC5R TIL IGJEN MED NOK ET KULT PROGRAM OG NOK EN KUL HEADER";
  Bytes b(text.begin(), text.end());
  b.push_back(0);
  return b;
}

struct TrackSpec {
  std::string name;
  int frames;
  float base;  // frame k, value v = base + 100 k + v
};

Bytes qub(const std::vector<TrackSpec>& tracks) {
  Bytes b = qub_header();
  put32(b, static_cast<uint32_t>(tracks.size()));
  for (const TrackSpec& t : tracks) {
    put_text(b, t.name);
    b.push_back(0);
    put32(b, static_cast<uint32_t>(t.frames * 12));
    for (int k = 0; k < t.frames; ++k)
      for (int v = 0; v < 12; ++v) {
        float value = t.base + 100.0f * k + v;
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        put32(b, bits);
      }
  }
  return b;
}

struct Dancer {
  std::unique_ptr<World> world = std::make_unique<World>();
  Dancer() {
    world_init(world.get(), 0, 0, 2, 0, 0, 0);
    world->mesh_count = 2;
    std::strcpy(world->meshes[0].name, "Neck");
    std::strcpy(world->meshes[1].name, "Hip");
  }
  ~Dancer() { world_free(world.get()); }
  Mat4& neck() { return world->meshes[0].render_matrix; }
};

float at(const Mat4& m, int row, int col) {
  return m.m[row * 4 + col];
}

}  // namespace

TEST(MotionFile, AxesPeriodAndInterpolation) {
  EXPECT_EQ(motion_time_divisor, 3.0f);
  ASSERT_EQ(motion_load(write_file("walk.qub", qub({{"nECK", 5, 0.0f}})).c_str()),
            MotionLoad::kLoaded);
  ASSERT_EQ(motion_track_count, 1);
  Dancer d;
  for (float& v : d.neck().m) v = -7.0f;  // column 3 must stay as it was

  motion_apply(d.world.get(), 0.0f);  // frame 0, bound although the case differs
  EXPECT_EQ(motion_tracks[0].bound_object, &d.world->meshes[0]);
  const int slot[12][2] = {{0, 0}, {0, 2}, {0, 1}, {2, 0}, {2, 2}, {2, 1},
                           {1, 0}, {1, 2}, {1, 1}, {3, 0}, {3, 2}, {3, 1}};
  for (int v = 0; v < 12; ++v) EXPECT_EQ(at(d.neck(), slot[v][0], slot[v][1]), float(v)) << v;
  for (int row = 0; row < 4; ++row) EXPECT_EQ(at(d.neck(), row, 3), -7.0f);
  EXPECT_EQ(motion_tracks[0].frames[0].m[15], 1.0f);

  motion_apply(d.world.get(), 4.5f);  // t = 1.5: halfway between frames 1 and 2
  EXPECT_EQ(at(d.neck(), 3, 0), 159.0f);
  motion_apply(d.world.get(), 3.0f * 3.999f);  // frames 3 to 4
  EXPECT_NEAR(at(d.neck(), 3, 0), 309.0f + 99.9f, 0.01f);
  motion_apply(d.world.get(), 12.0f);  // t = 4: period 4, back to frame 0
  EXPECT_EQ(at(d.neck(), 3, 0), 9.0f);

  // Unbinding forgets the Mesh; a track whose Mesh is missing is skipped, then found later.
  motion_unbind();
  EXPECT_EQ(motion_tracks[0].bound_object, nullptr);
  std::strcpy(d.world->meshes[0].name, "Knee");
  motion_apply(d.world.get(), 0.0f);
  EXPECT_EQ(motion_tracks[0].bound_object, nullptr);
  std::strcpy(d.world->meshes[0].name, "NECK");
  motion_apply(d.world.get(), 0.0f);
  EXPECT_EQ(motion_tracks[0].bound_object, &d.world->meshes[0]);
  EXPECT_EQ(motion_find_mesh(d.world.get(), "Nec"), nullptr);
  EXPECT_EQ(motion_find_mesh(d.world.get(), "hip"), &d.world->meshes[1]);
}

TEST(MotionFile, RefusedFilesKeepThePreviousMotion) {
  ASSERT_EQ(motion_load(write_file("good.qub", qub({{"Neck", 3, 0.5f}, {"Hip", 2, 1.5f}})).c_str()),
            MotionLoad::kLoaded);
  auto unchanged = [] {
    EXPECT_EQ(motion_track_count, 2);
    EXPECT_STREQ(motion_tracks[1].name, "Hip");
    EXPECT_EQ(motion_tracks[0].frame_count, 3);
    EXPECT_EQ(motion_tracks[0].frames[2].m[0], 200.5f);
  };

  Bytes utf8 = qub({{"Neck", 2, 0.0f}});
  utf8[6] = 0xC3;  // "Å" spelled in UTF-8 is two bytes and no match
  utf8.insert(utf8.begin() + 7, 0x85);
  Ended e = run_capturing(
      [&] { EXPECT_EQ(motion_load(write_file("utf8.qub", utf8).c_str()), MotionLoad::kRefused); });
  EXPECT_EQ(e.output, "header mismatch\n");
  unchanged();

  EXPECT_EQ(motion_load((scratch_dir() / "absent.qub").c_str()), MotionLoad::kMissing);
  unchanged();

  std::vector<TrackSpec> many(31, TrackSpec{"T", 2, 0.0f});
  Bytes long_name = qub({{std::string(64, 'n'), 2, 0.0f}});
  Bytes odd_count = qub({{"Neck", 2, 0.0f}});
  odd_count[64 + 4 + 5] = 25;  // 25 values: not whole frames
  Bytes short_file = qub({{"Neck", 3, 0.0f}});
  short_file.resize(short_file.size() - 1);
  Bytes no_nul = qub_header();
  no_nul.back() = '!';  // 64 characters, no terminator
  const std::pair<const char*, Bytes> bad[] = {
      {"many.qub", qub(many)},
      {"long.qub", qub({{"Neck", 401, 0.0f}})},
      {"one.qub", qub({{"Neck", 1, 0.0f}})},
      {"odd.qub", odd_count},
      {"name.qub", long_name},
      {"short.qub", short_file},
      {"nonul.qub", no_nul},
  };
  for (const auto& entry : bad) {
    const std::string& name =
        entry.first;  // a plain name: lambdas cannot capture bindings in clang 14
    std::string path = write_file(name, entry.second);
    e = run_capturing([&] { EXPECT_EQ(motion_load(path.c_str()), MotionLoad::kRefused) << name; });
    EXPECT_EQ(std::count(e.output.begin(), e.output.end(), '\n'), 1) << name << ": " << e.output;
    unchanged();
  }
}
