// Drawings, their views, the curves of the model and of views, and drafting
// objects (notes, labels, dimensions). A view keeps the objects that depend
// on it in an ordered list, so cycling a view costs O(1) per step.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/object.hpp"
#include "model/object_list.hpp"
#include "model/part.hpp"
#include "model/snapshot.hpp"

namespace orvel::model {

struct Point : Object {
  Point() : Object(ZK_point_type, 0) {}
  geom::Vec3 at{0, 0, 0};
};

struct Line : Object {
  Line() : Object(ZK_line_type, 0) {}
  geom::Vec3 start{0, 0, 0};
  geom::Vec3 end{0, 0, 0};
};

// A circular arc in a plane parallel to XY; angles in degrees from X.
struct Arc : Object {
  Arc() : Object(ZK_circle_type, 0) {}
  geom::Vec3 centre{0, 0, 0};
  double radius = 1.0;
  double start_angle = 0.0;
  double end_angle = 360.0;
};

struct View : Object {
  View() : Object(ZK_view_type, 0) {}
  int view_type = 0;
  int view_subtype = 0;
  double reference_point[2] = {0, 0};  // on the drawing
  Point *anchor = nullptr;
  double scale = 1.0;
  double angle = 0.0;
  double borders[4] = {0, 0, 0, 0};  // Xmin, Ymin, Xmax, Ymax
  bool out_of_date = false;
  int update_failure = 0;  // host code an update of the view fails with, 0: it updates
  std::vector<Object *> notes;
  ObjectList dependents{kViewList};  // objects that depend on this view
};

struct Drawing : Object {
  Drawing() : Object(ZK_drawing_type, 0) {}
  View *sheet_view = nullptr;  // the view of the drawing sheet itself
  std::vector<View *> views;   // member views, in order
  bool out_of_date = false;
  bool updatable = true;  // updating its views brings it up to date
};

struct TextBlock {
  int type = 0;
  int font = 1;
  double size = 0.0;
  double angle = 0.0;
  std::vector<std::string> lines;
};

// A drafting entity (type 25) or a dimension (type 26).
struct Annotation : Object {
  Annotation(int type, int subtype) : Object(type, subtype) {}
  geom::Vec3 origin{0, 0, 0};
  std::vector<Object *> associated;
  std::vector<TextBlock> texts;
  bool retained = false;
  std::optional<double> sketch_value;  // the value of a sketch dimension
};

// Whether a drawing counts as out of date: marked so itself or through one
// of its member views.
bool is_out_of_date(const Drawing &drawing);

// Updates `view` of `drawing`: 0 and the view is up to date, or the view's
// update failure code and nothing changes. A drawing whose views are all up
// to date becomes up to date unless it is not updatable.
int update_view(Drawing &drawing, View &view);

// Takes a snapshot of the part's drawings as they are now; the sequence
// number follows the part's previous snapshot.
Snapshot take_snapshot(const Part &part);

}  // namespace orvel::model
