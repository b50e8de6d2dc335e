#include "scenes/show.h"

namespace {

// The record is large (buffers, silhouettes, Worlds with their material tables): it lives
// on the heap, once per show.
std::unique_ptr<Show>& instance() {
  static std::unique_ptr<Show> s;
  return s;
}

void release(Show& s) {
  for (World* w : {&s.catwalk, &s.cube, &s.metaball, &s.city, &s.object, &s.dance, &s.box})
    world_free(w);
  view_free(&s.screen_view);
  view_free(&s.picture_view);
}

}  // namespace

Show& show() {
  if (!instance()) instance() = std::make_unique<Show>();
  return *instance();
}

void show_reset() {
  if (instance()) release(*instance());
  instance() = std::make_unique<Show>();
}
