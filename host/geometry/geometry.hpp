// Geometry and mass properties of the host's bodies: the shapes a body can
// have (block, cylinder, sphere, closed triangle mesh, kernel B-rep), their validation, rigid
// placements, and the combined mass properties of a list of placed bodies.
// Pure computation: no session, no model, no state.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvel::geom {

struct Vec3 {
  double x, y, z;
};

// A rigid placement: p_global = r * p_local + t. The rotation r must be
// orthogonal (see validate_placement); a mirror (determinant -1) is allowed.
struct Transform {
  double r[3][3];
  Vec3 t;
};

Transform identity();
// The placement that applies `inner` first and then `outer`.
Transform compose(const Transform &outer, const Transform &inner);
// The point `p` placed by `placement`. Inline: a mass computation places
// every body's centroid twice.
inline Vec3 apply(const Transform &placement, const Vec3 &p) {
  const auto &r = placement.r;
  return {r[0][0] * p.x + r[0][1] * p.y + r[0][2] * p.z + placement.t.x,
          r[1][0] * p.x + r[1][1] * p.y + r[1][2] * p.z + placement.t.y,
          r[2][0] * p.x + r[2][1] * p.y + r[2][2] * p.z + placement.t.z};
}

// Axis-aligned box in local coordinates, from `corner` to `corner + size`.
struct Block {
  Vec3 corner;
  Vec3 size;
};

// Solid circular cylinder standing on the disc at `base`, extending `height`
// along `axis` (any non-zero length; it is normalised here).
struct Cylinder {
  Vec3 base;
  Vec3 axis;
  double radius;
  double height;
};

struct Sphere {
  Vec3 centre;
  double radius;
};

// Triangle mesh. As a solid it must be closed, with outward normals given by
// the counter-clockwise order of each triangle's vertices.
struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::array<int, 3>> triangles;
};

// Volume integrals of a shape in its own coordinates at unit density.
struct KernelMass {
  double area;          // surface area
  double volume;        // enclosed volume, not negative
  Vec3 centroid;        // centre of the volume
  double spread[3][3];  // integral of (p - centroid)(p - centroid)^T over the volume
};

// A boundary-represented shape held by the modelling kernel (read from an
// exchange file). The kernel computes its mass properties; they are worked
// out on the first request only, so loading a large model stays cheap.
class KernelSolid {
 public:
  virtual ~KernelSolid() = default;
  virtual const KernelMass &mass() const = 0;
  // The problem that keeps the shape from being a body (see validate).
  virtual std::optional<std::string> problem(bool solid) const = 0;
};

// A body shape backed by the kernel; copies share the kernel's shape.
struct KernelShape {
  std::shared_ptr<const KernelSolid> solid;
};

using Shape = std::variant<Block, Cylinder, Sphere, Mesh, KernelShape>;

// The problem that keeps `shape` from being a body, nothing when it can be one.
// Rejected always: non-finite numbers, non-positive dimensions, a zero
// cylinder axis, an empty mesh, mesh indices out of range and triangles that
// repeat a vertex. Rejected as a solid (`solid` true): a mesh that is not
// closed (every edge used exactly twice, once in each direction) and a mesh
// that encloses no volume. A closed mesh whose triangles all face inwards is
// accepted: its mass properties are computed as if it were turned outwards.
std::optional<std::string> validate(const Shape &shape, bool solid);

// The problem that keeps `placement` from being a rigid placement: a
// non-finite number or a rotation that is not orthogonal.
std::optional<std::string> validate_placement(const Transform &placement);

// A body as the mass properties see it. The shape and placement are the
// caller's own, not copies: a large assembly lists tens of thousands.
struct MassBody {
  const Shape *shape;          // a shape that validate(shape, true) accepts
  const Transform *placement;  // from the shape's local coordinates to global
  double density;              // mass per unit volume
};

// Number of values in a mass-properties result.
constexpr int mass_result_size = 47;

// The combined mass properties of `bodies` in global coordinates; the layout
// of the 47 values is described in docs/mass-properties.md.
std::array<double, mass_result_size> mass_properties(const std::vector<MassBody> &bodies);

}  // namespace orvel::geom
