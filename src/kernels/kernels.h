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

// The picture sprites draw into: a whole frame, row stride in pixels.
constexpr int sprite_target_width = kFrameWidth;
constexpr int sprite_target_height = kFrameHeight;
constexpr int sprite_target_pitch = kFrameWidth;
// The size of the image the next sprite draw reads (256 x 256 unless a caller changed it);
// it must match the image passed.
extern int sprite_source_width;
extern int sprite_source_height;

// Draws the source image scaled to width x height, centred on (x, y), adding it to the
// target with saturation per colour channel. Nearest texel, 16.16 stepping; nothing is
// written outside the target and nothing read outside the source, at any position or size.
void sprite_draw_additive(float x, float y, float width, float height, uint32_t* target,
                          const uint32_t* source);
// As sprite_draw_additive, each texel channel first scaled by its factor (0..1, clamped):
// (trunc(factor x 255) x channel) >> 8.
void sprite_draw_tinted(float x, float y, float width, float height, uint32_t* target,
                        const uint32_t* source, float red, float green, float blue);

void sprite_draw_additive_plain(float x, float y, float width, float height, uint32_t* target,
                                const uint32_t* source);
void sprite_draw_additive_simd(float x, float y, float width, float height, uint32_t* target,
                               const uint32_t* source);
void sprite_draw_tinted_plain(float x, float y, float width, float height, uint32_t* target,
                              const uint32_t* source, float red, float green, float blue);
void sprite_draw_tinted_simd(float x, float y, float width, float height, uint32_t* target,
                             const uint32_t* source, float red, float green, float blue);

// The show's own random numbers (the same on every platform): seed = seed x 214013 +
// 2531011, each number (seed >> 16) & 0x7FFF, 0..32767. The seed is 1 until set.
void random_seed(uint32_t seed);
int random_next();

// Fills a width x height image with a round glow, brightest (127 x factor) at the centre
// and black from 128 pixels out; symmetric in both axes.
void glow_make(uint32_t* image, int width, int height, float red, float green, float blue);

// Start-up: the swarm's four sprite images (the sprite picture and three glows), its 660
// colour indices and its eight shapes, drawing the random numbers from seed 1 in that
// order. Refuses (one line, status 1) a sprite picture that is not 256 x 256.
void sprites_init();

constexpr int kSwarmShapePoints = 220;
constexpr int kSwarmShapes = 8;
constexpr int kSwarmPoints = 3 * kSwarmShapePoints;
// Shape S0..S7 as sprites_init made it (220 points).
const struct Vec3* swarm_shape(int index);
// The swarm's sprite image 0..3 (256 x 256) and the image each of the 660 points uses.
const uint32_t* swarm_image(int index);
int swarm_colour_index(int point);
// The 660 untransformed points of the swarm at a time: three copies at time, time + 10 and
// time + 20, each blended from one shape towards the next of the 1023-unit cycle.
void swarm_blend_points(float time, struct Vec3* points);
// Draws the swarm into a 320 x 240 target: the points turned by the three angles, moved by
// the translation, projected, and drawn as additive sprites (the sprite source size is left
// at 256 x 256).
void swarm_draw(uint32_t* target, float angle_x, float angle_y, float angle_z, float x, float y,
                float z, float time);

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

// In place: each pixel becomes (own x own_weight) + (inward x inward_weight) per colour
// channel, saturated, where the inward pixel lies reach of the way towards the centre and
// has already been replaced; worked outward from the centre in four quarter passes. The
// inward pixel is clamped to the screen, so any centre and reach are safe. Byte 3 becomes 0.
void radial_blur(uint32_t* buffer, float centre_x, float centre_y, float reach, float own_weight,
                 float inward_weight);
void radial_blur_plain(uint32_t* buffer, float centre_x, float centre_y, float reach,
                       float own_weight, float inward_weight);
void radial_blur_simd(uint32_t* buffer, float centre_x, float centre_y, float reach,
                      float own_weight, float inward_weight);

// ---- The end of the kernel list ----
