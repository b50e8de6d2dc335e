// Metaballs: the balls' summed field on a fixed grid, polygonized by marching cubes straight
// into one Mesh at the end of its World's tables, each triangle emitted once per ball that
// colours it so that the balls' textures blend across the surface.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "engine/kelp.h"
#include "kernels/kernels.h"

MetaBall metaball_table[kMetaBallLimit] = {};
int metaball_count = 0;
uint16_t metaball_edge_table[256] = {};
int8_t metaball_triangle_table[256][kMetaCaseRow] = {};

namespace {

constexpr int kGridPoints = kMetaGridX * kMetaGridY * kMetaGridZ;
constexpr int kCellsX = kMetaGridX - 1, kCellsY = kMetaGridY - 1, kCellsZ = kMetaGridZ - 1;

struct GridPoint {
  Vec3 position;
  Vec3 gradient;
  float value;  // field sum minus the threshold
  float sum;
  float contribution[kMetaBallLimit];
  int gradient_frame;
  GridPoint* next[3];  // at i + 1, j + 1, k + 1 (null past the grid)
};

struct EdgeSlot {
  int vertex;  // local index in the mesh
  int frame;
};

struct Cell {
  GridPoint* corner[8];
  EdgeSlot* edge[12];
};

// Corner c of a cell at offsets (x, y, z) from its lowest grid point.
constexpr int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                               {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};
// Edge e joins corners kEdge[e][0] and kEdge[e][1], along axis kEdgeAxis[e].
constexpr int kEdge[12][2] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}, {4, 5}, {5, 6},
                              {7, 6}, {4, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int kEdgeAxis[12] = {0, 2, 0, 2, 0, 2, 0, 2, 1, 1, 1, 1};

GridPoint grid[kGridPoints];
EdgeSlot slots[kGridPoints][3];
Cell cells[kCellsX * kCellsY * kCellsZ];
float cell_size = 1.0f;
int frame_number = 0;

Face overlay_pool[kMetaOverlayFaces];
int overlay_count = 0;
bool cut_short = false;

int point_index(int i, int j, int k) {
  return (k * kMetaGridY + j) * kMetaGridX + i;
}

// The triangle table, derived from one rule instead of copied as a listing: on every cube
// face the crossings are joined so that each below-threshold corner of an ambiguous face is
// cut off on its own. Two cells that share a face see the same four corners and so join its
// crossings the same way, which keeps the surface free of cracks. The loops of crossings
// are then fanned into triangles wound as case 1 is (edges 0, 8, 3).
void build_case_tables() {
  constexpr int kFaces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 3, 7, 4},
                                {1, 2, 6, 5}, {0, 1, 5, 4}, {3, 2, 6, 7}};
  constexpr int kFaceNormal[6][3] = {{0, -1, 0}, {0, 1, 0},  {-1, 0, 0},
                                     {1, 0, 0},  {0, 0, -1}, {0, 0, 1}};
  auto edge_of = [](int a, int b) {
    for (int e = 0; e < 12; ++e)
      if ((kEdge[e][0] == a && kEdge[e][1] == b) || (kEdge[e][0] == b && kEdge[e][1] == a))
        return e;
    return -1;
  };
  // Twice the midpoint, to stay in integers.
  auto mid2 = [](int e, int axis) {
    return kCorner[kEdge[e][0]][axis] + kCorner[kEdge[e][1]][axis];
  };

  for (int mask = 0; mask < 256; ++mask) {
    auto below = [mask](int c) { return (mask >> c) & 1; };
    uint16_t edges = 0;
    for (int e = 0; e < 12; ++e)
      if (below(kEdge[e][0]) != below(kEdge[e][1])) edges |= static_cast<uint16_t>(1 << e);
    metaball_edge_table[mask] = edges;

    int next[12];
    std::fill(std::begin(next), std::end(next), -1);
    for (int f = 0; f < 6; ++f) {
      const int* q = kFaces[f];
      int side[4];  // edge between corner n and n + 1 of the face
      for (int n = 0; n < 4; ++n) side[n] = edge_of(q[n], q[(n + 1) % 4]);
      int crossed[4], count = 0;
      for (int n = 0; n < 4; ++n)
        if (below(q[n]) != below(q[(n + 1) % 4])) crossed[count++] = n;
      // Segments (from, to, the below corner they cut off).
      int seg[2][3], segs = 0;
      if (count == 2) {
        int corner = q[0];
        for (int n = 0; n < 4; ++n)
          if (below(q[n])) corner = q[n];
        seg[segs][0] = side[crossed[0]];
        seg[segs][1] = side[crossed[1]];
        seg[segs++][2] = corner;
      } else if (count == 4) {
        for (int n = 0; n < 4; ++n)
          if (below(q[n])) {
            seg[segs][0] = side[(n + 3) % 4];
            seg[segs][1] = side[n];
            seg[segs++][2] = q[n];
          }
      }
      for (int s = 0; s < segs; ++s) {
        int from = seg[s][0], to = seg[s][1];
        int p[3], d[3], c[3];
        for (int a = 0; a < 3; ++a) {
          p[a] = mid2(from, a);
          d[a] = mid2(to, a) - p[a];
          c[a] = 2 * kCorner[seg[s][2]][a] - p[a];
        }
        const int cx = d[1] * c[2] - d[2] * c[1], cy = d[2] * c[0] - d[0] * c[2],
                  cz = d[0] * c[1] - d[1] * c[0];
        const int* n = kFaceNormal[f];
        // Seen from outside the cube, the below corner lies to the segment's right.
        if (n[0] * cx + n[1] * cy + n[2] * cz > 0) std::swap(from, to);
        next[from] = to;
      }
    }

    int8_t* row = metaball_triangle_table[mask];
    int out = 0;
    bool seen[12] = {};
    for (int start = 0; start < 12; ++start) {
      if (next[start] < 0 || seen[start]) continue;
      int loop[12], n = 0;
      for (int e = start; !seen[e]; e = next[e]) {
        seen[e] = true;
        loop[n++] = e;
      }
      for (int k = 1; k + 1 < n; ++k) {
        row[out++] = static_cast<int8_t>(loop[0]);
        row[out++] = static_cast<int8_t>(loop[k]);
        row[out++] = static_cast<int8_t>(loop[k + 1]);
      }
    }
    while (out < kMetaCaseRow) row[out++] = -1;
  }
}

void evaluate_point(GridPoint& p, float threshold, int balls) {
  float sum = 0.0f;
  for (int m = 0; m < balls; ++m) {
    const MetaBall& b = metaball_table[m];
    const float dx = p.position.x - b.x, dy = p.position.y - b.y, dz = p.position.z - b.z;
    const float d2 = dx * dx + dy * dy + dz * dz;
    float add = 0.0f;
    if (d2 < b.radius_sq) {
      const float f = 1.0f - d2 / b.radius_sq;
      add = f * f * b.strength;
    }
    p.contribution[m] = std::fabs(add);
    sum += add;
  }
  p.sum = sum;
  p.value = sum - threshold;
}

void ensure_gradient(GridPoint& p) {
  if (p.gradient_frame == frame_number) return;
  const float g = 1.0f / (2.0f * cell_size);
  // Only corners of polygonized cells come here, and they always have all three neighbours.
  p.gradient.x = (p.value - p.next[0]->value) * g;
  p.gradient.y = (p.value - p.next[1]->value) * g;
  p.gradient.z = (p.value - p.next[2]->value) * g;
  p.gradient_frame = frame_number;
}

// Clears a record with 16-byte stores. The compiler turns a memset of a face's size into a
// string instruction whose start-up costs more than the clearing; a build clears thousands.
template <class T>
inline void clear_record(T* record) {
  auto* bytes = reinterpret_cast<unsigned char*>(record);
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= sizeof(T); i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), zero);
  for (; i < sizeof(T); ++i) bytes[i] = 0;
}

struct EdgeScratch {
  int vertex;
  float weight[kMetaBallLimit];
  float total;
};

struct Build {
  Mesh* mesh;
  World* world;
  int balls;
  EdgeScratch edge[12];
};

// Finds or makes the surface vertex on edge e of a cell; false when the World's vertex
// table has no room for it.
bool edge_vertex(Build& b, const Cell& cell, int e) {
  // Always from the edge's lower grid point, so that every cell sharing the edge computes
  // the same weights.
  GridPoint& a = *cell.corner[kEdge[e][0]];
  GridPoint& c = *cell.corner[kEdge[e][1]];
  const float t = -a.value / (c.value - a.value);
  EdgeScratch& s = b.edge[e];
  s.total = 0.0f;
  for (int m = 0; m < b.balls; ++m) {
    s.weight[m] = a.contribution[m] + t * (c.contribution[m] - a.contribution[m]);
    s.total += s.weight[m];
  }
  EdgeSlot& slot = *cell.edge[e];
  if (slot.frame == frame_number) {
    s.vertex = slot.vertex;
    return true;
  }
  Mesh& mesh = *b.mesh;
  const int index = mesh.first_vertex + mesh.vertex_count;
  if (index >= b.world->vertex_capacity) return false;
  Vertex& v = b.world->vertices[index];
  clear_record(&v);
  s.vertex = mesh.vertex_count;
  slot.vertex = mesh.vertex_count;
  slot.frame = frame_number;

  ensure_gradient(a);
  ensure_gradient(c);
  v.position = a.position;
  const int axis = kEdgeAxis[e];
  float* pos = &v.position.x;
  pos[axis] = (&a.position.x)[axis] + t * ((&c.position.x)[axis] - (&a.position.x)[axis]);
  Vec3 n = {a.gradient.x + t * (c.gradient.x - a.gradient.x),
            a.gradient.y + t * (c.gradient.y - a.gradient.y),
            a.gradient.z + t * (c.gradient.z - a.gradient.z)};
  vec_set_length(&n, 1.0f, &v.normal);
  v.u = 127.0f * v.normal.x + 127.0f;
  v.v = 127.0f * v.normal.y + 127.0f;
  ++mesh.vertex_count;
  return true;
}

// Emits the triangle of edges (e0, e1, e2) once for every ball that colours it; false when
// a face finds no room (the surface ends there).
bool emit_triangle(Build& b, const int e[3]) {
  Mesh& mesh = *b.mesh;
  World& world = *b.world;
  Face* previous = nullptr;
  for (int m = 0; m < b.balls; ++m) {
    const EdgeScratch* s[3] = {&b.edge[e[0]], &b.edge[e[1]], &b.edge[e[2]]};
    if (!(s[0]->weight[m] > 0.0f || s[1]->weight[m] > 0.0f || s[2]->weight[m] > 0.0f)) continue;
    float intensity[3];
    bool strong = false;
    for (int k = 0; k < 3; ++k) {
      intensity[k] = s[k]->total > 0.0f ? 255.0f * s[k]->weight[m] / s[k]->total : 0.0f;
      strong = strong || intensity[k] >= 3.0f;
    }
    if (!strong) continue;

    Face* face;
    if (previous == nullptr) {
      const int index = mesh.first_face + mesh.face_count;
      if (index >= world.face_capacity) return false;
      face = &world.faces[index];
    } else {
      if (overlay_count >= kMetaOverlayFaces) return false;
      face = &overlay_pool[overlay_count];
    }
    clear_record(face);
    int* corner = &face->a;
    Vertex** vp = &face->pa;
    for (int k = 0; k < 3; ++k) {
      corner[k] = mesh.first_vertex + s[k]->vertex;
      vp[k] = &world.vertices[corner[k]];
      face->mapping[2 * k] = vp[k]->u;
      face->mapping[2 * k + 1] = vp[k]->v;
      face->corner_intensity[k] = intensity[k];
    }
    // A face whose own material has no texture draws with material 0 rather than not at
    // all.
    face->fallback_material = &world.materials[0];
    if (previous == nullptr) {
      face->material = metaball_table[m].base;
      ++mesh.face_count;
    } else {
      face->material = metaball_table[m].overlay;
      previous->chain_link = face;
      ++overlay_count;
    }
    previous = face;
  }
  return true;
}

bool polygonize(Build& b, const Cell& cell) {
  int mask = 0;
  for (int c = 0; c < 8; ++c)
    if (cell.corner[c]->value < 0.0f) mask |= 1 << c;
  const uint16_t edges = metaball_edge_table[mask];
  if (edges == 0) return true;
  for (int e = 0; e < 12; ++e)
    if ((edges & (1 << e)) && !edge_vertex(b, cell, e)) return false;
  const int8_t* row = metaball_triangle_table[mask];
  for (int k = 0; row[k] >= 0; k += 3) {
    const int tri[3] = {row[k], row[k + 1], row[k + 2]};
    if (!emit_triangle(b, tri)) return false;
  }
  return true;
}

}  // namespace

void metaballs_init(float size) {
  build_case_tables();
  cell_size = size;
  for (int k = 0; k < kMetaGridZ; ++k)
    for (int j = 0; j < kMetaGridY; ++j)
      for (int i = 0; i < kMetaGridX; ++i) {
        const int n = point_index(i, j, k);
        GridPoint& p = grid[n];
        std::memset(&p, 0, sizeof p);
        p.position = {(static_cast<float>(i) - 10.5f) * size, (static_cast<float>(j) - 6.0f) * size,
                      (static_cast<float>(k) - 10.5f) * size};
        p.gradient_frame = -1;
        p.next[0] = i + 1 < kMetaGridX ? &grid[point_index(i + 1, j, k)] : nullptr;
        p.next[1] = j + 1 < kMetaGridY ? &grid[point_index(i, j + 1, k)] : nullptr;
        p.next[2] = k + 1 < kMetaGridZ ? &grid[point_index(i, j, k + 1)] : nullptr;
        for (EdgeSlot& s : slots[n]) s = {0, -1};
      }
  for (int k = 0; k < kCellsZ; ++k)
    for (int j = 0; j < kCellsY; ++j)
      for (int i = 0; i < kCellsX; ++i) {
        Cell& cell = cells[(k * kCellsY + j) * kCellsX + i];
        for (int c = 0; c < 8; ++c)
          cell.corner[c] =
              &grid[point_index(i + kCorner[c][0], j + kCorner[c][1], k + kCorner[c][2])];
        for (int e = 0; e < 12; ++e) {
          const int* low = kCorner[kEdge[e][0]];
          cell.edge[e] = &slots[point_index(i + low[0], j + low[1], k + low[2])][kEdgeAxis[e]];
        }
      }
  frame_number = 0;
  overlay_count = 0;
  cut_short = false;
}

void metaballs_build_blended(Mesh* mesh, float threshold) {
  metaball_count = std::clamp(metaball_count, 0, kMetaBallLimit);
  if (metaball_count == 0) return;
  World& world = *mesh->world;

  // Last frame's surface goes; the new one is written from the end of the other geometry.
  world.vertex_count -= mesh->vertex_count;
  world.face_count -= mesh->face_count;
  mesh->vertex_count = mesh->face_count = 0;
  mesh->first_vertex = world.vertex_count;
  mesh->first_face = world.face_count;
  overlay_count = 0;
  cut_short = false;

  const int balls = metaball_count;
  float lo[3] = {1e10f, 1e10f, 1e10f}, hi[3] = {-1e10f, -1e10f, -1e10f};
  for (int m = 0; m < balls; ++m) {
    MetaBall& b = metaball_table[m];
    b.radius_sq = b.radius * b.radius;
    const float c[3] = {b.x, b.y, b.z};
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], c[a] - b.radius);
      hi[a] = std::max(hi[a], c[a] + b.radius);
    }
  }
  const float offset[3] = {10.5f, 6.0f, 10.5f};
  const int top[3] = {kMetaGridX - 1, kMetaGridY - 1, kMetaGridZ - 1};
  int low[3], high[3];
  for (int a = 0; a < 3; ++a) {
    low[a] = std::max(static_cast<int>(std::floor(lo[a] / cell_size + offset[a])), 0);
    high[a] = std::min(static_cast<int>(std::ceil(hi[a] / cell_size + offset[a])), top[a]);
  }

  // Points low..high inclusive: the gradient of a cell's highest corner reads the point
  // beyond it, which must hold this frame's field too.
  for (int k = low[2]; k <= high[2]; ++k)
    for (int j = low[1]; j <= high[1]; ++j)
      for (int i = low[0]; i <= high[0]; ++i)
        evaluate_point(grid[point_index(i, j, k)], threshold, balls);

  Build b{mesh, &world, balls, {}};
  for (int k = low[2]; k <= high[2] - 2 && !cut_short; ++k)
    for (int j = low[1]; j <= high[1] - 2 && !cut_short; ++j)
      for (int i = low[0]; i <= high[0] - 2 && !cut_short; ++i)
        if (!polygonize(b, cells[(k * kCellsY + j) * kCellsX + i])) cut_short = true;

  world.vertex_count += mesh->vertex_count;
  world.face_count += mesh->face_count;
  ++frame_number;
}

int metaballs_overlay_count() {
  return overlay_count;
}
bool metaballs_cut_short() {
  return cut_short;
}
int metaballs_frame() {
  return frame_number;
}
