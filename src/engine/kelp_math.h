// kelp's vectors, matrices and planes: row vectors (p' = p * M), row-major storage, the
// translation in the fourth row, angles in radians.
#pragma once

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
