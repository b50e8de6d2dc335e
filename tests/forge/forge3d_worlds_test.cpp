// The six forged Worlds, read back with the show's loader (and lib3ds): what each scene
// needs is there, placed where the writer meant it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "forge3d_util.h"
#include "forge_3d.h"
#ifdef TH_HAVE_LIB3DS
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>
#endif

using namespace forge3d_test;

namespace {

struct Forged {
  forge::w3ds::Scene scene;
  std::vector<uint8_t> bytes;
  std::unique_ptr<World> world;
};

const std::vector<std::string> kDancerParts = {
    "Hip",        "Chest",      "Neck",   "Head",   "ArmUpper_L", "ArmUpper_R",
    "ArmLower_L", "ArmLower_R", "Hand_L", "Hand_R", "LegUpper_L", "LegUpper_R",
    "LegLower_L", "LegLower_R", "Fot_L",  "Fot_R"};
const std::vector<std::string> kMirrored = {"Hand_R", "ArmLower_R", "ArmUpper_R", "Neck", "Chest",
                                            "Fot_R",  "LegLower_R", "LegUpper_R", "Hip"};
const std::vector<std::string> kDancerMaterials = {
    "face", "black", "hair", "skin", "ArmGlove", "ChestFront", "ChestBack", "HipFront", "HipBack"};

Forged& forged(const std::string& name) {
  static std::map<std::string, Forged> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  Forged f;
  forge::Forge frame(std::filesystem::path(TH_BINARY_DIR) / "tests", 1);  // its rng only
  if (name == "catwalk")
    f.scene = forge::catwalk_world();
  else if (name == "box")
    f.scene = forge::box_world();
  else if (name == "dance")
    f.scene = forge::dance_world();
  else if (name == "city")
    f.scene = forge::city_world(frame.rng("city"));
  else if (name == "cube")
    f.scene = forge::cube_world();
  else
    f.scene = forge::object_world();
  f.bytes = forge::w3ds::write(f.scene);
  f.world = load_world(f.bytes, name.c_str());
  return cache.emplace(name, std::move(f)).first->second;
}

World& world(const std::string& name) {
  World* w = forged(name).world.get();
  if (!w) throw std::runtime_error("the loader refused " + name);
  return *w;
}

Mesh* mesh(World& w, const std::string& name) {
  return world_find_mesh(&w, name.c_str());
}

void at_frame(World& w, float frame) {
  world_animate(&w, frame);
  world_reset_mesh_matrices(&w);
}

struct Staging {
  const char* name;
  int cameras;
  int min_lights;
  int min_last_frame;
};
const Staging kStaging[] = {{"catwalk", 6, 0, 320}, {"box", 3, 0, 284}, {"dance", 3, 0, 340},
                            {"city", 5, 1, 400},    {"cube", 0, 2, 1},  {"object", 0, 2, 1}};

class WorldStaging : public ::testing::TestWithParam<Staging> {};

TEST_P(WorldStaging, CamerasLightsSegmentAndFaceBudget) {
  const Staging& s = GetParam();
  World& w = world(s.name);
  EXPECT_EQ(w.camera_count, s.cameras);
  EXPECT_GE(w.light_count, s.min_lights);
  EXPECT_GE(w.last_frame, s.min_last_frame);
  EXPECT_GT(w.last_frame, 0);
  // Everything in one draw list stays below the screen View's 3,000 faces even unculled.
  EXPECT_LT(w.face_count, 3000);
}

TEST_P(WorldStaging, EveryCameraAndLightIsKeyed) {
  World& w = world(GetParam().name);
  for (int i = 0; i < w.camera_count; ++i) {
    const Camera& c = w.cameras[i];
    EXPECT_TRUE(c.node.position_present && c.node.position.key_count > 0) << c.name;
    EXPECT_TRUE(c.node.fov_present && c.node.fov.key_count > 0) << c.name;
    EXPECT_TRUE(c.target_node.position_present && c.target_node.position.key_count > 0) << c.name;
    EXPECT_NE(c.node.id, -1);
    EXPECT_NE(c.target_node.id, -1);
  }
  for (int i = 0; i < w.light_count; ++i) {
    const Light& l = w.lights[i];
    EXPECT_TRUE(l.node.position_present && l.node.position.key_count > 0) << l.name;
    EXPECT_TRUE(l.node.colour_present && l.node.colour.key_count > 0) << l.name;
  }
  for (int i = 0; i < w.mesh_count; ++i) EXPECT_NE(w.meshes[i].node.id, -1) << w.meshes[i].name;
}

// The node's tracks equal the mesh matrix, so the drawn mesh stands where it was built.
TEST_P(WorldStaging, NodesPlaceEveryMeshWhereItWasBuilt) {
  Forged& f = forged(GetParam().name);
  World& w = *f.world;
  at_frame(w, 0);
  ASSERT_EQ(w.mesh_count, static_cast<int>(f.scene.meshes.size()));
  for (int k = 0; k < w.mesh_count; ++k) {
    const Mesh& m = w.meshes[k];
    const auto& built = f.scene.meshes[k];
    ASSERT_EQ(m.vertex_count, static_cast<int>(built.vertices.size()));
    for (int i = 0; i < m.vertex_count; ++i) {
      Vec3 p = world_vertex(w, m, i);
      const auto& q = built.vertices[i];
      ASSERT_NEAR(p.x, q.x, 0.02) << m.name << " vertex " << i;
      ASSERT_NEAR(p.y, q.y, 0.02) << m.name << " vertex " << i;
      ASSERT_NEAR(p.z, q.z, 0.02) << m.name << " vertex " << i;
    }
  }
}

#ifdef TH_HAVE_LIB3DS
int count_nodes(Lib3dsNode* n) {
  int c = 0;
  for (; n; n = n->next) c += 1 + count_nodes(n->childs);
  return c;
}
#endif

TEST_P(WorldStaging, Lib3dsReadsTheSameCounts) {
#ifndef TH_HAVE_LIB3DS
  if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
    FAIL() << "lib3ds missing";
  GTEST_SKIP() << "lib3ds-dev is not installed";
#else
  Forged& f = forged(GetParam().name);
  auto path = scratch_dir("lib3ds") / (std::string(GetParam().name) + ".3ds");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(f.bytes.data()),
             static_cast<std::streamsize>(f.bytes.size()));
  Lib3dsFile* file = lib3ds_file_load(path.c_str());
  ASSERT_NE(file, nullptr);
  World& w = *f.world;
  int meshes = 0, vertices = 0, faces = 0;
  for (Lib3dsMesh* m = file->meshes; m; m = m->next) {
    Mesh* ours = world_find_mesh(&w, m->name);
    ASSERT_NE(ours, nullptr) << m->name;
    EXPECT_EQ(static_cast<int>(m->points), ours->vertex_count) << m->name;
    EXPECT_EQ(static_cast<int>(m->faces), ours->face_count) << m->name;
    ++meshes, vertices += m->points, faces += m->faces;
  }
  EXPECT_EQ(meshes, w.mesh_count);
  EXPECT_EQ(vertices, w.vertex_count);
  EXPECT_EQ(faces, w.face_count);
  int cameras = 0, lights = 0, materials = 0;
  for (Lib3dsCamera* c = file->cameras; c; c = c->next) ++cameras;
  for (Lib3dsLight* l = file->lights; l; l = l->next) ++lights;
  for (Lib3dsMaterial* m = file->materials; m; m = m->next) ++materials;
  EXPECT_EQ(cameras, w.camera_count);
  EXPECT_EQ(lights, w.light_count);
  EXPECT_EQ(materials + 1, w.material_count);  // ours adds the default material first
  // One keyframer node a mesh, two a camera (eye and target), one a light.
  EXPECT_EQ(count_nodes(file->nodes), w.mesh_count + 2 * w.camera_count + w.light_count);
  EXPECT_EQ(file->segment_to, w.last_frame);
  lib3ds_file_free(file);
#endif
}

INSTANTIATE_TEST_SUITE_P(Forge3d, WorldStaging, ::testing::ValuesIn(kStaging),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Forge3dWorlds, DancerWorldsHoldEveryPartAndMaterial) {
  for (const char* name : {"catwalk", "box", "dance"}) {
    World& w = world(name);
    for (const auto& p : kDancerParts) EXPECT_NE(mesh(w, p), nullptr) << name << " " << p;
    for (const auto& m : kDancerMaterials)
      EXPECT_NE(world_find_material(&w, m.c_str()), nullptr) << name << " " << m;
  }
  World& c = world("catwalk");
  for (const char* m : {"Cat_Side", "Gold", "Pole", "Rope", "Cat_Floor", "Vog"})
    EXPECT_NE(world_find_material(&c, m), nullptr) << m;
  World& d = world("dance");
  for (const char* m : {"gradient", "floor", "step", "dancefloor", "stone"})
    EXPECT_NE(world_find_material(&d, m), nullptr) << m;
  EXPECT_NE(world_find_material(&world("cube"), "MATERIAL #1"), nullptr);
}

TEST(Forge3dWorlds, CityHasEveryBoundMaterialByItsExactName) {
  World& w = world("city");
  std::vector<std::string> names = {"CAR",         "CAR2",        "Material 36", "window2-building",
                                    "building1",   "Material 32", "Material 33", "Material 30",
                                    "Material 31", "Material 34", "Material 35"};
  for (int i = 1; i <= 32; ++i) names.push_back("Material #" + std::to_string(i));
  for (const auto& n : names) EXPECT_NE(world_find_material(&w, n.c_str()), nullptr) << n;
  // Every material the file defines is used by some face (none is left untextured).
  std::set<const Material*> used;
  for (int i = 0; i < w.face_count; ++i) used.insert(w.faces[i].material);
  for (const auto& n : names) EXPECT_TRUE(used.count(world_find_material(&w, n.c_str()))) << n;
}

// Start-up turns the normals of nine parts; built mirrored, every part must then face and
// light like the others: the engine's normals of a visible face point away from the eye.
TEST(Forge3dWorlds, MirroredPartsFaceAndLightLikeTheOthers) {
  for (const char* name : {"catwalk", "box", "dance"}) {
    auto w = load_world(forged(name).bytes, name);
    ASSERT_TRUE(w);
    for (const auto& p : kMirrored) mesh_negate_normals(mesh(*w, p));
    at_frame(*w, 0);
    for (const auto& p : kDancerParts) {
      Mesh& m = *mesh(*w, p);
      bool mirrored = std::find(kMirrored.begin(), kMirrored.end(), p) != kMirrored.end();
      EXPECT_EQ(det3(m.render_matrix) < 0, mirrored) << name << " " << p;
      Vec3 centre{0, 0, 0};
      for (int i = 0; i < m.vertex_count; ++i) {
        Vec3 q = world_vertex(*w, m, i);
        centre = {centre.x + q.x / m.vertex_count, centre.y + q.y / m.vertex_count,
                  centre.z + q.z / m.vertex_count};
      }
      int inward_normals = 0, inward_windings = 0;
      for (int i = 0; i < m.vertex_count; ++i) {
        Vec3 n;
        mat_rotate_vector(&w->vertices[m.first_vertex + i].normal, &m.render_matrix, &n);
        if (dot3(n, sub(world_vertex(*w, m, i), centre)) < 0) ++inward_normals;
      }
      for (int f = 0; f < m.face_count; ++f) {
        const Face& fc = w->faces[m.first_face + f];
        Vec3 a = world_vertex(*w, m, fc.a - m.first_vertex),
             b = world_vertex(*w, m, fc.b - m.first_vertex),
             c = world_vertex(*w, m, fc.c - m.first_vertex);
        Vec3 mid{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
        if (dot3(cross3(sub(b, a), sub(c, a)), sub(mid, centre)) < 0) ++inward_windings;
      }
      EXPECT_GE(inward_normals, m.vertex_count * 8 / 10) << name << " " << p;
      EXPECT_GE(inward_windings, m.face_count * 9 / 10) << name << " " << p;
    }
  }
}

// The bodice and hip pictures are painted head-up: along every edge of their faces the
// higher corner reads a higher row of the picture (the loader stores v negated).
TEST(Forge3dWorlds, BodyPicturesStandUpright) {
  for (const char* name : {"catwalk", "box", "dance"}) {
    World& w = world(name);
    at_frame(w, 0);
    std::set<const Material*> pictures;
    for (const char* m : {"ChestFront", "ChestBack", "HipFront", "HipBack"})
      pictures.insert(world_find_material(&w, m));
    for (const char* part : {"Chest", "Hip"}) {
      Mesh& m = *mesh(w, part);
      int upright = 0, upside_down = 0;
      for (int f = 0; f < m.face_count; ++f) {
        const Face& fc = w.faces[m.first_face + f];
        if (!pictures.count(fc.material)) continue;
        const int idx[3] = {fc.a - m.first_vertex, fc.b - m.first_vertex, fc.c - m.first_vertex};
        for (int k = 0; k < 3; ++k) {
          const int i = idx[k], j = idx[(k + 1) % 3];
          const float dy = world_vertex(w, m, i).y - world_vertex(w, m, j).y;
          const float dv = w.vertices[m.first_vertex + i].v - w.vertices[m.first_vertex + j].v;
          if (std::fabs(dy) < 1 || std::fabs(dv) < 1e-3f) continue;
          ((dy > 0) == (dv < 0) ? upright : upside_down) += 1;
        }
      }
      EXPECT_GT(upright, 0) << name << " " << part;
      EXPECT_EQ(upside_down, 0) << name << " " << part;
    }
  }
}

// Half-angle in degrees between the spot's axis and the direction to p.
double off_axis(Vec3 from, Vec3 to, Vec3 p) {
  Vec3 a = sub(to, from), b = sub(p, from);
  return std::acos(std::min(1.0f, dot3(a, b) / (len3(a) * len3(b)))) * 180.0 / 3.14159265358979;
}

TEST(Forge3dWorlds, CatwalkSpotConesCoverTheDancerAndStayInBudget) {
  World& w = world("catwalk");
  at_frame(w, 0);
  const float lens = w.cameras[0].lens;
  const double wide = lens * 2.0 / 3.0 / 2.0, close = lens / 2.1 / 2.0;  // half-angles
  const Vec3 rest{0, 250, -100}, origin{0, 0, 0};
  for (const auto& p : kDancerParts) {
    Mesh& m = *mesh(w, p);
    for (int i = 0; i < m.vertex_count; ++i) {
      Vec3 q = world_vertex(w, m, i);
      ASSERT_LT(off_axis(rest, origin, q), wide) << p;
      for (float t : {0.0f, 0.8f, 1.6f, 2.4f, 3.14f, 4.0f, 4.7f, 5.5f}) {
        ASSERT_LT(off_axis({-20, 200, -400}, {140 * std::sin(t), 0, 0}, q), close)
            << p << " t " << t;
        ASSERT_LT(off_axis({20, 400, -400}, {140 * std::cos(t), 100, 0}, q), close)
            << p << " t " << t;
      }
    }
  }
  // Faces the resting spot lists (facing it, inside its square frustum) stay below its
  // pool of 1,500.
  Mat4 look;
  mat_look_at(&rest, &origin, 0, &look);
  const float edge = static_cast<float>(std::tan(wide * 3.14159265358979 / 180.0));
  int inside = 0;
  for (int k = 0; k < w.mesh_count; ++k) {
    const Mesh& m = w.meshes[k];
    for (int f = 0; f < m.face_count; ++f) {
      const Face& fc = w.faces[m.first_face + f];
      Vec3 a = apply(fc.pa->position, m.render_matrix), b = apply(fc.pb->position, m.render_matrix),
           c = apply(fc.pc->position, m.render_matrix);
      if (dot3(cross3(sub(b, a), sub(c, a)), sub(a, rest)) <= 0) continue;  // culled
      bool in = false;
      for (Vec3 p : {a, b, c}) {
        Vec3 q = apply(p, look);
        in |= q.z > 1 && std::fabs(q.x) <= q.z * edge && std::fabs(q.y) <= q.z * edge;
      }
      inside += in;
    }
  }
  EXPECT_LT(inside, 1500);
}

TEST(Forge3dWorlds, CatwalkCameraThreeLoopsWithoutASeam) {
  World& w = world("catwalk");
  const float last = static_cast<float>(w.last_frame);
  auto eye = [&](float f) {
    world_animate(&w, f);
    return w.cameras[3].node.position.value;
  };
  Vec3 a = eye(0), b = eye(last - 0.001f);
  EXPECT_LT(len3(sub(a, b)), 0.5f);
  float v_start = len3(sub(eye(1), eye(0))), v_end = len3(sub(eye(last - 0.001f), eye(last - 1)));
  EXPECT_NEAR(v_start / v_end, 1.0f, 0.15f);
}

// Whether the segment from p to q passes through triangle (a, b, c).
bool segment_hits(Vec3 p, Vec3 q, Vec3 a, Vec3 b, Vec3 c) {
  const Vec3 d = sub(q, p), e1 = sub(b, a), e2 = sub(c, a), h = cross3(d, e2);
  const float det = dot3(e1, h);
  if (std::fabs(det) < 1e-9f) return false;
  const Vec3 s = sub(p, a), k = cross3(s, e1);
  const float u = dot3(s, h) / det, v = dot3(d, k) / det, t = dot3(e2, k) / det;
  return u >= 0 && v >= 0 && u + v <= 1 && t > 0 && t < 1;
}

// Every camera that shows the dancer standing at the origin sees her from head to hip
// (the close-ups, and cameras 1 and 0 once she has stopped): no pole or rope of the
// runway's sides stands in the way in any frame of their windows.
TEST(Forge3dWorlds, CatwalkCamerasSeeTheStandingDancerPastThePoles) {
  World& w = world("catwalk");
  const struct {
    int camera, first, last;
  } windows[] = {{3, 0, w.last_frame}, {4, 0, 187}, {5, 0, 45}, {1, 218, 270}, {0, 270, 315}};
  for (const auto& win : windows) {
    int blocked = 0;
    for (int f = win.first; f <= win.last; f += 2) {
      at_frame(w, static_cast<float>(f));
      const Vec3 eye = w.cameras[win.camera].node.position.value;
      for (const char* name : {"Poles", "Ropes"}) {
        Mesh& m = *mesh(w, name);
        for (Vec3 aim : {Vec3{0, 165, 0}, Vec3{0, 125, 0}, Vec3{0, 95, 0}}) {
          bool hit = false;
          for (int i = 0; i < m.face_count && !hit; ++i) {
            const Face& fc = w.faces[m.first_face + i];
            hit = segment_hits(eye, aim, world_vertex(w, m, fc.a - m.first_vertex),
                               world_vertex(w, m, fc.b - m.first_vertex),
                               world_vertex(w, m, fc.c - m.first_vertex));
          }
          blocked += hit;
        }
      }
    }
    EXPECT_EQ(blocked, 0) << "camera " << win.camera;
  }
}

TEST(Forge3dWorlds, DanceFloorIsAFlatMirrorAtFloorLevelInEveryCamera) {
  World& w = world("dance");
  at_frame(w, 0);
  Mesh* floor = mesh(w, "DanceFloor");
  ASSERT_NE(floor, nullptr);
  EXPECT_NEAR(floor->bounds[0].y, 0.0f, 1e-4f);  // top of the box
  EXPECT_NEAR(floor->bounds[3].y, 0.0f, 1e-4f);  // flat: bottom too
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(floor->render_matrix.m[i * 4 + j], i == j ? 1.0f : 0.0f, 1e-5f);
  for (int c = 0; c < w.camera_count; ++c)
    for (int f = 0; f <= w.last_frame; f += 5) {
      world_animate(&w, static_cast<float>(f));
      Vec3 eye = w.cameras[c].node.position.value, target = w.cameras[c].target_node.position.value;
      EXPECT_GT(eye.y, 20.0f) << "camera " << c << " frame " << f;
      // Some of the floor is inside the picture (its centre, a corner or an edge's middle).
      double nearest = 180;
      for (float x : {-250.0f, 0.0f, 250.0f})
        for (float z : {-250.0f, 0.0f, 250.0f})
          nearest = std::min(nearest, off_axis(eye, target, {x, 0, z}));
      EXPECT_LT(nearest, w.cameras[c].node.fov.value * 0.75 / 2)
          << "camera " << c << " frame " << f;
    }
}

TEST(Forge3dWorlds, CubeIsSeenFromInsideAndObjectSurroundsTheViewer) {
  World& cube = world("cube");
  at_frame(cube, 0);
  const Mesh& m = cube.meshes[0];
  EXPECT_LE(m.bounds[4].x, -50.0f);
  EXPECT_GE(m.bounds[2].x, 50.0f);
  EXPECT_NEAR(m.bounds[4].x + m.bounds[2].x, 0.0f, 1e-3f);
  for (Vec3 eye : {Vec3{0, 0, 0}, Vec3{-15, -22.5f, -15}})
    for (int f = 0; f < m.face_count; ++f) {
      const Face& fc = cube.faces[m.first_face + f];
      Vec3 a = fc.pa->position, b = fc.pb->position, c = fc.pc->position;
      ASSERT_GT(dot3(cross3(sub(b, a), sub(c, a)), sub(a, eye)), 0.0f) << "face " << f;
    }
  World& obj = world("object");
  const Mesh& o = obj.meshes[0];
  for (int i = 0; i < o.vertex_count; ++i) {
    float r = len3(obj.vertices[o.first_vertex + i].position);
    ASSERT_GE(r, 30.0f);
    ASSERT_LE(r, 170.0f);
  }
}

// Segment p-q against triangle abc (Moller-Trumbore).
bool crosses(Vec3 p, Vec3 q, Vec3 a, Vec3 b, Vec3 c) {
  Vec3 d = sub(q, p), e1 = sub(b, a), e2 = sub(c, a);
  Vec3 h = cross3(d, e2);
  float det = dot3(e1, h);
  if (std::fabs(det) < 1e-9f) return false;
  Vec3 s = sub(p, a);
  float u = dot3(s, h) / det;
  if (u < 0 || u > 1) return false;
  Vec3 qv = cross3(s, e1);
  float v = dot3(d, qv) / det;
  if (v < 0 || u + v > 1) return false;
  float t = dot3(e2, qv) / det;
  return t >= 0 && t <= 1;
}

TEST(Forge3dWorlds, CityCamerasFlyThroughTheStreetsWithoutTouchingAnything) {
  World& w = world("city");
  at_frame(w, 0);
  struct Window {
    int camera, from, to;
  };
  for (Window win : {Window{0, 0, 46}, Window{0, 160, 392}, Window{1, 0, 133}, Window{4, 0, 92}}) {
    world_animate(&w, static_cast<float>(win.from));
    Vec3 prev = w.cameras[win.camera].node.position.value;
    for (float f = win.from + 0.5f; f <= win.to; f += 0.5f) {
      world_animate(&w, f);
      Vec3 eye = w.cameras[win.camera].node.position.value;
      ASSERT_GT(eye.y, 20.0f);
      for (int k = 0; k < w.mesh_count; ++k) {
        const Mesh& m = w.meshes[k];
        for (int i = 0; i < m.face_count; ++i) {
          const Face& fc = w.faces[m.first_face + i];
          // Static meshes only (the cars drive below the cameras' height).
          if (m.node.position.key_count > 1) continue;
          ASSERT_FALSE(crosses(prev, eye, fc.pa->position, fc.pb->position, fc.pc->position))
              << "camera " << win.camera << " at frame " << f << " hits " << m.name;
        }
      }
      prev = eye;
    }
  }
}

}  // namespace
