// kelp's vectors, matrices and planes: row vectors (p' = p * M), row-major storage, the
// translation in the fourth row, angles in radians.
#pragma once
#include <cmath>

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

// Every vector operation takes pointers; the output may alias an input. The small ones are
// defined here so that the per-vertex loops inline them.
inline void vec_copy(const Vec3* src, Vec3* dst) {
  *dst = *src;
}
inline void vec_zero(Vec3* v) {
  v->x = v->y = v->z = 0.0f;
}
void vec_swap_yz(Vec3* v);
inline void vec_add(const Vec3* a, const Vec3* b, Vec3* out) {
  *out = Vec3{a->x + b->x, a->y + b->y, a->z + b->z};
}
inline void vec_sub(const Vec3* a, const Vec3* b, Vec3* out) {
  *out = Vec3{a->x - b->x, a->y - b->y, a->z - b->z};
}
inline void vec_scale(const Vec3* v, float s, Vec3* out) {
  *out = Vec3{v->x * s, v->y * s, v->z * s};
}
inline void vec_negate(const Vec3* v, Vec3* out) {
  *out = Vec3{-v->x, -v->y, -v->z};
}
inline float vec_dot(const Vec3* a, const Vec3* b) {
  return a->x * b->x + a->y * b->y + a->z * b->z;
}
inline void vec_cross(const Vec3* a, const Vec3* b, Vec3* out) {
  *out = Vec3{a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
}
inline float vec_length_sq(const Vec3* v) {
  return vec_dot(v, v);
}
inline float vec_length(const Vec3* v) {
  const float sq = vec_length_sq(v);
  if (sq == 0.0f) return 0.0f;
  return std::sqrt(sq);
}
// out = v * (len / |v|); a zero vector stays zero. With len = 1 this is normalisation.
inline void vec_set_length(const Vec3* v, float len, Vec3* out) {
  float l = vec_length(v);
  if (l == 0.0f) l = 1.0f;  // a zero vector stays zero instead of turning NaN
  vec_scale(v, len / l, out);
}
void vec_print(const Vec3* v);

void mat_identity(Mat4* m);
void mat_copy(const Mat4* src, Mat4* dst);
// out = a * b (apply a, then b); out may be a or b.
void mat_mul(const Mat4* a, const Mat4* b, Mat4* out);
inline void mat_transform_point(const Vec3* p, const Mat4* m, Vec3* out) {
  const float* k = m->m;
  *out = Vec3{p->x * k[0] + p->y * k[4] + p->z * k[8] + k[12],
              p->x * k[1] + p->y * k[5] + p->z * k[9] + k[13],
              p->x * k[2] + p->y * k[6] + p->z * k[10] + k[14]};
}
void mat_transform_points(const Vec3* src, Vec3* dst, int count, const Mat4* m);
// Upper 3x3 only: for normals and directions.
inline void mat_rotate_vector(const Vec3* v, const Mat4* m, Vec3* out) {
  const float* k = m->m;
  *out = Vec3{v->x * k[0] + v->y * k[4] + v->z * k[8], v->x * k[1] + v->y * k[5] + v->z * k[9],
              v->x * k[2] + v->y * k[6] + v->z * k[10]};
}
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
