// Four-neighbour softening and tints: the cross shape, the in-place drift, the untouched
// edges, the buffer's end, and the SIMD form against the plain one.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "kernels/kernels.h"

namespace {

using Blur = void (*)(uint32_t*, const uint32_t*);
constexpr int kW = kFrameWidth;
constexpr int kCentre = 100 * kW + 160;

struct Form {
  const char* name;
  Blur blur;
};
const Form kForms[] = {{"plain", blur_cross4_plain}, {"simd", blur_cross4_simd}};

std::vector<uint32_t> random_frame(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> v(kFramePixels);
  for (auto& p : v) p = rng();
  return v;
}

TEST(BlurCross4, SeparateBuffersSpreadOneWhitePixelIntoACross) {
  for (const Form& f : kForms) {
    SCOPED_TRACE(f.name);
    std::vector<uint32_t> src(kFramePixels, 0), dst(kFramePixels, 0x12345678);
    src[kCentre] = 0x00FFFFFF;
    f.blur(dst.data(), src.data());
    for (int n : {kCentre - kW, kCentre - 1, kCentre + 1, kCentre + kW})
      EXPECT_EQ(dst[n], 0x003F3F3Fu) << n;
    int lit = 0;
    for (int i = kW + 1; i < kFramePixels - kW; ++i) lit += dst[i] != 0;
    EXPECT_EQ(dst[kCentre], 0u);
    EXPECT_EQ(lit, 4);
  }
}

TEST(BlurCross4, InPlaceRunsUpAndToTheLeft) {
  for (const Form& f : kForms) {
    SCOPED_TRACE(f.name);
    std::vector<uint32_t> buf(kFramePixels, 0);
    buf[kCentre] = 0x00FFFFFF;
    f.blur(buf.data(), buf.data());
    // Right and lower neighbours see the old white; the centre then sees their new values.
    EXPECT_EQ(buf[kCentre + 1], 0x003F3F3Fu);
    EXPECT_EQ(buf[kCentre + kW], 0x003F3F3Fu);
    EXPECT_EQ(buf[kCentre], 0x001E1E1Eu);
    EXPECT_EQ(buf[kCentre - 1], 0x000A0A0Au);
    // The trail goes up-left, never down-right.
    EXPECT_EQ(buf[kCentre - kW], 0x000A0A0Au);
    EXPECT_EQ(buf[kCentre - kW - 1], 0x00040404u);
    EXPECT_EQ(buf[kCentre - 2 * kW - 1], 0x00010101u);
    EXPECT_EQ(buf[kCentre + kW + 1], 0u);
    EXPECT_EQ(buf[kCentre + 2 * kW], 0u);
  }
}

TEST(BlurCross4, EdgeRowsAndPixel320KeepTheirValuesAndTheLastPixelOfRow238IsSoftened) {
  for (const Form& f : kForms) {
    for (bool in_place : {true, false}) {
      SCOPED_TRACE(std::string(f.name) + (in_place ? " in place" : " separate"));
      const std::vector<uint32_t> src = random_frame(7);
      std::vector<uint32_t> dst = in_place ? src : std::vector<uint32_t>(kFramePixels, 0xABCDEFu);
      f.blur(dst.data(), in_place ? dst.data() : src.data());
      for (int i = 0; i < kW; ++i) {
        EXPECT_EQ(dst[i], src[i]);
        EXPECT_EQ(dst[kFramePixels - kW + i], src[kFramePixels - kW + i]);
      }
      EXPECT_EQ(dst[kW], in_place ? src[kW] : 0xABCDEFu);
      // Last pixel of row 238: its right neighbour is row 239's first, never softened.
      const int i = kFramePixels - kW - 1;
      auto q = [](uint32_t p) { return (p >> 2) & 0x3F3F3F3Fu; };
      EXPECT_EQ(dst[i], q(src[i - kW]) + q(src[i - 1]) + q(src[i + 1]) + q(src[i + kW]));
    }
  }
}

TEST(BlurCross4, NeverReadsPastTheFrame) {
  // The frame ends exactly at a page that cannot be read.
  const long page = sysconf(_SC_PAGESIZE);
  const size_t bytes = (kFrameBytes + page - 1) / page * page;
  char* base = static_cast<char*>(
      mmap(nullptr, bytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(base, MAP_FAILED);
  ASSERT_EQ(mprotect(base + bytes, page, PROT_NONE), 0);
  uint32_t* frame = reinterpret_cast<uint32_t*>(base + bytes - kFrameBytes);
  std::vector<uint32_t> other(kFramePixels, 0);
  for (const Form& f : kForms) {
    std::fill(frame, frame + kFramePixels, 0x00808080u);
    f.blur(frame, frame);
    f.blur(other.data(), frame);
    EXPECT_EQ(frame[kFramePixels - 1], 0x00808080u);
  }
  munmap(base, bytes + page);
}

TEST(BlurCross4, SimdMatchesPlainOnRandomFrames) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    const std::vector<uint32_t> src = random_frame(seed);
    std::vector<uint32_t> a = src, b = src;
    blur_cross4_plain(a.data(), a.data());
    blur_cross4_simd(b.data(), b.data());
    EXPECT_EQ(a, b) << "in place";
    std::vector<uint32_t> c(kFramePixels, seed), d(kFramePixels, seed);
    blur_cross4_plain(c.data(), src.data());
    blur_cross4_simd(d.data(), src.data());
    EXPECT_EQ(c, d) << "separate";
    // Twice in a row, as a softened frame is softened again.
    blur_cross4_plain(a.data(), a.data());
    blur_cross4_simd(b.data(), b.data());
    EXPECT_EQ(a, b) << "twice";
  }
  // The brightest frames give the largest sums the in-place chain carries through four
  // pixels at once: all white, and every byte random in 252..255.
  std::vector<uint32_t> white(kFramePixels, 0xFFFFFFFFu), bright = random_frame(9);
  for (auto& p : bright) p |= 0xFCFCFCFCu;
  for (const auto& src : {white, bright}) {
    std::vector<uint32_t> a = src, b = src;
    blur_cross4_plain(a.data(), a.data());
    blur_cross4_simd(b.data(), b.data());
    EXPECT_EQ(a, b) << "bright, in place";
  }
}

TEST(TintCopy, ScalesEachChannelAndKeepsByte3) {
  const uint32_t src[2] = {0x00FF8040u, 0xAA102030u};
  uint32_t dst[2] = {0x77000000u, 0x00FFFFFFu};
  tint_copy(dst, src, 200, 40, 65, 2);
  EXPECT_EQ(dst[0],
            0x77000000u | (255u * 200 >> 8) << 16 | (128u * 40 >> 8) << 8 | (64u * 65 >> 8));
  EXPECT_EQ(dst[1], (0x10u * 200 >> 8) << 16 | (0x20u * 40 >> 8) << 8 | (0x30u * 65 >> 8));
  uint32_t one = 0x00FFFFFF;
  tint_copy(&one, &one, 255, 0, 255, 1);
  EXPECT_EQ(one, 0x00FE00FEu);
}

}  // namespace
