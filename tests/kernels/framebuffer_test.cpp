// The frame-buffer utilities: both forms give the same colours for every count and
// alignment, write nothing past the count, work in place, and the pulse track reads its
// beat as the scenes expect.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "kernels/kernels.h"
#include "sequencer/sequencer.h"

namespace {

constexpr uint32_t kColour = 0x00FFFFFF;
constexpr uint32_t kGuard = 0xDEADBEEF;
// Counts that exercise empty, single, odd, and SIMD-step remainders, plus a whole frame.
const int kCounts[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 63, 320, kFramePixels};

class FrameBufferTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { init_fades(kFrameWidth, kFrameHeight, 0); }
  void TearDown() override { init_fades(kFrameWidth, kFrameHeight, 0); }

  std::mt19937 rng{1234};
};

using Binary = void (*)(uint32_t*, const uint32_t*, const uint32_t*, int);

uint32_t multiply_ref(uint32_t p, uint32_t q) {
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) out |= ((((p >> s) & 0xFF) * ((q >> s) & 0xFF)) >> 8) << s;
  return out;
}
uint32_t add_ref(uint32_t p, uint32_t q) {
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    const uint32_t v = ((p >> s) & 0xFF) + ((q >> s) & 0xFF);
    out |= (v > 255 ? 255 : v) << s;
  }
  return out;
}

// Each form against the per-channel rule, into a separate row and in place, misaligned by
// 0..3 words, with the words around the count left alone.
void check_binary(std::mt19937& rng, Binary plain, Binary simd,
                  uint32_t (*ref)(uint32_t, uint32_t)) {
  for (int count : kCounts)
    for (int offset = 0; offset < 4; ++offset)
      for (Binary form : {plain, simd})
        for (bool in_place : {false, true}) {
          SCOPED_TRACE(testing::Message()
                       << "count " << count << " offset " << offset
                       << (form == plain ? " plain" : " simd") << (in_place ? " in place" : ""));
          std::vector<uint32_t> a(count + 8), b(count + 8), d(count + 8, kGuard);
          for (auto& x : a) x = rng();
          for (auto& x : b) x = rng();
          const std::vector<uint32_t> a0 = a;
          uint32_t* dst = in_place ? a.data() + offset : d.data() + offset;
          form(dst, a.data() + offset, b.data() + offset, count);
          const std::vector<uint32_t>& out = in_place ? a : d;
          for (int i = 0; i < count + 8; ++i) {
            const bool inside = i >= offset && i < offset + count;
            if (inside) {
              ASSERT_EQ(out[i] & kColour, ref(a0[i], b[i]) & kColour) << "at " << i;
            } else {
              ASSERT_EQ(out[i], in_place ? a0[i] : kGuard) << "outside, at " << i;
            }
          }
        }
}

TEST_F(FrameBufferTest, RowMultiplyFormsAgreeWithTheRule) {
  check_binary(rng, row_multiply_plain, row_multiply_simd, multiply_ref);
}

TEST_F(FrameBufferTest, RowAddSaturateFormsAgreeWithTheRule) {
  check_binary(rng, row_add_saturate_plain, row_add_saturate_simd, add_ref);
}

TEST_F(FrameBufferTest, ChannelEdgeCases) {
  for (Binary mul : {row_multiply_plain, row_multiply_simd}) {
    uint32_t a[4] = {0x00FF8001, 0x00010203, 0x00FFFFFF, 0};
    uint32_t white[4] = {0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF};
    uint32_t black[4] = {};
    uint32_t d[4];
    mul(d, a, white, 4);
    EXPECT_EQ(d[0] & kColour, 0x00FE7F00u);  // one less for every v > 0
    EXPECT_EQ(d[2] & kColour, 0x00FEFEFEu);
    mul(d, a, black, 4);
    for (uint32_t v : d) EXPECT_EQ(v & kColour, 0u);
  }
  for (Binary add : {row_add_saturate_plain, row_add_saturate_simd}) {
    uint32_t a[4] = {0x00C8C8C8, 0x00C80000, 0, 0x00FF00FF};
    uint32_t b[4] = {0x00646464, 0x00640000, 0x00010203, 0x0001FF01};
    uint32_t d[4];
    add(d, a, b, 4);
    EXPECT_EQ(d[0] & kColour, 0x00FFFFFFu);  // 200 + 100 clamps, never wraps
    EXPECT_EQ(d[1] & kColour, 0x00FF0000u);
    EXPECT_EQ(d[2] & kColour, 0x00010203u);
    EXPECT_EQ(d[3] & kColour, 0x00FFFFFFu);
  }
}

TEST_F(FrameBufferTest, FillWordsWritesWholeWordsOnlyWithinTheLength) {
  // Values of four different bytes, and the show's fills of one repeated byte.
  for (uint32_t value : {0x12345678u, 0x3C3C3C3Cu, 0u})
    for (int bytes : {0, 3, 4, 6, 12, 60, 64, 68, 100, 256, kFrameBytes})
      for (int offset = 0; offset < 4; ++offset)
        for (auto form : {fill_words_plain, fill_words_simd}) {
          SCOPED_TRACE(testing::Message()
                       << "value " << value << " bytes " << bytes << " offset " << offset);
          std::vector<uint32_t> v(bytes / 4 + 8, kGuard);
          form(v.data() + offset, value, bytes);
          for (int i = 0; i < static_cast<int>(v.size()); ++i) {
            const bool inside = i >= offset && i < offset + bytes / 4;
            ASSERT_EQ(v[i], inside ? value : kGuard) << "at " << i;
          }
        }
}

TEST_F(FrameBufferTest, CopyKeyedComparesWholeWords) {
  // Scattered keys, and runs of keys and of picture as a title has them.
  for (bool runs : {false, true})
    for (int count : kCounts)
      for (int offset = 0; offset < 4; ++offset) {
        SCOPED_TRACE(testing::Message()
                     << "count " << count << " offset " << offset << (runs ? " runs" : ""));
        std::vector<uint32_t> src(count + 8), plain(count + 8), simd;
        int run = 0;
        bool keyed = false;
        for (auto& x : src) {
          const uint32_t r = rng();
          if (runs) {
            if (run-- <= 0) {
              run = static_cast<int>(r % 40);
              keyed = !keyed;
            }
            x = keyed ? 0u : (r | 1);
            continue;
          }
          // Plenty of keys, and words that differ from the key only in byte 3.
          x = (r & 3) == 0 ? 0u : (r & 3) == 1 ? 0xFF000000u : r;
        }
        for (auto& x : plain) x = rng();
        simd = plain;
        const std::vector<uint32_t> before = plain;
        copy_keyed_plain(plain.data() + offset, src.data() + offset, 0, count);
        copy_keyed_simd(simd.data() + offset, src.data() + offset, 0, count);
        ASSERT_EQ(plain, simd);
        for (int i = 0; i < count + 8; ++i) {
          const bool inside = i >= offset && i < offset + count;
          ASSERT_EQ(plain[i], inside && src[i] != 0 ? src[i] : before[i]) << "at " << i;
        }
      }
}

// The public routines follow has_mmx on every call: with it cleared they are the plain
// forms, which keep the destination's fourth byte.
TEST_F(FrameBufferTest, PublicRoutinesFollowTheSwitch) {
  init_fades(kFrameWidth, kFrameHeight, 1);
  ASSERT_EQ(has_mmx, 0);
  uint32_t a[5] = {0x11808080, 0x22FFFFFF, 0x33000000, 0x44102030, 0x55FFFFFF};
  uint32_t b[5] = {0x66808080, 0x77FFFFFF, 0x88FFFFFF, 0x99FFFFFF, 0xAA010101};
  uint32_t d[5] = {0xA0000000, 0xB0000000, 0xC0000000, 0xD0000000, 0xE0000000};
  row_multiply(d, a, b, 5);
  EXPECT_EQ(d[0], 0xA0404040u);
  EXPECT_EQ(d[4], 0xE0000000u);
  row_add_saturate(d, a, b, 5);
  EXPECT_EQ(d[0], 0xA0FFFFFFu);
  EXPECT_EQ(d[4], 0xE0FFFFFFu);
}

// The glow's beat: 20 pulses every 0.8 s rising to 0.06 in 0.05 s and back by 0.5 s.
TEST(PulseTrack, ReadsTheBeat) {
  PulsePoint* track = pulse_track_build(20, 0.8f, 0.05f, 0.5f, 0.06f, 0.0f);
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(track[3 * 7 + 1].time, 7 * 0.8f + 0.05f);
  EXPECT_FLOAT_EQ(pulse_track_eval(track, 20, 10.0f, 10.0f), 0.0f);            // x = 0: base
  EXPECT_NEAR(pulse_track_eval(track, 20, 10.05f, 10.0f), 0.06f, 1e-6f);       // the peak
  EXPECT_NEAR(pulse_track_eval(track, 20, 10.275f, 10.0f), 0.03f, 1e-6f);      // halfway down
  EXPECT_NEAR(pulse_track_eval(track, 20, 10.025f, 10.0f), 0.03f, 1e-6f);      // halfway up
  EXPECT_FLOAT_EQ(pulse_track_eval(track, 20, 10.6f, 10.0f), 0.0f);            // between pulses
  EXPECT_NEAR(pulse_track_eval(track, 20, 3.2f + 0.05f, 0.0f), 0.06f, 1e-6f);  // fifth pulse
  EXPECT_FLOAT_EQ(pulse_track_eval(track, 20, 9.0f, 10.0f), 0.0f);             // before the start
  EXPECT_FLOAT_EQ(pulse_track_eval(track, 20, 100.0f, 0.0f), 0.0f);            // after the last
  delete[] track;
}

TEST(PulseTrack, EmptyOrFailedTrackReadsZero) {
  EXPECT_EQ(pulse_track_build(0, 0.8f, 0.05f, 0.5f, 0.06f, 0.0f), nullptr);
  EXPECT_EQ(pulse_track_build(-3, 0.8f, 0.05f, 0.5f, 0.06f, 0.0f), nullptr);
  // A scene whose build failed still asks for a value every frame.
  EXPECT_EQ(pulse_track_eval(nullptr, 20, 1.0f, 0.0f), 0.0f);
  PulsePoint one[3] = {{0, 1}, {1, 2}, {2, 1}};
  EXPECT_EQ(pulse_track_eval(one, 0, 1.0f, 0.0f), 0.0f);
}

}  // namespace
