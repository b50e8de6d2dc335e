// libFuzzer harness for the motion file: load, then pose a small World at a few times.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/motion.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/th-fuzz-" + std::to_string(getpid()) + ".qub";
  static World* world = [] {
    World* w = new World();
    world_init(w, 0, 0, 3, 0, 0, 0);
    w->mesh_count = 3;
    std::strcpy(w->meshes[0].name, "Neck");
    std::strcpy(w->meshes[1].name, "hip");
    std::strcpy(w->meshes[2].name, "A");
    return w;
  }();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  motion_load(path.c_str());
  motion_unbind();
  for (float t : {0.0f, 4.5f, 1234.25f, 3.0e9f}) motion_apply(world, t);
  return 0;
}
