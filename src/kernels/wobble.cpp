// The delayed-rotation wobble: a short history of rotations, newest first; each vertex turns
// by the entry of its ring, so the outer rings follow the inner ones late and the object
// twists like jelly.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/kelp.h"
#include "kernels/kernels.h"

namespace {

struct WobbleVertex {
  Vec3 rest_position;
  Vec3 rest_normal;
  int ring;
};

struct WobbleEntry {
  float angles[3];
  int valid;  // the matrix matches the angles
  Mat4 matrix;
};

constexpr float kRingsPerUnit = 0.65f;
constexpr float kStepsPerUnit = 15.0f;
// A mesh wider than any the show loads (or with absurd coordinates) shares its outermost
// rings rather than asking for a history of millions of entries.
constexpr int kMaxHistory = 4096;

struct Wobble {
  std::vector<WobbleVertex> vertices;
  std::vector<WobbleEntry> history;
  float sums[3] = {};
  bool first_call = true;
  long steps = 0;  // whole steps taken since the origin
};

Wobble wobble;

void add_rates(float a, float b, float c) {
  wobble.sums[0] += a;
  wobble.sums[1] += b;
  wobble.sums[2] += c;
}

void set_entry(WobbleEntry& e) {
  std::copy(wobble.sums, wobble.sums + 3, e.angles);
  e.valid = 0;
}

}  // namespace

void wobble_prepare(const Mesh* mesh) {
  wobble = Wobble{};
  const Vertex* v = mesh->world->vertices + mesh->first_vertex;
  float largest_sq = 0.0f;
  for (int k = 0; k < mesh->vertex_count; ++k) {
    const float sq = vec_length_sq(&v[k].position);
    const float ring = std::floor(std::sqrt(sq) * kRingsPerUnit);
    // NaN and huge distances land on the outermost ring instead of past the history.
    const int index = ring >= 0.0f ? static_cast<int>(std::min(ring, float(kMaxHistory - 1))) : 0;
    wobble.vertices.push_back({v[k].position, v[k].normal, index});
    if (sq > largest_sq) largest_sq = sq;
  }
  const float n = std::ceil(std::sqrt(largest_sq) * kRingsPerUnit) + 3.0f;
  const int length = static_cast<int>(std::min(n, float(kMaxHistory)));
  wobble.history.assign(length, WobbleEntry{});
  for (auto& wv : wobble.vertices) wv.ring = std::min(wv.ring, length - 1);
}

void wobble_step(float a, float b, float c, float time, float origin) {
  auto& h = wobble.history;
  const int n = static_cast<int>(h.size());
  if (n == 0) return;
  if (wobble.first_call) {
    wobble.first_call = false;
    wobble.steps = 0;
    std::fill(wobble.sums, wobble.sums + 3, 0.0f);
    for (int i = n - 1; i >= 0; --i) {
      set_entry(h[i]);
      add_rates(a, b, c);
    }
  }
  const float since = time - origin;
  if (!(since >= 0.0f)) return;
  // Beyond this the step count no longer fits and the angles no longer change in floats.
  const long due = static_cast<long>(std::min(since * kStepsPerUnit, 1.0e12f));
  long pending = due - wobble.steps;
  if (pending <= 0) return;
  wobble.steps = due;
  // Steps that would be pushed out of the history again within this call only turn the sums.
  if (pending - n > (1L << 20)) {
    const float excess = static_cast<float>(pending - n);
    add_rates(a * excess, b * excess, c * excess);
    pending = n;
  }
  for (; pending > n; --pending) add_rates(a, b, c);
  const int shift = static_cast<int>(pending);
  // Entries keep their matrices as they move: the same angles give the same matrix.
  std::move_backward(h.begin(), h.end() - shift, h.end());
  for (int j = shift - 1; j >= 0; --j) {
    add_rates(a, b, c);
    set_entry(h[j]);
  }
}

void wobble_apply(Mesh* mesh) {
  Vertex* v = mesh->world->vertices + mesh->first_vertex;
  const int count = std::min<int>(mesh->vertex_count, static_cast<int>(wobble.vertices.size()));
  for (int k = 0; k < count; ++k) {
    const WobbleVertex& wv = wobble.vertices[k];
    WobbleEntry& e = wobble.history[wv.ring];
    if (!e.valid) {
      mat_rotation_euler(&e.matrix, e.angles[0], e.angles[1], e.angles[2]);
      e.valid = 1;
    }
    mat_transform_point(&wv.rest_position, &e.matrix, &v[k].position);
    mat_rotate_vector(&wv.rest_normal, &e.matrix, &v[k].normal);
  }
}

int wobble_history_length() {
  return static_cast<int>(wobble.history.size());
}

long wobble_steps_taken() {
  return wobble.steps;
}
