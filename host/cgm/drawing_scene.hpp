// A drawing of the model as a scene for the CGM and SVG writer.
#pragma once

#include "cgm/scene.hpp"
#include "model/drafting.hpp"

namespace orvel::cgm {

// The sheet border, each member view's border, and the lines, arcs and
// drafting texts of the drawing's sheet and of its views. Objects of a
// member view are placed on the sheet by the view's reference point, scale
// and angle. Lengths become millimetres (a part in inches is scaled by
// 25.4). The sheet is A3 landscape, or larger when the view borders reach
// beyond it (their extent and a 10 mm margin).
Scene scene_of(const model::Drawing &drawing, int part_units);

}  // namespace orvel::cgm
