// The dancer: an articulated body of separate part meshes, one per motion track.
// Parts hang in a skeleton; a pose gives every joint a rotation relative to its
// parent, and forward kinematics turns it into the complete world placement of every
// part, which is what a motion file stores.
#pragma once
#include <array>
#include <string>

#include "forge_3d_math.h"
#include "w3ds.h"

namespace forge::dancer {

enum Part {
  kHip,
  kChest,
  kNeck,
  kHead,
  kArmUpperL,
  kArmLowerL,
  kHandL,
  kArmUpperR,
  kArmLowerR,
  kHandR,
  kLegUpperL,
  kLegLowerL,
  kFotL,
  kLegUpperR,
  kLegLowerR,
  kFotR,
  kParts
};

struct PartInfo {
  const char* name;
  int parent;     // -1 for the hip, the root
  V3 joint;       // where the part hangs from its parent, standing at rest (world)
  bool mirrored;  // placed with a matrix of determinant -1
};
const PartInfo& info(int part);

// Joint rotations relative to the parent (engine frame) and the hip's position.
struct Pose {
  std::array<M4, kParts> local;
  V3 root{0, 95, 0};
};
using Placement = std::array<M4, kParts>;

// World placement of every part: its rest geometry, taken relative to its joint (and
// mirrored for the mirrored parts), goes through this matrix. Lifts or lowers the body
// so that the lowest point of the feet touches y = 0 when `ground` is set.
Placement place(Pose pose, bool ground);

enum class Style { kRounded, kBoxes };
// Adds the part meshes at rest, with their materials (added to the scene by name).
void add_meshes(w3ds::Scene& scene, Style style);

// The rotation builder the motions use: roll about z, then pitch about x, then yaw
// about y (angles in radians).
inline M4 euler(double pitch, double yaw, double roll) {
  return rot_z(roll) * rot_x(pitch) * rot_y(yaw);
}

}  // namespace forge::dancer
