// Grid warps: a frame drawn cell by cell from a grid of source coordinates at the cells'
// corners, interpolated linearly inside each cell, and the two builders that fill the grid.
#pragma once
#include <cstdint>

constexpr int kWarpGridMaxColumns = 80;  // cells; the corners are one more each way
constexpr int kWarpGridMaxRows = 60;
constexpr int kWarpGridColumns = 40;  // what the scenes use: 8 x 8 pixel cells
constexpr int kWarpGridRows = 30;

// 16.16 source coordinates per corner, row by row, columns + 1 corners a row: u is the
// source column, v the source row.
struct WarpGrid {
  int32_t u[(kWarpGridMaxColumns + 1) * (kWarpGridMaxRows + 1)];
  int32_t v[(kWarpGridMaxColumns + 1) * (kWarpGridMaxRows + 1)];
};

// Fills the 320 x 240 target from a 256 x 256 texture, which tiles (coordinates wrap by
// AND 255). Cells must be powers of two wide and high and tile the frame exactly; other
// counts draw nothing and return false.
bool grid_warp_texture(uint32_t* target, const uint32_t* texture, const WarpGrid& grid, int columns,
                       int rows);
bool grid_warp_texture_plain(uint32_t* target, const uint32_t* texture, const WarpGrid& grid,
                             int columns, int rows);
bool grid_warp_texture_simd(uint32_t* target, const uint32_t* texture, const WarpGrid& grid,
                            int columns, int rows);
// The same from a 320 x 240 picture; every sample is clamped to the picture, so a grid that
// reaches past its edges repeats the edge pixels instead of reading outside.
bool grid_warp_picture(uint32_t* target, const uint32_t* picture, const WarpGrid& grid, int columns,
                       int rows);
bool grid_warp_picture_plain(uint32_t* target, const uint32_t* picture, const WarpGrid& grid,
                             int columns, int rows);
bool grid_warp_picture_simd(uint32_t* target, const uint32_t* picture, const WarpGrid& grid,
                            int columns, int rows);

// The 41 x 31 corners of two chained swirls over the texture (unclamped: it tiles).
void warp_grid_swirls(WarpGrid& grid, float phase, float strength, float time);
// The 41 x 31 corners of a lens bulge of amount 0..1 turned by angle (radians), kept one
// pixel inside the picture.
void warp_grid_sphere(WarpGrid& grid, float amount, float angle);
