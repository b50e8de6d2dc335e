// tidalhall-inspect on .3ds files: the exact report, and the exit statuses users script on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tds_writer.h"

using namespace tds;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status;
  std::string out;
};

ToolRun inspect(const std::string& args) {
  const std::string cmd =
      std::string(TH_BINARY_DIR) + "/tidalhall-inspect " + args + " 2>/dev/null";
  ToolRun r{-1, ""};
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int st = pclose(pipe);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string write(const std::string& name, const Bytes& b) {
  const fs::path p = fs::path(TH_BINARY_DIR) / "tests" / name;
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  return p.string();
}

}  // namespace

TEST(Inspect3ds, ReportsOneFactALine) {
  Bytes objects =
      cat({material("red"),
           named("body", trimesh(cat({vertices({{0, 0, 0}, {1, 0, 0}, {0, 0, -1}}),
                                      mapping({{0, 0}, {1, 0}, {0, 1}}), faces({{0, 1, 2, 0}})}))),
           named("cam", camera({1, 2, 3}, {4, 5, 6}, 0, 35)),
           named("lamp", light(0, 10, 0, colour(1, 0.5f, 0.25f)))});
  Bytes kf = keyframer(
      cat({segment(0, 50),
           chunk(0xb002, cat({node_id(0), node_header("body", -1), chunk(0xb012, floats({1, 1, 1})),
                              track(0xb020, {{0, {1, 2, 3}}})})),
           chunk(0xb003, cat({node_id(1), node_header("cam", 0), track(0xb024, {{0, {0}}})}))}));
  const std::string path = write("inspect_scene.3ds", file(cat({mdata(objects), kf})));
  const ToolRun r = inspect(path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(
      r.out,
      "world: meshes 1 vertices 3 faces 1 materials 1 lights 1 cameras 1 dummies 0 frames 0..50\n"
      "mesh \"body\" vertices 3 faces 1 mapping yes\n"
      "material \"red\"\n"
      "camera \"cam\" position 1 3 2 target 4 6 5 roll 0 lens 35\n"
      "light \"lamp\" position 0 0 10 colour 1 0.5 0.25\n"
      "node 0 parent -1 \"body\" tracks position\n"
      "node 1 parent 0 \"cam\" tracks roll\n");
  // A camera the World lacks is a command line it cannot use.
  EXPECT_EQ(inspect(path + " --png /dev/null --camera 1").status, 2);
  EXPECT_EQ(inspect(path + " --frame x").status, 2);
}

TEST(Inspect3ds, RefusedFilesGiveTheReadersMessageAndStatus) {
  const ToolRun missing = inspect("/nonexistent/none.3ds");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "RARA: /nonexistent/none.3ds not found!\n");
  const std::string bad = write("inspect_bad.3ds", chunk(0x1234, {}));
  const ToolRun refused = inspect(bad);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "RARA: " + bad + " is not a .3ds file!\n");
}
