// Small 3-D vector and 3x3 matrix arithmetic shared by the geometry files.
#pragma once

#include <cmath>

#include "geometry.hpp"

namespace orvel::geom {

using Mat3 = std::array<std::array<double, 3>, 3>;

inline Vec3 operator+(const Vec3 &a, const Vec3 &b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3 &a, const Vec3 &b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(double s, const Vec3 &a) {
  return {s * a.x, s * a.y, s * a.z};
}
inline double dot(const Vec3 &a, const Vec3 &b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3 &a, const Vec3 &b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3 &a) {
  return std::sqrt(dot(a, a));
}
inline bool is_finite(const Vec3 &a) {
  return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

inline double component(const Vec3 &a, int i) {
  return i == 0 ? a.x : (i == 1 ? a.y : a.z);
}

inline Mat3 zero_matrix() {
  return Mat3{};
}

// a * b^T
// These run once or twice for every body of a mass computation; unrolled,
// they are a few straight multiplications.
inline Mat3 outer(const Vec3 &a, const Vec3 &b) {
  Mat3 m{};
#pragma GCC unroll 3
  for (int i = 0; i < 3; ++i)
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) m[i][j] = component(a, i) * component(b, j);
  return m;
}

inline void add_scaled(Mat3 &into, const Mat3 &m, double s) {
#pragma GCC unroll 3
  for (int i = 0; i < 3; ++i)
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) into[i][j] += s * m[i][j];
}

}  // namespace orvel::geom
