// The triangle rasterizer family: one set-up, one edge walker and ten span kinds, chosen by a
// material's flag word. This header is the low level that works on plain screen-space
// corners; draw_triangle (in kelp.h) feeds it from the engine's current material, vertices
// and View.
#pragma once
#include <cstdint>

// Mapping, intensity and colour are stepped in 16.16 fixed point.
constexpr int kRasterFixedShift = 16;
constexpr float kRasterFixedOne = 65536.0f;
static_assert(kRasterFixedOne == float(1 << kRasterFixedShift));
// Depth is stored as trunc(kRasterDepthScale / z), saturated to 32 bits: larger is nearer.
constexpr float kRasterDepthScale = 1.0e9f;

// Byte tables shared by the rasterizers: mul[i * 256 + j] = i * j / 256 (truncated),
// add[i * 256 + j] = min(i + j, 255). Built by raster_build_tables.
extern uint8_t raster_mul_table[65536];
extern uint8_t raster_add_table[65536];

// The ten members, numbered as the selection rules are tried.
enum RasterMode : int {
  kRasterSolid = 1,      // colour 0, no mapping, no depth
  kRasterShaded,         // affine, texel * intensity, no depth
  kRasterAddTest,        // affine, dest + texel * intensity, depth test only
  kRasterAddAlphaPersp,  // perspective, dest + texel * alpha, depth test and write
  kRasterAddAlpha,       // affine, dest + texel * alpha, no depth
  kRasterAddWrite,       // affine, dest + texel * intensity, depth test and write
  kRasterLit,            // perspective, texel * colour per channel, depth test and write
  kRasterHalf,           // perspective, half dest + half texel, depth test and write
  kRasterPersp,          // perspective, texel, depth test and write
  kRasterPlain,          // affine, texel, depth test and write
};

// The mode for a material's flag word (the kMat* bits of kelp.h).
int raster_mode_for_flags(int flags);
bool raster_mode_uses_alpha(int mode);

// One corner in screen space: x, y in pixels, z = camera depth, u, v in 256ths of a
// repeat, i = intensity and r, g, b = colour, all 0..255.
struct RasterVertex {
  float x, y, z, u, v, i, r, g, b;
};

struct RasterTexture {
  const uint32_t* texels;
  int u_shift, u_mask, v_shift, v_mask;
};

// pitch in pixels, for both buffers. Spans are cut to [0, width) x [0, height).
struct RasterTarget {
  uint32_t* colour;
  int32_t* depth;
  int pitch;
  int width, height;
};

// The spans draw four pixels a step with SSE2 where the processor has it; the bytes written
// are the same either way. Tests switch it off to compare the two forms.
extern bool raster_use_simd;

// The depth pass. While it is on, a triangle of a depth-pass writer only raises the depth
// buffer to its own depth (the larger value, as the depth test and write leave it) and
// other members draw nothing. Drawing a run of faces after their depth pass gives the
// same pixels as drawing them alone, when each is opaque or blind: every pixel the pass
// lets a face skip is one a later opaque writer covers. The pass may leave writers out:
// the depth it leaves is then lower, and fewer pixels are skipped.
extern bool raster_depth_pass;
// On while the faces that had a depth pass are drawn: the depth buffer already holds what
// their writers would store.
extern bool raster_depth_settled;

enum RasterDepthRole : int {
  kRasterDepthBarrier,  // ends a run: it blends onto pixels the pass would have skipped
  kRasterDepthWriter,   // opaque, tests and writes depth; drawn in the pass
  kRasterDepthOpaque,   // the same, left out of the pass (its slivers cost more than they hide)
  kRasterDepthBlind,    // writes no depth, so it cannot hide pixels from a later face
};
// The role of a member; all are barriers when the 4-pixel forms are off (the pass uses them).
int raster_depth_role(int mode);

// x / len truncated toward zero, as the integer division, for 1 <= len <= 16: the step of
// a perspective span's last, shorter run, without a hardware divide.
int32_t raster_divide_short(int32_t x, int len);

// Builds both tables (idempotent).
void raster_build_tables();

// Draws one triangle in `mode`. alpha_row is the 256-byte row mul[alpha] for the alpha modes.
// The corners are taken by value: the set-up moves corners above row 1 onto row 0.
void raster_triangle(int mode, RasterVertex a, RasterVertex b, RasterVertex c,
                     const RasterTexture& texture, const uint8_t* alpha_row,
                     const RasterTarget& target);
