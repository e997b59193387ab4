// Kernel-backed body shapes: volume and surface integrals from the kernel's
// global properties, computed once on the first request and kept.
#include "exchange/kernel_solid.hpp"

#include <BRepGProp.hxx>
#include <BRep_Tool.hxx>
#include <GProp_GProps.hxx>
#include <TopAbs_ShapeEnum.hxx>
#include <TopoDS_Shape.hxx>
#include <cmath>
#include <optional>

namespace orvel::exchange {

namespace {

class OcctSolid final : public geom::KernelSolid {
 public:
  OcctSolid(const TopoDS_Shape &shape, bool solid) : shape_(shape), solid_(solid) {}

  const geom::KernelMass &mass() const override {
    if (!mass_) mass_ = kernel_mass_of(shape_);
    return *mass_;
  }

  std::optional<std::string> problem(bool as_solid) const override {
    if (shape_.IsNull()) return "kernel shape is empty";
    if (!as_solid) return std::nullopt;
    if (!solid_ && !closed_shell()) return "sheet does not enclose a volume";
    if (!(mass().volume > 0.0)) return "shape encloses no volume";
    return std::nullopt;
  }

 private:
  bool closed_shell() const {
    try {
      return shape_.ShapeType() == TopAbs_SHELL && BRep_Tool::IsClosed(shape_);
    } catch (...) {
      return false;
    }
  }

  TopoDS_Shape shape_;
  bool solid_;
  mutable std::optional<geom::KernelMass> mass_;
};

}  // namespace

std::shared_ptr<const geom::KernelSolid> make_kernel_solid(const TopoDS_Shape &shape, bool solid) {
  return std::make_shared<OcctSolid>(shape, solid);
}

// The kernel gives the inertia matrix I about the centre of mass; the spread
// S = integral of (p - c)(p - c)^T follows from I = trace(S) 1 - S, that is
// S = trace(I) / 2 * 1 - I. A solid turned inside out has negative volume
// integrals; they are turned back like those of an inverted mesh. A shape the
// kernel cannot integrate has no volume and no area.
geom::KernelMass kernel_mass_of(const TopoDS_Shape &shape) {
  geom::KernelMass m{};
  try {
    GProp_GProps volume;
    BRepGProp::VolumeProperties(shape, volume);
    GProp_GProps surface;
    BRepGProp::SurfaceProperties(shape, surface);
    const double v = volume.Mass();
    const double sign = v < 0.0 ? -1.0 : 1.0;
    m.area = std::fabs(surface.Mass());
    m.volume = sign * v;
    if (m.volume > 0.0) {
      const gp_Pnt c = volume.CentreOfMass();
      m.centroid = {c.X(), c.Y(), c.Z()};
      const gp_Mat inertia = volume.MatrixOfInertia();
      const double half_trace = 0.5 * (inertia(1, 1) + inertia(2, 2) + inertia(3, 3));
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
          m.spread[i][j] = sign * ((i == j ? half_trace : 0.0) - inertia(i + 1, j + 1));
    }
  } catch (...) {
    return geom::KernelMass{};
  }
  return m;
}

}  // namespace orvel::exchange
