// The dancer's motion: per body part a sampled sequence of complete object-to-world
// transforms, read from a .qub file into one process-wide table and written each frame
// into the render matrices of the Meshes of the same names.
#pragma once
#include <cstdint>

#include "engine/kelp.h"

constexpr int MOTION_MAX_TRACKS = 30;
constexpr int MOTION_MAX_FRAMES = 400;

struct MotionTrack {
  char name[64];        // Mesh name, matched ignoring ASCII letter case
  int32_t frame_count;  // at least 2 once loaded
  Mat4* frames;         // room for MOTION_MAX_FRAMES; owned by the table
  Mesh* bound_object;   // looked up lazily by motion_apply; not owned
};

// The table: null until the first motion_load, then kept for the life of the process.
extern MotionTrack* motion_tracks;
extern int32_t motion_track_count;
// Time units per motion frame, read by every motion_apply. Starts at 3.0.
extern float motion_time_divisor;
// The first 64 bytes of the last motion file opened.
extern char motion_header[64];

enum class MotionLoad {
  kLoaded,
  kMissing,  // could not be opened: silent, the previous motion stays
  kRefused,  // one line printed, the previous motion stays
};

// Reads a motion file (a show name, opened through the data folder) and replaces the
// whole motion only when the entire file is good.
MotionLoad motion_load(const char* path);

// Forgets every loaded track's Mesh, so the next motion_apply looks them up again.
void motion_unbind();

// Writes the pose at `time` (in the caller's units, divided by motion_time_divisor) into
// the render matrices of the World's Meshes: rows 0..3, columns 0..2 interpolated element
// by element between the two frames around it; the motion loops every frame_count - 1.
void motion_apply(World* world, float time);

// The first Mesh whose name equals `name` ignoring the case of ASCII letters, else null.
Mesh* motion_find_mesh(World* world, const char* name);
