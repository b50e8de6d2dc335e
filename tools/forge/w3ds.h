// A .3DS writer: the scene in engine coordinates (y up) goes in, a 3D Studio file (z up)
// comes out, with the chunks the show's loader reads and lib3ds accepts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge_3d_math.h"

namespace forge::w3ds {

// One key of a track. Tension, continuity, bias and the eases are written only when
// they are not zero (the spline flag bits say which follow).
struct Key {
  int frame = 0;
  double tension = 0, continuity = 0, bias = 0, ease_to = 0, ease_from = 0;
};
struct VecKey : Key {
  V3 v;
};
struct FloatKey : Key {
  double v = 0;
};
// Absolute rotation at this key (engine frame); the writer turns it into the file's
// relative axis-angle steps.
struct RotKey : Key {
  M4 r;
};

struct Material {
  std::string name;
  uint8_t r = 200, g = 200, b = 200;  // diffuse colour, for viewers other than the show
  std::string texture;                // map file name, for the same viewers; may be empty
};

struct Face {
  uint16_t a = 0, b = 0, c = 0;
  uint16_t flags = 7;  // edges visible; 0x08 and 0x10 mark mapping that wraps in u and v
  int material = -1;   // index into Scene::materials; -1 keeps the default material
};

struct Mesh {
  std::string name;
  std::vector<V3> vertices;  // world space at rest (engine frame)
  std::vector<double> u, v;  // mapping per vertex (empty: no mapping chunk)
  std::vector<Face> faces;
  M4 matrix;  // the mesh's own axes at rest (world), may mirror
  // Keyframer tracks; empty tracks get one key at frame 0 from the matrix above.
  std::vector<VecKey> position;
  std::vector<RotKey> rotation;
  std::vector<VecKey> scale;
};

struct Camera {
  std::string name;
  V3 position, target;
  double roll = 0, lens = 43.456;  // lens in millimetres
  std::vector<VecKey> position_keys, target_keys;
  std::vector<FloatKey> fov_keys, roll_keys;
};

struct Light {
  std::string name;
  V3 position;
  V3 colour{1, 1, 1};
  std::vector<VecKey> position_keys, colour_keys;
};

struct Scene {
  std::vector<Material> materials;
  std::vector<Mesh> meshes;
  std::vector<Light> lights;
  std::vector<Camera> cameras;
  int first_frame = 0, last_frame = 100;
};

// Checks the limits the show's loader relies on (names of at most 31 bytes, fewer than
// 32,768 vertices and faces a mesh, indices in range, a last frame above 0, keys in
// order); throws std::runtime_error naming the fault.
void check(const Scene& s);
std::vector<uint8_t> write(const Scene& s);

// Lens (mm) for a horizontal field of view (degrees) by the 3D Studio film-back rule.
double lens_for_fov(double fov_degrees);

// A mesh's face budget is shared by a scene; counts faces over all meshes.
size_t face_count(const Scene& s);

}  // namespace forge::w3ds
