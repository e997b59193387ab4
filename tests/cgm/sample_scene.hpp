// A drawing-like scene used by the CGM tests and the interop check: a sheet
// border, two view borders, lines, a polyline, arcs, a circle and texts in
// several colours.
#pragma once

#include "cgm/scene.hpp"

namespace orvel::cgm::fixtures {

inline Item line(double x0, double y0, double x1, double y1, int colour) {
  Item i;
  i.kind = ItemKind::kLine;
  i.points = {{x0, y0}, {x1, y1}};
  i.colour = colour;
  return i;
}

inline Item box(double x0, double y0, double x1, double y1, int colour) {
  Item i;
  i.kind = ItemKind::kPolyline;
  i.points = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
  i.colour = colour;
  return i;
}

inline Item arc(double cx, double cy, double r, double a0, double a1, int colour) {
  Item i;
  i.kind = a1 - a0 >= 360.0 ? ItemKind::kCircle : ItemKind::kArc;
  i.centre = {cx, cy};
  i.radius = r;
  i.start_angle = a0;
  i.end_angle = a1;
  i.colour = colour;
  return i;
}

inline Item text(double x, double y, const char *s, double height, double angle, int colour) {
  Item i;
  i.kind = ItemKind::kText;
  i.points = {{x, y}};
  i.text = s;
  i.height = height;
  i.angle = angle;
  i.colour = colour;
  return i;
}

inline Scene sample_scene() {
  Scene s;
  s.width = 420.0;
  s.height = 297.0;
  s.items = {box(10, 10, 410, 287, 0),
             box(30, 120, 200, 270, 4),
             box(220, 120, 390, 270, 4),
             line(40, 130, 190, 260, 2),
             line(230, 195, 380, 195, 3),
             {},
             arc(115, 195, 40, 30, 250, 7),
             arc(305, 195, 25, 0, 90, 12),
             arc(305, 195, 50, 0, 360, 9),
             text(300, 40, "BRACKET 4711", 7.0, 0.0, 0),
             text(40, 100, "Scale 1:2", 3.5, 90.0, 11)};
  Item &poly = s.items[5];
  poly.kind = ItemKind::kPolyline;
  poly.points = {{240, 130}, {260, 150}, {280, 135}, {300, 160}, {330, 140}};
  poly.colour = 5;
  return s;
}

}  // namespace orvel::cgm::fixtures
