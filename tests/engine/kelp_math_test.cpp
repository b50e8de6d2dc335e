#include <gtest/gtest.h>

#include <cmath>

#include "engine/kelp.h"

namespace {

constexpr float kPi = 3.14159265f;

void expect_mat_near(const Mat4& a, const Mat4& b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

Vec3 xf(const Vec3& p, const Mat4& m) {
  Vec3 out;
  mat_transform_point(&p, &m, &out);
  return out;
}

}  // namespace

TEST(KelpVectors, ZeroVectorsStayFinite) {
  Vec3 z{0, 0, 0}, out{9, 9, 9};
  EXPECT_EQ(vec_length(&z), 0.0f);
  vec_set_length(&z, 1.0f, &out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.z, 0.0f);
  Vec3 v{3, 0, 4};
  vec_set_length(&v, 10.0f, &v);  // output aliases input
  EXPECT_FLOAT_EQ(v.x, 6.0f);
  EXPECT_FLOAT_EQ(v.z, 8.0f);
}

TEST(KelpMatrices, MulIntoAnOperandMatchesSeparateOutput) {
  Mat4 a, b, sep;
  mat_rotation_euler(&a, 0.3f, 0.7f, -0.2f);
  a.m[12] = 5, a.m[13] = -2, a.m[14] = 1;
  mat_rotation_x(&b, 1.1f);
  b.m[13] = 4;
  mat_mul(&a, &b, &sep);
  Mat4 alias = a;
  mat_mul(&alias, &b, &alias);
  expect_mat_near(alias, sep, 0.0f);
  alias = b;
  mat_mul(&a, &alias, &alias);
  expect_mat_near(alias, sep, 0.0f);
}

TEST(KelpMatrices, RowVectorsTranslateLast) {
  Mat4 r, t, m;
  mat_rotation_z(&r, kPi / 2);
  mat_identity(&t);
  t.m[12] = 10;
  mat_mul(&r, &t, &m);  // rotate, then translate
  Vec3 p = xf({1, 0, 0}, m);
  EXPECT_NEAR(p.x, 10.0f, 1e-5f);
  EXPECT_NEAR(p.y, 1.0f, 1e-5f);
}

TEST(KelpMatrices, EulerIsRollThenPitchThenYaw) {
  const float ax = 0.4f, ay = -1.2f, az = 0.9f;
  Mat4 rx, ry, rz, prod, e;
  mat_rotation_x(&rx, ax);
  mat_rotation_y(&ry, ay);
  mat_rotation_z(&rz, az);
  mat_mul(&rz, &rx, &prod);
  mat_mul(&prod, &ry, &prod);
  mat_rotation_euler(&e, ax, ay, az);
  expect_mat_near(e, prod);
}

TEST(KelpMatrices, AxisAngleUsesTheRowVectorTranspose) {
  // About y it must agree with mat_rotation_y: x goes to -z for +90 degrees.
  Vec3 axis{0, 5, 0};  // not unit: the builder normalises
  Mat4 q, ry;
  mat_axis_angle(&axis, kPi / 2, &q);
  mat_rotation_y(&ry, kPi / 2);
  expect_mat_near(q, ry);
  Vec3 p = xf({1, 0, 0}, q);
  EXPECT_NEAR(p.z, -1.0f, 1e-6f);
  // About an oblique axis the axis itself is fixed.
  Vec3 ob{1, 2, 3};
  mat_axis_angle(&ob, 1.3f, &q);
  Vec3 f = xf(ob, q);
  EXPECT_NEAR(f.x, 1.0f, 1e-5f);
  EXPECT_NEAR(f.y, 2.0f, 1e-5f);
  EXPECT_NEAR(f.z, 3.0f, 1e-5f);
}

TEST(KelpMatrices, LookAtPutsTheTargetOnPlusZ) {
  Vec3 eye{1, 2, 3}, target{4, -1, 7};
  Mat4 m;
  mat_look_at(&eye, &target, 0.0f, &m);
  Vec3 t = xf(target, m);
  EXPECT_NEAR(t.x, 0.0f, 1e-5f);
  EXPECT_NEAR(t.y, 0.0f, 1e-5f);
  EXPECT_NEAR(t.z, std::sqrt(9.0f + 9.0f + 16.0f), 1e-4f);
  // World up stays up on screen.
  Vec3 above{4, 0, 7};
  EXPECT_GT(xf(above, m).y, 0.0f);
}

TEST(KelpMatrices, LookAtStraightUpIsOrthonormal) {
  Vec3 eye{0, 0, 0}, target{0, 5, 0};
  Mat4 m;
  mat_look_at(&eye, &target, 0.0f, &m);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      float d = 0;
      for (int k = 0; k < 3; ++k) d += m.m[i * 4 + k] * m.m[j * 4 + k];
      EXPECT_NEAR(d, i == j ? 1.0f : 0.0f, 1e-6f);
    }
  }
  Vec3 t = xf(target, m);
  EXPECT_NEAR(t.z, 5.0f, 1e-5f);
  for (float f : m.m) EXPECT_FALSE(std::isnan(f));
}

TEST(KelpMatrices, LookAtWithEyeOnTargetLooksAlongZ) {
  Vec3 eye{2, 3, 4};
  Mat4 m, expect;
  mat_look_at(&eye, &eye, 0.0f, &m);
  mat_identity(&expect);
  expect.m[12] = -2, expect.m[13] = -3, expect.m[14] = -4;
  expect_mat_near(m, expect, 0.0f);
}

TEST(KelpMatrices, ScaleColumnsInverseThenTransposeInvertsScaledRotation) {
  Mat4 r, m;
  mat_rotation_euler(&r, 0.5f, 0.2f, -0.8f);
  m = r;
  for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) m.m[i] *= 2.0f;
  m.m[12] = 7;  // dropped by the transpose step
  mat_scale_columns_inverse(&m);
  mat_transpose_rotation(&m);
  Mat4 expect = r;
  mat_transpose_rotation(&expect);
  for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) expect.m[i] *= 0.5f;
  expect_mat_near(m, expect);
  EXPECT_EQ(m.m[12], 0.0f);
  EXPECT_EQ(m.m[15], 1.0f);
}

TEST(KelpMatrices, ScaleColumnsInverseLeavesAZeroColumn) {
  Mat4 m;
  mat_scale(&m, 2.0f, 0.0f, 4.0f);
  mat_scale_columns_inverse(&m);
  EXPECT_FLOAT_EQ(m.m[0], 0.5f);
  EXPECT_EQ(m.m[5], 0.0f);
  EXPECT_FLOAT_EQ(m.m[10], 0.25f);
  for (float f : m.m) EXPECT_TRUE(std::isfinite(f));
}

TEST(KelpMatrices, ReflectFixesThePlaneDotPEqualsMinusD) {
  Plane pl{{0, 2, 0}, -3.0f};  // fixed points: 2y = 3
  Mat4 m;
  mat_reflect(&pl, &m);
  Vec3 on = xf({5, 1.5f, -2}, m);
  EXPECT_NEAR(on.y, 1.5f, 1e-6f);
  EXPECT_NEAR(on.x, 5.0f, 1e-6f);
  Vec3 above = xf({0, 2.5f, 0}, m);
  EXPECT_NEAR(above.y, 0.5f, 1e-6f);
  // A plane from points must have d negated to mirror across itself.
  Vec3 p{0, 1, 0}, a{1, 1, 0}, b{0, 1, 1};
  Plane q;
  plane_from_points(&p, &a, &b, &q);
  EXPECT_NEAR(std::fabs(q.normal.y), 1.0f, 1e-6f);
  EXPECT_NEAR(q.d, vec_dot(&q.normal, &p), 1e-6f);
  q.d = -q.d;
  mat_reflect(&q, &m);
  Vec3 r = xf({3, 4, 5}, m);
  EXPECT_NEAR(r.y, -2.0f, 1e-5f);
}

TEST(KelpMatrices, ReflectWithZeroNormalIsIdentity) {
  Plane pl{{0, 0, 0}, 5.0f};
  Mat4 m, id;
  mat_reflect(&pl, &m);
  mat_identity(&id);
  expect_mat_near(m, id, 0.0f);
}
