// kelp: the show's software 3D engine. The one header that scenes, loaders and tools include.
//
// Conventions: 32-bit floats; row vectors (p' = p * M) with row-major storage and the
// translation in the fourth row; camera space is left-handed (x right, y up, z forward);
// angles are radians unless a field says degrees. Records are plain structures whose
// fields keep the engine's historic order; "reserved" and "working space" slots are kept
// so the layout reads the same as the tables the renderer was written against.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---- Vectors and matrices ----

struct Vec3 {
  float x, y, z;
};

// A plane: points p with dot(p, normal) >= d lie on its inner side.
struct Plane {
  Vec3 normal;
  float d;
};

// Row-major, row vectors: x' = x*m[0] + y*m[4] + z*m[8] + m[12], and so on.
struct Mat4 {
  float m[16];
};

// Every vector operation takes pointers; the output may alias an input.
void vec_copy(const Vec3* src, Vec3* dst);
void vec_zero(Vec3* v);
void vec_swap_yz(Vec3* v);
void vec_add(const Vec3* a, const Vec3* b, Vec3* out);
void vec_sub(const Vec3* a, const Vec3* b, Vec3* out);
void vec_scale(const Vec3* v, float s, Vec3* out);
void vec_negate(const Vec3* v, Vec3* out);
float vec_dot(const Vec3* a, const Vec3* b);
void vec_cross(const Vec3* a, const Vec3* b, Vec3* out);
float vec_length_sq(const Vec3* v);
float vec_length(const Vec3* v);
// out = v * (len / |v|); a zero vector stays zero. With len = 1 this is normalisation.
void vec_set_length(const Vec3* v, float len, Vec3* out);
void vec_print(const Vec3* v);

void mat_identity(Mat4* m);
void mat_copy(const Mat4* src, Mat4* dst);
// out = a * b (apply a, then b); out may be a or b.
void mat_mul(const Mat4* a, const Mat4* b, Mat4* out);
void mat_transform_point(const Vec3* p, const Mat4* m, Vec3* out);
void mat_transform_points(const Vec3* src, Vec3* dst, int count, const Mat4* m);
// Upper 3x3 only: for normals and directions.
void mat_rotate_vector(const Vec3* v, const Mat4* m, Vec3* out);
void mat_rotation_x(Mat4* m, float a);
void mat_rotation_y(Mat4* m, float a);
void mat_rotation_z(Mat4* m, float a);
// Rz(az) * Rx(ax) * Ry(ay): roll, then pitch, then yaw.
void mat_rotation_euler(Mat4* m, float ax, float ay, float az);
void mat_scale(Mat4* m, float sx, float sy, float sz);
void mat_axis_angle(const Vec3* axis, float angle, Mat4* m);
void mat_look_at(const Vec3* eye, const Vec3* target, float roll, Mat4* m);
void mat_transpose_rotation(Mat4* m);
void mat_scale_columns_inverse(Mat4* m);
void mat_orthonormalise_rows(const Mat4* src, Mat4* dst);
// Mirror whose fixed points satisfy dot(p, n) = -d (negate d of a plane_from_points plane).
void mat_reflect(const Plane* plane, Mat4* m);
void plane_from_points(const Vec3* p, const Vec3* a, const Vec3* b, Plane* out);

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

// ---- 3DS loader ----

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

// Reads one .3DS file into an empty World. A missing or foreign file prints its
// "RARA: ..." line and ends the process with status 1 (platform::process_exit);
// a damaged file prints one line and ends with status 1 too. Returns 1, or 0 when an
// allocation fails.
int load_3ds(World* world, const char* path, float scale);
// The same over a file already in memory; `path` names it in messages.
int load_3ds_memory(World* world, const uint8_t* data, size_t size, const char* path, float scale);
// Where the loader's prescale lines go (stdout by default); null silences them.
void load_3ds_set_log(FILE* out);

// Track chunk readers (the reader stands at the track header). Return 1, or 0 when the
// key table cannot be allocated; a malformed track sets reader->ok = false.
int track_read_vector(ChunkReader* reader, Track* track, int is_colour);
int track_read_float(ChunkReader* reader, FloatTrack* track);
int track_read_rotation(ChunkReader* reader, RotationTrack* track);

// ---- Keyframe evaluation ----

// Kochanek-Bartels ease: a = ease from of the earlier key, b = ease to of the later key.
float track_ease(float t, float a, float b);
void track_eval_vector(Track* track, float frame);
void track_eval_float(FloatTrack* track, float frame);
void track_eval_rotation(RotationTrack* track, float frame);
void node_evaluate(Node* node, float frame);
void world_animate(World* world, float time);

// ---- Views and drawing ----
#include "engine/view.h"
