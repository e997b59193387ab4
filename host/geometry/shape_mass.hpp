// Mass properties of a single shape in its own coordinates, at unit density.
#pragma once

#include "linear.hpp"

namespace orvel::geom {

struct LocalMass {
  double area;    // surface area
  double volume;  // enclosed volume
  Vec3 centroid;  // centre of the volume
  Mat3 spread;    // integral of (p - centroid)(p - centroid)^T over the volume
};

// A block's closed form, inline: a large assembly of blocks passes every
// body here twice in a mass computation. Each value is written in place; a
// diagonal matrix built aside and copied in cost a stall for every body.
inline LocalMass block_mass(const Block &b) {
  const Vec3 &s = b.size;
  LocalMass m{};
  m.volume = s.x * s.y * s.z;
  m.area = 2.0 * (s.x * s.y + s.y * s.z + s.x * s.z);
  m.centroid = b.corner + 0.5 * s;
  m.spread[0][0] = m.volume * s.x * s.x / 12.0;
  m.spread[1][1] = m.volume * s.y * s.y / 12.0;
  m.spread[2][2] = m.volume * s.z * s.z / 12.0;
  return m;
}

// Any shape; the one for the shapes other than blocks.
LocalMass other_shape_mass(const Shape &shape);

inline LocalMass local_mass(const Shape &shape) {
  if (const auto *b = std::get_if<Block>(&shape)) return block_mass(*b);
  return other_shape_mass(shape);
}

// Signed volume of a mesh: positive for outward normals, negative for a mesh
// turned inside out. Triangles with indices out of range are left out.
double signed_mesh_volume(const Mesh &mesh);

}  // namespace orvel::geom
