// Rigid placements: the identity, composition and the check that a
// placement's rotation is orthogonal.
#include <cmath>

#include "linear.hpp"

namespace orvel::geom {

namespace {

// How far r * r^T may stray from the identity; placements read from files
// carry rotations written with limited decimals.
constexpr double orthogonality_tolerance = 1e-6;

}  // namespace

Transform identity() {
  Transform id{};
  for (int i = 0; i < 3; ++i) id.r[i][i] = 1.0;
  id.t = {0.0, 0.0, 0.0};
  return id;
}

Transform compose(const Transform &outer, const Transform &inner) {
  Transform out{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) out.r[i][j] += outer.r[i][k] * inner.r[k][j];
  out.t = apply(outer, inner.t);
  return out;
}

std::optional<std::string> validate_placement(const Transform &placement) {
  for (const auto &row : placement.r)
    for (double v : row)
      if (!std::isfinite(v)) return "rotation has a non-finite value";
  if (!is_finite(placement.t)) return "translation has a non-finite value";
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double d = 0.0;
      for (int k = 0; k < 3; ++k) d += placement.r[i][k] * placement.r[j][k];
      if (std::fabs(d - (i == j ? 1.0 : 0.0)) > orthogonality_tolerance)
        return "rotation is not orthogonal";
    }
  }
  return std::nullopt;
}

}  // namespace orvel::geom
