// Pieces the View, pipeline and spotlight files share but scenes do not call.
#pragma once
#include "engine/kelp.h"

// Builds the byte tables and resets the triangle entry's selection, the first time only.
void raster_init_once();

// Makes the face's corners the current polygon and clips it against the View's planes
// whose bits are set in clip_mask. Returns the vertex count of the result.
int clip_face(Face* face, int clip_mask, const View* view);

// Screen-space cull test on the screen positions of a, b, c: true when the mode culls it.
bool cull_screen(const Vertex* a, const Vertex* b, const Vertex* c, int mode);
// The same on camera positions, for faces with a corner at or behind the eye.
bool cull_camera(const Vertex* a, const Vertex* b, const Vertex* c, int mode);

// Bounding-box test of a mesh under a camera matrix against the View's planes: returns
// false when the mesh lies wholly outside one plane, else stores the set of planes the box
// straddles in *straddled.
bool mesh_box_test(const Mesh* mesh, const Mat4* camera, const View* view, int* straddled);

// Outcode of a camera-space point against the planes in `set` (bit set when outside).
int vertex_outcode(const Vec3* p, const View* view, int set);

// Depth key of a face: the largest of its corners' depths, each truncated.
int face_depth_key(const Face* face);
