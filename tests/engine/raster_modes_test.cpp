// The rasterizer family: fill rules, the ten modes' pixel and depth rules, texture wrap,
// perspective runs, and the triangle entry's selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "raster_fixture.h"

using namespace rtest;

namespace {

class Raster : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { raster_build_tables(); }
  const uint8_t* row(int alpha) { return raster_mul_table + alpha * 256; }

  // A 40 x 30 target inside rows of 48 pixels and 40 rows: the 8 extra columns and the
  // rows below are there to catch writes past the target.
  struct PaddedTarget {
    static constexpr int kPitch = 48, kRows = 40, kWidth = 40, kHeight = 30;
    std::vector<uint32_t> colour = std::vector<uint32_t>(size_t(kPitch) * kRows, 0xdeadbe);
    std::vector<int32_t> depth = std::vector<int32_t>(size_t(kPitch) * kRows, 0);
    RasterTarget raster() {
      return RasterTarget{colour.data(), depth.data(), kPitch, kWidth, kHeight};
    }
    uint32_t at(int x, int y) const { return colour[size_t(y) * kPitch + x]; }
    void expect_nothing_outside() const {
      for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kPitch; ++x)
          if (x >= kWidth || y >= kHeight) {
            ASSERT_EQ(at(x, y), 0xdeadbeu) << x << "," << y;
          }
    }
  };

  // A small linear congruential generator: the same corners on every run.
  struct Random {
    uint32_t seed;
    float operator()(float lo, float hi) {
      seed = seed * 1664525u + 1013904223u;
      return lo + (hi - lo) * float(seed >> 8) / 16777216.0f;
    }
  };
};

// Blue 2 through mul[255] adds exactly 1 per write: the blue channel counts the writes.
const std::vector<uint32_t> kCounter = flat_texture(256, 0x000002);

TEST_F(Raster, SharedEdgeIsDrawnExactlyOnce) {
  Target t(64, 64);
  const RasterTexture tex = texture_256(kCounter);
  // A quad split along a slanted diagonal, with corners off the pixel grid.
  const RasterVertex a = rv(3.3f, 2.7f), b = rv(60.2f, 5.1f), c = rv(55.9f, 61.4f),
                     d = rv(1.6f, 57.8f);
  raster_triangle(kRasterAddAlpha, a, b, c, tex, row(255), t.raster());
  raster_triangle(kRasterAddAlpha, a, c, d, tex, row(255), t.raster());
  int once = 0;
  for (uint32_t px : t.colour) {
    ASSERT_LE(px, 1u) << "a pixel was drawn twice";
    once += px == 1;
  }
  EXPECT_GT(once, 2500);
  // Every row inside the quad is one gap-free run.
  for (int y = 10; y < 50; ++y) {
    int x = 0;
    while (x < 64 && t.at(x, y) == 0) ++x;
    while (x < 64 && t.at(x, y) == 1) ++x;
    while (x < 64 && t.at(x, y) == 0) ++x;
    EXPECT_EQ(x, 64) << "gap in row " << y;
  }
}

TEST_F(Raster, DegenerateTrianglesDrawNothing) {
  Target t(32, 32);
  const RasterTexture tex = texture_256(kCounter);
  // Within one row: all three start rows are equal.
  raster_triangle(kRasterAddAlpha, rv(2, 5.2f), rv(30, 5.5f), rv(12, 5.9f), tex, row(255),
                  t.raster());
  // Zero area: three corners on one line across many rows.
  raster_triangle(kRasterAddAlpha, rv(1, 1), rv(10, 10), rv(20, 20), tex, row(255), t.raster());
  EXPECT_EQ(t.count(0), 32 * 32);
}

TEST_F(Raster, CornersAboveRowOneArePulledToRowZero) {
  Target t(32, 32);
  const RasterTexture tex = texture_256(kCounter);
  raster_triangle(kRasterAddAlpha, rv(0, 0.6f), rv(31, 0.6f), rv(16, 20), tex, row(255),
                  t.raster());
  EXPECT_EQ(t.at(16, 0), 1u);
}

TEST_F(Raster, SpansAreCutToTheTarget) {
  // Whatever the triangle, nothing past the target's columns and rows is written.
  PaddedTarget t;
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  for (int mode = kRasterSolid; mode <= kRasterPlain; ++mode) {
    raster_triangle(mode, rv(-500, 3), rv(900, 10), rv(20, 700), texture_256(white), row(255),
                    t.raster());
  }
  t.expect_nothing_outside();
  EXPECT_NE(t.at(0, 29), 0xdeadbeu);
  EXPECT_NE(t.at(39, 29), 0xdeadbeu);
}

TEST_F(Raster, CutSpansDrawTheSamePixelsAsUncutOnes) {
  // Cutting a span at the target's edge skips pixels (and whole perspective runs) without
  // drawing them: what lies inside must come out exactly as from a target wide enough for
  // the whole triangle, in colour and depth.
  std::vector<uint32_t> tex(256 * 256);
  for (size_t i = 0; i < tex.size(); ++i) tex[i] = uint32_t(i * 2654435761u) & 0xffffff;
  Random rnd{777};
  constexpr int kW = 200, kH = 150;
  Target whole(kW, kH), cut(kW, kH);
  for (int n = 0; n < 400; ++n) {
    const int mode = 1 + n % 10;
    RasterVertex p[3];
    for (RasterVertex& v : p) {
      v = RasterVertex{rnd(-80, 280),    rnd(-40, 190),    rnd(1, 60),
                       rnd(-2000, 2000), rnd(-2000, 2000), rnd(0, 255),
                       rnd(0, 255),      rnd(0, 255),      rnd(0, 255)};
    }
    for (Target* t : {&whole, &cut}) {
      std::fill(t->colour.begin(), t->colour.end(), 0x123456u);
      std::fill(t->depth.begin(), t->depth.end(), 0);
    }
    const int w = 20 + n % 150, h = 15 + n % 120;
    const RasterTarget cut_target{cut.colour.data(), cut.depth.data(), kW, w, h};
    raster_triangle(mode, p[0], p[1], p[2], texture_256(tex), row(200), whole.raster());
    raster_triangle(mode, p[0], p[1], p[2], texture_256(tex), row(200), cut_target);
    for (int y = 0; y < h; ++y) {
      const size_t at = size_t(y) * kW;
      ASSERT_TRUE(std::equal(&cut.colour[at], &cut.colour[at] + w, &whole.colour[at]))
          << "mode " << mode << " row " << y;
      ASSERT_TRUE(std::equal(&cut.depth[at], &cut.depth[at] + w, &whole.depth[at]))
          << "mode " << mode << " row " << y;
    }
  }
  // Cut on the left: a span from x = -100 maps u = x + 100.5 texels, so column c must show
  // texel c + 100 whether the skipped pixels were stepped in 16.16 or in perspective runs.
  std::vector<uint32_t> columns(256 * 256);
  for (size_t i = 0; i < columns.size(); ++i) columns[i] = uint32_t(i & 255);
  for (int mode : {kRasterPlain, kRasterPersp}) {
    Target t(120, 8);
    raster_triangle(mode, rv(-100, 0, 10, 0.5f), rv(156, 0, 10, 256.5f), rv(-100, 8, 10, 0.5f),
                    texture_256(columns), row(0), t.raster());
    for (int x = 0; x < 40; ++x) ASSERT_EQ(t.at(x, 2), uint32_t(x + 100)) << "mode " << mode;
  }
}

TEST_F(Raster, WildCornersNeverReachOutsideTheTarget) {
  // Outside callers hand over whatever they computed: far off-screen, behind the eye,
  // at z = 0, infinite or NaN. Nothing may be written beyond the 40 x 30 target.
  PaddedTarget t;
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  Random rnd{12345};
  const float specials[4] = {0.0f, INFINITY, -INFINITY, NAN};
  for (int n = 0; n < 3000; ++n) {
    RasterVertex p[3];
    for (RasterVertex& v : p) {
      v = rv(rnd(-3000, 3000), rnd(-3000, 3000), rnd(-2, 50), rnd(-1e6f, 1e6f), rnd(-1e6f, 1e6f),
             rnd(-50, 300));
      if (n % 7 == 0) v.x = rnd(-60, 60), v.y = rnd(-60, 60);
      if (n % 11 == 0) v.z = specials[n % 4];
      if (n % 13 == 0) v.x = specials[(n / 13) % 4];
    }
    raster_triangle(1 + n % 10, p[0], p[1], p[2], texture_256(white), row(n & 255), t.raster());
  }
  t.expect_nothing_outside();
}

TEST_F(Raster, PixelRulesOfTheModes) {
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  const std::vector<uint32_t> grey = flat_texture(256, 0x808080);
  auto one = [&](int mode, uint32_t dest, const std::vector<uint32_t>& tex, int alpha,
                 float intensity = 128.0f) {
    Target t(16, 16, dest);
    raster_triangle(mode, rv(0, 0, 10, 0, 0, intensity), rv(16, 0, 10, 0, 0, intensity),
                    rv(0, 16, 10, 0, 0, intensity), texture_256(tex), row(alpha), t.raster());
    return t.at(2, 2);
  };
  EXPECT_EQ(one(kRasterHalf, 0x000000, white, 0), 0x7f7f7fu);  // white over black
  EXPECT_EQ(one(kRasterHalf, 0xffffff, white, 0), 0xfefefeu);  // no carry between channels
  EXPECT_EQ(one(kRasterAddAlphaPersp, 0x000000, white, 255), 0xfefefeu);  // alpha 1.0 adds 254
  EXPECT_EQ(one(kRasterAddAlphaPersp, 0x102030, white, 255), 0xffffffu);  // saturates
  EXPECT_EQ(one(kRasterAddAlpha, 0x010203, grey, 128), 0x414243u);
  EXPECT_EQ(one(kRasterShaded, 0x123456, white, 0), 0x7f7f7fu);  // intensity 128 halves
  EXPECT_EQ(one(kRasterShaded, 0x123456, white, 0, 64.0f), 0x3f3f3fu);
  EXPECT_EQ(one(kRasterAddWrite, 0x101010, white, 0), 0x8f8f8fu);
  EXPECT_EQ(one(kRasterPlain, 0x123456, grey, 0), 0x808080u);
  EXPECT_EQ(one(kRasterPersp, 0x123456, grey, 0), 0x808080u);
  EXPECT_EQ(one(kRasterSolid, 0x123456, white, 0), 0x000000u);
}

TEST_F(Raster, LitModeScalesEachChannelByItsColour) {
  Target t(16, 16);
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  RasterVertex a = rv(0, 0), b = rv(16, 0), c = rv(0, 16);
  for (RasterVertex* p : {&a, &b, &c}) {
    p->r = 255.0f;
    p->g = 128.0f;
    p->b = 0.0f;
  }
  raster_triangle(kRasterLit, a, b, c, texture_256(white), row(0), t.raster());
  EXPECT_EQ(t.at(2, 2), 0xfe7f00u);
  // Colours outside 0..255 (an outside caller's, or fog's overshoot) use the end rows.
  for (RasterVertex* p : {&a, &b, &c}) {
    p->r = 300.0f;
    p->g = -40.0f;
    p->b = 64.0f;
  }
  Target over(16, 16);
  raster_triangle(kRasterLit, a, b, c, texture_256(white), row(0), over.raster());
  EXPECT_EQ(over.at(2, 2), 0xfe003fu);
}

TEST_F(Raster, DepthRules) {
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  auto draw = [&](int mode, Target& t, float z) {
    raster_triangle(mode, rv(0, 0, z), rv(16, 0, z), rv(0, 16, z), texture_256(white), row(255),
                    t.raster());
  };
  // Test and write: trunc(1e9 / z), larger is nearer.
  Target w(16, 16);
  draw(kRasterPlain, w, 10.0f);
  EXPECT_EQ(w.depth_at(2, 2), 100000000);
  EXPECT_EQ(w.at(2, 2), 0xffffffu);
  // A farther surface fails, an equal one passes.
  Target f(16, 16, 0x111111, 100000000);
  draw(kRasterPlain, f, 20.0f);
  EXPECT_EQ(f.at(2, 2), 0x111111u);
  draw(kRasterPersp, f, 10.0f);
  EXPECT_EQ(f.at(2, 2), 0xffffffu);
  // Test only: the additive overlay leaves the stored depth as it was.
  Target t(16, 16, 0, 50000000);
  draw(kRasterAddTest, t, 10.0f);
  EXPECT_EQ(t.depth_at(2, 2), 50000000);
  EXPECT_EQ(t.at(2, 2), 0x7f7f7fu);
  draw(kRasterPlain, t, 15.0f);  // behind the overlay, in front of the stored surface
  EXPECT_EQ(t.at(2, 2), 0xffffffu);
  // No depth: solid and the affine alpha mode draw over anything and store nothing.
  Target n(16, 16, 0x222222, 2000000000);
  draw(kRasterAddAlpha, n, 10.0f);
  EXPECT_EQ(n.at(2, 2), 0xffffffu);
  draw(kRasterSolid, n, 10.0f);
  EXPECT_EQ(n.at(2, 2), 0u);
  EXPECT_EQ(n.depth_at(2, 2), 2000000000);
}

TEST_F(Raster, TextureCoordinatesWrapByMasking) {
  // 64 x 64 (size code 3) with distinct texels.
  std::vector<uint32_t> tex(64 * 64);
  for (int i = 0; i < 64 * 64; ++i) tex[i] = uint32_t(i * 2654435761u) & 0xffffff;
  const RasterTexture t64{tex.data(), 18, 63, 12, 0xfc0};
  auto sample = [&](float u, float v) {
    Target t(8, 8);
    raster_triangle(kRasterPlain, rv(0, 0, 10, u, v), rv(8, 0, 10, u, v), rv(0, 8, 10, u, v), t64,
                    row(0), t.raster());
    return t.at(1, 1);
  };
  EXPECT_EQ(sample(0, 0), tex[0]);
  EXPECT_EQ(sample(256, 0), tex[0]);  // one repeat
  EXPECT_EQ(sample(64 * 256, 0), tex[0]);
  EXPECT_EQ(sample(-256, 512), tex[0]);
  EXPECT_EQ(sample(12, 0), tex[3]);  // a quarter-texel step of 4 units is one texel of 64
  EXPECT_EQ(sample(0, 8), tex[2 * 64]);
}

// Texel (x, y) of a 256 x 256 texture holds x in blue and y in green.
std::vector<uint32_t> coordinate_texture() {
  std::vector<uint32_t> t(256 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) t[size_t(y) * 256 + x] = uint32_t(y) << 8 | uint32_t(x);
  return t;
}

TEST_F(Raster, PerspectiveDividesOncePerRunOfSixteen) {
  const std::vector<uint32_t> tex = coordinate_texture();
  Target t(320, 8);
  // One row across 300 pixels from z = 1 to z = 40: u runs 0..255 hyperbolically.
  const float zl = 1.0f, zr = 40.0f;
  // u and z depend on x only, and row 4 is one span starting at x = 0.
  raster_triangle(kRasterPersp, rv(0, 0, zl, 0, 0), rv(300, 0, zr, 255, 0), rv(0, 200, zl, 0, 0),
                  texture_256(tex), row(0), t.raster());
  const int y = 4;
  int mid_run_off_exact = 0;
  for (int start = 0; start + 16 <= 288; start += 16) {
    const int u0 = int(t.at(start, y) & 255), u16 = int(t.at(start + 16, y) & 255);
    for (int j = 1; j < 16; ++j) {
      const int u = int(t.at(start + j, y) & 255);
      // Linear between the run's two exactly divided ends (one texel of rounding).
      const float lin = u0 + (u16 - u0) * (j / 16.0f);
      EXPECT_NEAR(u, lin, 1.01f) << "pixel " << start + j;
      // The exact per-pixel mapping differs noticeably mid-run near the steep end.
      const float x = float(start + j);
      const float s = x / 300.0f;
      const float exact = 255.0f * (s / zr) / ((1 - s) / zl + s / zr);
      if (std::fabs(exact - lin) > 2.0f) ++mid_run_off_exact;
    }
  }
  EXPECT_GT(mid_run_off_exact, 10) << "the test row is not steep enough to tell";
}

TEST_F(Raster, SteepPerspectiveQuadStaysWithinOneTexel) {
  const std::vector<uint32_t> tex = coordinate_texture();
  Target t(256, 256);
  // A floor strip y = -1, x in [-0.4, 0.4], z from 1.5 to 30, seen from the origin with a
  // focal length of 300 pixels: a grazing view.
  const float f = 300.0f, cx = 128.0f, cy = 10.0f, zn = 1.5f, zf = 30.0f, xh = 0.4f;
  auto corner = [&](float X, float Z, float u, float v) {
    return rv(cx + X * f / Z, cy + f / Z, Z, u, v);
  };
  const RasterVertex p0 = corner(-xh, zn, 0, 255), p1 = corner(xh, zn, 255, 255);
  const RasterVertex p2 = corner(xh, zf, 255, 0), p3 = corner(-xh, zf, 0, 0);
  raster_triangle(kRasterPersp, p0, p1, p2, texture_256(tex), row(0), t.raster());
  raster_triangle(kRasterPersp, p0, p2, p3, texture_256(tex), row(0), t.raster());
  int checked = 0;
  for (int y = 22; y < 205; y += 3) {
    const float Z = f / (float(y) - cy);
    for (int x = 0; x < 256; x += 3) {
      const float X = (float(x) - cx) * Z / f;
      if (std::fabs(X) > xh * 0.97f) continue;
      const float u_exact = (X + xh) / (2 * xh) * 255.0f;
      const float v_exact = 255.0f * (zf - Z) / (zf - zn);
      const uint32_t px = t.at(x, y);
      EXPECT_NEAR(float(px & 255), u_exact, 1.0f) << x << "," << y;
      EXPECT_NEAR(float((px >> 8) & 255), v_exact, 1.0f) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(Raster, SelectionTable) {
  EXPECT_EQ(raster_mode_for_flags(-1), kRasterSolid);
  EXPECT_EQ(raster_mode_for_flags(0x04 | 0x20), kRasterShaded);
  EXPECT_EQ(raster_mode_for_flags(0x20), kRasterAddTest);
  EXPECT_EQ(raster_mode_for_flags(0x160), kRasterAddAlphaPersp);
  EXPECT_EQ(raster_mode_for_flags(0x60), kRasterAddAlpha);
  EXPECT_EQ(raster_mode_for_flags(0x120), kRasterAddWrite);
  EXPECT_EQ(raster_mode_for_flags(0x302), kRasterLit);
  EXPECT_EQ(raster_mode_for_flags(0x102), kRasterLit);
  EXPECT_EQ(raster_mode_for_flags(0x110), kRasterHalf);
  EXPECT_EQ(raster_mode_for_flags(0x10), kRasterPlain);  // 0x10 needs 0x100
  EXPECT_EQ(raster_mode_for_flags(0x100), kRasterPersp);
  EXPECT_EQ(raster_mode_for_flags(0x200), kRasterPlain);
  EXPECT_EQ(raster_mode_for_flags(0), kRasterPlain);
}

// The entry: re-selection by flag word, and by alpha for the alpha modes.
TEST(DrawTriangle, EachAlphaMaterialDrawsWithItsOwnAlpha) {
  View view{};
  ASSERT_EQ(view_init(&view, 4, 32, 32), 1);
  Target t(32, 32);
  view_set_target(&view, 32 * 4, t.colour.data(), t.depth.data());
  const std::vector<uint32_t> white = flat_texture(256, 0xffffff);
  Material full{}, quarter{};
  material_set_texture(&full, white.data(), 0x60, 0, 1);
  material_set_texture(&quarter, white.data(), 0x60, 0, 1);
  full.alpha = 1.0f;
  quarter.alpha = 0.25f;
  Vertex v[6]{};
  const float pos[6][2] = {{0, 0}, {16, 0}, {0, 32}, {16, 0}, {32, 0}, {32, 32}};
  for (int i = 0; i < 6; ++i) {
    v[i].screen_x = pos[i][0];
    v[i].screen_y = pos[i][1];
    v[i].depth = 10.0f;
  }
  raster_set_view(&view);
  raster_set_material(&full);
  raster_set_vertices(&v[0], &v[1], &v[2]);
  draw_triangle();
  raster_set_material(&quarter);
  raster_set_vertices(&v[3], &v[4], &v[5]);
  draw_triangle();
  EXPECT_EQ(t.at(2, 4), 0xfefefeu);
  EXPECT_EQ(t.at(30, 24), 0x3e3e3eu);  // alpha trunc(0.25 * 255) = 63; mul[63][255] = 62
  view_free(&view);
}

}  // namespace
