// Hostile files: every reader fed truncations of small valid files and copies with one field
// forced to zero, to all ones, to the largest and to the most negative value. Each ends
// normally or with one line of its own and status 1 (255 for a JPEG stream the library
// rejects): never a crash, a hang or a read out of bounds (run under the sanitizers too).
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>

#include "assets/image.h"
#include "assets/morph.h"
#include "assets/motion.h"
#include "engine/kelp.h"
#include "files.h"

namespace {

using namespace assets_test;
namespace fs = std::filesystem;

// A reader that loops for ever would stall the whole suite: name the input and stop.
char current[512];
void on_alarm(int) {
  const char text[] = "hostile input hung: ";
  ssize_t ignored = write(2, text, sizeof text - 1);
  ignored = write(2, current, std::strlen(current));
  (void)ignored;
  std::abort();
}

struct Watchdog {
  explicit Watchdog(const std::string& what) {
    std::snprintf(current, sizeof current, "%s\n", what.c_str());
    std::signal(SIGALRM, on_alarm);
    alarm(30);
  }
  ~Watchdog() { alarm(0); }
};

// The variants of one valid file: cut at many lengths, and each of the first 96 offsets
// overwritten with the values that break sizes, counts and lengths.
std::vector<std::pair<std::string, Bytes>> variants(const Bytes& good) {
  std::vector<std::pair<std::string, Bytes>> out;
  size_t step = std::max<size_t>(1, good.size() / 96);
  for (size_t n = 0; n < good.size(); n += step)
    out.emplace_back("cut to " + std::to_string(n), Bytes(good.begin(), good.begin() + n));
  for (size_t at = 0; at + 2 <= good.size() && at < 96; ++at) {
    for (uint32_t v : {0u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x0000FFFFu}) {
      Bytes b = good;
      size_t width = std::min<size_t>(4, b.size() - at);
      for (size_t i = 0; i < width; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
      out.emplace_back("value " + std::to_string(v) + " at " + std::to_string(at), b);
    }
  }
  return out;
}

std::vector<fs::path> inputs(const char* kind) {
  std::vector<fs::path> files;
  for (const auto& e :
       fs::directory_iterator(fs::path(TH_SOURCE_DIR) / "tests/data/hostile" / kind))
    files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Feeds every variant of every input of a kind to `read`; checks how each ended.
void feed(const char* kind, const std::function<void(const std::string&)>& read,
          std::initializer_list<int> statuses) {
  std::vector<fs::path> files = inputs(kind);
  ASSERT_FALSE(files.empty()) << kind;
  for (const fs::path& file : files) {
    for (const auto& [how, bytes] : variants(read_file(file.string()))) {
      std::string path = write_file("hostile" + file.extension().string(), bytes);
      std::string what = file.filename().string() + " " + how;
      Watchdog dog(what);
      Ended e = run_capturing([&] { read(path); });
      if (e.status == -1) continue;
      EXPECT_NE(std::find(statuses.begin(), statuses.end(), e.status), statuses.end())
          << what << ": status " << e.status;
      // An unknown keyframer node is the one two-line refusal: its name, then the verdict.
      std::string line = e.output;
      const std::string node = "noe bugga\n";
      if (line.size() > node.size() && line.ends_with(node)) line.resize(line.size() - node.size());
      EXPECT_TRUE(!line.empty() && line.find('\n') == line.size() - 1)
          << what << ": not one line: " << e.output;
    }
  }
}

// Probes first: a forged size within the limits is legal, and decoding a gigabyte of it
// would only cost time.
void read_picture(const std::string& path) {
  read_image_file(path.c_str(), nullptr);
  if (int64_t{image_width} * image_height > (int64_t{1} << 20)) return;
  std::unique_ptr<Image> image = load_image(path.c_str());
  std::unique_ptr<Image> texture = load_texture(path.c_str());
  if (image) {
    ASSERT_NE(image->pixels, nullptr);
  }
}

TEST(HostileFiles, PicturesEndWithTheirReadersLine) {
  for (const char* kind : {"pcx", "tga", "bmp", "lbm", "rix", "cel"}) feed(kind, read_picture, {1});
  feed("jpg", read_picture, {1, 255});
}

TEST(HostileFiles, MotionAndMorphFilesLoadOrAreRefusedQuietly) {
  World world;
  world_init(&world, 0, 0, 2, 0, 0, 0);
  world.mesh_count = 2;
  std::strcpy(world.meshes[0].name, "Neck");
  std::strcpy(world.meshes[1].name, "Hip");
  feed("motion",
       [&](const std::string& path) {
         motion_load(path.c_str());
         motion_unbind();
         for (float t : {0.0f, 4.5f, 1.0e9f}) motion_apply(&world, t);
       },
       {1});
  feed("morph",
       [](const std::string& path) {
         morph_grid = MorphGrid{};
         load_morph(path.c_str());
       },
       {1});
}

TEST(HostileFiles, SceneFilesLoadLinkAndAnimateOrAreRefused) {
  load_3ds_set_log(nullptr);
  feed("3ds",
       [](const std::string& path) {
         Bytes bytes = read_file(path);
         World* world = new World();
         if (load_3ds_memory(world, bytes.data(), bytes.size(), path.c_str(), 1.0f) &&
             world_link_nodes(world)) {
           for (float t : {0.0f, 7.5f, -3.25f, 1.0e6f}) world_animate(world, t);
         }
         world_free(world);
         delete world;
       },
       {1});
}

}  // namespace
