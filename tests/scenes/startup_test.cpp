// The start-up refuses a data set the scenes cannot draw from: one line, status 1, before
// the first frame. Each case is the generated data set (linked file by file into a temporary
// folder) with one file swapped for another that breaks what a scene relies on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/data_files.h"
#include "engine/tds_writer.h"
#include "host/entry.h"
#include "host/host.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/options.h"
#include "scenes/show.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

namespace {

namespace fs = std::filesystem;
namespace df = data_file;

const fs::path kData = TH_BINARY_DIR "/data";

fs::path path_of(const fs::path& root, const char* show_name) {
  std::string rel = show_name;
  for (char& c : rel)
    if (c == '\\') c = '/';
  return root / rel;
}

// A copy of the generated data set made of links, so a case costs a few hundred links
// rather than the files themselves.
class DataSet {
 public:
  DataSet() {
    static int serial = 0;
    root_ = fs::temp_directory_path() /
            ("startup_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    fs::remove_all(root_);
    for (const char* name : df::kAll) {
      const fs::path to = path_of(root_, name);
      fs::create_directories(to.parent_path());
      fs::create_symlink(path_of(kData, name), to);
    }
  }
  ~DataSet() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;

  // `name` becomes another file of the generated set.
  void swap(const char* name, const char* other) {
    fs::remove(path_of(root_, name));
    fs::create_symlink(path_of(kData, other), path_of(root_, name));
  }
  void write(const char* name, const std::vector<uint8_t>& bytes) {
    fs::remove(path_of(root_, name));
    std::ofstream(path_of(root_, name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  void remove(const char* name) { fs::remove(path_of(root_, name)); }
  std::string dir() const { return root_.string(); }

 private:
  fs::path root_;
};

struct Outcome {
  bool exited = false;
  int status = 0;
  std::string out;
};

Outcome prepare_over(const DataSet& set) {
  platform::set_data_dir(set.dir());
  platform::run_options().plain = false;
  Outcome o;
  testing::internal::CaptureStdout();
  try {
    prepare_assets();
  } catch (const platform::ProcessExit& e) {
    o.exited = true;
    o.status = e.status;
  }
  o.out = testing::internal::GetCapturedStdout();
  return o;
}

void expect_refused(const DataSet& set, const std::string& line) {
  const Outcome o = prepare_over(set);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, line + "\n");
}

TEST(StartupChecks, GeneratedDataSetPassesSilently) {
  DataSet set;
  const Outcome o = prepare_over(set);
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(show().silhouette_count, kSilhouetteFrames);
}

// Each World is swapped for one that lacks what its scenes index.
TEST(StartupChecks, WorldsWithoutTheCamerasLightsOrMeshesTheScenesIndex) {
  struct Case {
    const char* world;
    const char* stand_in;
    const char* line;
  } cases[] = {
      {df::kCatwalkWorld, df::kBoxWorld, "3d\\catwalk.3ds has 3 cameras, the show needs 6"},
      {df::kBoxWorld, df::kCubeWorld, "3d\\box.3ds has 0 cameras, the show needs 3"},
      {df::kDanceWorld, df::kCubeWorld, "3d3\\test.3ds has 0 cameras, the show needs 2"},
      {df::kDanceWorld, df::kBoxWorld, "3d3\\test.3ds has no mesh \"DanceFloor\""},
      {df::kCityWorld, df::kBoxWorld, "3d2\\scene3.3ds has 3 cameras, the show needs 5"},
      {df::kObjectWorld, df::kBoxWorld, "3d\\dings.3ds has 1 lights, the show needs 2"},
      {df::kCubeWorld, df::kBoxWorld, "3d\\cube2.3ds has 1 lights, the show needs 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.world);
    DataSet set;
    set.swap(c.world, c.stand_in);
    expect_refused(set, c.line);
  }
}

TEST(StartupChecks, ObjectWorldWithoutAMesh) {
  using namespace tds;
  DataSet set;
  set.write(df::kObjectWorld,
            file(mdata(cat({named("Light01", light(0, 0, 0)), named("Light02", light(1, 0, 0))}))));
  expect_refused(set, "3d\\dings.3ds has 0 meshes, the show needs 1");
}

// A material the World lacks is reported by its bind and passed over (its colour too).
TEST(StartupChecks, MissingMaterialsAreReportedAndPassedOver) {
  using namespace tds;
  tds::Bytes cameras;
  for (int i = 0; i < 6; ++i)
    cameras = cat(
        {cameras, named("Camera0" + std::to_string(i), camera({0, -100, 50}, {0, 0, 0}, 0, 35))});
  DataSet set;
  set.write(df::kCatwalkWorld, file(mdata(cat({fan_mesh("Hip", 6), cameras}))));
  const Outcome o = prepare_over(set);
  EXPECT_FALSE(o.exited);
  // The dancer's materials and the catwalk's own, each named before the report.
  std::string reports;
  for (const char* m :
       {"face", "black", "hair", "skin", "ArmGlove", "ChestFront", "ChestBack", "HipFront",
        "HipBack", "Cat_Side", "Gold", "Pole", "Rope", "Cat_Floor", "Vog"})
    reports += std::string(m) + "\ntexture not in library\n";
  EXPECT_EQ(o.out, reports);
}

TEST(StartupChecks, MalformedWorldEndsInTheLoader) {
  DataSet set;
  set.write(df::kBoxWorld, {'n', 'o', 't', ' ', '3', 'd', 's'});
  const Outcome o = prepare_over(set);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("box.3ds"), std::string::npos) << o.out;
}

TEST(StartupChecks, PicturesAndTexturesOfTheWrongSize) {
  struct Case {
    const char* file;
    const char* stand_in;
    const char* line;
  } cases[] = {
      // Full-frame operations read 76,800 pixels of these.
      {df::kDoublePicture, df::kPhongTexture,
       "gfx\\kdouble.jpg is 256 x 256, the show needs 320 x 240"},
      {df::kTitles[3], df::kLogoPicture, nullptr},
      {df::kCardPicture, df::kSpritePicture, "gfx\\3da.jpg is 256 x 256, the show needs 320 x 240"},
      {df::kPortrait2, df::kPhongTexture, "gfx\\tovr2.jpg is 256 x 256, the show needs 320 x 240"},
      // Indexed with fixed sides.
      {df::kPhongTexture, df::kLightTexture,
       "textures\\phong.jpg is 128 x 128, the show needs 256 x 256"},
      {df::kFlowerTexture, df::kTitles[0],
       "textures\\flower1.pcx is 256 x 256, the show needs 64 x 64"},
      // Read into fixed buffers: probed before anything is decoded.
      {df::kLightTexture, df::kPhongTexture,
       "textures\\light.jpg is 256 x 256, the show needs 128 x 128"},
      {df::kSpritePicture, df::kLightTexture,
       "gfx\\sprite.jpg is 128 x 128, the show needs 256 x 256"},
      // The credits, loaded on their first frame, must not end the show there.
      {df::kScroll1Picture, df::kLightTexture,
       "gfx\\scroll1.jpg is 128 pixels wide, the show needs 320"},
      {df::kScroll2Picture, df::kSpritePicture,
       "gfx\\scroll2.jpg is 256 pixels wide, the show needs 320"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    DataSet set;
    set.swap(c.file, c.stand_in);
    if (c.line) {
      expect_refused(set, c.line);
    } else {
      const Outcome o = prepare_over(set);
      EXPECT_TRUE(o.exited);
      EXPECT_EQ(o.status, 1);
      EXPECT_EQ(o.out.rfind("gfx\\title4.pcx is ", 0), 0u) << o.out;
    }
  }
}

TEST(StartupChecks, MissingCreditPictureStopsAtStartUp) {
  DataSet set;
  set.remove(df::kScroll2Picture);
  const Outcome o = prepare_over(set);
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("scroll2.jpg"), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find('\n'), o.out.size() - 1) << o.out;  // one line
}

// Only the first motion is read at start-up, and a missing one is passed over in silence;
// so are the motions and the morph that rows read on their first frames.
TEST(StartupChecks, MissingMotionAndMorphFilesAreSilent) {
  DataSet set;
  for (const char* name : {df::kMotion01, df::kMotion02, df::kMotion06, df::kMorph})
    set.remove(name);
  const Outcome o = prepare_over(set);
  EXPECT_FALSE(o.exited);
  EXPECT_EQ(o.out, "");
  std::vector<uint32_t> frame(kFramePixels);
  testing::internal::CaptureStdout();
  for (float t : {65.5f, 100.0f, 250.0f}) EXPECT_NO_THROW(show_frame(frame.data(), t)) << t;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// A refused data set draws nothing: the host ends before its first frame.
TEST(StartupChecks, RefusedDataSetDrawsNoFrame) {
  DataSet set;
  set.swap(df::kCityWorld, df::kBoxWorld);
  const fs::path frames = fs::path(set.dir()) / "frames";
  const std::string dir = set.dir(), capture = frames.string();
  const char* argv[] = {"tidalhall", "--headless", "--data",    dir.c_str(),
                        "--end",     "0.1",        "--capture", capture.c_str()};
  testing::internal::CaptureStdout();
  const int status = tidalhall_main(8, argv);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, "3d2\\scene3.3ds has 3 cameras, the show needs 5\n");
  int pngs = 0;
  if (fs::is_directory(frames))
    for (const auto& e : fs::directory_iterator(frames))
      if (e.path().extension() == ".png") ++pngs;
  EXPECT_EQ(pngs, 0);
  platform::run_options() = platform::RunOptions{};
}

}  // namespace
