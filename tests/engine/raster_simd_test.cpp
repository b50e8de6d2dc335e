// The spans' 4-pixel form against the 1-pixel form: the same triangles drawn both ways over
// the same colour and depth must leave every byte of both buffers equal, for every mode and
// texture size, with the hard corners a scene can produce (huge, off-screen, slivers,
// channels and intensities beyond 0..255, wrapped mapping).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/kelp.h"
#include "engine/raster.h"

namespace {

struct Lcg {
  uint32_t seed;
  uint32_t next() { return seed = seed * 1664525u + 1013904223u; }
  float operator()(float lo, float hi) { return lo + (hi - lo) * float(next() >> 8) / 16777216.0f; }
};

// A target inside wider, taller buffers: the margin must stay untouched by both forms.
struct Buffers {
  static constexpr int kPitch = 336, kRows = 250, kWidth = 320, kHeight = 240;
  std::vector<uint32_t> colour = std::vector<uint32_t>(size_t(kPitch) * kRows);
  std::vector<int32_t> depth = std::vector<int32_t>(size_t(kPitch) * kRows);
  explicit Buffers(uint32_t seed) {
    Lcg r{seed};
    // Byte 3 set too: the table modes must write 0 there in both forms.
    for (uint32_t& c : colour) c = r.next();
    // Depths around those the corners give (1e9 / z for z in 2..400), some far, some near.
    for (int32_t& d : depth) d = int32_t(r.next() % 500000000u) - 2000000;
  }
  RasterTarget target() {
    return RasterTarget{colour.data(), depth.data(), kPitch, kWidth, kHeight};
  }
};

struct Scene {
  int mode;
  RasterTexture texture;
  const uint8_t* alpha_row;
  std::vector<RasterVertex> corners;  // three per triangle
};

// Triangles of every kind a scene or a kernel can hand the rasterizer.
std::vector<RasterVertex> corners_for(uint32_t seed, int count) {
  Lcg r{seed};
  std::vector<RasterVertex> out;
  auto corner = [&](float x, float y) {
    return RasterVertex{x,
                        y,
                        r(1.5f, 400.0f),
                        r(-70000.0f, 70000.0f),
                        r(-70000.0f, 70000.0f),
                        r(-40.0f, 300.0f),
                        r(-60.0f, 320.0f),
                        r(0.0f, 255.0f),
                        r(-10.0f, 270.0f)};
  };
  for (int k = 0; k < count; ++k) {
    const int kind = k % 5;
    if (kind == 0) {  // ordinary, on screen
      for (int j = 0; j < 3; ++j) out.push_back(corner(r(-10.0f, 330.0f), r(-10.0f, 250.0f)));
    } else if (kind == 1) {  // huge, corners far off screen on every side
      for (int j = 0; j < 3; ++j) out.push_back(corner(r(-5000.0f, 5000.0f), r(-5000.0f, 5000.0f)));
    } else if (kind == 2) {  // a sliver along a random direction
      const float x = r(-20.0f, 340.0f), y = r(-20.0f, 260.0f);
      const float dx = r(-300.0f, 300.0f), dy = r(-300.0f, 300.0f);
      out.push_back(corner(x, y));
      out.push_back(corner(x + dx, y + dy));
      out.push_back(corner(x + dx * 0.5f + r(-0.7f, 0.7f), y + dy * 0.5f + r(-0.7f, 0.7f)));
    } else if (kind == 3) {  // small: rows of 0 to 7 pixels, one masked group or a group and a tail
      const float x = r(-5.0f, 325.0f), y = r(-5.0f, 245.0f);
      for (int j = 0; j < 3; ++j) out.push_back(corner(x + r(-4.0f, 4.0f), y + r(-4.0f, 4.0f)));
    } else {  // a flat top or bottom row and a long edge crossing the right border
      const float y = r(0.0f, 240.0f);
      out.push_back(corner(r(-50.0f, 100.0f), y));
      out.push_back(corner(r(200.0f, 700.0f), y));
      out.push_back(corner(r(0.0f, 320.0f), y + r(-200.0f, 200.0f)));
    }
  }
  return out;
}

// Draws the scene with the chosen form into a fresh copy of the buffers.
Buffers draw(const Scene& s, bool simd, uint32_t fill_seed) {
  Buffers b(fill_seed);
  const bool was = raster_use_simd;
  raster_use_simd = simd;
  const RasterTarget t = b.target();
  for (size_t k = 0; k + 2 < s.corners.size(); k += 3)
    raster_triangle(s.mode, s.corners[k], s.corners[k + 1], s.corners[k + 2], s.texture,
                    s.alpha_row, t);
  raster_use_simd = was;
  return b;
}

void expect_same_bytes(const Scene& s, uint32_t fill_seed, const char* what) {
  const Buffers plain = draw(s, false, fill_seed);
  const Buffers simd = draw(s, true, fill_seed);
  const Buffers untouched(fill_seed);
  bool drew = false;
  for (size_t k = 0; k < plain.colour.size(); ++k) {
    const int x = int(k % Buffers::kPitch), y = int(k / Buffers::kPitch);
    ASSERT_EQ(simd.colour[k], plain.colour[k])
        << what << " mode " << s.mode << " colour at " << x << "," << y;
    ASSERT_EQ(simd.depth[k], plain.depth[k])
        << what << " mode " << s.mode << " depth at " << x << "," << y;
    if (x >= Buffers::kWidth || y >= Buffers::kHeight) {
      ASSERT_EQ(plain.colour[k], untouched.colour[k]) << "margin written at " << x << "," << y;
      ASSERT_EQ(plain.depth[k], untouched.depth[k]) << "margin depth at " << x << "," << y;
    }
    drew = drew || plain.colour[k] != untouched.colour[k];
  }
  EXPECT_TRUE(drew) << what << " mode " << s.mode << " drew nothing: the case tests nothing";
}

std::vector<uint32_t> random_texels(uint32_t seed) {
  Lcg r{seed};
  std::vector<uint32_t> t(256 * 256);
  for (uint32_t& x : t) x = r.next();  // byte 3 too: the texel modes copy it
  return t;
}

class RasterSimd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { raster_build_tables(); }
};

// The last run of a perspective span steps by (end - start) / n: the multiply-and-shift
// that replaces the divide must give the truncated quotient for any 32-bit difference.
TEST(RasterDivide, ShortDivisionTruncatesLikeTheIntegerDivide) {
  Lcg r{99};
  for (int len = 1; len <= 16; ++len) {
    std::vector<int32_t> xs = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX, INT32_MAX - 1};
    for (int32_t k = -3; k <= 3; ++k) {
      xs.push_back(int32_t(INT32_MAX / len * len + k * (k < 0)));
      xs.push_back(int32_t(INT32_MIN / len * len - k * (k < 0)));
    }
    for (int32_t x = -70000; x <= 70000; ++x) xs.push_back(x);
    for (int k = 0; k < 200000; ++k) xs.push_back(int32_t(r.next()));
    for (int32_t x : xs) ASSERT_EQ(raster_divide_short(x, len), x / len) << x << " / " << len;
  }
}

TEST_F(RasterSimd, FormIsOnWhereTheProcessorHasIt) {
#ifdef __SSE2__
  EXPECT_TRUE(raster_use_simd);
#else
  EXPECT_FALSE(raster_use_simd);
#endif
}

TEST_F(RasterSimd, EveryModeAndTextureSizeWritesTheSameBytes) {
  const std::vector<uint32_t> texels = random_texels(7);
  // Square sizes, and oblong ones whose v shift and mask differ from u's.
  const int codes[] = {1, 2, 3, 4, 6, 9, 14};
  for (int mode = kRasterSolid; mode <= kRasterPlain; ++mode) {
    for (int code : codes) {
      const TextureSize& ts = kTextureSizes[code];
      Scene s{mode, RasterTexture{texels.data(), ts.u_shift, ts.u_mask, ts.v_shift, ts.v_mask},
              raster_mul_table + ((37 * code + 11 * mode) % 256) * 256,
              corners_for(uint32_t(mode * 100 + code), 60)};
      expect_same_bytes(s, uint32_t(code), "random triangles");
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(RasterSimd, AlphaRowsAtBothEndsAndOutsideTheTable) {
  const std::vector<uint32_t> texels = random_texels(9);
  const RasterTexture tex{texels.data(), 16, 255, 8, 0xff00};
  // Not a row of the multiply table: only the one-pixel form knows how to use it.
  uint8_t own_row[256];
  for (int k = 0; k < 256; ++k) own_row[k] = uint8_t(255 - k);
  const uint8_t* rows[] = {raster_mul_table, raster_mul_table + 255 * 256, own_row};
  for (int mode : {kRasterAddAlpha, kRasterAddAlphaPersp}) {
    for (const uint8_t* row : rows) {
      Scene s{mode, tex, row, corners_for(uint32_t(mode + 3), 40)};
      expect_same_bytes(s, 5, "alpha row");
      if (HasFatalFailure()) return;
    }
  }
}

// Corners nearer than 1e9 / 2^31 saturate depth, and colours beyond +-32768 wrap in 16.16:
// the forms that convert four values at once must fall back to the one-value conversions.
TEST_F(RasterSimd, DepthAndColourBeyondTheFixedPointRange) {
  const std::vector<uint32_t> texels = random_texels(17);
  const RasterTexture tex{texels.data(), 16, 255, 8, 0xff00};
  Lcg r{23};
  std::vector<RasterVertex> corners;
  for (int k = 0; k < 40 * 3; ++k) {
    corners.push_back(RasterVertex{r(-40.0f, 360.0f), r(-40.0f, 280.0f), r(0.05f, 0.6f),
                                   r(-70000.0f, 70000.0f), r(-70000.0f, 70000.0f),
                                   r(-50000.0f, 50000.0f), r(-50000.0f, 50000.0f),
                                   r(-50000.0f, 50000.0f), r(-50000.0f, 50000.0f)});
  }
  for (int mode = kRasterSolid; mode <= kRasterPlain; ++mode) {
    expect_same_bytes(Scene{mode, tex, raster_mul_table + 77 * 256, corners}, 8, "out of range");
    if (HasFatalFailure()) return;
  }
}

// Nearest-first drawing: a second layer behind the first fails the depth test in whole
// groups, a third in front passes everywhere, and equal depth passes (z >= stored).
TEST_F(RasterSimd, LayeredFacesAtEqualAndCrossingDepths) {
  const std::vector<uint32_t> texels = random_texels(11);
  const RasterTexture tex{texels.data(), 17, 127, 10, 0x3f80};
  auto quad = [](float z0, float z1, std::vector<RasterVertex>& out) {
    const RasterVertex a{-3.3f, -2.0f, z0, 0, 0, 200, 300, 128, 40};
    const RasterVertex b{330.7f, 1.5f, z1, 9000, 300, 90, 10, 250, 255};
    const RasterVertex c{325.1f, 251.0f, z1, 9100, 8800, 128, -20, 60, 128};
    const RasterVertex d{-1.0f, 243.2f, z0, -40, 8700, 255, 128, 128, 128};
    for (const RasterVertex& v : {a, b, c, a, c, d}) out.push_back(v);
  };
  for (int mode = kRasterShaded; mode <= kRasterPlain; ++mode) {
    Scene s{mode, tex, raster_mul_table + 128 * 256, {}};
    quad(10.0f, 10.0f, s.corners);
    quad(30.0f, 4.0f, s.corners);   // crosses the first
    quad(10.0f, 10.0f, s.corners);  // equal depth
    quad(2.0f, 2.0f, s.corners);    // in front
    expect_same_bytes(s, 3, "layers");
    if (HasFatalFailure()) return;
  }
}

// Rows without a margin: the last pixels of a row, and of the buffer, are drawn without
// touching anything past them (the buffers are exactly the target's size).
TEST_F(RasterSimd, TargetsWithoutMarginEndEveryRowExactly) {
  const std::vector<uint32_t> texels = random_texels(13);
  const RasterTexture tex{texels.data(), 18, 63, 12, 0xfc0};
  for (int mode = kRasterSolid; mode <= kRasterPlain; ++mode) {
    for (int width : {1, 2, 3, 5, 6, 7, 37}) {
      const int height = 23;
      std::vector<uint32_t> colour[2];
      std::vector<int32_t> depth[2];
      for (int form = 0; form < 2; ++form) {
        Lcg fill{uint32_t(width)};
        colour[form].resize(size_t(width) * height);
        depth[form].resize(size_t(width) * height);
        for (uint32_t& c : colour[form]) c = fill.next();
        for (int32_t& d : depth[form]) d = int32_t(fill.next() % 300000000u);
        raster_use_simd = form == 1;
        const RasterTarget t{colour[form].data(), depth[form].data(), width, width, height};
        // A triangle over the whole target, and one ending inside the last columns.
        const std::vector<RasterVertex> c = corners_for(uint32_t(mode), 3);
        for (size_t k = 0; k + 2 < c.size(); k += 3)
          raster_triangle(mode, c[k], c[k + 1], c[k + 2], tex, raster_mul_table + 77 * 256, t);
        const RasterVertex a{-9.0f, -3.0f, 3.0f, 0, 0, 90, 200, 100, 50};
        const RasterVertex b{float(width) - 0.5f, 0.5f, 9.0f, 3000, 0, 128, 50, 100, 200};
        const RasterVertex e{float(width) - 2.3f, 40.0f, 5.0f, 0, 3000, 255, 128, 128, 128};
        raster_triangle(mode, a, b, e, tex, raster_mul_table + 77 * 256, t);
      }
#ifdef __SSE2__
      raster_use_simd = true;
#endif
      ASSERT_EQ(colour[0], colour[1]) << "mode " << mode << " width " << width;
      ASSERT_EQ(depth[0], depth[1]) << "mode " << mode << " width " << width;
    }
  }
}

}  // namespace
