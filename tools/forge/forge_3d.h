// The 3D half of the data set: the six Worlds, the dancer's motions and the morph grid.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "dancer.h"
#include "forge.h"
#include "w3ds.h"

namespace forge {

// The index of the named material in the scene, added when it is not there yet.
int material(w3ds::Scene& scene, const std::string& name);

// Geometry helpers shared by the Worlds. Faces are wound to be seen from the side
// `outward` points to.
struct MeshBuilder {
  w3ds::Mesh& m;
  uint16_t vert(V3 p, double u, double v);
  void tri(uint16_t a, uint16_t b, uint16_t c, V3 outward, int material);
  // A rectangle p0, p0 + du, p0 + du + dv, p0 + dv split into nu x nv cells, seen from
  // the side of `outward`; the mapping repeats ru x rv times over it.
  void quad(V3 p0, V3 du, V3 dv, V3 outward, int material, int nu = 1, int nv = 1, double ru = 1,
            double rv = 1);
  // An axis-aligned box seen from outside (or from inside), five or six sides.
  void box(V3 lo, V3 hi, int material, double repeat = 1, bool inside = false, bool bottom = true);
};

// A camera key: where the eye is, what it looks at, its field of view in degrees.
struct Shot {
  int frame;
  V3 eye, target;
  double fov = 45;
};
// A keyed camera through the shots (smooth TCB paths). The file's lens is `lens`, or
// the lens of the first shot's field of view when `lens` is 0.
w3ds::Camera camera(const std::string& name, const std::vector<Shot>& shots, double lens = 0);
// A keyed light standing still.
w3ds::Light light(const std::string& name, V3 position, V3 colour);

// The scene descriptions, one per World file ("3d\catwalk.3ds" and so on).
w3ds::Scene catwalk_world();
w3ds::Scene box_world();
w3ds::Scene dance_world();
w3ds::Scene city_world(Rng rng);
w3ds::Scene cube_world();
w3ds::Scene object_world();

// The motion files: frames of complete part placements.
using MotionFrames = std::vector<dancer::Placement>;
MotionFrames motion(int number);  // 1 .. 6
std::vector<uint8_t> qub_bytes(const MotionFrames& frames);

// Where the catwalk walk has the dancer at a motion frame (the cameras follow it).
double walk_z(double motion_frame);

// The morph file for the two portraits.
std::vector<uint8_t> morph_bytes();

void make_worlds(Forge& f);
void make_motions(Forge& f);
void make_morph(Forge& f);

}  // namespace forge
