#include "assets/morph.h"

#include <sys/wait.h>

#include <cstring>
#include <string>

#include "files.h"

using namespace assets_test;

namespace {

Bytes amf_header(int32_t columns, int32_t rows) {
  Bytes b;
  put_text(b, "QUB HAR KULT MORPHEPROGRAM");
  b.push_back(0);
  put32(b, static_cast<uint32_t>(columns));
  put32(b, static_cast<uint32_t>(rows));
  return b;
}

// Point (r, c) of a file is first (c * 10 + 1, r * 10 + 2), second (c * 10 + 323, r * 10 + 4)
// plus `base`, so every value tells where it came from.
Bytes amf(int32_t columns, int32_t rows, int32_t base = 0) {
  Bytes b = amf_header(columns, rows);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c)
      for (int32_t v : {c * 10 + 1, r * 10 + 2, c * 10 + 323, r * 10 + 4})
        put32(b, static_cast<uint32_t>(v + base));
  return b;
}

MorphGrid grid_from(int32_t columns, int32_t rows, int32_t base) {
  MorphGrid g = {};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      g.first[r][c] = {c * 10 + 1 + base, r * 10 + 2 + base};
      g.second[r][c] = {c * 10 + 323 + base, r * 10 + 4 + base};
    }
  return g;
}

bool same(const MorphGrid& a, const MorphGrid& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(MorphFile, FullFileFillsTheGridRowByRow) {
  morph_grid = {};
  const Bytes file = amf(9, 7);
  ASSERT_EQ(file.size(), 1043u);
  const MorphFileInfo info = load_morph(write_file("full.amf", file).c_str());
  EXPECT_EQ(info.result, MorphLoad::kLoaded);
  EXPECT_EQ(info.columns, 9);
  EXPECT_EQ(info.rows, 7);
  EXPECT_TRUE(same(morph_grid, grid_from(9, 7, 0)));
}

// A narrower file fills the start of each 9-point grid row; the rest keeps what it had.
TEST(MorphFile, NarrowFileKeepsTheGridRowLength) {
  morph_grid = grid_from(9, 7, 5000);
  load_morph(write_file("narrow.amf", amf(4, 3)).c_str());
  MorphGrid want = grid_from(9, 7, 5000);
  const MorphGrid part = grid_from(4, 3, 0);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) {
      want.first[r][c] = part.first[r][c];
      want.second[r][c] = part.second[r][c];
    }
  EXPECT_TRUE(same(morph_grid, want));
}

TEST(MorphFile, RefusedFilesLeaveTheGridAsItWas) {
  const MorphGrid before = grid_from(9, 7, 777);
  struct Case {
    const char* name;
    Bytes bytes;
    MorphLoad result;
  };
  Bytes wrong_magic = amf(9, 7, 1);
  wrong_magic[3] = 'X';
  Bytes no_terminator = amf(9, 7, 1);
  no_terminator[26] = 'M';
  const Case cases[] = {
      {"columns.amf", amf(10, 7, 1), MorphLoad::kTooLarge},
      {"rows.amf", amf(9, 8, 1), MorphLoad::kTooLarge},
      {"huge.amf", amf_header(0x7FFFFFFF, 0x7FFFFFFF), MorphLoad::kTooLarge},
      {"magic.amf", wrong_magic, MorphLoad::kNotMorph},
      {"unterminated.amf", no_terminator, MorphLoad::kNotMorph},
      {"short_magic.amf", Bytes{'Q', 'U', 'B'}, MorphLoad::kNotMorph},
  };
  for (const Case& c : cases) {
    morph_grid = before;
    EXPECT_EQ(load_morph(write_file(c.name, c.bytes).c_str()).result, c.result) << c.name;
    EXPECT_TRUE(same(morph_grid, before)) << c.name;
  }
  morph_grid = before;
  EXPECT_EQ(load_morph((scratch_dir() / "absent.amf").string().c_str()).result,
            MorphLoad::kMissing);
  EXPECT_TRUE(same(morph_grid, before));
}

// Cut inside the 12th point's third value (two bytes of it): 11 whole points and two values
// stored, the half value and everything after kept as it was.
TEST(MorphFile, TruncatedFileKeepsTheWholeValuesRead) {
  const MorphGrid before = grid_from(9, 7, 900);
  morph_grid = before;
  Bytes file = amf(9, 7);
  file.resize(35 + 11 * 16 + 8 + 2);
  const MorphFileInfo info = load_morph(write_file("short.amf", file).c_str());
  EXPECT_EQ(info.result, MorphLoad::kShort);
  EXPECT_EQ(info.values_read, 11 * 4 + 2);
  const MorphGrid full = grid_from(9, 7, 0);
  MorphGrid want = before;
  for (int i = 0; i < 11; ++i) {
    want.first[i / 9][i % 9] = full.first[i / 9][i % 9];
    want.second[i / 9][i % 9] = full.second[i / 9][i % 9];
  }
  want.first[1][2] = full.first[1][2];
  EXPECT_TRUE(same(morph_grid, want));

  // A header cut inside the counts reads no point.
  morph_grid = before;
  Bytes header = amf_header(9, 7);
  header.resize(31 + 2);
  EXPECT_EQ(load_morph(write_file("header.amf", header).c_str()).result, MorphLoad::kShort);
  EXPECT_TRUE(same(morph_grid, before));
}

struct ToolRun {
  int status = -1;
  std::string out;
};

ToolRun inspect(const std::string& args) {
  const std::string cmd =
      std::string(TH_BINARY_DIR) + "/tidalhall-inspect " + args + " 2>/dev/null";
  ToolRun r;
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int st = pclose(pipe);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(MorphInspect, GridPointsAndRefusals) {
  const ToolRun ok = inspect(write_file("two.amf", amf(2, 2)));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out,
            "morph: columns 2 rows 2\n"
            "point 0 0: first 1 2 second 323 4\n"
            "point 0 1: first 11 2 second 333 4\n"
            "point 1 0: first 1 12 second 323 14\n"
            "point 1 1: first 11 12 second 333 14\n");
  Bytes cut = amf(2, 2);
  cut.resize(cut.size() - 5);
  const ToolRun short_file = inspect(write_file("cut.amf", cut));
  EXPECT_EQ(short_file.status, 1);
  EXPECT_NE(short_file.out.find("point 0 1:"), std::string::npos) << short_file.out;
  EXPECT_NE(short_file.out.find("morph file ends after 3 of 4 points\n"), std::string::npos);
  const ToolRun large = inspect(write_file("large.amf", amf(10, 7)));
  EXPECT_EQ(large.status, 1);
  EXPECT_EQ(large.out, "morph: columns 10 rows 7, more than the grid's 9 x 7\n");
  Bytes magic = amf(2, 2);
  magic[0] = 'q';
  EXPECT_EQ(inspect(write_file("magic.amf", magic)).status, 1);
  EXPECT_EQ(inspect(write_file("opt.amf", amf(2, 2)) + " --frame 2").status, 2);

  // --png: the two pictures side by side, 640 x 240 (the portraits are not beside this file,
  // so the grids stand on grey).
  const std::string png = (scratch_dir() / "grid.png").string();
  EXPECT_EQ(inspect(write_file("grid.amf", amf(9, 7)) + " --png " + png).status, 0);
  const Bytes head = read_file(png);
  ASSERT_GT(head.size(), 24u);
  EXPECT_EQ(head[1], 'P');
  EXPECT_EQ((head[16] << 24 | head[17] << 16 | head[18] << 8 | head[19]), 640);
  EXPECT_EQ((head[20] << 24 | head[21] << 16 | head[22] << 8 | head[23]), 240);
}

}  // namespace
