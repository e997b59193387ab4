// A drawing as flat 2-D graphics: the neutral picture that the CGM writer
// draws and the CGM reader fills. The host model turns its drawings into a
// scene for output and takes the curves and texts of a read scene over as
// its own objects. Lengths are millimetres on the sheet, the origin is the
// sheet's lower-left corner, angles are degrees counterclockwise from +X.
#pragma once

#include <string>
#include <vector>

namespace orvel::cgm {

struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

enum class ItemKind {
  kLine,      // points[0] to points[1]
  kPolyline,  // points in order; closed when the last point repeats the first
  kArc,       // centre, radius, counterclockwise from start_angle to end_angle
  kCircle,    // centre, radius
  kText,      // text placed at points[0], character height and angle
};

struct Item {
  ItemKind kind = ItemKind::kLine;
  std::vector<Point2> points;
  Point2 centre;
  double radius = 0.0;
  double start_angle = 0.0;
  double end_angle = 0.0;
  std::string text;
  double height = 0.0;  // capital letter height of a text
  double angle = 0.0;   // direction of a text's baseline
  int colour = 0;       // host colour number (see colour_rgb)
};

struct Scene {
  double width = 0.0;  // sheet size
  double height = 0.0;
  std::vector<Item> items;
};

struct Rgb {
  unsigned char r = 0, g = 0, b = 0;
};

// The host's colour numbers as RGB: a fixed palette of 16 colours; other
// numbers repeat it. nearest_colour gives the palette number closest to a
// colour read from a file.
Rgb colour_rgb(int colour);
int nearest_colour(Rgb rgb);

}  // namespace orvel::cgm
