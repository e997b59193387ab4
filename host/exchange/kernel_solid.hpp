// Body shapes backed by the modelling kernel: a B-rep read from an exchange
// file, wrapped so that the rest of the host sees only geom::KernelSolid.
#pragma once

#include <memory>

#include "geometry/geometry.hpp"

class TopoDS_Shape;

namespace orvel::exchange {

// A kernel shape for a body: a solid (`solid` true) or a sheet (a shell or a
// face). Its mass properties are computed on the first request.
std::shared_ptr<const geom::KernelSolid> make_kernel_solid(const TopoDS_Shape &shape, bool solid);

// The kernel's own mass properties of `shape` at unit density: volume
// integrals for solids and closed shells, the surface area of its faces.
geom::KernelMass kernel_mass_of(const TopoDS_Shape &shape);

}  // namespace orvel::exchange
