// Shapes built by hand for the geometry tests.
#pragma once

#include "geometry/geometry.hpp"

namespace geom_test {

using namespace orvel::geom;

// A box as a closed triangle mesh with outward normals.
Mesh box_mesh(const Vec3 &corner, const Vec3 &size);
// The same mesh with every triangle turned over.
Mesh inverted(Mesh mesh);
// Two meshes in one.
Mesh joined(const Mesh &a, const Mesh &b);

Transform translation(const Vec3 &t);
// Rotation by `angle` radians about the unit vector `u` (Rodrigues' formula).
Transform rotation(const Vec3 &u, double angle);

}  // namespace geom_test
