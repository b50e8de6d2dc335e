// The flare object's rows through their frames: growing from a flat disc, shrinking to a
// sliver, the same shape at a show time whatever the frame rate or the starting point, the
// same colours plain and SIMD; and the start-up refusing flare bitmaps that do not fit.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/data_files.h"
#include "platform/exit.h"
#include "show_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr double kStart = 37.0, kEnd = 56.5;

// Pixels the object covered in the last frame drawn (its depth values).
int covered() {
  const int32_t* d = show().depth;
  return static_cast<int>(std::count_if(d, d + kFramePixels, [](int32_t v) { return v != 0; }));
}

std::vector<Vec3> object_shape() {
  const World& w = show().object;
  const Mesh& m = w.meshes[0];
  std::vector<Vec3> shape;
  for (int i = 0; i < m.vertex_count; ++i) shape.push_back(w.vertices[m.first_vertex + i].position);
  return shape;
}

TEST(FlareObjectScene, GrowsFromAFlatDiscAndShrinksToASliver) {
  show_test::prepare();
  show_test::frame_at(static_cast<float>(kStart));
  EXPECT_EQ(covered(), 0);  // zero height: nothing to see edge-on
  show_test::frame_at(45.0f);
  const int full = covered();
  EXPECT_GT(full, kFramePixels / 20);
  show_test::frame_at(static_cast<float>(kEnd) - 0.01f);
  EXPECT_LT(covered(), full / 10);  // a sliver of width 0.005
}

TEST(FlareObjectScene, TheShapeAtAShowTimeIsTheSameAtAnyFrameRateOrStart) {
  const float at = 37.3f;
  show_test::prepare();
  show_test::frame_at(at);  // a run that starts here
  const auto started_late = object_shape();
  std::vector<int32_t> depth(show().depth, show().depth + kFramePixels);
  for (double fps : {15.0, 60.0, 1000.0}) {
    SCOPED_TRACE(fps);
    show_test::play(kStart, at, fps);
    show_test::frame_at(at);
    const auto shape = object_shape();
    ASSERT_EQ(shape.size(), started_late.size());
    for (size_t i = 0; i < shape.size(); ++i) {
      ASSERT_EQ(shape[i].x, started_late[i].x) << "vertex " << i;
      ASSERT_EQ(shape[i].y, started_late[i].y) << "vertex " << i;
      ASSERT_EQ(shape[i].z, started_late[i].z) << "vertex " << i;
    }
    EXPECT_TRUE(std::equal(depth.begin(), depth.end(), show().depth));
  }
}

TEST(FlareObjectScene, PlainAndSimdAgree) {
  show_test::expect_plain_equals_simd(kStart, kEnd, 2.0);
}

// The generated data set as links, with the flare files replaced as a case needs.
class FlareData {
 public:
  FlareData() {
    root_ = fs::temp_directory_path() / ("flare_data_" + std::to_string(getpid()));
    fs::remove_all(root_);
    for (const char* name : data_file::kAll) {
      const fs::path to = path(root_, name);
      fs::create_directories(to.parent_path());
      fs::create_symlink(path(TH_BINARY_DIR "/data", name), to);
    }
  }
  ~FlareData() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void write(const char* name, size_t bytes) {
    fs::remove(path(root_, name));
    std::ofstream(path(root_, name), std::ios::binary) << std::string(bytes, '\x40');
  }
  void remove(const char* name) { fs::remove(path(root_, name)); }
  // The start-up's output and status (0 when it went through).
  std::pair<std::string, int> prepare() {
    platform::set_data_dir(root_.string());
    int status = 0;
    testing::internal::CaptureStdout();
    try {
      prepare_assets();
    } catch (const platform::ProcessExit& e) {
      status = e.status;
    }
    return {testing::internal::GetCapturedStdout(), status};
  }

 private:
  static fs::path path(const fs::path& root, const char* show_name) {
    std::string rel = show_name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    return root / rel;
  }
  fs::path root_;
};

TEST(FlareObjectScene, StartUpRefusesFlareBitmapsThatAreMissingOrNotTheirTableSize) {
  const struct {
    const char* file;
    long bytes;  // -1: missing
    const char* line;
  } cases[] = {
      {data_file::kFlares[0], 4799, "flares\\lenz1.raw is only 4799 bytes, the show needs 4800"},
      {data_file::kFlares[8], 148, "flares\\lenz9.raw is over 147 bytes, the show needs 147"},
      {data_file::kFlares[4], -1, "flares\\lenz5.raw not found"},
      {data_file::kFlares[1], 0, "flares\\lenz2.raw is only 0 bytes, the show needs 270"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    FlareData set;
    if (c.bytes < 0)
      set.remove(c.file);
    else
      set.write(c.file, static_cast<size_t>(c.bytes));
    const auto [out, status] = set.prepare();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, std::string(c.line) + "\n");
  }
  FlareData whole;
  EXPECT_EQ(whole.prepare(), std::make_pair(std::string(), 0));
}

}  // namespace
