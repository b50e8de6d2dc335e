// Keyframe tracks: reading them from the keyframer chunks, the Kochanek-Bartels spline
// with ease in/out, rotation tracks as accumulated axis-angle keys, and the evaluation of
// the node hierarchy into world matrices.
#include <cmath>
#include <cstdlib>

#include "engine/chunk_reader.h"
#include "engine/kelp.h"

using namespace kelp_io;

namespace {

struct SplineParams {
  float tension, continuity, bias, ease_to, ease_from;
};

// Track header: flags, 8 bytes, key count (low 16 bits of a 32-bit count). Returns the
// count, or -1 when the chunk cannot hold that many keys of at least `min_key` bytes.
int read_track_header(ChunkReader* r, int* flags, size_t min_key) {
  *flags = read_s16(r);
  skip(r, 8);
  const int count = read_u16(r);
  skip(r, 2);
  if (!r->ok) return -1;
  if ((size_t)count * min_key > remaining(r)) {
    r->ok = false;
    return -1;
  }
  return count;
}

// Key header: frame (low 16 bits, sign-extended), spline flags, then the parameters the
// flag bits announce; bits 5..15 announce words nobody uses.
int read_key_header(ChunkReader* r, int* spline_flags, SplineParams* p) {
  const int frame = read_s16(r);
  skip(r, 2);
  const int f = read_u16(r);
  *spline_flags = f;
  float* slots[5] = {&p->tension, &p->continuity, &p->bias, &p->ease_to, &p->ease_from};
  for (int bit = 0; bit < 5; ++bit) *slots[bit] = (f & (1 << bit)) ? read_float(r) : 0.0f;
  for (int bit = 5; bit < 16; ++bit) {
    if (f & (1 << bit)) skip(r, 4);
  }
  return frame;
}

template <typename Key>
void set_params(Key* k, const SplineParams& p) {
  k->tension = p.tension;
  k->continuity = p.continuity;
  k->bias = p.bias;
  k->ease_to = p.ease_to;
  k->ease_from = p.ease_from;
}

// Key 0 copies key 1, keys count+1 and count+2 copy key count: one neighbour past each end.
template <typename Key>
void pad_keys(Key* keys, int count) {
  if (count < 1) return;
  keys[0] = keys[1];
  keys[count + 1] = keys[count];
  keys[count + 2] = keys[count];
}

// Where a frame falls in a track. Returns the key whose value is the answer (no
// interpolation) in *only, or the segment (i - 1, i) and its parameter t.
template <typename Key>
bool locate(int flags, const Key* keys, int count, float f, int* only, int* seg, float* t) {
  const float last = (float)keys[count].frame;
  // A repeating track whose last key is at frame 0 has no period to wrap by.
  if ((flags & kTrackRepeat) && last != 0.0f) f = std::fmod(f, last);
  if (count == 1) {
    *only = 1;
    return false;
  }
  if (f > last) {
    *only = count;
    return false;
  }
  if (f < (float)keys[1].frame) {
    *only = 1;
    return false;
  }
  int i = 2;
  while (i < count && !(f <= (float)keys[i].frame)) ++i;  // never past the table
  const float f0 = (float)keys[i - 1].frame, f1 = (float)keys[i].frame;
  float span = f1 - f0;
  if (span == 0.0f) span = 1.0f;
  *seg = i;
  *t = (f - f0) / span;
  return true;
}

struct Hermite {
  float h1, h2, h3, h4;
  float r1a, r1b, r2a, r2b;  // tangent weights for (P1-P0), (P2-P1) and (P2-P1), (P3-P2)
};

template <typename Key>
Hermite hermite(const Key* keys, int i, float t) {
  const Key& k1 = keys[i - 1];
  const Key& k2 = keys[i];
  const float s = track_ease(t, k1.ease_from, k2.ease_to);
  const float s2 = s * s, s3 = s2 * s;
  Hermite h;
  h.h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
  h.h2 = -2.0f * s3 + 3.0f * s2;
  h.h3 = s3 - 2.0f * s2 + s;
  h.h4 = s3 - s2;
  const float t1 = k1.tension, c1 = k1.continuity, b1 = k1.bias;
  const float t2 = k2.tension, c2 = k2.continuity, b2 = k2.bias;
  h.r1a = 0.5f * (1.0f - t1) * (1.0f - b1) * (1.0f + c1);
  h.r1b = 0.5f * (1.0f - t1) * (1.0f + b1) * (1.0f - c1);
  h.r2a = 0.5f * (1.0f - t2) * (1.0f + b2) * (1.0f + c2);
  h.r2b = 0.5f * (1.0f - t2) * (1.0f - b2) * (1.0f - c2);
  return h;
}

float spline(const Hermite& h, float p0, float p1, float p2, float p3) {
  const float r1 = h.r1a * (p1 - p0) + h.r1b * (p2 - p1);
  const float r2 = h.r2a * (p2 - p1) + h.r2b * (p3 - p2);
  return h.h1 * p1 + h.h2 * p2 + h.h3 * r1 + h.h4 * r2;
}

template <typename T>
T* alloc_keys(int count) {
  return static_cast<T*>(std::calloc((size_t)count + 3, sizeof(T)));
}

// The shape every track chunk shares: header, then per key its frame, spline flags and
// parameters followed by a value that `read_value` takes, then the padding keys. Returns
// 0 only when the key table cannot be allocated; a malformed track leaves no keys.
template <typename Key, typename TrackT, typename ReadValue>
int read_track(ChunkReader* r, TrackT* track, size_t value_size, ReadValue read_value) {
  int flags = 0;
  const int count = read_track_header(r, &flags, 6 + value_size);
  std::free(track->keys);
  track->keys = nullptr;
  track->key_count = 0;
  track->flags = flags;
  if (count < 0) return 1;
  Key* keys = alloc_keys<Key>(count);
  if (!keys) return 0;
  for (int k = 1; k <= count && r->ok; ++k) {
    SplineParams p;
    keys[k].frame = read_key_header(r, &keys[k].spline_flags, &p);
    set_params(&keys[k], p);
    read_value(&keys[k]);
  }
  pad_keys(keys, count);
  track->keys = keys;
  track->key_count = r->ok ? count : 0;
  return 1;
}

const Vec3& key_value(const TrackKey& k) {
  return k.value;
}
float key_value(const FloatTrackKey& k) {
  return k.value;
}
const Mat4& key_value(const RotationTrackKey& k) {
  return k.accumulated;
}

// Sets the track's value at `frame`: a key's own value outside the keys or for a single
// key, else what `between` makes of the segment (keys, i - 1 .. i, t).
template <typename TrackT, typename Between>
void eval_track(TrackT* track, float frame, Between between) {
  if (track->key_count < 1 || !track->keys) return;
  int only = 0, i = 0;
  float t = 0.0f;
  if (!locate(track->flags, track->keys, track->key_count, frame, &only, &i, &t)) {
    track->value = key_value(track->keys[only]);
    return;
  }
  between(track->keys, i, t);
}

}  // namespace

float track_ease(float t, float a, float b) {
  const float sum = a + b;
  if (sum == 0.0f) return t;
  if (sum > 1.0f) {
    a = a / sum;
    b = b / sum;
  }
  const float k = 1.0f / (2.0f - a - b);
  if (t < a) return (k / a) * t * t;
  if (t < 1.0f - b) return k * (2.0f * t - a);
  const float u = 1.0f - t;
  if (u == 0.0f) return 1.0f;  // the end of the segment, also when b is 0 (k / b undefined)
  return 1.0f - (k / b) * u * u;
}

int track_read_vector(ChunkReader* r, Track* track, int is_colour) {
  return read_track<TrackKey>(r, track, 12, [&](TrackKey* key) {
    Vec3 v = read_vec3(r);
    if (!is_colour) {
      vec_scale(&v, r->scale, &v);
      vec_swap_yz(&v);
    }
    key->value = v;
  });
}

int track_read_float(ChunkReader* r, FloatTrack* track) {
  return read_track<FloatTrackKey>(r, track, 4,
                                   [&](FloatTrackKey* key) { key->value = read_float(r); });
}

int track_read_rotation(ChunkReader* r, RotationTrack* track) {
  Mat4 acc;
  mat_identity(&acc);
  return read_track<RotationTrackKey>(r, track, 16, [&](RotationTrackKey* key) {
    key->angle = read_float(r);
    Vec3 axis = read_vec3(r);
    vec_swap_yz(&axis);
    key->axis = axis;
    // File keys are relative to the previous one; each key keeps the absolute rotation.
    Mat4 step;
    mat_axis_angle(&axis, key->angle, &step);
    mat_mul(&acc, &step, &acc);
    key->accumulated = acc;
  });
}

void track_eval_vector(Track* track, float frame) {
  eval_track(track, frame, [&](const TrackKey* keys, int i, float t) {
    const Hermite h = hermite(keys, i, t);
    const Vec3 &p0 = keys[i - 2].value, &p1 = keys[i - 1].value, &p2 = keys[i].value,
               &p3 = keys[i + 1].value;
    track->value.x = spline(h, p0.x, p1.x, p2.x, p3.x);
    track->value.y = spline(h, p0.y, p1.y, p2.y, p3.y);
    track->value.z = spline(h, p0.z, p1.z, p2.z, p3.z);
  });
}

void track_eval_float(FloatTrack* track, float frame) {
  eval_track(track, frame, [&](const FloatTrackKey* keys, int i, float t) {
    const Hermite h = hermite(keys, i, t);
    track->value =
        spline(h, keys[i - 2].value, keys[i - 1].value, keys[i].value, keys[i + 1].value);
  });
}

void track_eval_rotation(RotationTrack* track, float frame) {
  eval_track(track, frame, [&](const RotationTrackKey* keys, int i, float t) {
    // The angle is interpolated linearly; the keys' spline parameters take no part.
    Mat4 step;
    mat_axis_angle(&keys[i].axis, keys[i].angle * t, &step);
    mat_mul(&keys[i - 1].accumulated, &step, &track->value);
  });
}

void node_evaluate(Node* node, float frame) {
  Mat4& m = node->world_matrix;
  mat_identity(&m);
  // A track without keys counts as absent.
  if (node->scale_present && node->scale.key_count > 0) {
    track_eval_vector(&node->scale, frame);
    Mat4 s;
    mat_scale(&s, node->scale.value.x, node->scale.value.y, node->scale.value.z);
    mat_mul(&m, &s, &m);
  }
  if (node->rotation_present && node->rotation.key_count > 0) {
    track_eval_rotation(&node->rotation, frame);
    mat_mul(&m, &node->rotation.value, &m);
  }
  if (node->position_present && node->position.key_count > 0) {
    track_eval_vector(&node->position, frame);
    m.m[12] += node->position.value.x;
    m.m[13] += node->position.value.y;
    m.m[14] += node->position.value.z;
  }
  if (node->colour_present) track_eval_vector(&node->colour, frame);
  if (node->fov_present) track_eval_float(&node->fov, frame);
  if (node->roll_present) track_eval_float(&node->roll, frame);
  if (node->parent) mat_mul(&m, &node->parent->world_matrix, &m);
  for (int c = 0; c < node->child_count && node->children; ++c) {
    if (node->children[c]) node_evaluate(node->children[c], frame);
  }
}

void world_animate(World* world, float time) {
  // A World without a keyframe segment stays at frame 0 rather than fmod by zero.
  const float frame = world->last_frame != 0 ? std::fmod(time, (float)world->last_frame) : 0.0f;
  node_evaluate(&world->root, frame);
}
