// Shapes built by hand for the geometry tests.
#include "shapes.hpp"

#include <cmath>

namespace geom_test {

Mesh box_mesh(const Vec3 &c, const Vec3 &s) {
  Mesh m;
  // Vertex i has x from bit 0, y from bit 1, z from bit 2.
  for (int i = 0; i < 8; ++i)
    m.vertices.push_back(
        {c.x + (i & 1 ? s.x : 0.0), c.y + (i & 2 ? s.y : 0.0), c.z + (i & 4 ? s.z : 0.0)});
  m.triangles = {
      {0, 2, 1}, {1, 2, 3},  // z = low, facing -z
      {4, 5, 6}, {5, 7, 6},  // z = high, facing +z
      {0, 1, 4}, {1, 5, 4},  // y = low, facing -y
      {2, 6, 3}, {3, 6, 7},  // y = high, facing +y
      {0, 4, 2}, {2, 4, 6},  // x = low, facing -x
      {1, 3, 5}, {3, 7, 5},  // x = high, facing +x
  };
  return m;
}

Mesh inverted(Mesh mesh) {
  for (auto &t : mesh.triangles) std::swap(t[1], t[2]);
  return mesh;
}

Mesh joined(const Mesh &a, const Mesh &b) {
  Mesh m = a;
  const int offset = static_cast<int>(a.vertices.size());
  m.vertices.insert(m.vertices.end(), b.vertices.begin(), b.vertices.end());
  for (auto t : b.triangles) m.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
  return m;
}

Transform translation(const Vec3 &t) {
  Transform p{};
  p.r[0][0] = p.r[1][1] = p.r[2][2] = 1.0;
  p.t = t;
  return p;
}

Transform rotation(const Vec3 &u, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double k = 1.0 - c;
  Transform p{};
  p.r[0][0] = c + u.x * u.x * k;
  p.r[0][1] = u.x * u.y * k - u.z * s;
  p.r[0][2] = u.x * u.z * k + u.y * s;
  p.r[1][0] = u.y * u.x * k + u.z * s;
  p.r[1][1] = c + u.y * u.y * k;
  p.r[1][2] = u.y * u.z * k - u.x * s;
  p.r[2][0] = u.z * u.x * k - u.y * s;
  p.r[2][1] = u.z * u.y * k + u.x * s;
  p.r[2][2] = c + u.z * u.z * k;
  p.t = {0.0, 0.0, 0.0};
  return p;
}

}  // namespace geom_test
