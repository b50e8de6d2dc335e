// The per-frame pipeline: mesh transform, box and vertex tests, lighting, culling, the
// draw list and its depth sort, Sutherland-Hodgman clipping and fan drawing.
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/kelp.h"
#include "engine/raster.h"
#include "engine/view_internal.h"

namespace {

// Each plane adds at most one vertex to a convex polygon; a caller's polygon is cut to
// leave room for every plane, so the buffers never overflow.
constexpr int kClipCapacity = 64;
constexpr int kClipInputLimit = kClipCapacity - kViewMaxPlanes;
constexpr int kScratchRing = 256;

Vertex* clip_a[kClipCapacity];
Vertex* clip_b[kClipCapacity];
Vertex** clip_in = clip_a;
Vertex** clip_out = clip_b;
int clip_count = 0;
Vertex scratch[kScratchRing];
int scratch_next = 0;  // wraps at 256, never reset

Vertex* next_scratch() {
  Vertex* v = &scratch[scratch_next];
  scratch_next = (scratch_next + 1) & (kScratchRing - 1);
  return v;
}

inline float lerp(float a, float b, float t) {
  return a + (b - a) * t;
}

Vertex* intersect(const Vertex* p, const Vertex* q, float t) {
  Vertex* v = next_scratch();
  v->camera_position.x = lerp(p->camera_position.x, q->camera_position.x, t);
  v->camera_position.y = lerp(p->camera_position.y, q->camera_position.y, t);
  v->camera_position.z = lerp(p->camera_position.z, q->camera_position.z, t);
  v->camera_normal.x = lerp(p->camera_normal.x, q->camera_normal.x, t);
  v->camera_normal.y = lerp(p->camera_normal.y, q->camera_normal.y, t);
  v->camera_normal.z = lerp(p->camera_normal.z, q->camera_normal.z, t);
  v->u = lerp(p->u, q->u, t);
  v->v = lerp(p->v, q->v, t);
  v->highlight = lerp(p->highlight, q->highlight, t);
  v->intensity = lerp(p->intensity, q->intensity, t);
  v->r = lerp(p->r, q->r, t);
  v->g = lerp(p->g, q->g, t);
  v->b = lerp(p->b, q->b, t);
  return v;
}

// The depth sort: keys in descending order by Hoare's partition around the middle key. The
// keys sit in an array beside the list, padded on both sides, so that each scan tests four
// at a time; a scan stops exactly where the one-at-a-time scan stops (the order, ties
// included, is the same), but its exit is no longer a branch on every key.
constexpr int kSortPad = 4;  // a scan's last group reaches at most 3 keys past its range
std::vector<int32_t> sort_keys;

// The first index from i whose key is not above the pivot, and the last down from j whose
// key is not below it. Both exist inside the range being partitioned.
inline int scan_up(const int32_t* key, int i, int32_t pivot) {
#ifdef __SSE2__
  const __m128i p = _mm_set1_epi32(pivot);
  for (;; i += 4) {
    const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + i));
    const unsigned stop = ~_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(k, p))) & 15u;
    if (stop != 0) return i + std::countr_zero(stop);
  }
#else
  while (key[i] > pivot) ++i;
  return i;
#endif
}

inline int scan_down(const int32_t* key, int j, int32_t pivot) {
#ifdef __SSE2__
  const __m128i p = _mm_set1_epi32(pivot);
  for (;; j -= 4) {
    const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + j - 3));
    const unsigned stop = ~_mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(k, p))) & 15u;
    if (stop != 0) return j - 3 + (31 - std::countl_zero(stop));
  }
#else
  while (key[j] < pivot) --j;
  return j;
#endif
}

void quicksort(int32_t* key, Face** list, int low, int high) {
  const int32_t pivot = key[(low + high) / 2];
  int i = low, j = high;
  while (i <= j) {
    i = scan_up(key, i, pivot);
    j = scan_down(key, j, pivot);
    if (i <= j) {
      std::swap(key[i], key[j]);
      std::swap(list[i], list[j]);
      ++i;
      --j;
    }
  }
  if (low < j) quicksort(key, list, low, j);
  if (i < high) quicksort(key, list, i, high);
}

void sort_by_depth(Face** list, int count) {
  sort_keys.resize(static_cast<size_t>(count) + 2 * kSortPad);
  int32_t* const key = sort_keys.data() + kSortPad;
  for (int k = 0; k < count; ++k) key[k] = list[k]->depth_key;
  quicksort(key, list, 0, count - 1);
}

inline int truncate_depth(float z) {
  if (!(z > -2.0e9f)) return -2000000000;
  if (!(z < 2.0e9f)) return 2000000000;
  return static_cast<int>(z);
}

void set_corner(Vertex* v, const Face* face, int corner, float intensity) {
  v->u = face->mapping[corner * 2];
  v->v = face->mapping[corner * 2 + 1];
  v->intensity = intensity;
}

Material* face_material(const Face* face) {
  if (face->material != nullptr && face->material->texture_ready == 1) return face->material;
  return face->fallback_material;
}

void draw_face(View* view, Face* face, int clip_mask, const float* intensities) {
  set_corner(face->pa, face, 0, intensities[0]);
  set_corner(face->pb, face, 1, intensities[1]);
  set_corner(face->pc, face, 2, intensities[2]);
  Material* material = face_material(face);
  if (material == nullptr) return;
  raster_set_material(material);
  clip_face(face, clip_mask, view);
  draw_polygon(view);
}

}  // namespace

int clip_polygon_count() {
  return clip_count;
}
Vertex* clip_polygon_vertex(int index) {
  return index >= 0 && index < clip_count ? clip_in[index] : nullptr;
}

bool cull_screen(const Vertex* a, const Vertex* b, const Vertex* c, int mode) {
  const float s = (a->screen_y - c->screen_y) * (a->screen_x - b->screen_x) -
                  (a->screen_y - b->screen_y) * (a->screen_x - c->screen_x);
  return (mode == 0 && s > 0.0f) || (mode == 1 && s < 0.0f);
}

bool cull_camera(const Vertex* a, const Vertex* b, const Vertex* c, int mode) {
  Vec3 ab;
  vec_cross(&a->camera_position, &b->camera_position, &ab);
  const float s = -vec_dot(&ab, &c->camera_position);
  return (mode == 0 && s > 0.0f) || (mode == 1 && s < 0.0f);
}

int vertex_outcode(const Vec3* p, const View* view, int set) {
  int code = 0;
  const int count = std::clamp(view->plane_count, 0, kViewMaxPlanes);
  // Only the planes in the set, and no branch on the side: that depends on the vertex.
  for (unsigned bits = static_cast<unsigned>(set) & ((1u << count) - 1u); bits != 0;
       bits &= bits - 1) {
    const int i = std::countr_zero(bits);
    const Plane& pl = view->planes[i];
    code |= static_cast<int>(!(vec_dot(p, &pl.normal) >= pl.d)) << i;
  }
  return code;
}

bool mesh_box_test(const Mesh* mesh, const Mat4* camera, const View* view, int* straddled) {
  int all = ~0, any = 0;
  for (int k = 0; k < 8; ++k) {
    Vec3 c;
    mat_transform_point(&mesh->bounds[k], camera, &c);
    int code = 0;
    for (int i = 0; i < view->plane_count; ++i) {
      const Plane& pl = view->planes[i];
      // Strictly inside here; the vertices below use the inclusive test.
      if (!(vec_dot(&c, &pl.normal) > pl.d)) code |= 1 << i;
    }
    all &= code;
    any |= code;
  }
  *straddled = any;
  return all == 0;
}

int face_depth_key(const Face* face) {
  return std::max({truncate_depth(face->pa->depth), truncate_depth(face->pb->depth),
                   truncate_depth(face->pc->depth)});
}

void world_reset_mesh_matrices(World* world) {
  for (int i = 0; i < world->mesh_count; ++i) {
    world->meshes[i].render_matrix = world->meshes[i].node.world_matrix;
  }
}

void world_transform_meshes(World* world, const Mat4* m) {
  for (int i = 0; i < world->mesh_count; ++i) {
    Mesh& mesh = world->meshes[i];
    mat_mul(&mesh.render_matrix, m, &mesh.render_matrix);
  }
}

void world_draw_meshes(World* world, View* view) {
  for (int i = 0; i < world->mesh_count; ++i) mesh_draw(&world->meshes[i], view);
}

void mesh_draw(Mesh* mesh, View* view) {
  World* world = mesh->world;
  mat_mul(&mesh->render_matrix, &view->view_matrix, &mesh->camera_matrix);
  int set = 0;
  if (!mesh_box_test(mesh, &mesh->camera_matrix, view, &set)) return;

  Vertex* v = world->vertices + mesh->first_vertex;
  for (int n = 0; n < mesh->vertex_count; ++n, ++v) {
    mat_transform_point(&v->position, &mesh->camera_matrix, &v->camera_position);
    v->outcode = set ? vertex_outcode(&v->camera_position, view, set) : 0;
    vertex_project(v, view);
    mat_rotate_vector(&v->normal, &mesh->camera_matrix, &v->camera_normal);
    v->r = view->ambient_r;
    v->g = view->ambient_g;
    v->b = view->ambient_b;
    v->highlight = 0.0f;
  }
  mesh_light(mesh);
  if (view->fog_on) mesh_fog(mesh, view);

  Face* f = world->faces + mesh->first_face;
  for (int n = 0; n < mesh->face_count; ++n, ++f) {
    const Vertex *a = f->pa, *b = f->pb, *c = f->pc;
    if (a->outcode & b->outcode & c->outcode) continue;
    f->clip_mask = a->outcode | b->outcode | c->outcode;
    const bool behind = a->camera_position.z <= 0.0f || b->camera_position.z <= 0.0f ||
                        c->camera_position.z <= 0.0f;
    if (behind ? cull_camera(a, b, c, view->cull_mode) : cull_screen(a, b, c, view->cull_mode)) {
      continue;
    }
    f->depth_key = face_depth_key(f);
    // A full list drops the face rather than writing past its end.
    if (view->draw_count >= view->draw_capacity) {
      ++view->dropped_faces;
      continue;
    }
    view->draw_list[view->draw_count++] = f;
  }
}

void view_sort(View* view, int mode) {
  if (mode != 1) return;
  view->nearest_first = 1;
  if (view->draw_count < 2) return;
  sort_by_depth(view->draw_list, view->draw_count);
}

void clip_begin(Vertex* vertices, int count) {
  clip_in = clip_a;
  clip_out = clip_b;
  clip_count = std::clamp(count, 0, kClipInputLimit);
  for (int i = 0; i < clip_count; ++i) clip_in[i] = &vertices[i];
}

void clip_plane(const Plane* plane) {
  int out = 0;
  const int n = clip_count;
  // Each corner's distance once: every corner starts one edge and ends another.
  float dist[kClipCapacity];
  int inside = 0;
  for (int i = 0; i < n; ++i) {
    dist[i] = vec_dot(&clip_in[i]->camera_position, &plane->normal);
    inside += dist[i] >= plane->d;
  }
  // Most polygons lie wholly on one side: they pass as they are, or vanish.
  if (inside == n) return;
  if (inside == 0) {
    clip_count = 0;
    return;
  }
  for (int i = 0; i < n && out < kClipCapacity; ++i) {
    const int j = i + 1 < n ? i + 1 : 0;
    Vertex* p = clip_in[i];
    Vertex* q = clip_in[j];
    const float dp = dist[i], dq = dist[j];
    const bool p_in = dp >= plane->d, q_in = dq >= plane->d;
    if (p_in) clip_out[out++] = p;
    if (p_in != q_in && out < kClipCapacity) {
      clip_out[out++] = intersect(p, q, (plane->d - dp) / (dq - dp));
    }
  }
  std::swap(clip_in, clip_out);
  clip_count = out;
}

int clip_face(Face* face, int clip_mask, const View* view) {
  clip_in = clip_a;
  clip_out = clip_b;
  clip_in[0] = face->pa;
  clip_in[1] = face->pb;
  clip_in[2] = face->pc;
  clip_count = 3;
  for (int i = 0; i < view->plane_count && clip_count > 0; ++i) {
    if (clip_mask & (1 << i)) clip_plane(&view->planes[i]);
  }
  return clip_count;
}

namespace {

// The least stored depth of each 8 x 8 pixels of a View's depth buffer, each found when
// first asked for. It is made after a depth pass, and the drawing that follows only ever
// raises stored depths, so what it holds stays a lower bound: a polygon whose nearest
// corner lies behind the least depth of every tile under its box cannot show.
class LeastDepth {
 public:
  void reset(const View* v) {
    depth_ = v->depth_buffer;
    pitch_ = v->pitch_pixels;
    width_ = v->width;
    height_ = v->height;
    cols_ = (width_ + kTile - 1) >> kTileShift;
    const int rows = (height_ + kTile - 1) >> kTileShift;
    least_.assign(static_cast<size_t>(std::max(cols_ * rows, 0)), kUnknown);
  }

  // True when no pixel of the projected polygon with these n corners passes the depth test
  // (z >= stored).
  bool hides(Vertex* const* corners, int n) {
    if (depth_ == nullptr || n < 3) return false;
    float x0 = corners[0]->screen_x, x1 = x0, y0 = corners[0]->screen_y, y1 = y0;
    float nearest_z = corners[0]->depth;
    for (int i = 1; i < n; ++i) {
      x0 = std::min(x0, corners[i]->screen_x);
      x1 = std::max(x1, corners[i]->screen_x);
      y0 = std::min(y0, corners[i]->screen_y);
      y1 = std::max(y1, corners[i]->screen_y);
      nearest_z = std::min(nearest_z, corners[i]->depth);
    }
    if (!(nearest_z > 0.0f) || !(x0 > -1.0e6f && x1 < 1.0e6f && y0 > -1.0e6f && y1 < 1.0e6f)) {
      return false;
    }
    // Stored depth is linear in 1 / z across a triangle, so its largest value is at a
    // corner; the margin covers the rasterizers' rounding and fixed-point steps many times.
    const double nearest = double(kRasterDepthScale) / nearest_z * 1.001 + 64.0;
    if (nearest >= 2147483520.0) return false;
    // Rows start at 0 for corners above row 1, as the rasterizers' set-up moves them.
    const int c0 = std::max(static_cast<int>(std::floor(x0)) - 1, 0);
    const int c1 = std::min(static_cast<int>(std::ceil(x1)) + 1, width_ - 1);
    const int r0 = y0 < 1.0f ? 0 : std::max(static_cast<int>(std::floor(y0)) - 1, 0);
    const int r1 = std::min(static_cast<int>(std::ceil(y1)) + 1, height_ - 1);
    if (c0 > c1 || r0 > r1) return false;
    for (int ty = r0 >> kTileShift; ty <= r1 >> kTileShift; ++ty) {
      for (int tx = c0 >> kTileShift; tx <= c1 >> kTileShift; ++tx) {
        if (double(least(tx, ty)) <= nearest) return false;
      }
    }
    return true;
  }

 private:
  static constexpr int kTileShift = 3;
  static constexpr int kTile = 1 << kTileShift;
  static constexpr int64_t kUnknown = INT64_MAX;

  int64_t least(int tx, int ty) {
    int64_t& m = least_[static_cast<size_t>(ty * cols_ + tx)];
    if (m != kUnknown) return m;
    const int x0 = tx << kTileShift, y0 = ty << kTileShift;
    const int x_end = std::min(x0 + kTile, width_);
    const int y_end = std::min(y0 + kTile, height_);
    int32_t low = INT32_MAX;
#ifdef __SSE2__
    if (x_end - x0 == kTile) {
      const auto lower = [](__m128i a, __m128i b) {
        const __m128i b_less = _mm_cmpgt_epi32(a, b);
        return _mm_or_si128(_mm_and_si128(b_less, b), _mm_andnot_si128(b_less, a));
      };
      __m128i v = _mm_set1_epi32(INT32_MAX);
      for (int y = y0; y < y_end; ++y) {
        const int32_t* row = depth_ + static_cast<size_t>(y) * static_cast<size_t>(pitch_) + x0;
        v = lower(v, lower(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4))));
      }
      v = lower(v, _mm_shuffle_epi32(v, 0x4e));
      v = lower(v, _mm_shuffle_epi32(v, 0xb1));
      m = _mm_cvtsi128_si32(v);
      return m;
    }
#endif
    for (int y = y0; y < y_end; ++y) {
      const int32_t* row = depth_ + static_cast<size_t>(y) * static_cast<size_t>(pitch_);
      for (int x = x0; x < x_end; ++x) low = std::min(low, row[x]);
    }
    m = low;
    return m;
  }

  const int32_t* depth_ = nullptr;
  int pitch_ = 0, width_ = 0, height_ = 0, cols_ = 0;
  std::vector<int64_t> least_;
};

// Made during a depth pass for its later faces, and again after the pass for the drawing:
// the stored depth only rises in both.
LeastDepth least_depth;

int material_role(const Material* material) {
  if (material == nullptr) return kRasterDepthBlind;  // draws nothing
  return raster_depth_role(raster_mode_for_flags(material->flags));
}

int depth_role(const Face* face) {
  return material_role(face_material(face));
}

// Members that test depth and draw nothing where it fails.
bool depth_tested(const Material* material) {
  const int role = material_role(material);
  return role == kRasterDepthWriter || role == kRasterDepthOpaque;
}

// The clipped polygon projected, culled and drawn as a fan. Without colours (the depth
// pass) the corners' colours are left as they are: the corners are shared. A polygon that
// `behind` shows to be hidden is projected (and its corners clamped) but not drawn.
void draw_fan(View* view, bool colours, LeastDepth* behind) {
  if (clip_count < 3) return;
  for (int i = 0; i < clip_count; ++i) {
    Vertex* v = clip_in[i];
    vertex_project(v, view);
    if (colours && view->fog_on) {
      v->r = std::max(v->r, 0.0f);
      v->g = std::max(v->g, 0.0f);
      v->b = std::max(v->b, 0.0f);
    }
  }
  // Later faces clip from the clamped corners, so only the drawing is left out.
  if (behind != nullptr && behind->hides(clip_in, clip_count)) return;
  if (cull_screen(clip_in[0], clip_in[1], clip_in[2], view->cull_mode)) return;
  raster_set_view(view);
  for (int k = 1; k + 1 < clip_count; ++k) {
    raster_set_vertices(clip_in[0], clip_in[k], clip_in[k + 1]);
    draw_triangle();
  }
}

// A run with fewer writers is drawn as it is: its overdraw does not repay a second clipping.
constexpr int kDepthPassWriters = 64;

std::vector<Face*> pass_order;

// The depth pass over draw_list[to + 1 .. from]: the writers' polygons clipped and drawn
// as depth alone. Nothing a face's colours depend on is touched (no corner mapping, no
// colour clamp), and the clipper's scratch vertices are handed out again from where they
// were, so the faces' own drawing afterwards is exactly what it would have been.
// Each pixel keeps the largest depth whatever the order, so the writers go nearest first,
// and a face hidden as a whole behind those already raised is left out: it would raise
// nothing. The least-depth map is made again after an eighth, a quarter, a half and three
// quarters of them, as what it holds falls behind the buffer.
void depth_pass(View* view, int from, int to) {
  const int scratch_at = scratch_next;
  pass_order.clear();
  for (int k = from; k > to; --k) {
    Face* face = view->draw_list[k];
    if (depth_role(face) == kRasterDepthWriter) pass_order.push_back(face);
  }
  std::sort(pass_order.begin(), pass_order.end(),
            [](const Face* a, const Face* b) { return a->depth_key < b->depth_key; });
  raster_depth_pass = true;
  const size_t eighth = pass_order.size() / 8;
  for (size_t i = 0; i < pass_order.size(); ++i) {
    if (i == eighth || i == 2 * eighth || i == 4 * eighth || i == 6 * eighth) {
      least_depth.reset(view);
    }
    Face* face = pass_order[i];
    raster_set_material(face_material(face));
    clip_face(face, face->clip_mask, view);
    draw_fan(view, false, i >= eighth ? &least_depth : nullptr);
  }
  raster_depth_pass = false;
  scratch_next = scratch_at;
}

}  // namespace

void draw_polygon(View* view) {
  // After a depth pass most faces are hidden as a whole.
  const bool hidden_test = raster_depth_settled && depth_tested(raster_current_material());
  draw_fan(view, true, hidden_test ? &least_depth : nullptr);
}

void view_render(View* view) {
  // Single-precision arithmetic and truncating casts throughout: the draw is reproducible.
  static const float kHalf[3] = {128.0f, 128.0f, 128.0f};
  // Drawn nearest first, a list hides little of itself: a pass would only cost.
  const bool pass =
      view->depth_buffer != nullptr && view->colour_buffer != nullptr && !view->nearest_first;
  for (int k = view->draw_count - 1; k >= 0;) {
    // In a list in the World's own order, later faces often hide what earlier ones drew: a
    // run of writers and blind faces first has its depth pass, so their hidden pixels are
    // never drawn.
    int end = k;
    if (pass) {
      int writers = 0;
      for (int role; end >= 0 && (role = depth_role(view->draw_list[end])) != kRasterDepthBarrier;
           --end) {
        writers += role == kRasterDepthWriter;
      }
      if (writers >= kDepthPassWriters) {
        depth_pass(view, k, end);
        raster_depth_settled = true;
        least_depth.reset(view);
      }
    }
    for (; k > end; --k) {
      Face* face = view->draw_list[k];
      draw_face(view, face, face->clip_mask, kHalf);
    }
    raster_depth_settled = false;
    if (k >= 0) {
      Face* face = view->draw_list[k--];
      draw_face(view, face, face->clip_mask, kHalf);
    }
  }
}

void view_render_chained(View* view) {
  // A chain that loops back on itself would never end; no real chain is this long.
  constexpr int kMaxChain = 1 << 16;
  for (int k = 0; k < view->draw_count; ++k) {
    Face* head = view->draw_list[k];
    const int mask = head->clip_mask;
    int steps = 0;
    for (Face* f = head; f != nullptr && steps < kMaxChain; f = f->chain_link, ++steps) {
      draw_face(view, f, mask, f->corner_intensity);
    }
  }
}
