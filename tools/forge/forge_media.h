// The media half of the data set: pictures, textures, lens-flare bitmaps, soundtrack.
#pragma once
#include <cstdint>
#include <string>

#include "forge.h"
#include "img_canvas.h"

namespace forge {

void make_pictures(Forge& f);  // gfx: full-screen pictures, portraits, titles, captions, credits
void make_textures(Forge& f);  // textures and 3d3: the 256 x 256 maps, spots, flower
void make_city(Forge& f);      // 3d2\maps: facades, road, cars, billboards
void make_flares(Forge& f);    // flares: the nine raw lens-flare bitmaps
void make_music(Forge& f);     // music\var56.mp3

// Writers that take a finished canvas (one call per file the show names).
void save_jpeg(Forge& f, const std::string& name, const Canvas& c, int quality = 92);
// One component: the readers' grey path (the canvas's red channel is kept).
void save_jpeg_grey(Forge& f, const std::string& name, const Canvas& c, int quality = 92);
void save_pcx24(Forge& f, const std::string& name, const Canvas& c);
void save_pcx_keyed(Forge& f, const std::string& name, const Canvas& c);
void save_tga(Forge& f, const std::string& name, const Canvas& c, bool rle);

// A 32-bit seed for one named thing, from the forge's seed.
uint32_t seed_of(const Forge& f, const std::string& name);

}  // namespace forge
