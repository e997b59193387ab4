// Checks that a shape can be a body: finite, positive dimensions, and for a
// solid mesh a closed, consistently oriented surface that encloses volume.
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "shape_mass.hpp"

namespace orvel::geom {

namespace {

using Problem = std::optional<std::string>;

// A closed mesh whose volume is below this share of its bounding box's volume
// is taken as flat.
constexpr double flat_volume_share = 1e-12;

bool positive(double v) {
  return std::isfinite(v) && v > 0.0;
}

Problem check_block(const Block &b) {
  if (!is_finite(b.corner)) return "block corner has a non-finite value";
  if (!positive(b.size.x) || !positive(b.size.y) || !positive(b.size.z))
    return "block size must be positive in x, y and z";
  return std::nullopt;
}

Problem check_cylinder(const Cylinder &c) {
  if (!is_finite(c.base)) return "cylinder base has a non-finite value";
  if (!is_finite(c.axis)) return "cylinder axis has a non-finite value";
  if (!(length(c.axis) > 0.0)) return "cylinder axis has zero length";
  if (!positive(c.radius)) return "cylinder radius must be positive";
  if (!positive(c.height)) return "cylinder height must be positive";
  return std::nullopt;
}

Problem check_sphere(const Sphere &s) {
  if (!is_finite(s.centre)) return "sphere centre has a non-finite value";
  if (!positive(s.radius)) return "sphere radius must be positive";
  return std::nullopt;
}

std::string triangle_text(std::size_t index) {
  return "triangle " + std::to_string(index);
}

Problem check_triangles(const Mesh &m) {
  if (m.triangles.empty()) return "mesh has no triangles";
  const long n = static_cast<long>(m.vertices.size());
  for (std::size_t i = 0; i < m.triangles.size(); ++i) {
    const auto &t = m.triangles[i];
    for (int v : t)
      if (v < 0 || v >= n) return triangle_text(i) + " has a vertex index out of range";
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) return triangle_text(i) + " repeats a vertex";
  }
  return std::nullopt;
}

std::uint64_t edge_key(int from, int to) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(from)) << 32) |
         static_cast<std::uint32_t>(to);
}

std::string edge_text(int from, int to) {
  return "edge " + std::to_string(from) + "-" + std::to_string(to);
}

// Every directed edge once and its reverse once: the surface is closed and
// its triangles agree on which side is outside.
Problem check_closed(const Mesh &m) {
  std::unordered_map<std::uint64_t, int> uses;
  uses.reserve(m.triangles.size() * 3);
  for (const auto &t : m.triangles) {
    for (int k = 0; k < 3; ++k) {
      const int from = t[k];
      const int to = t[(k + 1) % 3];
      if (++uses[edge_key(from, to)] > 1)
        return "mesh is not a consistently oriented closed surface: " + edge_text(from, to) +
               " is used twice in the same direction";
    }
  }
  for (const auto &t : m.triangles) {
    for (int k = 0; k < 3; ++k) {
      const int from = t[k];
      const int to = t[(k + 1) % 3];
      if (uses.find(edge_key(to, from)) == uses.end())
        return "mesh is not closed: " + edge_text(from, to) + " has no opposite edge";
    }
  }
  return std::nullopt;
}

double bounding_box_volume(const Mesh &m) {
  Vec3 lo = m.vertices.front();
  Vec3 hi = lo;
  for (const Vec3 &v : m.vertices) {
    lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z)};
    hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z)};
  }
  const Vec3 d = hi - lo;
  const double extent = std::fmax(d.x, std::fmax(d.y, d.z));
  return extent * extent * extent;
}

Problem check_mesh(const Mesh &m, bool solid) {
  for (std::size_t i = 0; i < m.vertices.size(); ++i)
    if (!is_finite(m.vertices[i])) return "vertex " + std::to_string(i) + " has a non-finite value";
  if (auto problem = check_triangles(m)) return problem;
  if (!solid) return std::nullopt;
  if (auto problem = check_closed(m)) return problem;
  const double volume = std::fabs(signed_mesh_volume(m));
  if (!(volume > flat_volume_share * bounding_box_volume(m))) return "mesh encloses no volume";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> validate(const Shape &shape, bool solid) {
  if (const auto *b = std::get_if<Block>(&shape)) return check_block(*b);
  if (const auto *c = std::get_if<Cylinder>(&shape)) return check_cylinder(*c);
  if (const auto *s = std::get_if<Sphere>(&shape)) return check_sphere(*s);
  if (const auto *k = std::get_if<KernelShape>(&shape)) {
    return k->solid ? k->solid->problem(solid) : Problem("kernel shape is empty");
  }
  return check_mesh(std::get<Mesh>(shape), solid);
}

}  // namespace orvel::geom
