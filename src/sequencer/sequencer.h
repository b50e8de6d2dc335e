// The mechanism of the show's timeline (rows of scenes called in table order) and the fades
// and flashes laid over every frame. The show's own table lives with its scenes.
#pragma once
#include <cstdint>

struct TimelineEntry;

// pixels, entry, index, t, start, end, progress, parameter.
using SceneHandler = void (*)(uint32_t* pixels, const TimelineEntry* entry, int index, float t,
                              float start, float end, float progress, int32_t parameter);

struct TimelineEntry {
  float start;
  float end;
  int32_t parameter;
  SceneHandler handler;  // empty: the row draws nothing but still keeps the show alive
};

struct FadeKey {
  float time;
  float white;
  float black;
};

constexpr int kFadeKeys = 110;
extern const FadeKey fade_keys[kFadeKeys];

// One frame of a timeline: its rows, then the fades. 0 once the show is over.
int sequencer_frame(uint32_t* pixels, const TimelineEntry* table, int count, float t);
int run_timeline(uint32_t* pixels, const TimelineEntry* table, int count, float t);
int apply_fades(uint32_t* pixels, const FadeKey* keys, int count, float t);

// Blend routines over count pixels of 0x00RRGGBB; a destination may equal a source.
using WhitenFn = void (*)(uint32_t* dst, const uint32_t* src, int amount, int count);
using DarkenFn = void (*)(uint32_t* dst, const uint32_t* src, int amount, int count);
using CrossfadeFn = void (*)(uint32_t* dst, const uint32_t* a, const uint32_t* b, int amount,
                             int count);
using MixFn = void (*)(uint32_t* dst, const uint32_t* a, const uint32_t* b, int wa, int wb,
                       int count);

// Slots, empty until init_fades fills them from the SIMD or the plain set.
extern WhitenFn whiten;
extern DarkenFn darken;
extern CrossfadeFn crossfade;
extern MixFn mix;
extern int32_t has_mmx;
extern int32_t multiply_table[256 * 256];  // [a][c] = (a * c) / 256

void init_fades(int width, int height, int force_plain);

// The processor's answer to "has MMX" (CPUID); the SIMD forms are SSE2, always present on x86-64.
int detect_mmx();

// Both sets, callable directly (tests compare them).
void whiten_plain(uint32_t* dst, const uint32_t* src, int amount, int count);
void darken_plain(uint32_t* dst, const uint32_t* src, int amount, int count);
void crossfade_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int amount, int count);
void mix_plain(uint32_t* dst, const uint32_t* a, const uint32_t* b, int wa, int wb, int count);
void whiten_simd(uint32_t* dst, const uint32_t* src, int amount, int count);
void darken_simd(uint32_t* dst, const uint32_t* src, int amount, int count);
void crossfade_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int amount, int count);
void mix_simd(uint32_t* dst, const uint32_t* a, const uint32_t* b, int wa, int wb, int count);
