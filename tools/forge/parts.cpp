#include "forge.h"
#include "forge_3d.h"
#include "forge_media.h"

namespace forge {

// The parts of the data set, in the order they are made.
const std::vector<Part>& parts() {
  static const std::vector<Part> all = {
      {"worlds", "the six 3D scenes: catwalk, box, dance floor, city, cube, object", make_worlds},
      {"motions", "the dancer's six motions", make_motions},
      {"morph", "the portrait morph grid", make_morph},
      {"pictures", "full-screen pictures, portraits, titles, captions, credits", make_pictures},
      {"textures", "256 x 256 maps, light spots, flower sprite", make_textures},
      {"city", "the city's facades, road, cars and billboards", make_city},
      {"flares", "the nine raw lens-flare bitmaps", make_flares},
      {"music", "the soundtrack, synthesised and encoded to MP3", make_music},
  };
  return all;
}

}  // namespace forge
