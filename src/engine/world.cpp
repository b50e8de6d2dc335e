// World tables, the node hierarchy, the material table (which is also the texture
// library) and the per-mesh utilities that run after loading.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <numeric>
#include <utility>
#include <vector>

#include "engine/kelp.h"

namespace {

template <typename T>
bool alloc_table(T*& table, int count) {
  table = nullptr;
  if (count <= 0) return true;
  table = static_cast<T*>(std::calloc((size_t)count, sizeof(T)));
  return table != nullptr;
}

void init_node(Node* node, void* owner, NodeOwnerKind kind) {
  node->owner = owner;
  node->owner_kind = kind;
  // A node no keyframer block names is never evaluated; it must place its owner as is.
  mat_identity(&node->world_matrix);
}

void copy_name(char* dst, const char* src) {
  std::strncpy(dst, src, kNameSize - 1);
  dst[kNameSize - 1] = '\0';
}

void free_node_tracks(Node* n) {
  std::free(n->rotation.keys);
  std::free(n->position.keys);
  std::free(n->scale.keys);
  std::free(n->colour.keys);
  std::free(n->fov.keys);
  std::free(n->roll.keys);
  std::free(n->spare.keys);
  std::free(n->children);
  n->rotation.keys = nullptr;
  n->position.keys = nullptr;
  n->scale.keys = nullptr;
  n->colour.keys = nullptr;
  n->fov.keys = nullptr;
  n->roll.keys = nullptr;
  n->spare.keys = nullptr;
  n->children = nullptr;
  n->child_count = 0;
}

// Visits every node the World embeds, in node-list order.
template <typename F>
void for_each_node(World* w, F f) {
  for (int i = 0; i < w->mesh_count; ++i) f(&w->meshes[i].node);
  for (int i = 0; i < w->dummy_count; ++i) f(&w->dummies[i].node);
  for (int i = 0; i < w->camera_count; ++i) f(&w->cameras[i].node);
  for (int i = 0; i < w->camera_count; ++i) f(&w->cameras[i].target_node);
  for (int i = 0; i < w->light_count; ++i) f(&w->lights[i].node);
  for (int i = 0; i < w->light_count; ++i) f(&w->lights[i].target_node);
}

// A node can join the hierarchy once: this is what keeps cycles, self-parents and
// duplicate ids from recursing forever.
bool may_link(const World* w, const Node* parent, const Node* child) {
  return child->parent_id == parent->id && child->parent == nullptr && child != parent &&
         child != &w->root;
}

}  // namespace

int world_init(World* w, int vertices, int faces, int meshes, int lights, int cameras,
               int dummies) {
  std::memset(static_cast<void*>(w), 0, sizeof(World));
  if (!alloc_table(w->vertices, vertices)) return 0;
  w->vertex_capacity = vertices > 0 ? vertices : 0;
  if (!alloc_table(w->faces, faces)) return 0;
  w->face_capacity = faces > 0 ? faces : 0;
  if (!alloc_table(w->meshes, meshes)) return 0;
  w->mesh_capacity = meshes > 0 ? meshes : 0;
  if (!alloc_table(w->lights, lights)) return 0;
  w->light_capacity = lights > 0 ? lights : 0;
  if (!alloc_table(w->cameras, cameras)) return 0;
  w->camera_capacity = cameras > 0 ? cameras : 0;
  if (!alloc_table(w->dummies, dummies)) return 0;
  w->dummy_capacity = dummies > 0 ? dummies : 0;
  const int nodes =
      w->mesh_capacity + w->dummy_capacity + 2 * w->camera_capacity + 2 * w->light_capacity;
  if (!alloc_table(w->node_list, nodes)) return 0;
  w->node_capacity = nodes;

  for (int i = 0; i < w->mesh_capacity; ++i) {
    Mesh* m = &w->meshes[i];
    m->world = w;
    init_node(&m->node, m, kOwnerMesh);
    mat_identity(&m->camera_matrix);
    mat_identity(&m->render_matrix);
    mat_identity(&m->local_axes);
  }
  for (int i = 0; i < w->light_capacity; ++i) {
    init_node(&w->lights[i].node, &w->lights[i], kOwnerLight);
    init_node(&w->lights[i].target_node, &w->lights[i], kOwnerLight);
  }
  for (int i = 0; i < w->camera_capacity; ++i) {
    init_node(&w->cameras[i].node, &w->cameras[i], kOwnerCamera);
    init_node(&w->cameras[i].target_node, &w->cameras[i], kOwnerCamera);
  }
  for (int i = 0; i < w->dummy_capacity; ++i) {
    init_node(&w->dummies[i].node, &w->dummies[i], kOwnerDummy);
  }
  init_node(&w->root, w, kOwnerWorld);
  w->root.id = -1;
  w->root.parent_id = -1;
  world_add_material(w, "kelp_defmat");
  return 1;
}

void world_free(World* w) {
  // Counts may be below capacities; tracks live only in used records, but walk the
  // capacities so a partly loaded World frees everything too.
  w->mesh_count = w->mesh_capacity;
  w->dummy_count = w->dummy_capacity;
  w->camera_count = w->camera_capacity;
  w->light_count = w->light_capacity;
  for_each_node(w, free_node_tracks);
  free_node_tracks(&w->root);
  std::free(w->vertices);
  std::free(w->faces);
  std::free(w->meshes);
  std::free(w->lights);
  std::free(w->cameras);
  std::free(w->dummies);
  std::free(w->node_list);
  w->vertices = nullptr;
  w->faces = nullptr;
  w->meshes = nullptr;
  w->lights = nullptr;
  w->cameras = nullptr;
  w->dummies = nullptr;
  w->node_list = nullptr;
  w->vertex_count = w->face_count = w->mesh_count = 0;
  w->light_count = w->camera_count = w->dummy_count = 0;
  w->vertex_capacity = w->face_capacity = w->mesh_capacity = 0;
  w->light_capacity = w->camera_capacity = w->dummy_capacity = 0;
  w->node_count = w->node_capacity = 0;
}

namespace {

// Real hierarchies are a few levels deep. A chain far deeper comes from a damaged file,
// and linking it whole would let the recursion here and in node_evaluate run off the
// stack; nodes below this depth stay out of the tree, at identity.
constexpr int kMaxNodeDepth = 1000;

// The node list's positions grouped by parent id, each group in list order, so a node
// finds its candidate children without scanning the whole list (a file with many
// thousands of nodes would otherwise take minutes to link).
class ChildIndex {
 public:
  explicit ChildIndex(const World* w) : w_(w), order_((size_t)w->node_count) {
    std::iota(order_.begin(), order_.end(), 0);
    std::stable_sort(order_.begin(), order_.end(),
                     [&](int a, int b) { return parent_id(a) < parent_id(b); });
  }
  // The list positions of the nodes whose parent id is `id`, in list order.
  std::pair<const int*, const int*> with_parent(int id) const {
    auto lo = std::lower_bound(order_.begin(), order_.end(), id,
                               [&](int pos, int v) { return parent_id(pos) < v; });
    auto hi =
        std::upper_bound(lo, order_.end(), id, [&](int v, int pos) { return v < parent_id(pos); });
    const int* base = order_.data();
    return {base + (lo - order_.begin()), base + (hi - order_.begin())};
  }

 private:
  int parent_id(int pos) const { return w_->node_list[pos]->parent_id; }
  const World* w_;
  std::vector<int> order_;
};

int link_children(World* w, const ChildIndex& index, Node* node, int depth) {
  if (node->id == 0) return 0;
  const auto [first, last] = index.with_parent(node->id);
  int count = 0;
  if (depth < kMaxNodeDepth) {
    for (const int* p = first; p != last; ++p) {
      if (may_link(w, node, w->node_list[*p])) ++count;
    }
  }
  std::free(node->children);
  node->children = static_cast<Node**>(std::calloc((size_t)count + 1, sizeof(Node*)));
  node->child_count = 0;
  if (!node->children) return 0;
  int n = 0;
  for (const int* p = first; p != last && n < count; ++p) {
    Node* child = w->node_list[*p];
    if (!may_link(w, node, child)) continue;
    node->children[n++] = child;
    node->child_count = n;
    child->parent = node;
    if (!link_children(w, index, child, depth + 1)) return 0;
  }
  node->child_count = n;
  node->children[n] = nullptr;
  return 1;
}

int link_from(World* w, Node* node) {
  try {
    const ChildIndex index(w);
    return link_children(w, index, node, 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace

int node_link_children(World* w, Node* node) {
  return link_from(w, node);
}

int world_link_nodes(World* w) {
  int n = 0;
  for_each_node(w, [&](Node* node) {
    if (n < w->node_capacity) w->node_list[n++] = node;
    // Linking again starts from a clean hierarchy.
    node->parent = nullptr;
    std::free(node->children);
    node->children = nullptr;
    node->child_count = 0;
  });
  w->node_count = n;
  Node* root = &w->root;
  root->rotation_present = root->position_present = root->scale_present = 0;
  root->colour_present = root->fov_present = root->roll_present = root->spare_present = 0;
  mat_identity(&root->world_matrix);
  std::free(root->children);
  root->children = nullptr;
  root->child_count = 0;
  root->parent = nullptr;
  root->id = -1;
  if (n == 0) return 1;
  return link_from(w, root);
}

Mesh* world_find_mesh(World* w, const char* name) {
  for (int i = 0; i < w->mesh_count; ++i) {
    if (std::strcmp(w->meshes[i].name, name) == 0) return &w->meshes[i];
  }
  return nullptr;
}

Material* world_add_material(World* w, const char* name) {
  if (w->material_count >= kMaxMaterials) {
    std::printf("material table full, not added: %s\n", name);
    return nullptr;
  }
  Material* m = &w->materials[w->material_count++];
  copy_name(m->name, name);
  m->texture_ready = 0;
  return m;
}

Material* world_find_material(World* w, const char* name) {
  for (int i = 0; i < w->material_count; ++i) {
    if (std::strcmp(w->materials[i].name, name) == 0) return &w->materials[i];
  }
  return nullptr;
}

void world_bind_texture(World* w, const char* name, const uint32_t* texels, int flags, int reserved,
                        int size_code) {
  Material* m = world_find_material(w, name);
  if (!m) {
    std::printf("%s\n", name);
    std::printf("texture not in library\n");
    return;
  }
  material_set_texture(m, texels, flags, reserved, size_code);
}

void world_set_material_colour(World* w, const char* name, float r, float g, float b, float alpha) {
  Material* m = world_find_material(w, name);
  if (!m) return;  // nothing to colour; writing through null would crash the show
  m->r = r;
  m->g = g;
  m->b = b;
  m->alpha = alpha;
}

void mesh_swap_yz(Mesh* mesh) {
  Vertex* v = mesh->world->vertices + mesh->first_vertex;
  for (int i = 0; i < mesh->vertex_count; ++i) vec_swap_yz(&v[i].position);
}

void mesh_compute_normals(Mesh* mesh) {
  World* w = mesh->world;
  Vertex* v = w->vertices + mesh->first_vertex;
  for (int i = 0; i < mesh->vertex_count; ++i) vec_zero(&v[i].normal);
  Face* f = w->faces + mesh->first_face;
  for (int i = 0; i < mesh->face_count; ++i) {
    Vec3 ab, ac, n;
    vec_sub(&f[i].pa->position, &f[i].pb->position, &ab);
    vec_sub(&f[i].pa->position, &f[i].pc->position, &ac);
    vec_cross(&ab, &ac, &n);
    vec_set_length(&n, 1.0f, &n);
    f[i].normal = n;
    vec_add(&f[i].pa->normal, &n, &f[i].pa->normal);
    vec_add(&f[i].pb->normal, &n, &f[i].pb->normal);
    vec_add(&f[i].pc->normal, &n, &f[i].pc->normal);
  }
  for (int i = 0; i < mesh->vertex_count; ++i) {
    vec_set_length(&v[i].normal, 1.0f, &v[i].normal);
    if (!mesh->has_mapping) {
      // Spherical environment mapping from the normal.
      v[i].u = 128.0f + 128.0f * v[i].normal.x;
      v[i].v = 128.0f + 128.0f * v[i].normal.y;
    }
  }
}

namespace {

// Corners of a face that wraps across a texture seam: lift the ones on the low side by
// whole repeats so the face is mapped continuously.
void repair_seam(float* c0, float* c1, float* c2) {
  float lo = *c0, hi = *c0;
  for (float c : {*c1, *c2}) {
    if (c < lo) lo = c;
    if (c > hi) hi = c;
  }
  // The span is measured exactly against 204.8 itself: a file's 0..0.8 (0 and 204.8f
  // after scaling) lies just above it, and 204.8f as the bound would keep that seam.
  if (static_cast<double>(hi) - static_cast<double>(lo) <= 204.8) return;
  const float w = std::ceil(hi / 256.0f - lo / 256.0f) * 256.0f;
  for (float* c : {c0, c1, c2}) {
    if (*c < 128.0f) *c += w;
  }
}

}  // namespace

void mesh_face_mapping(Mesh* mesh) {
  Face* f = mesh->world->faces + mesh->first_face;
  for (int i = 0; i < mesh->face_count; ++i) {
    float* m = f[i].mapping;
    m[0] = f[i].pa->u, m[1] = f[i].pa->v;
    m[2] = f[i].pb->u, m[3] = f[i].pb->v;
    m[4] = f[i].pc->u, m[5] = f[i].pc->v;
    if (f[i].flags & kFaceWrapU) repair_seam(&m[0], &m[2], &m[4]);
    if (f[i].flags & kFaceWrapV) repair_seam(&m[1], &m[3], &m[5]);
  }
}

void mesh_compute_bounds(Mesh* mesh) {
  const Vertex* v = mesh->world->vertices + mesh->first_vertex;
  float x0 = 3200000.0f, y0 = 3200000.0f, z0 = 3200000.0f;
  float x1 = -3200000.0f, y1 = -3200000.0f, z1 = -3200000.0f;
  for (int i = 0; i < mesh->vertex_count; ++i) {
    const Vec3& p = v[i].position;
    if (p.x < x0) x0 = p.x;
    if (p.x > x1) x1 = p.x;
    if (p.y < y0) y0 = p.y;
    if (p.y > y1) y1 = p.y;
    if (p.z < z0) z0 = p.z;
    if (p.z > z1) z1 = p.z;
  }
  Vec3* b = mesh->bounds;
  b[0] = {x0, y1, z1};
  b[1] = {x1, y1, z1};
  b[2] = {x1, y0, z1};
  b[3] = {x0, y0, z1};
  b[4] = {x0, y0, z0};
  b[5] = {x1, y0, z0};
  b[6] = {x1, y1, z0};
  b[7] = {x0, y1, z0};
}

void mesh_flip_faces(Mesh* mesh) {
  Face* f = mesh->world->faces + mesh->first_face;
  for (int i = 0; i < mesh->face_count; ++i) {
    int t = f[i].a;
    f[i].a = f[i].c;
    f[i].c = t;
    Vertex* p = f[i].pa;
    f[i].pa = f[i].pc;
    f[i].pc = p;
  }
}

void mesh_negate_normals(Mesh* mesh) {
  Vertex* v = mesh->world->vertices + mesh->first_vertex;
  for (int i = 0; i < mesh->vertex_count; ++i) vec_negate(&v[i].normal, &v[i].normal);
}

void mesh_set_material(Mesh* mesh, Material* mat) {
  Face* f = mesh->world->faces + mesh->first_face;
  for (int i = 0; i < mesh->face_count; ++i) f[i].material = mat;
}

void mesh_env_map(Mesh* mesh) {
  Face* f = mesh->world->faces + mesh->first_face;
  for (int i = 0; i < mesh->face_count; ++i) {
    const Vertex* corners[3] = {f[i].pa, f[i].pb, f[i].pc};
    for (int k = 0; k < 3; ++k) {
      f[i].mapping[2 * k] = 127.5f + 127.5f * corners[k]->camera_normal.x;
      f[i].mapping[2 * k + 1] = 127.5f + 127.5f * corners[k]->camera_normal.y;
    }
  }
}
