// Compares a scene read back from a file with the scene written: the same
// items in the same order, and the largest distance between corresponding
// places (polyline points, arc ends and middles, circle centres and radii,
// text positions), in millimetres.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

#include "cgm/scene.hpp"

namespace orvel::cgm::fixtures {

inline Point2 on_arc(const Item &arc, double t) {
  const double a = (arc.start_angle + t * (arc.end_angle - arc.start_angle)) * M_PI / 180.0;
  return {arc.centre.x + arc.radius * std::cos(a), arc.centre.y + arc.radius * std::sin(a)};
}

inline double distance(Point2 a, Point2 b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// Returns the largest deviation, or a negative number with why set when
// the scenes differ in kind, count, text or colour.
inline double deviation(const Scene &want, const Scene &got, std::string &why) {
  if (want.items.size() != got.items.size()) {
    why = std::to_string(want.items.size()) + " items written, " +
          std::to_string(got.items.size()) + " read";
    return -1;
  }
  double worst = 0;
  for (size_t i = 0; i < want.items.size(); ++i) {
    const Item &w = want.items[i], &g = got.items[i];
    if (w.kind != g.kind || w.colour != g.colour || w.text != g.text ||
        w.points.size() != g.points.size()) {
      why = "item " + std::to_string(i) + " differs in kind, colour, text or point count";
      return -1;
    }
    for (size_t k = 0; k < w.points.size(); ++k)
      worst = std::max(worst, distance(w.points[k], g.points[k]));
    if (w.kind == ItemKind::kArc)
      for (double t : {0.0, 0.5, 1.0})
        worst = std::max(worst, distance(on_arc(w, t), on_arc(g, t)));
    if (w.kind == ItemKind::kCircle)
      worst = std::max({worst, distance(w.centre, g.centre), std::fabs(w.radius - g.radius)});
  }
  return worst;
}

}  // namespace orvel::cgm::fixtures
