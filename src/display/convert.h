// Turning FrameBuffer pixels (0x00RRGGBB) into the screen's 32-, 24- or 16-bit format,
// and filling the FrameBuffer. The SIMD forms (SSE2) give exactly the plain results.
#pragma once
#include <cstdint>

// 32 bits: the four bytes as they are.
void convert_32_plain(void* dst, const uint32_t* src, int count);
void convert_32_simd(void* dst, const uint32_t* src, int count);
// 24 bits: blue, green, red, packed.
void convert_24(void* dst, const uint32_t* src, int count);
// 16 bits: 5-6-5 by truncation, little-endian, two pixels per 32-bit store.
void convert_16(void* dst, const uint32_t* src, int count);
uint16_t pixel_to_565(uint32_t pixel);

void fill_plain(uint32_t* dst, uint32_t value, int count);
void fill_simd(uint32_t* dst, uint32_t value, int count);
