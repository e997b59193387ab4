// Combined mass properties of placed bodies: each shape's local volume,
// centroid and spread are carried to global coordinates by its placement,
// weighted by its density, and summed; the inertia values, radii of gyration
// and principal axes are derived from the sums. The result layout is
// described in docs/mass-properties.md.
#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>
#include <vector>

#include "rotate_spread.hpp"
#include "shape_mass.hpp"

namespace orvel::geom {

namespace {

// Result entries.
enum Entry : int {
  area_entry = 0,
  volume_entry = 1,
  mass_entry = 2,
  centre_entry = 3,
  first_moment_entry = 6,
  origin_moment_entry = 9,
  centroid_moment_entry = 12,
  origin_product_entry = 15,
  centroid_product_entry = 18,
  origin_radius_entry = 21,
  centroid_radius_entry = 24,
  principal_moment_entry = 27,
  principal_axis_entry = 30,
};

constexpr int jacobi_sweeps = 50;
constexpr size_t placement_lookahead = 16;

// The sums of the first pass, each taken over the bodies in their order.
struct Totals {
  double area = 0.0, volume = 0.0, mass = 0.0;
  Vec3 by_mass{0.0, 0.0, 0.0};    // centroids weighted by mass
  Vec3 by_volume{0.0, 0.0, 0.0};  // centroids weighted by volume
};

// The placements and shapes of a large assembly's bodies lie all over
// memory: those of the body a few ahead start coming while this one is
// placed (a shape's kind is read first, at its end). Always inline: a call
// of a function that only prefetches counts as having no effect, and the
// compiler drops it.
inline __attribute__((always_inline)) void prefetch_placement(const std::vector<MassBody> &bodies,
                                                              size_t i) {
  if (i + placement_lookahead >= bodies.size()) return;
  const MassBody &ahead_body = bodies[i + placement_lookahead];
  // An entry without a shape is passed over, and may have no placement.
  if (ahead_body.shape == nullptr || ahead_body.placement == nullptr) return;
  const char *ahead = reinterpret_cast<const char *>(ahead_body.placement);
  __builtin_prefetch(ahead);
  __builtin_prefetch(ahead + 64);
  __builtin_prefetch(ahead + sizeof(Transform) - 1);
  const char *shape = reinterpret_cast<const char *>(ahead_body.shape);
  __builtin_prefetch(shape);
  __builtin_prefetch(shape + sizeof(Shape) - 1);
}

// A mesh's local mass is a walk over its triangles: the first pass keeps it
// for the second. The closed forms and a kernel solid's kept values cost
// less to take again than to keep for every body of a large assembly, whose
// list of them the kernel would have to find fresh pages for on every call.
bool worth_keeping(const Shape &shape) {
  return std::holds_alternative<Mesh>(shape);
}

// Sums every body's share in global coordinates.
Totals first_pass(const std::vector<MassBody> &bodies, std::vector<LocalMass> &kept) {
  Totals totals;
  for (size_t i = 0; i < bodies.size(); ++i) {
    const MassBody &body = bodies[i];
    prefetch_placement(bodies, i);
    if (body.shape == nullptr) continue;
    const LocalMass local = local_mass(*body.shape);
    if (worth_keeping(*body.shape)) kept.push_back(local);
    const Vec3 centroid = apply(*body.placement, local.centroid);
    totals.area += local.area;
    totals.volume += local.volume;
    totals.mass += body.density * local.volume;
    totals.by_mass = totals.by_mass + (body.density * local.volume) * centroid;
    totals.by_volume = totals.by_volume + local.volume * centroid;
  }
  return totals;
}

// The mass-weighted centre; by volume when no body has mass.
Vec3 centre_of(const Totals &totals) {
  if (totals.mass != 0.0) return (1.0 / totals.mass) * totals.by_mass;
  if (totals.volume != 0.0) return (1.0 / totals.volume) * totals.by_volume;
  return {0.0, 0.0, 0.0};
}

// Integral of (p - about)(p - about)^T dm over all bodies (parallel axes):
// each body's spread turned by its placement, and its centroid's offset.
// Every value is taken as the first pass took it, so the sums are the same.
Mat3 second_moments(const std::vector<MassBody> &bodies, const std::vector<LocalMass> &kept,
                    const Vec3 &about) {
  Mat3 s{};
  size_t next_kept = 0;
  for (size_t i = 0; i < bodies.size(); ++i) {
    const MassBody &body = bodies[i];
    prefetch_placement(bodies, i);
    if (body.shape == nullptr) continue;
    const LocalMass local =
        worth_keeping(*body.shape) ? kept[next_kept++] : local_mass(*body.shape);
    const Vec3 d = apply(*body.placement, local.centroid) - about;
    add_scaled(s, rotate_spread(*body.placement, local.spread), body.density);
    add_scaled(s, outer(d, d), body.density * local.volume);
  }
  return s;
}

// Inertia tensor from second moments: I = trace(S) 1 - S.
Mat3 inertia_tensor(const Mat3 &s) {
  const double trace = s[0][0] + s[1][1] + s[2][2];
  Mat3 inertia{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inertia[i][j] = (i == j ? trace : 0.0) - s[i][j];
  return inertia;
}

void put(std::array<double, mass_result_size> &out, int entry, const Vec3 &v) {
  out[entry] = v.x;
  out[entry + 1] = v.y;
  out[entry + 2] = v.z;
}

// Moments about X, Y, Z and products xy, yz, xz from second moments.
void put_inertia(std::array<double, mass_result_size> &out, int moments, int products,
                 const Mat3 &s) {
  put(out, moments, {s[1][1] + s[2][2], s[0][0] + s[2][2], s[0][0] + s[1][1]});
  put(out, products, {s[0][1], s[1][2], s[0][2]});
}

void put_radii(std::array<double, mass_result_size> &out, int radii, int moments, double mass) {
  for (int i = 0; i < 3; ++i)
    out[radii + i] =
        mass > 0.0 && out[moments + i] > 0.0 ? std::sqrt(out[moments + i] / mass) : 0.0;
}

// Rotates the symmetric matrix `a` to diagonal form by Jacobi rotations;
// the columns of `v` collect the eigenvectors.
void jacobi_diagonalise(Mat3 &a, Mat3 &v) {
  v = Mat3{};
  for (int i = 0; i < 3; ++i) v[i][i] = 1.0;
  for (int sweep = 0; sweep < jacobi_sweeps; ++sweep) {
    const double off = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
    const double scale = std::fabs(a[0][0]) + std::fabs(a[1][1]) + std::fabs(a[2][2]);
    if (off <= 1e-15 * scale || off == 0.0) return;
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0.0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
        const double t =
            (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0);
        const double s = t * c;
        for (int k = 0; k < 3; ++k) {  // a = a * J
          const double akp = a[k][p];
          const double akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < 3; ++k) {  // a = J^T * a
          const double apk = a[p][k];
          const double aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
        for (int k = 0; k < 3; ++k) {  // v = v * J
          const double vkp = v[k][p];
          const double vkq = v[k][q];
          v[k][p] = c * vkp - s * vkq;
          v[k][q] = s * vkp + c * vkq;
        }
      }
    }
  }
}

// Turns an axis so that its largest component is positive.
Vec3 canonical_axis(const Vec3 &axis) {
  const double ax = std::fabs(axis.x);
  const double ay = std::fabs(axis.y);
  const double az = std::fabs(axis.z);
  const double lead = ax >= ay && ax >= az ? axis.x : (ay >= az ? axis.y : axis.z);
  return lead < 0.0 ? -1.0 * axis : axis;
}

// Principal moments in ascending order and their axes as a right-handed set.
void put_principal(std::array<double, mass_result_size> &out, const Mat3 &inertia) {
  Mat3 a = inertia;
  Mat3 v{};
  jacobi_diagonalise(a, v);
  std::array<int, 3> order{0, 1, 2};
  std::sort(order.begin(), order.end(), [&a](int i, int j) { return a[i][i] < a[j][j]; });
  Vec3 axes[3];
  for (int k = 0; k < 3; ++k) {
    const int c = order[k];
    out[principal_moment_entry + k] = a[c][c];
    axes[k] = canonical_axis({v[0][c], v[1][c], v[2][c]});
  }
  axes[2] = cross(axes[0], axes[1]);
  for (int k = 0; k < 3; ++k) put(out, principal_axis_entry + 3 * k, axes[k]);
}

}  // namespace

std::array<double, mass_result_size> mass_properties(const std::vector<MassBody> &bodies) {
  std::array<double, mass_result_size> out{};
  std::vector<LocalMass> kept;
  const Totals totals = first_pass(bodies, kept);
  const double area = totals.area, volume = totals.volume, mass = totals.mass;
  const Vec3 centre = centre_of(totals);
  const Mat3 about_centre = second_moments(bodies, kept, centre);
  Mat3 about_origin = about_centre;
  add_scaled(about_origin, outer(centre, centre), mass);

  out[area_entry] = area;
  out[volume_entry] = volume;
  out[mass_entry] = mass;
  put(out, centre_entry, centre);
  put(out, first_moment_entry, mass * centre);
  put_inertia(out, origin_moment_entry, origin_product_entry, about_origin);
  put_inertia(out, centroid_moment_entry, centroid_product_entry, about_centre);
  put_radii(out, origin_radius_entry, origin_moment_entry, mass);
  put_radii(out, centroid_radius_entry, centroid_moment_entry, mass);
  put_principal(out, inertia_tensor(about_centre));
  return out;
}

}  // namespace orvel::geom
