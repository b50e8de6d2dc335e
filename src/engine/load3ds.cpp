// The .3DS reader: a counting pass that sizes the World's tables exactly, then a reading
// pass that fills them. The file is held in memory and every chunk is checked against
// its parent and the file end before anything in it is used.
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/chunk_ids.h"
#include "engine/chunk_reader.h"
#include "engine/kelp.h"
#include "platform/exit.h"
#include "platform/files.h"

using namespace kelp_io;

namespace {

FILE* g_log = stdout;

// Real files nest five or six levels; anything far deeper is damage, and refusing it
// keeps the recursion off the end of the stack.
constexpr int kMaxDepth = 64;

enum NodeType {
  kNodeNone = 0,
  kNodeMesh = 1,
  kNodeCamera = 2,
  kNodeTarget = 3,
  kNodeLight = 4,
  kNodeAmbient = 7
};

[[noreturn]] void refuse(const char* path) {
  std::printf("RARA: %s is not a .3ds file!\n", path);
  platform::process_exit(1);
}

struct Counts {
  long long vertices = 0, faces = 0, meshes = 0, lights = 0, cameras = 0, dummies = 0;
};

struct Loader {
  World* w = nullptr;
  ChunkReader r{};
  const char* path = "";
  char name[kNameSize] = {};
  Mesh* mesh = nullptr;
  Light* light = nullptr;
  Camera* camera = nullptr;
  Dummy* dummy = nullptr;
  Node* node = nullptr;
  int node_type = kNodeNone;
  int node_id = -1;
  Vec3 colour{0.0f, 0.0f, 0.0f};
  // File face index -> index in the World's face table for the current mesh's last face
  // list; -1 for a face dropped for an index outside its mesh.
  std::vector<int> face_map;

  [[noreturn]] void bad() { refuse(path); }

  // Reads a chunk header at the current position inside [pos, limit); returns its end.
  size_t header(size_t limit, int* id) {
    const size_t start = r.pos;
    if (limit - start < 6) bad();
    r.end = limit;
    *id = read_u16(&r);
    const uint32_t len = read_u32(&r);
    if (len < 6 || len > limit - start) bad();
    return start + len;
  }

  // A NUL-terminated name inside the chunk; over-long names are cut at 31 bytes and the
  // rest consumed. A name without its terminator is damage.
  void read_name(size_t end, char* out) {
    const uint8_t* p = r.data + r.pos;
    const void* nul = std::memchr(p, 0, end - r.pos);
    if (!nul) bad();
    const size_t n = static_cast<const uint8_t*>(nul) - p;
    const size_t keep = n < (size_t)kNameSize - 1 ? n : (size_t)kNameSize - 1;
    std::memcpy(out, p, keep);
    out[keep] = '\0';
    r.pos += n + 1;
  }

  // Walks the chunks in [pos, limit), calling act(id, end) with the position just past
  // each header; every chunk is then left at its declared end, whatever its fields took.
  // Returns false as soon as act does (a key table that cannot be allocated).
  template <typename Act>
  bool each_chunk(size_t limit, int depth, Act act) {
    if (depth > kMaxDepth) bad();
    while (r.pos < limit) {
      int id = 0;
      const size_t end = header(limit, &id);
      r.end = end;
      if (!act(id, end)) return false;
      r.pos = end;
    }
    return true;
  }

  void count(size_t limit, Counts* c, int depth) {
    each_chunk(limit, depth, [&](int id, size_t end) {
      switch (id) {
        case chunk_id::kTriMesh:
          ++c->meshes;
          count(end, c, depth + 1);
          break;
        case chunk_id::kMain:
        case chunk_id::kEditor:
        case chunk_id::kKeyframer:
        case chunk_id::kMeshNode:
          count(end, c, depth + 1);
          break;
        case chunk_id::kObject: {
          char skip_name[kNameSize];
          read_name(end, skip_name);
          count(end, c, depth + 1);
          break;
        }
        case chunk_id::kVertexList:
        case chunk_id::kFaceList: {
          const int n = read_s16(&r);
          const size_t each = id == chunk_id::kVertexList ? 12 : 8;
          if (!r.ok || n < 0 || (size_t)n * each > remaining(&r)) bad();
          (id == chunk_id::kVertexList ? c->vertices : c->faces) += n;
          break;
        }
        case chunk_id::kLight:
          ++c->lights;
          break;
        case chunk_id::kCamera:
          ++c->cameras;
          break;
        case chunk_id::kInstanceName:
          ++c->dummies;
          break;
        default:
          break;
      }
      return true;
    });
  }

  void vertex_list(size_t end) {
    const int n = read_s16(&r);
    if (!r.ok || n < 0 || (size_t)n * 12 > end - r.pos) bad();
    // Only a current mesh takes geometry, and never past what the counting pass sized.
    if (!mesh || n > w->vertex_capacity - w->vertex_count) return;
    mesh->first_vertex = w->vertex_count;
    mesh->vertex_count = n;
    w->vertex_count += n;
    for (int i = 0; i < n; ++i) {
      Vec3 p = read_vec3(&r);
      vec_scale(&p, r.scale, &p);
      w->vertices[mesh->first_vertex + i].position = p;
    }
  }

  void face_list(size_t end, int depth) {
    const int n = read_s16(&r);
    if (!r.ok || n < 0 || (size_t)n * 8 > end - r.pos) bad();
    if (!mesh || n > w->face_capacity - w->face_count) return;
    mesh->first_face = w->face_count;
    face_map.assign((size_t)n, -1);
    int kept = 0;
    for (int i = 0; i < n; ++i) {
      int idx[3];
      for (int& k : idx) k = read_s16(&r);
      const int flags = read_s16(&r);
      bool inside = true;
      for (int k : idx) inside = inside && k >= 0 && k < mesh->vertex_count;
      if (!inside) continue;  // a corner outside the mesh: the face cannot be drawn
      Face* f = &w->faces[mesh->first_face + kept];
      f->a = idx[0] + mesh->first_vertex;
      f->b = idx[1] + mesh->first_vertex;
      f->c = idx[2] + mesh->first_vertex;
      f->pa = &w->vertices[f->a];
      f->pb = &w->vertices[f->b];
      f->pc = &w->vertices[f->c];
      f->flags = flags;
      f->material = &w->materials[0];
      f->fallback_material = &w->materials[0];
      f->chain_link = nullptr;
      face_map[(size_t)i] = mesh->first_face + kept;
      ++kept;
    }
    mesh->face_count = kept;
    w->face_count += kept;
    read_chunks(end, depth + 1);
  }

  void material_group(size_t end) {
    char mat_name[kNameSize];
    read_name(end, mat_name);
    const int n = read_s16(&r);
    if (!r.ok || n < 0 || (size_t)n * 2 > end - r.pos) bad();
    if (!mesh) return;
    Material* mat = nullptr;  // the last material of that name
    for (int i = 0; i < w->material_count; ++i) {
      if (std::strcmp(w->materials[i].name, mat_name) == 0) mat = &w->materials[i];
    }
    for (int i = 0; i < n; ++i) {
      const int k = read_u16(&r);
      if (!mat || (size_t)k >= face_map.size() || face_map[(size_t)k] < 0) continue;
      w->faces[face_map[(size_t)k]].material = mat;
    }
  }

  void mapping(size_t end) {
    if (!mesh) return;
    mesh->has_mapping = 1;
    skip(&r, 2);  // the file's own count; the mesh's vertex count rules
    if (!r.ok) bad();
    // A short chunk maps the vertices it has and leaves the rest at 0.
    const size_t have = (end - r.pos) / 8;
    const int n = (size_t)mesh->vertex_count < have ? mesh->vertex_count : (int)have;
    for (int i = 0; i < n; ++i) {
      Vertex* v = &w->vertices[mesh->first_vertex + i];
      v->u = read_float(&r) * 256.0f;
      v->v = -read_float(&r) * 256.0f;
    }
  }

  void mesh_matrix() {
    Mat4 axes;
    mat_identity(&axes);
    for (int row = 0; row < 3; ++row) {
      for (int col = 0; col < 3; ++col) axes.m[row * 4 + col] = read_float(&r);
    }
    Vec3 t = read_vec3(&r);
    if (!r.ok) bad();
    if (!mesh) return;
    vec_scale(&t, r.scale, &t);
    mat_scale_columns_inverse(&axes);
    mat_transpose_rotation(&axes);
    mesh->local_axes = axes;
    Vertex* v = w->vertices + mesh->first_vertex;
    for (int i = 0; i < mesh->vertex_count; ++i) {
      Vec3 p;
      vec_sub(&v[i].position, &t, &p);
      mat_transform_point(&p, &axes, &v[i].position);
    }
  }

  Node* find_node(const char* node_name) {
    switch (node_type) {
      case kNodeMesh: {
        Mesh* m = world_find_mesh(w, node_name);
        return m ? &m->node : nullptr;
      }
      case kNodeCamera:
      case kNodeTarget:
        for (int i = 0; i < w->camera_count; ++i) {
          Camera* c = &w->cameras[i];
          if (std::strcmp(c->name, node_name) == 0) {
            return node_type == kNodeCamera ? &c->node : &c->target_node;
          }
        }
        return nullptr;
      case kNodeLight:
        for (int i = 0; i < w->light_count; ++i) {
          if (std::strcmp(w->lights[i].name, node_name) == 0) return &w->lights[i].node;
        }
        return nullptr;
      case kNodeAmbient:
        return &w->root;
      default:
        return nullptr;
    }
  }

  void node_header() {
    char node_name[kNameSize];
    read_name(r.end, node_name);
    dummy = nullptr;
    node = nullptr;
    if (std::strcmp(node_name, "$$$DUMMY") == 0) {
      // Never more dummies than the counting pass found instance names for.
      if (w->dummy_count < w->dummy_capacity) {
        dummy = &w->dummies[w->dummy_count++];
        node = &dummy->node;
        node->owner = nullptr;
        node->owner_kind = kOwnerNone;
      }
    } else if (std::strcmp(node_name, "$AMBIENT$") == 0) {
      node = &w->root;
    } else {
      node = find_node(node_name);
      if (!node) {
        std::printf("%s\n", node_name);
        std::printf("noe bugga\n");
        platform::process_exit(1);
      }
    }
    const uint32_t flags = read_u32(&r);
    const int parent = read_s16(&r);
    if (!r.ok) bad();
    if (!node) return;
    node->rotation_present = node->position_present = node->scale_present = 0;
    node->colour_present = node->fov_present = node->roll_present = node->spare_present = 0;
    node->header_flags = (int)flags;
    node->id = node_id + 1;
    node->parent_id = parent + 1;
    if (node->id == 0) node->id = -1;
    if (node->parent_id == 0) node->parent_id = -1;
  }

  // Returns 0 when a key table cannot be allocated.
  int track(int id) {
    if (!node) return 1;
    int ok = 1;
    switch (id) {
      case chunk_id::kPositionTrack:
        node->position_present = 1;
        ok = track_read_vector(&r, &node->position, 0);
        break;
      case chunk_id::kRotationTrack:
        node->rotation_present = 1;
        ok = track_read_rotation(&r, &node->rotation);
        break;
      case chunk_id::kScaleTrack:
        node->scale_present = 1;
        ok = track_read_vector(&r, &node->scale, 0);
        break;
      case chunk_id::kFovTrack:
        node->fov_present = 1;
        ok = track_read_float(&r, &node->fov);
        break;
      case chunk_id::kRollTrack:
        node->roll_present = 1;
        ok = track_read_float(&r, &node->roll);
        break;
      case chunk_id::kColourTrack:
        node->colour_present = 1;
        ok = track_read_vector(&r, &node->colour, 1);
        break;
      default:
        break;
    }
    if (!ok) return 0;
    if (!r.ok) bad();
    return 1;
  }

  int read_chunks(size_t limit, int depth) {
    return each_chunk(limit, depth, [&](int id, size_t end) { return read_chunk(id, end, depth); });
  }

  // Acts on one chunk of the reading pass; false when a key table cannot be allocated.
  bool read_chunk(int id, size_t end, int depth) {
    switch (id) {
      case chunk_id::kMain:
      case chunk_id::kEditor:
      case chunk_id::kMaterial:
      case chunk_id::kKeyframer:
        if (!read_chunks(end, depth + 1)) return false;
        break;
      case chunk_id::kObject:
        read_name(end, name);
        mesh = nullptr;
        if (!read_chunks(end, depth + 1)) return false;
        break;
      case chunk_id::kTriMesh:
        mesh = nullptr;
        face_map.clear();
        if (w->mesh_count < w->mesh_capacity) {
          mesh = &w->meshes[w->mesh_count++];
          std::memcpy(mesh->name, name, kNameSize);
          mesh->has_mapping = 0;
          mesh->world = w;
          mat_identity(&mesh->camera_matrix);
          mat_identity(&mesh->local_axes);
          mat_identity(&mesh->render_matrix);
          if (!read_chunks(end, depth + 1)) return false;
        }
        mesh = nullptr;
        face_map.clear();
        break;
      case chunk_id::kVertexList:
        vertex_list(end);
        break;
      case chunk_id::kFaceList:
        face_list(end, depth);
        break;
      case chunk_id::kFaceMaterial:
        material_group(end);
        break;
      case chunk_id::kMappingList:
        mapping(end);
        break;
      case chunk_id::kMeshMatrix:
        mesh_matrix();
        break;
      case chunk_id::kColourFloat:
        colour = read_vec3(&r);
        if (!r.ok) bad();
        break;
      case chunk_id::kLight: {
        if (w->light_count >= w->light_capacity) break;
        Light* l = &w->lights[w->light_count++];
        std::memcpy(l->name, name, kNameSize);
        Vec3 p = read_vec3(&r);
        if (!r.ok) bad();
        vec_scale(&p, r.scale, &p);
        vec_swap_yz(&p);
        l->position = p;
        if (!read_chunks(end, depth + 1)) return false;
        l->r = colour.x;
        l->g = colour.y;
        l->b = colour.z;
        break;
      }
      case chunk_id::kCamera: {
        if (w->camera_count >= w->camera_capacity) break;
        Camera* c = &w->cameras[w->camera_count++];
        std::memcpy(c->name, name, kNameSize);
        Vec3 p = read_vec3(&r), t = read_vec3(&r);
        c->roll = read_float(&r);
        c->lens = read_float(&r);
        if (!r.ok) bad();
        vec_scale(&p, r.scale, &p);
        vec_swap_yz(&p);
        vec_scale(&t, r.scale, &t);
        vec_swap_yz(&t);
        c->position = p;
        c->target = t;
        // Its sub-chunks are met like siblings would be; only a colour is acted on.
        if (!read_chunks(end, depth + 1)) return false;
        break;
      }
      case chunk_id::kMaterialName: {
        char mat_name[kNameSize];
        read_name(end, mat_name);
        world_add_material(w, mat_name);
        break;
      }
      case chunk_id::kAmbientNode:
      case chunk_id::kMeshNode:
      case chunk_id::kCameraNode:
      case chunk_id::kTargetNode:
      case chunk_id::kLightNode:
        node_type =
            id == chunk_id::kAmbientNode ? kNodeAmbient : (int)(id - chunk_id::kAmbientNode);
        node = nullptr;
        dummy = nullptr;
        if (!read_chunks(end, depth + 1)) return false;
        node = nullptr;
        dummy = nullptr;
        break;
      case chunk_id::kFrames:
        w->first_frame = read_s32(&r);
        w->last_frame = read_s32(&r);
        if (!r.ok) bad();
        break;
      case chunk_id::kNodeId:
        node_id = read_s16(&r);
        if (!r.ok) bad();
        break;
      case chunk_id::kNodeHeader:
        node_header();
        break;
      case chunk_id::kInstanceName:
        if (dummy && node == &dummy->node) {
          read_name(end, dummy->instance_name);
        }
        break;
      case chunk_id::kPrescale: {
        Vec3 v = read_vec3(&r);
        if (!r.ok) bad();
        if (g_log) std::fprintf(g_log, "%f %f %f\n", v.x, v.y, v.z);
        break;
      }
      case chunk_id::kPivot: {
        Vec3 v = read_vec3(&r);
        if (!r.ok) bad();
        if (node && node->owner_kind == kOwnerMesh) {
          vec_scale(&v, r.scale, &static_cast<Mesh*>(node->owner)->pivot);
        }
        break;
      }
      case chunk_id::kPositionTrack:
      case chunk_id::kRotationTrack:
      case chunk_id::kScaleTrack:
      case chunk_id::kFovTrack:
      case chunk_id::kRollTrack:
      case chunk_id::kColourTrack:
        if (!track(id)) return false;
        break;
      default:
        break;
    }
    return true;
  }
};

}  // namespace

// The node-type block ids map onto node types by subtraction above.
static_assert(chunk_id::kMeshNode - chunk_id::kAmbientNode == kNodeMesh &&
              chunk_id::kLightNode - chunk_id::kAmbientNode == kNodeLight);

void load_3ds_set_log(FILE* out) {
  g_log = out;
}

int load_3ds_memory(World* world, const uint8_t* data, size_t size, const char* path, float scale) {
  if (size < 6 || data[0] != 0x4d || data[1] != 0x4d) refuse(path);
  Loader ld;
  ld.w = world;
  ld.path = path;
  ld.r = ChunkReader{data, size, 0, size, scale, true};
  Counts c;
  ld.count(size, &c, 0);

  if (!world_init(world, (int)c.vertices, (int)c.faces, (int)c.meshes, (int)c.lights,
                  (int)c.cameras, (int)c.dummies)) {
    return 0;
  }
  ld.r = ChunkReader{data, size, 0, size, scale, true};
  if (!ld.read_chunks(size, 0)) return 0;
  for (int i = 0; i < world->mesh_count; ++i) {
    Mesh* m = &world->meshes[i];
    mesh_swap_yz(m);
    mesh_compute_normals(m);
    mesh_face_mapping(m);
    mesh_compute_bounds(m);
  }
  return 1;
}

int load_3ds(World* world, const char* path, float scale) {
  FILE* f = platform::data_fopen(path, "rb");
  if (!f) {
    std::printf("RARA: %s not found!\n", path);
    platform::process_exit(1);
  }
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return load_3ds_memory(world, data.data(), data.size(), path, scale);
}
