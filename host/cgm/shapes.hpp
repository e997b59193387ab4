// Turns CGM primitives, given in VDC, into scene items in millimetres. Arcs
// and ellipses that are circular become arcs and circles; other conics and
// Bezier curves that are not circular arcs become polylines.
#pragma once

#include <string>
#include <vector>

#include "cgm/scene.hpp"

namespace orvel::cgm {

// VDC to sheet millimetres: ((x - x0) * sx, (y - y0) * sy). A negative
// factor mirrors an axis (a VDC extent given right to left or top down).
struct Mapping {
  double x0 = 0, y0 = 0, sx = 1, sy = 1;
  double quantum = 0;  // VDC resolution: 1 for integer VDC, 0 for real
  Point2 map(Point2 p) const { return {(p.x - x0) * sx, (p.y - y0) * sy}; }
  bool mirrored() const { return (sx < 0) != (sy < 0); }
};

void add_polyline(Scene &scene, const Mapping &m, std::vector<Point2> points, int colour);
void add_disjoint_lines(Scene &scene, const Mapping &m, const std::vector<Point2> &points,
                        int colour);
void add_polygon(Scene &scene, const Mapping &m, std::vector<Point2> points, int colour);
void add_circle(Scene &scene, const Mapping &m, Point2 centre, double radius, int colour);
void add_arc_3_points(Scene &scene, const Mapping &m, Point2 a, Point2 b, Point2 c, int colour);
// An arc from the direction start to the direction end around centre,
// counterclockwise in VDC when ccw is set.
void add_arc_centre(Scene &scene, const Mapping &m, Point2 centre, Point2 start, Point2 end,
                    double radius, bool ccw, int colour);
// An ellipse given by its centre and the ends of two conjugate diameters;
// with dirs (start and end directions) only the arc between them.
void add_elliptical_arc(Scene &scene, const Mapping &m, Point2 centre, Point2 p, Point2 q,
                        const Point2 *dirs, int colour);
// Cubic Bezier segments: 4 points each, or, when continuous, 4 points and
// then 3 for every further segment.
void add_polybezier(Scene &scene, const Mapping &m, const std::vector<Point2> &points,
                    bool continuous, int colour);
void add_text(Scene &scene, const Mapping &m, Point2 at, const std::string &text, double height,
              const double base[2], int colour);
void append_text(Scene &scene, const std::string &text);

}  // namespace orvel::cgm
