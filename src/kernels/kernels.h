// The effect kernels several scenes share, by family. Each family lives in its own file of
// src/kernels. Where a kernel has a SIMD form, the public routine reads has_mmx (set by
// init_fades, cleared by --plain) on every call and runs one form; both forms are public
// under _plain and _simd so tests can compare them. Both give the same red, green and
// blue; the fourth byte carries no colour and may differ.
#pragma once
#include <cstdint>

#include "display/frame.h"

// ---- Frame-buffer utilities ----

// Per colour channel dst = (a * b) >> 8. Any count; dst may be a or b.
void row_multiply(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
// Per colour channel dst = min(255, a + b). Any count; dst may be a or b.
void row_add_saturate(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
// Every 32-bit word of the first `bytes` bytes of dst becomes value (bytes / 4 words).
void fill_words(void* dst, uint32_t value, int bytes);
// dst[i] = src[i] wherever src[i] differs from key (whole words); elsewhere dst is kept.
void copy_keyed(uint32_t* dst, const uint32_t* src, uint32_t key, int count);

void row_multiply_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
void row_multiply_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
void row_add_saturate_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
void row_add_saturate_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int count);
void fill_words_plain(void* dst, uint32_t value, int bytes);
void fill_words_simd(void* dst, uint32_t value, int bytes);
void copy_keyed_plain(uint32_t* dst, const uint32_t* src, uint32_t key, int count);
void copy_keyed_simd(uint32_t* dst, const uint32_t* src, uint32_t key, int count);

// A piecewise-linear beat: pulses of three points (start at base, rise to peak, fall back).
struct PulsePoint {
  float time;
  float value;
};
// pulse_count x 3 points; pulse i is (i step, base), (i step + rise, peak), (i step + fall,
// base). Null when the allocation fails or the count is not positive. Freed with delete[].
PulsePoint* pulse_track_build(int pulse_count, float step, float rise, float fall, float peak,
                              float base);
// The track's value at time - start: the first value before it, the last after it, linear
// between the points around it. A null track or a count below 1 reads 0.
float pulse_track_eval(const PulsePoint* track, int pulse_count, float time, float start);

// ---- Softening and tints ----

// ---- Sprites ----

// ---- Lens flares ----

// ---- Metaballs ----

struct Material;
struct Mesh;

// Soft balls whose summed field the builder turns into one surface.
struct MetaBall {
  float own[3];  // the scene's own animation state
  float x, y, z;
  float radius;
  float radius_sq;  // recomputed by each build
  float strength;
  Material* base;     // the face kept first for a triangle
  Material* overlay;  // the faces chained behind it
};
constexpr int kMetaBallLimit = 8;
extern MetaBall metaball_table[kMetaBallLimit];
extern int metaball_count;  // a build clamps it to kMetaBallLimit

// The fixed grid of the field: 21 x 12 x 21 points, 20 x 11 x 20 cells.
constexpr int kMetaGridX = 21, kMetaGridY = 12, kMetaGridZ = 21;
// Extra faces that chain a second ball's texture behind a base face; emptied by each build.
constexpr int kMetaOverlayFaces = 8192;

// Builds the case tables and the grid with cells of `cell_size`; the frame count restarts.
void metaballs_init(float cell_size);
// Replaces the mesh's surface (the end of its World's tables) by the balls' iso-surface at
// `threshold`. A surface that does not fit the World's tables or the overlay pool is cut
// short at the first triangle that finds no room. Nothing happens when metaball_count is 0.
void metaballs_build_blended(Mesh* mesh, float threshold);

// The case tables: for each of the 256 corner masks (bit c: corner c below the
// threshold), the edges crossed, and the triangles as edge triples ended by -1.
constexpr int kMetaCaseRow = 16;
extern uint16_t metaball_edge_table[256];
extern int8_t metaball_triangle_table[256][kMetaCaseRow];
// What the last build made: overlay faces in the pool, and whether it was cut short.
int metaballs_overlay_count();
bool metaballs_cut_short();
int metaballs_frame();

// ---- Offset-table warps ----

// ---- Rotozoom and zoom blits ----

// ---- Delayed-rotation wobble ----

// ---- Rotated sprites ----

// ---- Picture morph and smears ----

// A one-pole low-pass along all kFramePixels pixels of a frame-sized buffer read as one line
// (across row ends), once from the last pixel to the first and once back, each pass from
// black. strength 1 (long smear) to 127 (almost none); values outside are clamped. The fourth
// byte of every pixel becomes 0.
void smear_scan(uint32_t* buffer, int strength);

// ---- Radial blur ----

// ---- The end of the kernel list ----
