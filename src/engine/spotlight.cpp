// The projected spotlight: the World is drawn a second time from the light into the light
// picture. Nearest the light first, each surface adds the part of the picture that falls on
// it onto the screen, then is painted black into the picture so that it shadows what lies
// behind it. A surface is painted only once every listed face sharing one of its corners
// has been lit, so the faces of one mesh do not shadow their neighbours.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/kelp.h"
#include "engine/raster.h"
#include "engine/view_internal.h"

namespace {

constexpr int kPendingRing = 1500;
constexpr int kPolygonMax = 32;

// A record is small and its polygon lives in one packed pool, so the records and vertices a
// call touches lie together in memory (a fixed 32-vertex slot per record spread one call's
// few hundred faces over megabytes).
struct Pending {
  Vertex* vertices;  // the clipped polygon, projected with the light View
  int count;
  int seq;  // its place among this call's records
  Vertex* corners[3];
  Pending* next;
  Pending* prev;
  int drawn;
  int linked;
};

Pending ring[kPendingRing];
int ring_next = 0;
Pending* head = nullptr;
int forced_flushes = 0;

// Polygons are stored one after another and the pool wraps to its start when the next one
// would not fit. It holds a full ring of largest polygons and two more, so storage is only
// reused once the record that owned it has been taken again (and painted, if it waited).
constexpr int kPoolVertices = (kPendingRing + 2) * kPolygonMax;
Vertex pool[kPoolVertices];
int pool_next = 0;

// Which records wait on each World vertex, so a vertex whose count reaches zero leads
// straight to the records it may release instead of a walk of every waiting record. A
// vertex's list holds one entry per record of this call that has it as a corner; records
// painted or taken again are recognised by their flags and sequence numbers.
struct CornerEntry {
  int seq;
  int next;
};
std::vector<int> vertex_head;
// Per World vertex, the planes it lies well inside (see InnerPlanes): the light View's in
// bits 0-15 and the screen View's in bits 16-31, found when a listed face first needs them.
constexpr uint32_t kInsideUnknown = 0xffffffffu;
std::vector<uint32_t> vertex_inside;
std::vector<CornerEntry> corner_entries;
std::vector<int> released;
int record_seq = 0;

alignas(64) int32_t light_depth[kLightPictureSide * kLightPictureSide];
Vertex overlay[kPolygonMax];

void unlink(Pending* p) {
  if (p->prev)
    p->prev->next = p->next;
  else
    head = p->next;
  if (p->next) p->next->prev = p->prev;
  p->next = p->prev = nullptr;
  p->linked = 0;
}

void paint_black(Pending* p, View* light_view, Material* occluder) {
  raster_set_view(light_view);
  raster_set_material(occluder);
  for (int k = 1; k + 1 < p->count; ++k) {
    raster_set_vertices(&p->vertices[0], &p->vertices[k], &p->vertices[k + 1]);
    draw_triangle();
  }
  p->drawn = 1;
  unlink(p);
}

// The ring never overwrites a record that is still waiting: such a record is painted now,
// a little early, rather than lost (or left linked while its storage is reused).
Pending* take_record(View* light_view, Material* occluder, int count) {
  Pending* p = &ring[ring_next];
  ring_next = (ring_next + 1) % kPendingRing;
  if (p->linked) {
    ++forced_flushes;
    paint_black(p, light_view, occluder);
  }
  if (pool_next + count > kPoolVertices) pool_next = 0;
  p->vertices = pool + pool_next;
  pool_next += count;
  return p;
}

// A View's planes moved inwards by the margin. A face whose corners all lie inside such a
// plane is never cut by the View's own: each corner the clipper makes is a blend of the
// face's corners, off by rounding far below the margin, so that plane would pass the polygon
// as it is, and its clip may be left out.
struct InnerPlanes {
  Plane planes[kViewMaxPlanes];
  int count = 0;

  void set(const View* v, float margin) {
    count = std::clamp(v->plane_count, 0, kViewMaxPlanes);
    for (int i = 0; i < count; ++i) {
      const Plane& pl = v->planes[i];
      const float scale = std::fabs(pl.normal.x) + std::fabs(pl.normal.y) + std::fabs(pl.normal.z);
      planes[i] = Plane{pl.normal, pl.d + margin * scale};
    }
  }
  uint32_t inside(const Vec3& p) const {
    uint32_t code = 0;
    for (int i = 0; i < count; ++i) {
      code |= static_cast<uint32_t>(vec_dot(&p, &planes[i].normal) > planes[i].d) << i;
    }
    return code;
  }
};
InnerPlanes light_inner, screen_inner;

// A corner's place in the World's vertex table (and in the tables above), or -1 for a corner
// outside it.
ptrdiff_t corner_index(const Vertex* c, const World* world) {
  const ptrdiff_t index = c - world->vertices;
  return index >= 0 && index < static_cast<ptrdiff_t>(vertex_head.size()) ? index : -1;
}

// The planes (light View's in bits 0-15, screen View's in 16-31) that all three corners of a
// face lie well inside; none for corners outside the World's table.
uint32_t face_inside(Vertex* const* corners, const World* world) {
  uint32_t all = kInsideUnknown;
  for (int i = 0; i < 3; ++i) {
    const ptrdiff_t index = corner_index(corners[i], world);
    if (index < 0) return 0;
    uint32_t& code = vertex_inside[static_cast<size_t>(index)];
    // (A vertex well inside 16 planes of each View looks unknown and is found again.)
    if (code == kInsideUnknown) {
      code = light_inner.inside(corners[i]->camera_position) |
             screen_inner.inside(corners[i]->camera_normal) << 16;
    }
    all &= code;
  }
  return all;
}

void draw_overlay(View* screen_view, Material* overlay_material, int count, uint32_t inside) {
  raster_set_view(screen_view);
  raster_set_material(overlay_material);
  clip_begin(overlay, count);
  for (int i = 0; i < screen_view->plane_count; ++i) {
    if (!(inside >> i & 1u)) clip_plane(&screen_view->planes[i]);
  }
  const int n = clip_polygon_count();
  if (n < 3) return;
  for (int i = 0; i < n; ++i) {
    Vertex* v = clip_polygon_vertex(i);
    vertex_project(v, screen_view);
    // Just in front of the surface already drawn, so it passes the depth test.
    v->depth *= 0.9995f;
    if (screen_view->fog_on) {
      v->r = std::max(v->r, 0.0f);
      v->g = std::max(v->g, 0.0f);
      v->b = std::max(v->b, 0.0f);
    }
  }
  if (cull_screen(clip_polygon_vertex(0), clip_polygon_vertex(1), clip_polygon_vertex(2),
                  screen_view->cull_mode)) {
    return;
  }
  for (int k = 1; k + 1 < n; ++k) {
    raster_set_vertices(clip_polygon_vertex(0), clip_polygon_vertex(k), clip_polygon_vertex(k + 1));
    draw_triangle();
  }
}

// reach: the largest coordinate of the listed vertices so far, in either View.
void list_mesh(Mesh* mesh, View* lv, const View* sv, float brightness, float& reach) {
  World* world = mesh->world;
  Mat4 ml, ms, n;
  mat_mul(&mesh->render_matrix, &lv->view_matrix, &ml);
  mat_mul(&mesh->render_matrix, &sv->view_matrix, &ms);
  mat_orthonormalise_rows(&ml, &n);
  int set = 0;
  if (!mesh_box_test(mesh, &ml, lv, &set)) return;
  Vertex* v = world->vertices + mesh->first_vertex;
  for (int k = 0; k < mesh->vertex_count; ++k, ++v) {
    v->use_count = 0;
    // The screen View's camera position rides in the normal field, so that clipping in
    // light space interpolates it along with everything else.
    mat_transform_point(&v->position, &ms, &v->camera_normal);
    mat_transform_point(&v->position, &ml, &v->camera_position);
    Vec3 nn;
    mat_rotate_vector(&v->normal, &n, &nn);
    vec_set_length(&nn, 1.0f, &nn);
    // Faces the light sees have normals towards +z in light space.
    v->intensity = brightness * nn.z * 255.0f;
    vertex_project(v, lv);
    v->outcode = set ? vertex_outcode(&v->camera_position, lv, set) : 0;
    // Every blend the clippers make lies within the corners' coordinates.
    for (const Vec3* p : {&v->camera_position, &v->camera_normal}) {
      reach = std::max({reach, std::fabs(p->x), std::fabs(p->y), std::fabs(p->z)});
    }
  }
  Face* f = world->faces + mesh->first_face;
  for (int k = 0; k < mesh->face_count; ++k, ++f) {
    const Vertex *a = f->pa, *b = f->pb, *c = f->pc;
    if (a->outcode & b->outcode & c->outcode) continue;
    f->clip_mask = a->outcode | b->outcode | c->outcode;
    if (cull_camera(a, b, c, lv->cull_mode)) continue;
    f->depth_key = face_depth_key(f);
    if (lv->draw_count >= lv->draw_capacity) {
      ++lv->dropped_faces;
      continue;
    }
    lv->draw_list[lv->draw_count++] = f;
  }
}

}  // namespace

int spotlight_forced_flushes() {
  return forced_flushes;
}

void spotlight_render(Light* spot, View* light_view, World* world, float brightness,
                      View* screen_view) {
  if (brightness > 1.0f) brightness = 1.0f;
  if (brightness < 0.0f) brightness = 0.0f;
  // Conversions below truncate toward zero (C++ casts), as the rasterizer's do.
  uint32_t* picture = engine_light_picture();
  view_set_target(light_view, kLightPictureSide * 4, picture, light_depth);
  const float roll = spot->spot_roll * 3.1415927f * 0.0055555557f;
  mat_look_at(&spot->position, &spot->target, roll, &light_view->view_matrix);
  view_set_fov_square(light_view, spot->spot_fov);
  view_clear(light_view);
  view_clear(screen_view);
  // Every record of the last call has been painted, so which slot comes first does not
  // matter; starting at the front keeps this call's records and polygons in one warm run.
  ring_next = 0;
  pool_next = 0;
  record_seq = 0;
  corner_entries.clear();
  vertex_head.assign(static_cast<size_t>(std::max(world->vertex_count, 0)), -1);
  vertex_inside.assign(vertex_head.size(), kInsideUnknown);
  bool whole_walk = false;

  Material overlay_material{};
  material_set_texture(&overlay_material, picture, kMatAdditive, 0, 1);
  Material occluder{};
  occluder.flags = -1;
  occluder.texture_ready = 1;

  float reach = 0.0f;
  for (int i = 0; i < world->mesh_count; ++i) {
    list_mesh(&world->meshes[i], light_view, screen_view, brightness, reach);
  }
  // A margin far above the rounding of any blend of the listed coordinates.
  const float margin = reach * 1.0e-4f;
  light_inner.set(light_view, margin);
  screen_inner.set(screen_view, margin);
  for (int k = 0; k < light_view->draw_count; ++k) {
    Face* f = light_view->draw_list[k];
    ++f->pa->use_count;
    ++f->pb->use_count;
    ++f->pc->use_count;
  }
  view_sort(light_view, 1);

  const int all_planes = (1 << light_view->plane_count) - 1;
  for (int k = light_view->draw_count - 1; k >= 0; --k) {
    Face* f = light_view->draw_list[k];
    Vertex* corners[3] = {f->pa, f->pb, f->pc};
    for (Vertex* c : corners) c->intensity = std::max(c->intensity, 0.0f);
    // Planes that every corner lies well inside are left out: they would cut nothing.
    const uint32_t inside = face_inside(corners, world);
    f->clip_mask = all_planes;
    const int n = std::min(
        clip_face(f, all_planes & ~static_cast<int>(inside & 0xffffu), light_view), kPolygonMax);
    bool freed = false;
    for (Vertex* c : corners) freed |= --c->use_count == 0;

    if (n >= 3) {
      Pending* p = take_record(light_view, &occluder, n);
      for (int i = 0; i < n; ++i) {
        p->vertices[i] = *clip_polygon_vertex(i);
        vertex_project(&p->vertices[i], light_view);
      }
      p->count = n;
      p->corners[0] = f->pa;
      p->corners[1] = f->pb;
      p->corners[2] = f->pc;
      p->seq = record_seq++;
      for (Vertex* c : corners) {
        const ptrdiff_t index = corner_index(c, world);
        if (index < 0) {
          whole_walk = true;  // a corner outside the World's table: no list can hold it
          continue;
        }
        corner_entries.push_back({p->seq, vertex_head[index]});
        vertex_head[index] = static_cast<int>(corner_entries.size()) - 1;
      }
      p->drawn = 0;
      p->linked = 1;
      p->prev = nullptr;
      p->next = head;
      if (head) head->prev = p;
      head = p;

      for (int i = 0; i < n; ++i) {
        const Vertex& src = p->vertices[i];
        Vertex& o = overlay[i];
        o = src;
        o.u = src.screen_x;
        o.v = src.screen_y;
        o.camera_position = src.camera_normal;
        o.outcode = ~0;
      }
      draw_overlay(screen_view, &overlay_material, n, inside >> 16);
    }

    if (freed && whole_walk) {
      for (Pending* p = head; p != nullptr;) {
        Pending* next = p->next;
        if (p->corners[0]->use_count == 0 && p->corners[1]->use_count == 0 &&
            p->corners[2]->use_count == 0) {
          paint_black(p, light_view, &occluder);
        }
        p = next;
      }
    } else if (freed) {
      // A record can only become ready when one of its corners reaches zero, so the records
      // on the lists of this face's freed corners are all the walk of the whole pending
      // list would find; they are painted in its order, newest first.
      released.clear();
      for (Vertex* c : corners) {
        if (c->use_count != 0) continue;
        for (int e = vertex_head[static_cast<size_t>(c - world->vertices)]; e >= 0;
             e = corner_entries[e].next) {
          const int seq = corner_entries[e].seq;
          const Pending* p = &ring[seq % kPendingRing];
          if (p->seq == seq && p->linked && p->corners[0]->use_count == 0 &&
              p->corners[1]->use_count == 0 && p->corners[2]->use_count == 0) {
            released.push_back(seq);
          }
        }
      }
      std::sort(released.begin(), released.end(), std::greater<int>());
      released.erase(std::unique(released.begin(), released.end()), released.end());
      for (int seq : released) paint_black(&ring[seq % kPendingRing], light_view, &occluder);
    }
  }
  // Every use count is back at zero here, so nothing should still wait; paint anything that
  // does rather than leave records pointing into this World for the next call.
  while (head != nullptr) paint_black(head, light_view, &occluder);
  // The two materials live on this call's stack.
  raster_set_material(nullptr);
}
