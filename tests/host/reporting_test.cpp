#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/bench.h"
#include "host/contact_sheet.h"
#include "host/host.h"
#include "platform/files.h"
#include "scenes/timeline.h"
#include "sequencer/sequencer.h"

namespace {

TEST(ContactSheet, TakesOneThumbnailPerIntervalAndAveragesBlocks) {
  ContactSheet sheet(10.0, 1.0);
  std::vector<uint32_t> frame(320 * 240, 0);
  frame[0] = 0x00FF0000;  // one red pixel of the top-left 2 x 2 block
  frame[1] = 0x00FF0000;
  for (int k = 0; k <= 35; ++k) sheet.offer(frame.data(), static_cast<float>(10.0 + k / 10.0));
  EXPECT_EQ(sheet.thumbnails(), 4);  // 10, 11, 12, 13
  int w = 0, h = 0;
  std::vector<uint32_t> grid = sheet.compose(&w, &h);
  EXPECT_EQ(w, 4 * (ContactSheet::kThumbWidth + 4) + 4);
  EXPECT_EQ(h, ContactSheet::kThumbHeight + ContactSheet::kLabelHeight + 8);
  EXPECT_EQ(grid[4 * w + 4], 0x007F0000u) << "mean of two red and two black pixels";
  EXPECT_EQ(grid[4 * w + 5], 0u);

  ContactSheet sparse(0.0, 1.0);
  sparse.offer(frame.data(), 0.0f);
  sparse.offer(frame.data(), 5.5f);  // thumbnails missed in between are not owed later
  sparse.offer(frame.data(), 5.9f);
  EXPECT_EQ(sparse.thumbnails(), 2);
}

TEST(ContactSheet, LabelsStayInsideThePicture) {
  std::vector<uint32_t> px(20 * 12, 0);
  draw_label(px.data(), 20, 12, 14, 5, "8888", 0xFFFFFF);  // runs off the right and bottom edges
  int lit = 0;
  for (uint32_t p : px) lit += p != 0;
  EXPECT_GT(lit, 0);
}

TEST(Bench, ReportEndsWithTheTotalLine) {
  bench_reset();
  std::vector<uint32_t> frame(320 * 240, 0);
  platform::set_data_dir(TH_BINARY_DIR "/data");
  prepare_assets();
  bench_sequencer_frame(frame.data(), 1.0f);
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  bench_report(f, 10, 2.0);
  std::rewind(f);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  // The figures first, in this order, then the table's header.
  size_t at = 0;
  for (const char* line : {"start-up: ", "\npeak memory: ", "\nworst frame: ", " at 1.000 s (",
                           "\nroutines: ", "\n  row  handler"}) {
    const size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " missing or out of order in\n" << text;
    at = found;
  }
  const std::string json = testing::TempDir() + "bench.json";
  ASSERT_TRUE(bench_write_json(json, 10, 2.0));
  std::FILE* j = std::fopen(json.c_str(), "r");
  ASSERT_NE(j, nullptr);
  std::string doc(8192, '\0');
  doc.resize(std::fread(doc.data(), 1, doc.size(), j));
  std::fclose(j);
  for (const char* key :
       {"\"startup_seconds\"", "\"peak_resident_mb\"", "\"worst_frame_ms\"", "\"routines\"",
        "\"fps\": 5.000", "\"row\": 0, \"handler\": \"CatwalkScene\""})
    EXPECT_NE(doc.find(key), std::string::npos) << key << " not in\n" << doc;
  EXPECT_NE(text.find("\n    0  "), std::string::npos) << "row 0 is active at 1 s";
  EXPECT_NE(text.find(timeline_handler_names[0]), std::string::npos);
  if (!timeline[0].handler) {
    EXPECT_EQ(text.find(" 0.0\n"), std::string::npos) << "an empty slot shows no rate, not 0 fps";
  }
  std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
  EXPECT_EQ(last, "total: 10 frames in 2.000 s, 5.0 fps\n");
}

}  // namespace
