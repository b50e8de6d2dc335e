// Small vector and matrix helpers for the 3D writers. Same conventions as the engine:
// row vectors, row-major 4x4, translation in the fourth row, y up, left-handed.
#pragma once
#include <cmath>

namespace forge {

struct V3 {
  double x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline double dot(V3 a, V3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(V3 a) {
  return std::sqrt(dot(a, a));
}
inline V3 normalise(V3 a) {
  double l = length(a);
  return l > 0 ? a * (1.0 / l) : a;
}
inline V3 lerp(V3 a, V3 b, double t) {
  return a + (b - a) * t;
}
// The files store z up: the engine's y and z exchanged.
inline V3 swap_yz(V3 a) {
  return {a.x, a.z, a.y};
}

struct M4 {
  double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  V3 row(int r) const { return {m[r * 4], m[r * 4 + 1], m[r * 4 + 2]}; }
  void set_row(int r, V3 v) {
    m[r * 4] = v.x;
    m[r * 4 + 1] = v.y;
    m[r * 4 + 2] = v.z;
  }
  V3 translation() const { return row(3); }
};

inline M4 operator*(const M4& a, const M4& b) {
  M4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i * 4 + k] * b.m[k * 4 + j];
      r.m[i * 4 + j] = s;
    }
  return r;
}
inline V3 transform(V3 p, const M4& a) {
  return {p.x * a.m[0] + p.y * a.m[4] + p.z * a.m[8] + a.m[12],
          p.x * a.m[1] + p.y * a.m[5] + p.z * a.m[9] + a.m[13],
          p.x * a.m[2] + p.y * a.m[6] + p.z * a.m[10] + a.m[14]};
}
inline M4 translate(V3 t) {
  M4 r;
  r.set_row(3, t);
  return r;
}
inline M4 scale(V3 s) {
  M4 r;
  r.m[0] = s.x;
  r.m[5] = s.y;
  r.m[10] = s.z;
  return r;
}
inline M4 rot_x(double a) {
  M4 r;
  r.m[5] = std::cos(a), r.m[6] = std::sin(a), r.m[9] = -std::sin(a), r.m[10] = std::cos(a);
  return r;
}
inline M4 rot_y(double a) {
  M4 r;
  r.m[0] = std::cos(a), r.m[2] = -std::sin(a), r.m[8] = std::sin(a), r.m[10] = std::cos(a);
  return r;
}
inline M4 rot_z(double a) {
  M4 r;
  r.m[0] = std::cos(a), r.m[1] = std::sin(a), r.m[4] = -std::sin(a), r.m[5] = std::cos(a);
  return r;
}
// Rotation about a unit axis, built as the engine builds it from a quaternion.
inline M4 axis_angle(V3 axis, double angle) {
  axis = normalise(axis);
  double s = std::sin(angle * 0.5), w = std::cos(angle * 0.5);
  double x = axis.x * s, y = axis.y * s, z = axis.z * s;
  M4 r;
  r.m[0] = 1 - 2 * (y * y + z * z), r.m[1] = 2 * (x * y + w * z), r.m[2] = 2 * (x * z - w * y);
  r.m[4] = 2 * (x * y - w * z), r.m[5] = 1 - 2 * (x * x + z * z), r.m[6] = 2 * (y * z + w * x);
  r.m[8] = 2 * (x * z + w * y), r.m[9] = 2 * (y * z - w * x), r.m[10] = 1 - 2 * (x * x + y * y);
  return r;
}
// The inverse of axis_angle for a proper rotation (upper 3x3): angle in [0, pi].
void to_axis_angle(const M4& r, V3& axis, double& angle);
inline M4 transpose3(const M4& a) {
  M4 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i * 4 + j] = a.m[j * 4 + i];
  return r;
}
inline double det3(const M4& a) {
  return dot(a.row(0), cross(a.row(1), a.row(2)));
}
// The mirror of a matrix into the file's z-up frame (and back: it is its own inverse).
inline M4 swap_yz(const M4& a) {
  M4 r;
  const int p[4] = {0, 2, 1, 3};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i * 4 + j] = a.m[p[i] * 4 + p[j]];
  return r;
}

constexpr double kPi = 3.14159265358979323846;
inline double deg(double d) {
  return d * kPi / 180.0;
}
inline double smoothstep(double a, double b, double x) {
  double t = x <= a ? 0 : x >= b ? 1 : (x - a) / (b - a);
  return t * t * (3 - 2 * t);
}

}  // namespace forge
