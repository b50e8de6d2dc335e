// The effect kernels several scenes share, by family. Each family lives in its own file of
// src/kernels. Where a kernel has a SIMD form, the public routine reads has_mmx (set by
// init_fades, cleared by --plain) on every call and runs one form; both forms are public
// under _plain and _simd so tests can compare them. Both give the same red, green and
// blue; the fourth byte carries no colour and may differ.
#pragma once
#include <cstdint>

#include "display/frame.h"

struct Vertex;

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

// Four-neighbour softening of a full frame: rows 0 and 239 are copied, pixel 320 is kept,
// every other pixel from the last of row 238 down to 321 becomes the sum of a quarter of
// its upper, left, right and lower neighbours (bytewise, (n >> 2) & 0x3F3F3F3F). dst may
// be src: in place the pixels run in descending order, so the right and lower neighbours
// are already softened and the softening runs up and to the left.
void blur_cross4(uint32_t* dst, const uint32_t* src);
void blur_cross4_plain(uint32_t* dst, const uint32_t* src);
void blur_cross4_simd(uint32_t* dst, const uint32_t* src);
// Per pixel each colour channel of src times its scale (0..255) >> 8 into dst; byte 3 of
// dst is kept.
void tint_copy(uint32_t* dst, const uint32_t* src, int red, int green, int blue, int count);

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

struct Light;
struct View;
struct Mesh;

// One light drawn as a lens flare: whether it counted as visible at the last call, when
// that was, and its fading intensity (the glow's size at unit depth, up to the maximum).
struct FlareState {
  Light* light;
  int32_t visible;
  float last_time;
  float intensity;
  float max_intensity;
};

constexpr int kFlareElements = 9;
constexpr int kFlareLightSide = 128;  // the glow image is 128 x 128

// Start-up: the glow image and the nine flare bitmaps. A file that is missing or not the
// table's size stops the show with one line (status 1).
void flares_load();
// The loaded glow image (128 x 128), and flare element k's pixels and table sizes.
const uint32_t* flare_light_image();
const uint32_t* flare_element_pixels(int k, int* width, int* height);

// Tests the light against the View's depth buffer, fades its intensity in or out at 13
// maximum intensities per time unit, and draws its tinted glow (and, with with_flares,
// the chain of nine flares through the screen centre) into a 320 x 240 target. A light
// less than 0.001 in front of the camera draws nothing and leaves the state alone.
void flare_draw_faded(uint32_t* target, FlareState* state, const View* view, float time,
                      int with_flares);

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

// Builds the direction fields (start-up, once) and sets the shared texel origin to 0.
void warp_tables_init();
// Fills the 320 x 240 target from a 256 x 256 texture seen through three moving copies of
// one field; moves the shared texel origin. The scenes pass 40 t and -40 t.
void warp_three_centres(uint32_t* target, const uint32_t* texture, float t);
// The same with other centre paths and field pairs for modes 0..2, keeping the texel origin
// the last warp_three_centres left; any other mode leaves the target as it is.
void warp_three_centres_mode(uint32_t* target, const uint32_t* texture, float t, int mode);
void warp_three_centres_plain(uint32_t* target, const uint32_t* texture, float t);
void warp_three_centres_simd(uint32_t* target, const uint32_t* texture, float t);
void warp_three_centres_mode_plain(uint32_t* target, const uint32_t* texture, float t, int mode);
void warp_three_centres_mode_simd(uint32_t* target, const uint32_t* texture, float t, int mode);

// One row of 320 pixels: per pixel c the byte sums h = high[c] + high[c + d1] - high[c + d12]
// and l (the same over low), each wrapping at 256, pick texel (h * 256 + l + offset) & 0xFFFF.
void warp_row_plain(uint32_t* dst, const uint8_t* high, const uint8_t* low, int d1, int d12,
                    const uint32_t* texture, uint32_t offset);
void warp_row_simd(uint32_t* dst, const uint8_t* high, const uint8_t* low, int d1, int d12,
                   const uint32_t* texture, uint32_t offset);

// The fields kept after start-up (640 x 480 bytes each, 640 a row), named by component and
// depth, and the texel origin the last warp_three_centres set.
enum class WarpField { kY15, kX175, kY0, kX0, kY30, kX30 };
const uint8_t* warp_field(WarpField field);
int32_t warp_texture_offset();

// ---- Rotozoom and zoom blits ----

// Fills the 320 x 240 target with a 256 x 256 texture turned by angle (degrees) and scaled
// so the target's corners lie on a circle of the radius (in texels) about texel (127.5,
// 127.5); the texture tiles. Radius below 1024.
void rotozoom_draw(uint32_t* target, const uint32_t* texture, float angle, float radius);
// Adds the window of the 320 x 240 source that is width wide (3 at least) and 0.75 width
// high, centred on the picture, enlarged to the whole target, each byte saturating.
void zoom_add_draw(uint32_t* target, const uint32_t* source, float width);
void rotozoom_draw_plain(uint32_t* target, const uint32_t* texture, float angle, float radius);
void rotozoom_draw_simd(uint32_t* target, const uint32_t* texture, float angle, float radius);
void zoom_add_draw_plain(uint32_t* target, const uint32_t* source, float width);
void zoom_add_draw_simd(uint32_t* target, const uint32_t* source, float width);

// ---- Delayed-rotation wobble ----

// Start-up: keeps the mesh's rest positions and normals, each vertex's ring (its distance
// x 0.65) and a zeroed history with one entry per ring and three more.
void wobble_prepare(const Mesh* mesh);
// Advances the rotation history by the rates (a, b, c) once for every whole 1/15 of a time
// unit passed since `origin`, catching up several steps in one call, so the history at a
// given time is the same whatever the calls' spacing. The first call fills the history as
// if the object had been turning for its whole length.
void wobble_step(float a, float b, float c, float time, float origin);
// Each vertex takes the rotation of the history entry of its ring: the farther out, the
// older. Positions and normals of the prepared mesh's vertices are rewritten.
void wobble_apply(Mesh* mesh);
// The history's length and the steps taken since the first call.
int wobble_history_length();
long wobble_steps_taken();

// ---- Rotated sprites ----

// Adds a square sprite turned by angle (radians) onto a 320 x 240 target, centred on
// (x, y), its corners on the ellipse of radii width / 2 and height / 2 (angle 0 stands it on
// a corner), through the engine's additive alpha rasterizer. The source is source_width x
// source_height texels; a size that is not a texture size draws nothing and returns false.
bool sprite_draw_rotozoom(uint32_t* target, float x, float y, float width, float height,
                          float angle, const uint32_t* source, int source_width, int source_height);
// The sprite's four corners as the rasterizer gets them: screen position and mapping
// (0, 0), (255, 0), (255, 255), (0, 255), with depth 1 and intensity 128.
void sprite_rotozoom_corners(Vertex corner[4], float x, float y, float width, float height,
                             float angle);

// ---- Picture morph and smears ----

// A one-pole low-pass along all kFramePixels pixels of a frame-sized buffer read as one line
// (across row ends), once from the last pixel to the first and once back, each pass from
// black. strength 1 (long smear) to 127 (almost none); values outside are clamped. The fourth
// byte of every pixel becomes 0.
void smear_scan(uint32_t* buffer, int strength);

// A corner of a morph triangle: screen position and texture position, in pixels.
struct MorphVertex {
  float x, y, u, v;
};

// The source row table of fill_textured_triangle (entry y = y * 320); built once at start-up.
void build_row_offsets();

// Affine textured fill of one triangle from a 320 x 240 source into a 320 x 240 target.
// Corners are pushed onto the screen's border (x below 1 to 0, above 318 to 320; y below 1
// to 0, from 239 on to 240) and texture positions onto the source, so nothing outside either
// buffer is touched; the corners given are changed accordingly. Rows top.y <= y < bottom.y and
// pixels left <= x < right are drawn, so triangles sharing an edge draw its pixels once.
void fill_textured_triangle(MorphVertex* a, MorphVertex* b, MorphVertex* c, uint32_t* dst,
                            const uint32_t* src);

// Draws morph state s (clamped to 0..1; 0 the first picture, 1 the second) of morph_grid into
// dst: the first picture warped s of the way to the second grid into dst, the second warped
// 1 - s of the way back into scratch, then both cross-faded. Both buffers are cleared first,
// so cells the grid does not cover stay black. All buffers 320 x 240.
void morph(uint32_t* dst, uint32_t* scratch, const uint32_t* first, const uint32_t* second,
           float s);

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
