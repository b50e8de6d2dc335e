#include "assets/morph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

using Frame = std::vector<uint32_t>;

Frame frame_of(uint32_t colour) {
  return Frame(kFramePixels, colour);
}

int red(uint32_t p) {
  return (p >> 16) & 0xFF;
}

// ---- smear_scan ----

TEST(SmearScan, StrengthOutsideOneTo127IsClamped) {
  Frame base = frame_of(0);
  for (int i = 0; i < kFramePixels; i += 97) base[i] = 0x00FF8040 + static_cast<uint32_t>(i);
  auto smeared = [&](int k) {
    Frame f = base;
    smear_scan(f.data(), k);
    return f;
  };
  EXPECT_EQ(smeared(0), smeared(1));
  EXPECT_EQ(smeared(-40), smeared(1));
  EXPECT_EQ(smeared(128), smeared(127));
  EXPECT_EQ(smeared(100000), smeared(127));
  EXPECT_NE(smeared(1), smeared(127));
}

// One bright pixel at the end of a row spreads both ways along the scan, into the next
// row's first pixels too, and further for a small strength than for a large one.
TEST(SmearScan, SpreadsBothWaysAcrossRowEnds) {
  const int at = 5 * kFrameWidth + kFrameWidth - 1;
  auto reach = [&](int k) {
    Frame f = frame_of(0);
    f[at] = 0x00FFFFFF;
    smear_scan(f.data(), k);
    EXPECT_GT(red(f[at + 1]), 0) << k;  // the next row's first pixel
    EXPECT_GT(red(f[at - 1]), 0) << k;
    int right = 0, left = 0;
    while (at + right + 1 < kFramePixels && red(f[at + right + 1]) > 0) ++right;
    while (at - left - 1 >= 0 && red(f[at - left - 1]) > 0) ++left;
    return std::pair{left, right};
  };
  const auto [long_left, long_right] = reach(4);
  const auto [short_left, short_right] = reach(100);
  EXPECT_GT(long_left, short_left);
  EXPECT_GT(long_right, short_right);
}

// The accumulators must never step below zero or above the pixel: a stray step would show
// as a channel read back as 255 in the black that follows a bright run.
TEST(SmearScan, BlackStaysBlackAfterBrightRunsAndByte3IsCleared) {
  for (int k = 1; k <= 127; ++k) {
    Frame f = frame_of(0xFF000000);
    for (int i = 40000; i < 40000 + 300; ++i) f[i] = 0xFFFF7F01;
    smear_scan(f.data(), k);
    for (int i = 0; i < kFramePixels; ++i) {
      ASSERT_EQ(f[i] >> 24, 0u) << k;
      ASSERT_LE(f[i] & 0xFF, 1u) << "k " << k << " pixel " << i;
    }
    EXPECT_EQ(f[0], 0u) << k;
    EXPECT_EQ(f[kFramePixels - 1], 0u) << k;
  }
}

// A flat grey is kept (within the filter's rounding) away from the ends and pulled towards
// black at both ends; the first pixel most, as the second pass starts there from black.
TEST(SmearScan, FlatPictureKeptInsideAndDarkenedAtTheEnds) {
  Frame f = frame_of(0x00808080);
  smear_scan(f.data(), 16);
  EXPECT_NEAR(red(f[kFramePixels / 2]), 0x80, 2);
  EXPECT_LT(red(f[0]), 0x40);
  EXPECT_LT(red(f[kFramePixels - 1]), 0x78);
}

// ---- fill_textured_triangle ----

class TriangleFill : public ::testing::Test {
 protected:
  void SetUp() override { build_row_offsets(); }
};

// Texel (x, y) of the test source holds y * 1000 + x + 1, so a pixel tells where it was read.
Frame numbered_source() {
  Frame f(kFramePixels);
  for (int i = 0; i < kFramePixels; ++i)
    f[i] = static_cast<uint32_t>((i / kFrameWidth) * 1000 + i % kFrameWidth + 1);
  return f;
}

// x of the edge p..q at row y, exactly.
double edge_x(const MorphVertex& p, const MorphVertex& q, double y) {
  return p.x + (q.x - p.x) * (y - p.y) / (static_cast<double>(q.y) - p.y);
}

// The texture position at screen (x, y) of the plane through three corners.
struct AffineMap {
  double x0, y0, u0, v0, ux, uy, vx, vy;
  explicit AffineMap(const MorphVertex* p) : x0(p[0].x), y0(p[0].y), u0(p[0].u), v0(p[0].v) {
    const double dx1 = p[1].x - x0, dy1 = p[1].y - y0, dx2 = p[2].x - x0, dy2 = p[2].y - y0;
    const double d = dx2 * dy1 - dx1 * dy2;
    const double du1 = p[1].u - u0, du2 = p[2].u - u0, dv1 = p[1].v - v0, dv2 = p[2].v - v0;
    ux = (dy1 * du2 - dy2 * du1) / d;
    uy = (dx2 * du1 - dx1 * du2) / d;
    vx = (dy1 * dv2 - dy2 * dv1) / d;
    vy = (dx2 * dv1 - dx1 * dv2) / d;
  }
  double u(double x, double y) const { return u0 + ux * (x - x0) + uy * (y - y0); }
  double v(double x, double y) const { return v0 + vx * (x - x0) + vy * (y - y0); }
};

// Random triangles inside the screen: a pixel is drawn exactly when top.y <= y < bottom.y
// and left <= x < right at its row (pixels within a hair of an edge are not judged), and
// it holds the texel the affine map gives (within the fixed point's truncation).
TEST_F(TriangleFill, CoversExactlyThePixelsOfItsEdgeRule) {
  std::mt19937 rng(77);
  std::uniform_real_distribution<float> sx(1.5f, 317.5f), sy(1.5f, 238.5f);
  const Frame src = numbered_source();
  int judged = 0;
  for (int n = 0; n < 200; ++n) {
    MorphVertex v[3];
    for (auto& p : v) p = {sx(rng), sy(rng), sx(rng) * 0.8f + 20.0f, sy(rng) * 0.8f + 20.0f};
    MorphVertex w[3] = {v[0], v[1], v[2]};
    Frame dst = frame_of(0);
    fill_textured_triangle(&w[0], &w[1], &w[2], dst.data(), src.data());
    std::sort(v, v + 3, [](const MorphVertex& a, const MorphVertex& b) { return a.y < b.y; });
    const AffineMap map(v);
    for (int y = 0; y < kFrameHeight; ++y)
      for (int x = 0; x < kFrameWidth; ++x) {
        bool inside = false;
        bool near = std::fabs(y - v[0].y) < 1e-3 || std::fabs(y - v[2].y) < 1e-3;
        if (y >= v[0].y && y < v[2].y) {
          const double a = edge_x(v[0], v[2], y);
          const double b = y < v[1].y ? edge_x(v[0], v[1], y) : edge_x(v[1], v[2], y);
          const double lo = std::min(a, b), hi = std::max(a, b);
          inside = x >= lo && x < hi;
          near = near || std::fabs(x - lo) < 1e-3 || std::fabs(x - hi) < 1e-3;
        }
        if (near) continue;
        const uint32_t got = dst[y * kFrameWidth + x];
        ASSERT_EQ(got != 0, inside) << "triangle " << n << " pixel " << x << "," << y;
        if (!inside) continue;
        ++judged;
        const int tu = static_cast<int>((got - 1) % 1000), tv = static_cast<int>((got - 1) / 1000);
        ASSERT_NEAR(tu, map.u(x, y), 1.05) << "triangle " << n << " pixel " << x << "," << y;
        ASSERT_NEAR(tv, map.v(x, y), 1.05) << "triangle " << n << " pixel " << x << "," << y;
      }
  }
  EXPECT_GT(judged, 100000);
}

// Counts how often each pixel is drawn by a set of triangles.
std::vector<int> coverage(const std::vector<std::array<MorphVertex, 3>>& triangles) {
  const Frame ones = frame_of(1);
  std::vector<int> count(kFramePixels, 0);
  for (auto t : triangles) {
    Frame dst = frame_of(0);
    fill_textured_triangle(&t[0], &t[1], &t[2], dst.data(), ones.data());
    for (int i = 0; i < kFramePixels; ++i) count[i] += static_cast<int>(dst[i]);
  }
  return count;
}

// A jittered 9 x 7 grid whose border lies on the picture's edges, cut as the morph cuts it:
// together its triangles draw every pixel of the screen exactly once.
TEST_F(TriangleFill, SharedEdgesAreDrawnOnce) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> jitter(-14.0f, 14.0f);
  for (int round = 0; round < 4; ++round) {
    MorphVertex p[7][9];
    for (int r = 0; r < 7; ++r)
      for (int c = 0; c < 9; ++c) {
        float x = c * 319.0f / 8, y = r * 239.0f / 6;
        if (c > 0 && c < 8) x += jitter(rng);
        if (r > 0 && r < 6) y += jitter(rng);
        // Whole pixels in the first rounds, as the morph file gives them at its ends.
        if (round < 2) x = std::round(x), y = std::round(y);
        p[r][c] = {x, y, 5.0f, 5.0f};
      }
    std::vector<std::array<MorphVertex, 3>> triangles;
    for (int r = 0; r < 6; ++r)
      for (int c = 0; c < 8; ++c) {
        triangles.push_back({p[r][c], p[r][c + 1], p[r + 1][c]});
        triangles.push_back({p[r + 1][c + 1], p[r][c + 1], p[r + 1][c]});
      }
    const auto count = coverage(triangles);
    for (int i = 0; i < kFramePixels; ++i)
      ASSERT_EQ(count[i], 1) << "round " << round << " pixel " << i % kFrameWidth << ","
                             << i / kFrameWidth;
  }
}

TEST_F(TriangleFill, EmptyTrianglesDrawNothing) {
  const Frame src = numbered_source();
  const std::array<MorphVertex, 3> cases[] = {
      // All three corners round up to row 11.
      {{{10.0f, 10.2f, 0, 0}, {200.0f, 10.9f, 0, 0}, {90.0f, 10.5f, 0, 0}}},
      // On one line.
      {{{10.0f, 10.0f, 0, 0}, {60.0f, 60.0f, 0, 0}, {110.0f, 110.0f, 0, 0}}},
      // Squashed onto the left border.
      {{{-5.0f, 10.0f, 0, 0}, {-80.0f, 60.0f, 0, 0}, {0.5f, 110.0f, 0, 0}}},
  };
  for (auto t : cases) {
    Frame dst = frame_of(0);
    fill_textured_triangle(&t[0], &t[1], &t[2], dst.data(), src.data());
    EXPECT_EQ(dst, frame_of(0));
  }
}

// A corner off the screen is pushed onto its border, not clipped: the triangle draws as the
// one with that corner on the border.
TEST_F(TriangleFill, CornersOffTheScreenArePushedOntoItsBorder) {
  const Frame src = numbered_source();
  auto draw = [&](MorphVertex a, MorphVertex b, MorphVertex c) {
    Frame dst = frame_of(0);
    fill_textured_triangle(&a, &b, &c, dst.data(), src.data());
    return dst;
  };
  const MorphVertex b{200.5f, 60.25f, 100, 50}, c{80.75f, 200.5f, 30, 200};
  EXPECT_EQ(draw({-50.0f, -20.0f, 10, 10}, b, c), draw({0.0f, 0.0f, 10, 10}, b, c));
  EXPECT_EQ(draw({400.0f, 300.0f, 10, 10}, b, c), draw({320.0f, 240.0f, 10, 10}, b, c));
  EXPECT_EQ(draw({318.5f, 239.0f, 10, 10}, b, c), draw({320.0f, 240.0f, 10, 10}, b, c));
  EXPECT_EQ(draw({0.9f, 0.5f, 10, 10}, b, c), draw({0.0f, 0.0f, 10, 10}, b, c));
  // The changed corner is handed back.
  MorphVertex a{-50.0f, 999.0f, -3.0f, 1e9f}, b2 = b, c2 = c;
  Frame dst = frame_of(0);
  fill_textured_triangle(&a, &b2, &c2, dst.data(), src.data());
  EXPECT_EQ(a.x, 0.0f);
  EXPECT_EQ(a.y, 240.0f);
  EXPECT_EQ(a.u, 0.0f);
  EXPECT_EQ(a.v, 240.0f);
}

// Texture positions anywhere (far outside, not numbers, slivers with huge gradients) never
// read outside the source nor write outside the target: both sit inside guard bands.
TEST_F(TriangleFill, NeverReadsOrWritesOutsideItsBuffers) {
  constexpr uint32_t kGuard = 0xDEADBEEF;
  constexpr int kPad = 4 * kFrameWidth;
  std::vector<uint32_t> src(kFramePixels + 2 * kPad, kGuard), dst(kFramePixels + 2 * kPad, 0);
  const Frame pic = numbered_source();
  std::copy(pic.begin(), pic.end(), src.begin() + kPad);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> screen(-30.0f, 350.0f), tex(-2000.0f, 2000.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float odd[] = {nan, -nan, inf, -inf, 1e30f, -1e30f, 319.99f, 240.0f};
  std::uniform_int_distribution<int> pick(0, 9);
  auto value = [&](std::uniform_real_distribution<float>& d) {
    const int k = pick(rng);
    return k < 8 ? odd[k] : d(rng);
  };
  for (int n = 0; n < 3000; ++n) {
    MorphVertex v[3];
    for (auto& p : v) p = {value(screen), value(screen), value(tex), value(tex)};
    if (n % 3 == 0) v[2] = {v[0].x + 0.001f, v[0].y + 150.0f, v[1].u, v[1].v};  // a sliver
    fill_textured_triangle(&v[0], &v[1], &v[2], dst.data() + kPad, src.data() + kPad);
  }
  for (int i = 0; i < kPad; ++i) {
    ASSERT_EQ(dst[i], 0u);
    ASSERT_EQ(dst[dst.size() - 1 - i], 0u);
  }
  for (size_t i = kPad; i < dst.size() - kPad; ++i) ASSERT_NE(dst[i], kGuard) << i - kPad;
}

// ---- morph ----

class Morph : public ::testing::Test {
 protected:
  void SetUp() override {
    init_fades(kFrameWidth, kFrameHeight, 0);
    build_row_offsets();
    saved_ = morph_grid;
  }
  void TearDown() override { morph_grid = saved_; }
  MorphGrid saved_;
};

Frame pattern(uint32_t seed) {
  std::mt19937 rng(seed);
  Frame f(kFramePixels);
  for (auto& p : f) p = rng() & 0x00FFFFFF;
  return f;
}

// Columns and rows through whole pixels, the border on the picture's far edges (320, 240),
// the second picture's x stored 320 further right.
void set_grid(const int (&xs)[9], const int (&ys)[7], const int (&xs2)[9], const int (&ys2)[7]) {
  for (int r = 0; r < kMorphRows; ++r)
    for (int c = 0; c < kMorphColumns; ++c) {
      morph_grid.first[r][c] = {xs[c], ys[r]};
      morph_grid.second[r][c] = {xs2[c] + 320, ys2[r]};
    }
}

constexpr int kXs[9] = {0, 40, 80, 120, 160, 200, 240, 280, 320};
constexpr int kYs[7] = {0, 40, 80, 120, 160, 200, 240};
constexpr int kXs2[9] = {0, 25, 70, 131, 150, 222, 250, 301, 320};
constexpr int kYs2[7] = {0, 52, 71, 133, 170, 190, 240};

Frame crossfaded(const Frame& a, const Frame& b, float s) {
  Frame want(kFramePixels);
  crossfade_plain(want.data(), a.data(), b.data(), static_cast<int>(s * 255.0f), kFramePixels);
  return want;
}

void expect_colours(const Frame& got, const Frame& want, const char* what, float s) {
  for (int i = 0; i < kFramePixels; ++i)
    ASSERT_EQ(got[i] & 0x00FFFFFF, want[i] & 0x00FFFFFF)
        << what << " s " << s << " pixel " << i % kFrameWidth << "," << i / kFrameWidth;
}

TEST_F(Morph, IdenticalGridsGiveAPlainCrossfade) {
  set_grid(kXs2, kYs2, kXs2, kYs2);
  const Frame first = pattern(1), second = pattern(2);
  for (float s : {0.0f, 0.25f, 0.5f, 0.8f, 1.0f}) {
    Frame dst = frame_of(0x00123456), scratch = frame_of(0x00654321);
    morph(dst.data(), scratch.data(), first.data(), second.data(), s);
    expect_colours(dst, crossfaded(first, second, s), "identical grids", s);
  }
}

// At its ends each picture stands on its own grid, whatever the other grid is; states
// outside 0..1 are the ends.
TEST_F(Morph, EndsShowOnePictureOnItsOwnGrid) {
  set_grid(kXs, kYs, kXs2, kYs2);
  const Frame first = pattern(3), second = pattern(4), black = frame_of(0);
  for (float s : {-3.0f, 0.0f}) {
    Frame dst(kFramePixels), scratch(kFramePixels);
    morph(dst.data(), scratch.data(), first.data(), second.data(), s);
    expect_colours(dst, crossfaded(first, black, 0.0f), "first end", s);
  }
  for (float s : {1.0f, 7.5f}) {
    Frame dst(kFramePixels), scratch(kFramePixels);
    morph(dst.data(), scratch.data(), first.data(), second.data(), s);
    expect_colours(dst, crossfaded(black, second, 1.0f), "second end", s);
  }
  // Half way both pictures are warped: it is neither the plain cross-fade nor an end.
  Frame dst(kFramePixels), scratch(kFramePixels);
  morph(dst.data(), scratch.data(), first.data(), second.data(), 0.5f);
  EXPECT_NE(dst, crossfaded(first, second, 0.5f));
}

// A grid never loaded draws no pixel of either picture, and what the shared buffers held
// before does not come through.
TEST_F(Morph, EmptyGridGivesBlack) {
  morph_grid = {};
  const Frame first = pattern(5), second = pattern(6);
  for (float s : {0.0f, 0.5f, 1.0f}) {
    Frame dst = pattern(7), scratch = pattern(8);
    morph(dst.data(), scratch.data(), first.data(), second.data(), s);
    expect_colours(dst, frame_of(0), "empty grid", s);
  }
}

}  // namespace
