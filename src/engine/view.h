// Views and drawing: the render context, camera and lights, the per-frame pipeline
// (transform, cull, clip, sort, draw), the triangle entry and the projected spotlight.
#pragma once
#include <cstdint>

#include "engine/kelp_records.h"

// The dance floor's mirror pass bounds the view by one plane per floor corner plus one;
// sixteen leaves room for the screen's six and such extra sets.
constexpr int kViewMaxPlanes = 16;

struct View {
  int width, height;
  float centre_x, centre_y;
  float scale_x, scale_y;
  float horizontal_angle, vertical_angle;  // radians
  Plane planes[kViewMaxPlanes];            // plane 5 is the far plane
  int plane_count;
  int fog_on;
  float fog_start, far_distance;
  int draw_count;
  Face** draw_list;
  int draw_capacity;  // the max faces given to view_init
  int nearest_first;  // the list was sorted since the last clear: it draws nearest first
  int dropped_faces;  // faces that found the draw list full (debug statistic)
  Mat4 view_matrix;   // world to camera
  float ambient_r, ambient_g, ambient_b;
  int cull_mode;  // 0 culls positive screen area, 1 negative, 2 nothing
  uint32_t* colour_buffer;
  int32_t* depth_buffer;
  int pitch;                // bytes per colour row
  int pitch_pixels;         // pitch / 4; also the depth buffer's row length
  const uint32_t* picture;  // 256 x 256, copied by view_copy_picture
};

// ---- View set-up ----

// Returns 0 when the draw list cannot be allocated. Builds the rasterizer tables once.
int view_init(View* view, int max_faces, int width, int height);
void view_free(View* view);
void view_set_target(View* view, int pitch, uint32_t* colour, int32_t* depth);
void view_set_fov(View* view, float degrees);
void view_set_fov_square(View* view, float degrees);
void view_set_far_plane(View* view, int on);
void view_set_fog(View* view, float fog_start, float far_distance);
void view_set_ambient(View* view, float r, float g, float b);
void view_set_cull_mode(View* view, int mode);
void view_clear(View* view);
// From the camera's current track values; a camera without tracks uses its file values.
void view_set_camera(View* view, const Camera* camera);
// Each light's position := its (animated, or for a light without tracks the file's) world
// position in camera space, which mesh_light reads; colour from its colour track if any.
void view_place_lights(World* world, View* view);

// The engine's shared 256 x 256 texel buffer (the spotlight's light picture).
constexpr int kLightPictureSide = 256;
uint32_t* engine_light_picture();
void view_copy_picture(View* view);

// In the header: it runs for every vertex and every clipped corner of every frame.
inline void vertex_project(Vertex* vertex, const View* view) {
  const Vec3& p = vertex->camera_position;
  const float k = p.z == 0.0f ? 1.0f : 1.0f / p.z;
  vertex->screen_x = p.x * view->scale_x * k + view->centre_x;
  vertex->screen_y = view->centre_y - p.y * view->scale_y * k;
  vertex->depth = p.z;
}
void mesh_light(Mesh* mesh);
void mesh_fog(Mesh* mesh, const View* view);

// ---- Pipeline ----

void world_reset_mesh_matrices(World* world);
void world_transform_meshes(World* world, const Mat4* m);
void world_draw_meshes(World* world, View* view);
void mesh_draw(Mesh* mesh, View* view);
// Mode 1 sorts the draw list by depth key, largest (farthest) first.
void view_sort(View* view, int mode);
void view_render(View* view);
void view_render_chained(View* view);

// Clipping of polygons that do not come from a mesh.
void clip_begin(Vertex* vertices, int count);
void clip_plane(const Plane* plane);
void draw_polygon(View* view);
// The current polygon after clip_begin / clip_plane (for callers that inspect it).
int clip_polygon_count();
Vertex* clip_polygon_vertex(int index);

// ---- Triangle entry ----

// The current material, corners and View that draw_triangle reads. Callers outside the
// pipeline set all three; spans are cut to the View's width and height.
void raster_set_material(Material* material);
void raster_set_vertices(Vertex* a, Vertex* b, Vertex* c);
void raster_set_view(View* view);
Material* raster_current_material();
void rasterizer_select(int flags, float alpha);
void draw_triangle();

// ---- Projected spotlight ----

// Lights the World drawn in screen_view with spot's pattern (put into the light picture
// with view_copy_picture first) and casts the shadows of nearer surfaces.
void spotlight_render(Light* spot, View* light_view, World* world, float brightness,
                      View* screen_view);
// Faces whose occluder records were flushed before all their neighbours were lit, because
// the pending ring was full (debug statistic, counted since start).
int spotlight_forced_flushes();
