// The loader against lib3ds: the same files must give the same mesh, vertex, face, camera
// and light counts. lib3ds keeps vertices as the file stores them, as our loader does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "corpus3ds.h"
#include "engine/kelp.h"

#ifdef TH_HAVE_LIB3DS
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/mesh.h>
#endif

namespace fs = std::filesystem;

namespace {

struct Counts {
  int meshes = 0, vertices = 0, faces = 0, cameras = 0, lights = 0;
  bool operator==(const Counts&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Counts& c) {
  return o << "meshes " << c.meshes << " vertices " << c.vertices << " faces " << c.faces
           << " cameras " << c.cameras << " lights " << c.lights;
}

// Writes the hand-built corpus where the fuzz harness picks up its seeds, and adds every
// .3ds the forge made in this build's data set.
std::vector<fs::path> corpus_files() {
  const fs::path dir = fs::path(TH_BINARY_DIR) / "tests" / "corpus3ds";
  fs::create_directories(dir);
  std::vector<fs::path> files;
  for (const auto& [name, bytes] : tds::corpus_3ds()) {
    // Written aside and renamed: the other test of this file may read it at the same time.
    const fs::path p = dir / (name + ".3ds");
    const fs::path tmp = dir / (name + ".3ds." + std::to_string(::getpid()));
    std::ofstream(tmp, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    fs::rename(tmp, p);
    files.push_back(p);
  }
  const fs::path data = fs::path(TH_BINARY_DIR) / "data";
  std::error_code ec;
  if (fs::is_directory(data, ec)) {
    for (const auto& e : fs::recursive_directory_iterator(data, ec)) {
      std::string ext = e.path().extension().string();
      for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
      if (e.is_regular_file() && ext == ".3ds") files.push_back(e.path());
    }
  }
  return files;
}

Counts ours(const fs::path& p) {
  auto w = std::make_unique<World>();
  load_3ds_set_log(nullptr);
  EXPECT_EQ(load_3ds(w.get(), p.c_str(), 1.0f), 1) << p;
  Counts c{w->mesh_count, w->vertex_count, w->face_count, w->camera_count, w->light_count};
  world_free(w.get());
  return c;
}

// The counts as tidalhall-inspect reports them, from its first line.
Counts inspected(const fs::path& p) {
  const std::string cmd = std::string(TH_BINARY_DIR) + "/tidalhall-inspect '" + p.string() + "'";
  FILE* pipe = popen(cmd.c_str(), "r");
  Counts c{-1, -1, -1, -1, -1};
  if (!pipe) return c;
  char line[512] = {};
  if (std::fgets(line, sizeof line, pipe)) {
    int materials = 0;
    std::sscanf(line, "world: meshes %d vertices %d faces %d materials %d lights %d cameras %d",
                &c.meshes, &c.vertices, &c.faces, &materials, &c.lights, &c.cameras);
  }
  pclose(pipe);
  return c;
}

}  // namespace

TEST(Corpus3ds, EveryFileLoadsAndIsWrittenForTheFuzzer) {
  const std::vector<fs::path> files = corpus_files();
  ASSERT_GE(files.size(), 7u);
  for (const fs::path& p : files) {
    const Counts c = ours(p);
    if (p.stem() != "empty") {
      EXPECT_GT(c.meshes + c.cameras + c.lights, 0) << p;
    }
  }
}

TEST(Lib3dsComparison, SameCountsOnTheCorpus) {
#ifndef TH_HAVE_LIB3DS
  const char* ci = std::getenv("CI");
  if (ci && std::string(ci) == "true")
    FAIL() << "lib3ds-dev is missing (scripts/deps.sh installs it)";
  GTEST_SKIP() << "lib3ds-dev not installed";
#else
  const std::vector<fs::path> files = corpus_files();
  ASSERT_GE(files.size(), 7u);
  for (const fs::path& p : files) {
    Lib3dsFile* f = lib3ds_file_load(p.c_str());
    ASSERT_NE(f, nullptr) << "lib3ds cannot read " << p;
    Counts theirs;
    for (Lib3dsMesh* m = f->meshes; m; m = m->next) {
      ++theirs.meshes;
      theirs.vertices += int(m->points);
      theirs.faces += int(m->faces);
    }
    for (Lib3dsCamera* c = f->cameras; c; c = c->next) ++theirs.cameras;
    for (Lib3dsLight* l = f->lights; l; l = l->next) ++theirs.lights;
    lib3ds_file_free(f);
    EXPECT_EQ(ours(p), theirs) << p;
    EXPECT_EQ(inspected(p), theirs) << "tidalhall-inspect on " << p;
  }
#endif
}
