// Vector and matrix helpers shared by the loader, the keyframer, the pipeline and scenes.
#include <cmath>
#include <cstdio>

#include "engine/kelp.h"

void vec_swap_yz(Vec3* v) {
  const float t = v->y;
  v->y = v->z;
  v->z = t;
}

void vec_print(const Vec3* v) {
  std::printf("%f %f %f\n", v->x, v->y, v->z);
}

void mat_identity(Mat4* m) {
  for (float& f : m->m) f = 0.0f;
  m->m[0] = m->m[5] = m->m[10] = m->m[15] = 1.0f;
}

void mat_copy(const Mat4* src, Mat4* dst) {
  *dst = *src;
}

void mat_mul(const Mat4* a, const Mat4* b, Mat4* out) {
  Mat4 t;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      t.m[r * 4 + c] = a->m[r * 4 + 0] * b->m[0 + c] + a->m[r * 4 + 1] * b->m[4 + c] +
                       a->m[r * 4 + 2] * b->m[8 + c] + a->m[r * 4 + 3] * b->m[12 + c];
    }
  }
  *out = t;
}

void mat_transform_points(const Vec3* src, Vec3* dst, int count, const Mat4* m) {
  for (int i = 0; i < count; ++i) mat_transform_point(&src[i], m, &dst[i]);
}

void mat_rotation_x(Mat4* m, float a) {
  mat_identity(m);
  const float c = std::cos(a), s = std::sin(a);
  m->m[5] = c;
  m->m[6] = s;
  m->m[9] = -s;
  m->m[10] = c;
}

void mat_rotation_y(Mat4* m, float a) {
  mat_identity(m);
  const float c = std::cos(a), s = std::sin(a);
  m->m[0] = c;
  m->m[2] = -s;
  m->m[8] = s;
  m->m[10] = c;
}

void mat_rotation_z(Mat4* m, float a) {
  mat_identity(m);
  const float c = std::cos(a), s = std::sin(a);
  m->m[0] = c;
  m->m[1] = s;
  m->m[4] = -s;
  m->m[5] = c;
}

void mat_rotation_euler(Mat4* m, float ax, float ay, float az) {
  const float cx = std::cos(ax), sx = std::sin(ax);
  const float cy = std::cos(ay), sy = std::sin(ay);
  const float cz = std::cos(az), sz = std::sin(az);
  mat_identity(m);
  float* k = m->m;
  k[0] = cz * cy + sz * sx * sy;
  k[1] = cx * sz;
  k[2] = sz * sx * cy - sy * cz;
  k[4] = sx * sy * cz - sz * cy;
  k[5] = cx * cz;
  k[6] = sx * cz * cy + sy * sz;
  k[8] = cx * sy;
  k[9] = -sx;
  k[10] = cx * cy;
}

void mat_scale(Mat4* m, float sx, float sy, float sz) {
  mat_identity(m);
  m->m[0] = sx;
  m->m[5] = sy;
  m->m[10] = sz;
}

void mat_axis_angle(const Vec3* axis, float angle, Mat4* m) {
  const float half = angle * 0.5f;
  Vec3 n;
  vec_set_length(axis, 1.0f, &n);
  const float s = std::sin(half);
  const float qw = std::cos(half), qx = n.x * s, qy = n.y * s, qz = n.z * s;
  mat_identity(m);
  float* k = m->m;
  // The transpose of the column-vector quaternion matrix, as row vectors need.
  k[0] = 1.0f - 2.0f * (qy * qy + qz * qz);
  k[1] = 2.0f * (qx * qy + qw * qz);
  k[2] = 2.0f * (qx * qz - qw * qy);
  k[4] = 2.0f * (qx * qy - qw * qz);
  k[5] = 1.0f - 2.0f * (qx * qx + qz * qz);
  k[6] = 2.0f * (qy * qz + qw * qx);
  k[8] = 2.0f * (qx * qz + qw * qy);
  k[9] = 2.0f * (qy * qz - qw * qx);
  k[10] = 1.0f - 2.0f * (qx * qx + qy * qy);
}

void mat_look_at(const Vec3* eye, const Vec3* target, float roll, Mat4* m) {
  Vec3 f;
  vec_sub(target, eye, &f);
  // Eye on the target has no direction; look along +z rather than build a NaN-free but
  // degenerate basis.
  if (vec_length_sq(&f) == 0.0f) f = Vec3{0.0f, 0.0f, 1.0f};
  vec_set_length(&f, 1.0f, &f);
  Vec3 up{0.0f, 1.0f, 0.0f};
  if (f.x == 0.0f && f.z == 0.0f) up = Vec3{-f.y, 0.0f, 0.0f};  // straight up or down
  vec_set_length(&up, 1.0f, &up);
  Vec3 r, v;
  vec_cross(&up, &f, &r);
  vec_set_length(&r, 1.0f, &r);
  vec_cross(&r, &f, &v);
  vec_set_length(&v, 1.0f, &v);
  vec_negate(&v, &v);

  Mat4 t, a, z;
  mat_identity(&t);
  t.m[12] = -eye->x;
  t.m[13] = -eye->y;
  t.m[14] = -eye->z;
  mat_identity(&a);
  a.m[0] = r.x, a.m[1] = v.x, a.m[2] = f.x;
  a.m[4] = r.y, a.m[5] = v.y, a.m[6] = f.y;
  a.m[8] = r.z, a.m[9] = v.z, a.m[10] = f.z;
  mat_rotation_z(&z, roll);
  mat_mul(&t, &a, m);
  mat_mul(m, &z, m);
}

void mat_transpose_rotation(Mat4* m) {
  float* k = m->m;
  float t;
  t = k[1], k[1] = k[4], k[4] = t;
  t = k[2], k[2] = k[8], k[8] = t;
  t = k[6], k[6] = k[9], k[9] = t;
  k[12] = k[13] = k[14] = 0.0f;
  k[15] = 1.0f;
}

void mat_scale_columns_inverse(Mat4* m) {
  float* k = m->m;
  for (int i = 0; i < 3; ++i) {
    const float sq = k[i] * k[i] + k[i + 4] * k[i + 4] + k[i + 8] * k[i + 8];
    if (sq == 0.0f) continue;  // a zero column has no inverse; leave it rather than fill inf
    const float s = 1.0f / sq;
    k[i] *= s;
    k[i + 4] *= s;
    k[i + 8] *= s;
  }
}

void mat_orthonormalise_rows(const Mat4* src, Mat4* dst) {
  *dst = *src;
  for (int r = 0; r < 3; ++r) {
    Vec3 row{dst->m[r * 4], dst->m[r * 4 + 1], dst->m[r * 4 + 2]};
    vec_set_length(&row, 1.0f, &row);
    dst->m[r * 4] = row.x;
    dst->m[r * 4 + 1] = row.y;
    dst->m[r * 4 + 2] = row.z;
  }
}

void mat_reflect(const Plane* plane, Mat4* m) {
  mat_identity(m);
  const Vec3& n = plane->normal;
  const float nn = vec_dot(&n, &n);
  if (nn == 0.0f) return;  // no normal, no mirror: identity instead of NaN
  const float k = 1.0f / nn;
  const float c = -2.0f;
  const float nv[3] = {n.x, n.y, n.z};
  for (int i = 0; i < 3; ++i) {
    const float f = nv[i] * c * k;
    m->m[i * 4 + 0] = n.x * f;
    m->m[i * 4 + 1] = n.y * f;
    m->m[i * 4 + 2] = n.z * f;
    m->m[i * 4 + i] += 1.0f;
  }
  const float t = c * plane->d * k;
  m->m[12] = t * n.x;
  m->m[13] = t * n.y;
  m->m[14] = t * n.z;
}

void plane_from_points(const Vec3* p, const Vec3* a, const Vec3* b, Plane* out) {
  Vec3 pa, pb, n;
  vec_sub(p, a, &pa);
  vec_sub(p, b, &pb);
  vec_cross(&pa, &pb, &n);
  vec_set_length(&n, 1.0f, &n);
  const float d = vec_dot(&n, p);
  out->normal = n;
  out->d = d;
}
