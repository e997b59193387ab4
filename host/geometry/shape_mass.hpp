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

LocalMass local_mass(const Shape &shape);

// Signed volume of a mesh: positive for outward normals, negative for a mesh
// turned inside out. Triangles with indices out of range are left out.
double signed_mesh_volume(const Mesh &mesh);

}  // namespace orvel::geom
