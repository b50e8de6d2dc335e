// kelp's records: keyframe tracks, the scene model (nodes, meshes, cameras, lights,
// materials, the World) and the operations that build, bind and animate them. Fields keep
// the engine's fixed order; "reserved" and "working space" slots keep the layout stable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/kelp_math.h"

// ---- Keyframe tracks ----

// Track flag bit 1: the track repeats (time wraps at its last key's frame).
constexpr int kTrackRepeat = 2;

// Key tables hold count + 3 keys: the file's keys at 1..count, key 0 a copy of key 1,
// keys count+1 and count+2 copies of key count, so the spline can read one neighbour
// past either end.
struct TrackKey {  // vector tracks: position, scale, colour
  int frame;
  Vec3 value;
  int spline_flags;
  float tension, continuity, bias, ease_to, ease_from;
};

struct FloatTrackKey {  // field of view, roll
  int frame;
  int spline_flags;
  float value;
  float tension, continuity, bias, ease_to, ease_from;
};

struct RotationTrackKey {
  int frame;
  int spline_flags;
  Mat4 accumulated;  // absolute rotation up to and including this key
  Vec3 axis;
  float angle;  // radians, relative to the previous key
  float tension, continuity, bias, ease_to, ease_from;
};

struct Track {  // vector track
  int flags;
  int key_count;
  Vec3 value;
  TrackKey* keys;
};

struct FloatTrack {
  int flags;
  int key_count;
  float value;
  FloatTrackKey* keys;
};

struct RotationTrack {
  int flags;
  int key_count;
  Mat4 value;
  RotationTrackKey* keys;
};

// ---- Scene model ----

struct World;
struct Material;
struct Vertex;
struct Face;

enum NodeOwnerKind {
  kOwnerNone = 0,
  kOwnerMesh,
  kOwnerCamera,
  kOwnerLight,
  kOwnerDummy,
  kOwnerWorld
};

struct Node {
  int reserved0;
  int id;         // the file's node id + 1; -1 for none
  int parent_id;  // the file's parent id + 1; -1 without a parent
  int header_flags;
  void* owner;  // the Mesh, Camera, Light, Dummy or World that embeds the node
  NodeOwnerKind owner_kind;
  Mat4 world_matrix;
  int reserved1[3];
  int rotation_present;
  RotationTrack rotation;
  int position_present;
  Track position;
  int scale_present;
  Track scale;
  int colour_present;
  Track colour;
  int fov_present;
  FloatTrack fov;  // degrees
  int roll_present;
  FloatTrack roll;    // degrees
  int spare_present;  // a float track slot no file chunk fills
  FloatTrack spare;
  int reserved2[10];
  int child_count;
  Node** children;  // null-terminated
  Node* parent;     // null for the root
};

// Everything after the position is working space of the render pipeline.
struct Vertex {
  Vec3 position;  // object space, y up after loading
  Vec3 camera_position;
  float screen_x, screen_y, depth;
  Vec3 normal;
  Vec3 camera_normal;
  float reserved0;
  float highlight;
  float intensity;
  float r, g, b;  // lighting result, 0..255
  float u, v;     // mapping x 256 (256 = one texture repeat)
  int outcode;    // bit i: outside clip plane i
  int reserved1;
  int use_count;
};

// Face flag bits (the file's face flag word).
constexpr int kFaceWrapU = 0x08;
constexpr int kFaceWrapV = 0x10;

struct Face {
  int a, b, c;  // indices into the World's vertex table
  Vertex *pa, *pb, *pc;
  float mapping[6];  // (u, v) of corners a, b, c
  float work0[9];
  float corner_intensity[3];  // used by the chained render variant instead of 128
  float work1[3];
  Vec3 normal;  // object-space unit normal
  float work2[3];
  int flags;
  int clip_mask;
  int depth_key;
  Material* material;
  int reserved0;
  Material* fallback_material;  // drawn with while `material` has no texture
  Face* chain_link;             // next face of the chained render variant
};

struct Mesh {
  int reserved0;
  World* world;
  int first_vertex, vertex_count;
  int first_face, face_count;
  // (xmin,ymax,zmax) (xmax,ymax,zmax) (xmax,ymin,zmax) (xmin,ymin,zmax)
  // (xmin,ymin,zmin) (xmax,ymin,zmin) (xmax,ymax,zmin) (xmin,ymax,zmin)
  Vec3 bounds[8];
  int has_mapping;
  Mat4 camera_matrix;  // render matrix * view matrix, per frame
  Mat4 reserved_matrix;
  Mat4 render_matrix;  // object to world as drawn
  Mat4 local_axes;     // inverse of the file's mesh matrix
  Vec3 pivot;          // from the keyframer; not applied
  Node node;
  char name[32];
};

struct Camera {
  int reserved0;
  Vec3 position;
  Vec3 target;
  float roll;  // degrees
  float lens;  // millimetres
  Node node;
  Node target_node;
  char name[32];
};

struct Light {
  int reserved0[2];
  Vec3 position;  // the file's; replaced each frame by the camera-space position
  Vec3 target;    // used when the light serves as a projected spotlight
  float r, g, b;  // 0..1
  Node node;
  Node target_node;
  char name[32];
  int reserved1;
  float spot_fov;   // degrees
  float spot_roll;  // degrees
  // The file's position, kept by view_place_lights for a light without a position track
  // (position itself becomes camera space each frame).
  Vec3 file_position;
  int file_position_kept;
  int reserved2[23];
};

struct Dummy {
  int reserved0[2];
  Node node;
  char instance_name[32];
};

// Rasterizer selection bits of Material::flags; -1 selects the solid fill.
constexpr int kMatLit = 0x02;
constexpr int kMatShaded = 0x04;
constexpr int kMatHalf = 0x10;
constexpr int kMatAdditive = 0x20;
constexpr int kMatAlpha = 0x40;
constexpr int kMatPerspective = 0x100;

struct Material {
  int flags;
  int reserved0;
  int width, height;
  int size_code;  // 1..16
  float r, g, b;  // 0..1
  float alpha;    // 0..1
  int reserved1[2];
  int u_shift, u_mask;
  int v_shift, v_mask;
  int texture_ready;
  const uint32_t* texels;  // 0x00RRGGBB, width x height
  int reserved2[2];
  char name[32];
};

constexpr int kMaxMaterials = 256;
constexpr int kNameSize = 32;  // 31 characters and the terminator

struct World {
  Vertex* vertices;
  int vertex_count;
  Face* faces;
  int face_count;
  Mesh* meshes;
  int mesh_count;
  Light* lights;
  int light_count;
  Camera* cameras;
  int camera_count;
  Dummy* dummies;
  int dummy_count;
  Node root;  // id -1; "$AMBIENT$" loads into it
  int node_count;
  Node** node_list;
  int first_frame, last_frame;
  int material_count;
  Material materials[kMaxMaterials];
  // Capacities given to world_init; the tables never grow past them.
  int vertex_capacity, face_capacity, mesh_capacity;
  int light_capacity, camera_capacity, dummy_capacity, node_capacity;
};

// Texture size codes 1..16: (width, height) and the sampling parameters they imply.
struct TextureSize {
  int width, height;
  int u_shift, u_mask, v_shift, v_mask;
};
// Indexed by code; entry 0 is unused (all zero).
extern const TextureSize kTextureSizes[17];
// The code of a (width, height) pair, 0 for a pair not in the table.
int texture_size_code(int width, int height);
// The side texture_resample gives a picture side: 256 above 255, else the smallest of
// 32, 64, 128, 256 that holds it.
int texture_target_side(int side);

// Starts every record zeroed, allocates each table with exactly the given capacity,
// links embedded nodes to their owners and adds "kelp_defmat" as material 0.
// Returns 1, or 0 when an allocation fails. `world` must be new or freed.
int world_init(World* world, int vertices, int faces, int meshes, int lights, int cameras,
               int dummies);
// Releases the tables, their key tables and child lists, and zeroes the counts.
void world_free(World* world);
int world_link_nodes(World* world);
int node_link_children(World* world, Node* node);
Mesh* world_find_mesh(World* world, const char* name);  // exact compare

// Returns the new material, or null (after printing the name) when the table is full.
Material* world_add_material(World* world, const char* name);
Material* world_find_material(World* world, const char* name);  // first exact match
void material_set_texture(Material* mat, const uint32_t* texels, int flags, int reserved,
                          int size_code);
void world_bind_texture(World* world, const char* name, const uint32_t* texels, int flags,
                        int reserved, int size_code);
void world_set_material_colour(World* world, const char* name, float r, float g, float b,
                               float alpha);
// Nearest-texel resample of src (src_width x src_height) into dst, whose sides are
// texture_target_side() of the source's. Returns the size code (0 if not in the table).
int texture_resample(const uint32_t* src, int src_height, uint32_t* dst, int src_width);

void mesh_swap_yz(Mesh* mesh);
void mesh_compute_normals(Mesh* mesh);
void mesh_face_mapping(Mesh* mesh);
void mesh_compute_bounds(Mesh* mesh);
void mesh_flip_faces(Mesh* mesh);
void mesh_negate_normals(Mesh* mesh);
void mesh_set_material(Mesh* mesh, Material* mat);
void mesh_env_map(Mesh* mesh);

// ---- Keyframe evaluation ----

// Kochanek-Bartels ease: a = ease from of the earlier key, b = ease to of the later key.
float track_ease(float t, float a, float b);
void track_eval_vector(Track* track, float frame);
void track_eval_float(FloatTrack* track, float frame);
void track_eval_rotation(RotationTrack* track, float frame);
void node_evaluate(Node* node, float frame);
void world_animate(World* world, float time);
