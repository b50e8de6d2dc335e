// tidalhall-inspect: one file per kind of data the show reads.
#pragma once
#include <string>

// Pictures (any extension the picture readers take) and .qub motion files: prints what the
// readers see, one fact a line; `argc`/`argv` are the whole command line (for --png).
// Returns the exit status.
int inspect_asset(const std::string& path, int argc, char** argv);

// .amf morph files: the grid's size and every point read; --png draws both grids over the
// two portraits found beside the file's folder (gfx/ next to data/).
int inspect_morph(const std::string& path, int argc, char** argv);

struct World;

// .3ds files: prints the World the loader builds, one fact a line; --png renders it.
int inspect_3ds(const std::string& path, int argc, char** argv);

// Renders `world` at keyframe `frame` from camera `camera` (a framing view when the World
// has no camera) into a 320 x 240 PNG at `out`. Returns the exit status.
int inspect_render_png(World& world, const std::string& out, int frame, int camera);
