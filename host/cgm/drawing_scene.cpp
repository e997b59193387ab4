// Collects what a drawing shows into a flat scene.
#include "cgm/drawing_scene.hpp"

#include <algorithm>
#include <cmath>

#include "orvel/zk_types.h"

namespace orvel::cgm {
namespace {

constexpr double kSheetWidth = 420.0, kSheetHeight = 297.0;  // A3 landscape
constexpr double kMargin = 10.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDefaultTextHeight = 3.5;  // mm, for a text block without a size

// From the coordinates of a view onto the sheet, in millimetres.
struct Placement {
  double ox = 0, oy = 0, scale = 1, cos_a = 1, sin_a = 0, mm = 1;
  double angle = 0;  // degrees
  Point2 at(double x, double y) const {
    const double u = (x * cos_a - y * sin_a) * scale, v = (x * sin_a + y * cos_a) * scale;
    return {(ox + u) * mm, (oy + v) * mm};
  }
  double length(double l) const { return l * scale * mm; }
};

Placement placement_of(const model::Drawing &drawing, const model::View &view, double mm) {
  Placement p;
  p.mm = mm;
  if (&view == drawing.sheet_view) return p;
  p.ox = view.reference_point[0];
  p.oy = view.reference_point[1];
  p.scale = view.scale;
  p.angle = view.angle;
  p.cos_a = std::cos(view.angle * kPi / 180.0);
  p.sin_a = std::sin(view.angle * kPi / 180.0);
  return p;
}

void add_object(Scene &scene, const model::Object &object, const Placement &p) {
  Item item;
  item.colour = object.color;
  if (object.type == ZK_line_type) {
    const auto &line = static_cast<const model::Line &>(object);
    item.kind = ItemKind::kLine;
    item.points = {p.at(line.start.x, line.start.y), p.at(line.end.x, line.end.y)};
    scene.items.push_back(std::move(item));
  } else if (object.type == ZK_circle_type) {
    const auto &arc = static_cast<const model::Arc &>(object);
    item.centre = p.at(arc.centre.x, arc.centre.y);
    item.radius = p.length(arc.radius);
    item.start_angle = arc.start_angle + p.angle;
    item.end_angle = arc.end_angle + p.angle;
    item.kind = arc.end_angle - arc.start_angle >= 360.0 ? ItemKind::kCircle : ItemKind::kArc;
    scene.items.push_back(std::move(item));
  } else if (object.type == ZK_drafting_entity_type || object.type == ZK_dimension_type) {
    const auto &note = static_cast<const model::Annotation &>(object);
    const Point2 origin = p.at(note.origin.x, note.origin.y);
    double y = origin.y;
    for (const model::TextBlock &block : note.texts) {
      const double height = block.size > 0 ? block.size * p.mm : kDefaultTextHeight;
      for (const std::string &text : block.lines) {
        Item t;
        t.kind = ItemKind::kText;
        t.colour = object.color;
        t.points = {{origin.x, y}};
        t.text = text;
        t.height = height;
        t.angle = block.angle + p.angle;
        scene.items.push_back(std::move(t));
        y -= 1.6 * height;  // the next line of the block below
      }
    }
  }
}

void add_view(Scene &scene, const model::Drawing &drawing, const model::View &view, double mm) {
  const Placement p = placement_of(drawing, view, mm);
  const model::ObjectList &objects = view.dependents;
  for (const model::Object *o = objects.first(); o; o = objects.next(o))
    if (o->status == ZK_OBJ_ALIVE) add_object(scene, *o, p);
}

Item border(double x0, double y0, double x1, double y1) {
  Item item;
  item.kind = ItemKind::kPolyline;
  item.points = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
  return item;
}

}  // namespace

Scene scene_of(const model::Drawing &drawing, int part_units) {
  const double mm = part_units == ZK_PART_ENGLISH ? 25.4 : 1.0;
  Scene scene;
  scene.width = kSheetWidth;
  scene.height = kSheetHeight;
  for (const model::View *view : drawing.views) {
    scene.width = std::max(scene.width, view->borders[2] * mm + kMargin);
    scene.height = std::max(scene.height, view->borders[3] * mm + kMargin);
  }
  scene.items.push_back(border(0, 0, scene.width, scene.height));
  for (const model::View *view : drawing.views) {
    const double *b = view->borders;
    if (b[2] > b[0] && b[3] > b[1])
      scene.items.push_back(border(b[0] * mm, b[1] * mm, b[2] * mm, b[3] * mm));
  }
  if (drawing.sheet_view) add_view(scene, drawing, *drawing.sheet_view, mm);
  for (const model::View *view : drawing.views) add_view(scene, drawing, *view, mm);
  return scene;
}

}  // namespace orvel::cgm
