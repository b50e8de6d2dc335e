// The morph grid: matching control points on two 320 x 240 pictures, read from a morph
// file into one process-wide record that the picture morph walks.
#pragma once
#include <cstdint>

constexpr int kMorphColumns = 9;
constexpr int kMorphRows = 7;

struct MorphPoint {
  int32_t x, y;
};

// first[r][c] is a pixel of the first picture; second[r][c] the matching point of the
// second picture, stored as if that picture stood right of the first (x 320..639).
struct MorphGrid {
  MorphPoint first[kMorphRows][kMorphColumns];
  MorphPoint second[kMorphRows][kMorphColumns];
};

// Zero until a morph file is read; a file never shrinks it, it only overwrites points.
extern MorphGrid morph_grid;

enum class MorphLoad {
  kLoaded,
  kMissing,   // could not be opened: the grid is as it was
  kNotMorph,  // the magic differs: the grid is as it was
  kTooLarge,  // more columns or rows than the grid holds: the grid is as it was
  kShort,     // the file ends inside the points: the whole values read are kept
};

struct MorphFileInfo {
  MorphLoad result = MorphLoad::kMissing;
  int32_t columns = 0, rows = 0;  // as the file gives them (0 when not reached)
  int32_t values_read = 0;        // point coordinates stored, four a point
};

// Reads a morph file (a show name, opened through the data folder) into morph_grid. The show
// does not look at the result; it is there for tools and tests.
MorphFileInfo load_morph(const char* path);
