// A drawing-compare snapshot: what a part's drawings and their views looked
// like when the snapshot was taken, kept with the part so that a later
// snapshot can be compared against it. It holds values only, no references,
// so it outlives any change to the drawings.
#pragma once

#include <string>
#include <vector>

namespace orvel::model {

struct ViewSnapshot {
  std::string name;
  bool out_of_date = false;
  double reference_point[2] = {0, 0};
  double scale = 1.0;
  double angle = 0.0;
  double borders[4] = {0, 0, 0, 0};
  int notes = 0;       // number of view notes
  int dependents = 0;  // number of objects that depend on the view
};

struct DrawingSnapshot {
  std::string name;
  bool out_of_date = false;
  int sheet_dependents = 0;         // objects that depend on the drawing's sheet view
  std::vector<ViewSnapshot> views;  // member views, in drawing order
};

struct Snapshot {
  int sequence = 0;  // 1 for a part's first snapshot, counting up; never a time
  std::vector<DrawingSnapshot> drawings;  // in the part's drawing order
};

}  // namespace orvel::model
