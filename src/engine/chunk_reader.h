// Little-endian reads for the .3DS loader and the track readers. Every read stays inside
// the current chunk: a read past reader->end fails, sets ok = false and yields zeros.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/kelp_records.h"

// A bounded little-endian reader over a file held in memory. Reads past `end` fail
// (ok := false) and return zeros, so a short chunk never eats its siblings.
struct ChunkReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
  size_t end;   // limit of the chunk being read
  float scale;  // the load scale
  bool ok;
};

// Track chunk readers (the reader stands at the track header). Return 1, or 0 when the
// key table cannot be allocated; a malformed track sets reader->ok = false.
int track_read_vector(ChunkReader* reader, Track* track, int is_colour);
int track_read_float(ChunkReader* reader, FloatTrack* track);
int track_read_rotation(ChunkReader* reader, RotationTrack* track);

namespace kelp_io {

inline bool take(ChunkReader* r, void* out, size_t n) {
  if (!r->ok || r->pos > r->end || r->end - r->pos < n) {
    r->ok = false;
    std::memset(out, 0, n);
    return false;
  }
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
  return true;
}

inline uint16_t read_u16(ChunkReader* r) {
  uint8_t b[2];
  take(r, b, 2);
  return (uint16_t)(b[0] | (b[1] << 8));
}

inline int read_s16(ChunkReader* r) {
  return (int16_t)read_u16(r);
}

inline uint32_t read_u32(ChunkReader* r) {
  uint8_t b[4];
  take(r, b, 4);
  return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

inline int32_t read_s32(ChunkReader* r) {
  return (int32_t)read_u32(r);
}

inline float read_float(ChunkReader* r) {
  const uint32_t u = read_u32(r);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

inline Vec3 read_vec3(ChunkReader* r) {
  Vec3 v;
  v.x = read_float(r);
  v.y = read_float(r);
  v.z = read_float(r);
  return v;
}

inline void skip(ChunkReader* r, size_t n) {
  if (!r->ok || r->pos > r->end || r->end - r->pos < n) {
    r->ok = false;
    return;
  }
  r->pos += n;
}

inline size_t remaining(const ChunkReader* r) {
  return r->pos < r->end ? r->end - r->pos : 0;
}

}  // namespace kelp_io
