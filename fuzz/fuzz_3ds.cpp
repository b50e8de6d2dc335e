// libFuzzer harness for the .3DS loader: load, link the hierarchy, animate a few frames.
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "engine/kelp.h"
#include "platform/exit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loader's refusals print a line each; keep the fuzzer's output readable.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
  load_3ds_set_log(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World();
  try {
    if (load_3ds_memory(world, data, size, "fuzz.3ds", 1.0f) && world_link_nodes(world)) {
      for (float t : {0.0f, 7.5f, -3.25f, 1.0e6f}) world_animate(world, t);
    }
  } catch (const platform::ProcessExit&) {
    // A refused file: the message was printed, the status would end the show.
  }
  world_free(world);
  return 0;
}
