#include <cstring>

#include "sequencer/sequencer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

// Keys 22 to 25 are stored out of time order; the scan below stops at the first key not
// earlier than t, so they never take part (there is no dip to black at 13-15 s).
const FadeKey fade_keys[kFadeKeys] = {
    {0.0f, 0.0f, 1.0f},     // 0
    {2.0f, 0.0f, 0.0f},     // 1
    {3.6f, 0.0f, 0.0f},     // 2
    {3.85f, 0.0f, 1.0f},    // 3
    {3.95f, 0.0f, 1.0f},    // 4
    {4.2f, 0.0f, 0.0f},     // 5
    {6.2f, 0.0f, 0.0f},     // 6
    {6.45f, 0.0f, 1.0f},    // 7
    {6.55f, 0.0f, 1.0f},    // 8
    {6.8f, 0.0f, 0.0f},     // 9
    {9.2f, 0.0f, 0.0f},     // 10
    {9.6f, 0.0f, 1.0f},     // 11
    {9.7f, 0.0f, 1.0f},     // 12
    {10.2f, 0.0f, 0.0f},    // 13
    {22.0f, 0.0f, 0.0f},    // 14
    {22.25f, 0.0f, 1.0f},   // 15
    {22.35f, 0.0f, 1.0f},   // 16
    {22.6f, 0.0f, 0.0f},    // 17
    {27.0f, 0.0f, 0.0f},    // 18
    {27.25f, 0.0f, 1.0f},   // 19
    {27.35f, 0.0f, 1.0f},   // 20
    {27.6f, 0.0f, 0.0f},    // 21
    {13.0f, 0.0f, 0.0f},    // 22
    {14.0f, 0.0f, 1.0f},    // 23
    {14.8f, 0.0f, 1.0f},    // 24
    {15.0f, 0.0f, 0.0f},    // 25
    {29.0f, 0.0f, 0.0f},    // 26
    {29.25f, 1.0f, 0.0f},   // 27
    {29.35f, 1.0f, 0.0f},   // 28
    {29.9f, 0.0f, 0.0f},    // 29
    {79.6f, 0.0f, 0.0f},    // 30
    {79.95f, 0.0f, 1.0f},   // 31
    {80.05f, 0.0f, 1.0f},   // 32
    {80.4f, 0.0f, 0.0f},    // 33
    {89.6f, 0.0f, 0.0f},    // 34
    {89.95f, 1.0f, 0.0f},   // 35
    {90.05f, 1.0f, 0.0f},   // 36
    {90.4f, 0.0f, 0.0f},    // 37
    {98.6f, 0.0f, 0.0f},    // 38
    {98.95f, 0.0f, 1.0f},   // 39
    {99.25f, 0.0f, 1.0f},   // 40
    {99.5f, 0.0f, 0.0f},    // 41
    {144.2f, 0.0f, 0.0f},   // 42
    {144.55f, 1.0f, 0.0f},  // 43
    {144.65f, 1.0f, 0.0f},  // 44
    {145.0f, 0.0f, 0.0f},   // 45
    {165.5f, 0.0f, 0.0f},   // 46
    {166.5f, 0.0f, 1.0f},   // 47
    {167.5f, 0.0f, 0.0f},   // 48
    {173.0f, 0.0f, 0.0f},   // 49
    {173.6f, 0.0f, 1.0f},   // 50
    {173.7f, 0.0f, 1.0f},   // 51
    {174.3f, 0.0f, 0.0f},   // 52
    {179.9f, 0.0f, 0.0f},   // 53
    {180.6f, 1.0f, 0.0f},   // 54
    {180.9f, 0.0f, 0.0f},   // 55
    {181.4f, 0.0f, 0.0f},   // 56
    {181.5f, 1.0f, 0.0f},   // 57
    {181.8f, 0.0f, 0.0f},   // 58
    {182.6f, 0.0f, 0.0f},   // 59
    {182.7f, 1.0f, 0.0f},   // 60
    {183.0f, 0.0f, 0.0f},   // 61
    {183.5f, 0.0f, 0.0f},   // 62
    {183.6f, 1.0f, 0.0f},   // 63
    {183.9f, 0.0f, 0.0f},   // 64
    {184.4f, 0.0f, 0.0f},   // 65
    {184.5f, 1.0f, 0.0f},   // 66
    {184.8f, 0.0f, 0.0f},   // 67
    {185.4f, 0.0f, 0.0f},   // 68
    {185.5f, 1.0f, 0.0f},   // 69
    {185.8f, 0.0f, 0.0f},   // 70
    {186.3f, 0.0f, 0.0f},   // 71
    {186.4f, 1.0f, 0.0f},   // 72
    {186.7f, 0.0f, 0.0f},   // 73
    {187.2f, 0.0f, 0.0f},   // 74
    {187.3f, 1.0f, 0.0f},   // 75
    {187.6f, 0.0f, 0.0f},   // 76
    {188.1f, 0.0f, 0.0f},   // 77
    {188.2f, 1.0f, 0.0f},   // 78
    {188.5f, 0.0f, 0.0f},   // 79
    {189.0f, 0.0f, 0.0f},   // 80
    {189.1f, 1.0f, 0.0f},   // 81
    {189.4f, 0.0f, 0.0f},   // 82
    {189.9f, 0.0f, 0.0f},   // 83
    {190.0f, 1.0f, 0.0f},   // 84
    {190.3f, 0.0f, 0.0f},   // 85
    {190.8f, 0.0f, 0.0f},   // 86
    {190.9f, 1.0f, 0.0f},   // 87
    {191.2f, 0.0f, 0.0f},   // 88
    {191.6f, 0.0f, 0.0f},   // 89
    {191.7f, 1.0f, 0.0f},   // 90
    {192.0f, 0.0f, 0.0f},   // 91
    {192.5f, 0.0f, 0.0f},   // 92
    {192.6f, 1.0f, 0.0f},   // 93
    {192.9f, 0.0f, 0.0f},   // 94
    {194.7f, 0.0f, 0.0f},   // 95
    {195.0f, 1.0f, 0.0f},   // 96
    {196.0f, 0.0f, 0.0f},   // 97
    {201.7f, 0.0f, 0.0f},   // 98
    {201.95f, 1.0f, 0.0f},  // 99
    {202.05f, 1.0f, 0.0f},  // 100
    {202.3f, 0.0f, 0.0f},   // 101
    {216.7f, 0.0f, 0.0f},   // 102
    {216.95f, 1.0f, 0.0f},  // 103
    {217.05f, 1.0f, 0.0f},  // 104
    {217.3f, 0.0f, 0.0f},   // 105
    {223.7f, 0.0f, 0.0f},   // 106
    {223.95f, 0.0f, 1.0f},  // 107
    {224.05f, 0.0f, 1.0f},  // 108
    {224.35f, 0.0f, 0.0f},  // 109
};

WhitenFn whiten = nullptr;
DarkenFn darken = nullptr;
CrossfadeFn crossfade = nullptr;
MixFn mix = nullptr;
int32_t has_mmx = 0;
int32_t multiply_table[256 * 256];

namespace {
int fade_width = 0;
int fade_height = 0;
}  // namespace

int detect_mmx() {
#if defined(__x86_64__)
  // The AC and ID flag toggles of older processors always succeed on x86-64, so CPUID
  // is there; MMX is bit 23 of EDX for function 1.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  return (edx >> 23) & 1;
#else
  return 0;  // the SIMD forms are written for x86-64 only
#endif
}

void init_fades(int width, int height, int force_plain) {
  has_mmx = force_plain ? 0 : detect_mmx();
  if (has_mmx) {
    whiten = whiten_simd;
    darken = darken_simd;
    crossfade = crossfade_simd;
    mix = mix_simd;
  } else {
    whiten = whiten_plain;
    darken = darken_plain;
    crossfade = crossfade_plain;
    mix = mix_plain;
  }
  fade_width = width;
  fade_height = height;
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c) multiply_table[a * 256 + c] = (a * c) / 256;
}

int apply_fades(uint32_t* pixels, const FadeKey* keys, int count, float t) {
  if (count <= 0) return 0;
  float white = keys[0].white;
  float black = keys[0].black;
  if (!(t < 0.0f)) {
    if (t > keys[count - 1].time) return 0;
    int i = 0;
    while (i < count && keys[i].time < t) ++i;
    // i < count here: the last key's time is not below t.
    if (i > 0) {
      const FadeKey& a = keys[i - 1];
      const FadeKey& b = keys[i];
      const float f = (t - a.time) / (b.time - a.time);
      white = a.white + (b.white - a.white) * f;
      black = a.black + (b.black - a.black) * f;
    }
  }
  const int w = static_cast<int>(white * 255.0f);
  const int b = static_cast<int>(black * 255.0f);
  if (whiten && darken) {
    const int n = fade_width * fade_height;
    if (w != 0) whiten(pixels, pixels, w, n);
    if (b != 0) darken(pixels, pixels, 255 - b, n);
  }
  return 1;
}
