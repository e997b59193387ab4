// Volume, centroid, spread and surface area of each kind of shape in its own
// coordinates: closed forms for blocks, cylinders and spheres, and the
// divergence theorem over the triangles of a closed mesh.
#include "shape_mass.hpp"

#include <algorithm>

namespace orvel::geom {

namespace {

constexpr double pi = 3.14159265358979323846;

Mat3 diagonal(double a, double b, double c) {
  Mat3 m{};
  m[0][0] = a;
  m[1][1] = b;
  m[2][2] = c;
  return m;
}

// Along the axis the volume spreads like a rod (h^2 / 12), across it like a
// disc (r^2 / 4 in each direction).
LocalMass cylinder_mass(const Cylinder &c) {
  const double len = length(c.axis);
  const Vec3 a = len > 0.0 ? (1.0 / len) * c.axis : Vec3{0.0, 0.0, 1.0};
  const double r = c.radius;
  const double h = c.height;
  LocalMass m{};
  m.volume = pi * r * r * h;
  m.area = 2.0 * pi * r * r + 2.0 * pi * r * h;
  m.centroid = c.base + (0.5 * h) * a;
  const double across = m.volume * r * r / 4.0;
  const double along = m.volume * h * h / 12.0;
  m.spread = diagonal(across, across, across);
  add_scaled(m.spread, outer(a, a), along - across);
  return m;
}

LocalMass sphere_mass(const Sphere &s) {
  const double r = s.radius;
  LocalMass m{};
  m.volume = 4.0 / 3.0 * pi * r * r * r;
  m.area = 4.0 * pi * r * r;
  m.centroid = s.centre;
  const double d = m.volume * r * r / 5.0;
  m.spread = diagonal(d, d, d);
  return m;
}

bool triangle_in_range(const Mesh &mesh, const std::array<int, 3> &t) {
  const int n = static_cast<int>(mesh.vertices.size());
  return std::all_of(t.begin(), t.end(), [n](int i) { return i >= 0 && i < n; });
}

// Centre of the mesh's bounding box: integrating relative to it keeps the
// sums small for meshes far from the origin.
Vec3 reference_point(const Mesh &mesh) {
  if (mesh.vertices.empty()) return {0.0, 0.0, 0.0};
  Vec3 lo = mesh.vertices.front();
  Vec3 hi = lo;
  for (const Vec3 &v : mesh.vertices) {
    lo = {std::min(lo.x, v.x), std::min(lo.y, v.y), std::min(lo.z, v.z)};
    hi = {std::max(hi.x, v.x), std::max(hi.y, v.y), std::max(hi.z, v.z)};
  }
  return 0.5 * (lo + hi);
}

// Sums over the tetrahedra spanned by the reference point and each triangle.
// For a tetrahedron (0, a, b, c) with d = a . (b x c): volume d / 6, first
// moment d / 24 (a + b + c), second moment d / 120 (a a^T + b b^T + c c^T +
// s s^T) with s = a + b + c.
struct MeshSums {
  double volume = 0.0;
  Vec3 first{0.0, 0.0, 0.0};
  Mat3 second{};
  double area = 0.0;
};

MeshSums mesh_sums(const Mesh &mesh, const Vec3 &origin) {
  MeshSums sums;
  for (const auto &t : mesh.triangles) {
    if (!triangle_in_range(mesh, t)) continue;
    const Vec3 a = mesh.vertices[t[0]] - origin;
    const Vec3 b = mesh.vertices[t[1]] - origin;
    const Vec3 c = mesh.vertices[t[2]] - origin;
    const Vec3 s = a + b + c;
    const double d = dot(a, cross(b, c));
    sums.volume += d / 6.0;
    sums.first = sums.first + (d / 24.0) * s;
    Mat3 second = outer(a, a);
    add_scaled(second, outer(b, b), 1.0);
    add_scaled(second, outer(c, c), 1.0);
    add_scaled(second, outer(s, s), 1.0);
    add_scaled(sums.second, second, d / 120.0);
    sums.area += 0.5 * length(cross(b - a, c - a));
  }
  return sums;
}

LocalMass mesh_mass(const Mesh &mesh) {
  const Vec3 origin = reference_point(mesh);
  MeshSums sums = mesh_sums(mesh, origin);
  // A mesh turned inside out yields every integral with the opposite sign.
  const double sign = sums.volume < 0.0 ? -1.0 : 1.0;
  LocalMass m{};
  m.area = sums.area;
  m.volume = sign * sums.volume;
  if (m.volume <= 0.0) {
    m.centroid = origin;
    return m;
  }
  const Vec3 offset = (sign / m.volume) * sums.first;
  m.centroid = origin + offset;
  m.spread = zero_matrix();
  add_scaled(m.spread, sums.second, sign);
  add_scaled(m.spread, outer(offset, offset), -m.volume);
  return m;
}

LocalMass kernel_mass(const KernelShape &k) {
  LocalMass m{};
  if (!k.solid) return m;
  const KernelMass &km = k.solid->mass();
  m.area = km.area;
  m.volume = km.volume;
  m.centroid = km.centroid;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.spread[i][j] = km.spread[i][j];
  return m;
}

}  // namespace

double signed_mesh_volume(const Mesh &mesh) {
  return mesh_sums(mesh, reference_point(mesh)).volume;
}

LocalMass other_shape_mass(const Shape &shape) {
  if (const auto *b = std::get_if<Block>(&shape)) return block_mass(*b);
  if (const auto *c = std::get_if<Cylinder>(&shape)) return cylinder_mass(*c);
  if (const auto *s = std::get_if<Sphere>(&shape)) return sphere_mass(*s);
  if (const auto *k = std::get_if<KernelShape>(&shape)) return kernel_mass(*k);
  return mesh_mass(std::get<Mesh>(shape));
}

}  // namespace orvel::geom
