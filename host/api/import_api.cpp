// C API: building model objects from a CGM file (zc6411) and the calls that
// treat them afterwards: the work layer and work view, conversion to model
// objects, colours, moving by a matrix (zk5943, zk5947), deleting drawings
// and saving the work part under another name.
#include <cmath>
#include <memory>
#include <string>

#include "api/api_util.hpp"
#include "cgm/reader.hpp"
#include "model/drafting.hpp"
#include "orvel/zk_draw.h"
#include "orvel/zk_obj.h"
#include "orvel/zk_part.h"

using namespace orvel;
using orvel::api::copy_out;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxColor = 255;
constexpr int kNoteSubtype = 1;  // a note: free text

// The view objects created in the work part depend on: the sheet view of
// its first drawing, else that drawing's first view; none (model objects)
// when the part has no drawing.
model::View *work_view_of(const model::Part &part) {
  const model::ObjectList *drawings = part.of_type(ZK_drawing_type);
  const model::Object *first = drawings ? drawings->first() : nullptr;
  if (!first) return nullptr;
  const auto &drawing = static_cast<const model::Drawing &>(*first);
  if (drawing.sheet_view) return drawing.sheet_view;
  return drawing.views.empty() ? nullptr : drawing.views.front();
}

// Creates the objects of one scene item in the work part; lengths are
// millimetres, `per_mm` turns them into part units. A polyline becomes one
// line per segment.
void create_item(model::Part &part, model::View *view, const cgm::Item &item, double per_mm) {
  auto place = [&](std::unique_ptr<model::Object> object) {
    object->layer = part.work_layer;
    object->color = item.colour;
    model::Object *added = session().add_object(part, std::move(object));
    part.set_view(added, view);
  };
  auto at = [&](const cgm::Point2 &p) { return geom::Vec3{p.x * per_mm, p.y * per_mm, 0.0}; };
  switch (item.kind) {
    case cgm::ItemKind::kLine:
    case cgm::ItemKind::kPolyline:
      for (size_t i = 1; i < item.points.size(); ++i) {
        auto line = std::make_unique<model::Line>();
        line->start = at(item.points[i - 1]);
        line->end = at(item.points[i]);
        place(std::move(line));
      }
      break;
    case cgm::ItemKind::kArc:
    case cgm::ItemKind::kCircle: {
      auto arc = std::make_unique<model::Arc>();
      arc->centre = at(item.centre);
      arc->radius = item.radius * per_mm;
      arc->start_angle = item.kind == cgm::ItemKind::kCircle ? 0.0 : item.start_angle;
      arc->end_angle = item.kind == cgm::ItemKind::kCircle ? 360.0 : item.end_angle;
      place(std::move(arc));
      break;
    }
    case cgm::ItemKind::kText: {
      if (item.points.empty()) break;
      auto note = std::make_unique<model::Annotation>(ZK_drafting_entity_type, kNoteSubtype);
      note->origin = at(item.points[0]);
      model::TextBlock block;
      block.size = item.height * per_mm;
      block.angle = item.angle;
      block.lines = {item.text};
      note->texts.push_back(std::move(block));
      place(std::move(note));
      break;
    }
  }
}

// True when the matrix only translates: its 3x3 part is the identity.
bool is_translation(const double m[16]) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (std::fabs(m[r * 4 + c] - (r == c ? 1.0 : 0.0)) > 1e-12) return false;
  return true;
}

// Moves one object by (dx, dy, dz); false for a kind that cannot be moved.
bool translate(model::Object &o, const geom::Vec3 &d) {
  auto shift = [&](geom::Vec3 &p) { p = geom::Vec3{p.x + d.x, p.y + d.y, p.z + d.z}; };
  switch (o.type) {
    case ZK_point_type:
      shift(static_cast<model::Point &>(o).at);
      return true;
    case ZK_line_type:
      shift(static_cast<model::Line &>(o).start);
      shift(static_cast<model::Line &>(o).end);
      return true;
    case ZK_circle_type:
      shift(static_cast<model::Arc &>(o).centre);
      return true;
    case ZK_drafting_entity_type:
    case ZK_dimension_type:
      shift(static_cast<model::Annotation &>(o).origin);
      return true;
    case ZK_occ_instance_type:
      shift(static_cast<model::Instance &>(o).origin);
      return true;
    default:
      return false;
  }
}

int save_as(const char *name) {
  if (!name) return kInvalidArgument;
  if (!session().work_part()) return kNoWorkPart;
  ORVEL_INJECT(NULL_TAG);
  return session().save_work_part_as(name);
}

}  // namespace

extern "C" {

int ZK_LAYER_set_status(int layer, int status) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (layer < 1 || layer > ZK_LAYER_MAX || status < 0 || status > 3) return kInvalidArgument;
    model::Part *work = session().work_part();
    if (!work) return kNoWorkPart;
    ORVEL_INJECT(NULL_TAG);
    if (status == ZK_LAYER_WORK) {
      work->work_layer = layer;
    } else if (layer == work->work_layer) {
      return kInvalidArgument;  // there is always a work layer: make another one first
    }
    return kOk;
  });
}

int ZK_VIEW_ask_work_view(tag_t *view) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!view) return kInvalidArgument;
    *view = NULL_TAG;
    model::Part *work = session().work_part();
    if (!work) return kNoWorkPart;
    ORVEL_INJECT(NULL_TAG);
    if (model::View *v = work_view_of(*work)) *view = v->tag;
    return kOk;
  });
}

int ZK_VIEW_convert_to_model(tag_t view, tag_t object) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    model::Object *o = session().find(object);
    if (!o || o->occurrence) return kInvalidTag;
    if (view != NULL_TAG && !session().find_as<model::View>(view, ZK_view_type)) return kInvalidTag;
    ORVEL_INJECT(object);
    if (!o->view) return kOk;  // already a model object
    if (o->view->tag != view) return kNotOfView;
    o->part->set_view(o, nullptr);
    return kOk;
  });
}

int ZK_OBJ_set_color(tag_t object, int color) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    model::Object *o = session().find(object);
    if (!o || o->occurrence) return kInvalidTag;
    if (color < 0 || color > kMaxColor) return kInvalidArgument;
    ORVEL_INJECT(object);
    o->color = color;
    return kOk;
  });
}

int zc6411(const char *file, char message[ZK_CGM_MESSAGE_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (message) message[0] = '\0';
    if (!file || !message) return kInvalidArgument;
    model::Part *work = session().work_part();
    auto fail = [&](int code, const std::string &text) {
      copy_out(message, ZK_CGM_MESSAGE_BUFSIZE, text);
      session().set_failure_detail(code, std::string(code_message(code)) + ": " + text);
      // Kept for the embedding program, which reports it: a run whose
      // import failed built nothing and must not end as a success.
      session().note_failed_cgm("CGM file not imported: " + text);
      return code;
    };
    if (!work)
      return fail(kNoWorkPart, std::string(file) + ": there is no work part to import into");
    if (int code = session().injected_failure(api::current_call, NULL_TAG))
      return fail(code, std::string(file) + ": import refused");
    cgm::ReadResult read = cgm::read_cgm_file(file);
    if (!read.ok) return fail(kCgmReadFailed, read.error);
    const double per_mm = work->units == ZK_PART_ENGLISH ? 1.0 / 25.4 : 1.0;
    model::View *view = work_view_of(*work);
    for (const cgm::Item &item : read.scene.items) create_item(*work, view, item, per_mm);
    return kOk;
  });
}

// Nothing to answer: a stray exception leaves the matrix as it was.
void zk5943(const double vector[3], double matrix[16]) {
  api::guard(__func__, kHostFault, [&]() -> int {
    if (!vector || !matrix) return kOk;
    for (int i = 0; i < 16; ++i) matrix[i] = (i % 5 == 0) ? 1.0 : 0.0;
    matrix[3] = vector[0];
    matrix[7] = vector[1];
    matrix[11] = vector[2];
    return kOk;
  });
}

void zk5947(const double matrix[16], const tag_t *objects, const int *count, const int *mode,
            const int *layer_option, const int *trace_option, tag_t *copies, tag_t *trace_group,
            int *status) {
  int code = api::guard(__func__, kHostFault, [&]() -> int {
    if (!status) return kOk;
    if (copies) *copies = NULL_TAG;
    if (trace_group) *trace_group = NULL_TAG;
    if (!matrix || !objects || !count || !mode || !layer_option || !trace_option || *count < 0 ||
        *mode != ZK_TRANSFORM_MOVE || *layer_option != 0 || !is_translation(matrix)) {
      *status = kInvalidArgument;
      return kOk;
    }
    std::vector<model::Object *> moving;
    for (int i = 0; i < *count; ++i) {
      model::Object *o = session().find(objects[i]);
      if (!o || o->occurrence) {
        *status = kInvalidTag;
        return kOk;
      }
      moving.push_back(o);
    }
    for (model::Object *o : moving) {
      if (int code = session().injected_failure(api::current_call, o->tag)) {
        *status = code;
        return kOk;
      }
    }
    const geom::Vec3 d{matrix[3], matrix[7], matrix[11]};
    for (model::Object *o : moving) {
      if (!translate(*o, d)) {
        *status = kWrongType;
        return kOk;
      }
    }
    *status = kOk;
    return kOk;
  });
  if (code != kOk && status) *status = code;
}

int ZK_DRAW_delete_drawing(tag_t drawing) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    auto *d = session().find_as<model::Drawing>(drawing, ZK_drawing_type);
    if (!d) return session().find(drawing) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(drawing);
    // The drawing goes with its views and every object that depends on them.
    std::vector<model::Object *> gone{d};
    std::vector<model::View *> views = d->views;
    if (d->sheet_view) views.push_back(d->sheet_view);
    for (model::View *v : views) {
      for (model::Object *o = v->dependents.first(); o; o = v->dependents.next(o))
        gone.push_back(o);
      gone.push_back(v);
    }
    session().delete_objects(*d->part, gone);
    return kOk;
  });
}

int ZK_PART_save_as(const char *name) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    // The part saved under the new name may be the whole product of the
    // run (the CGM import saves nothing else).
    return api::kept_if_unsaved(name && *name ? name : "(no name)", [&] { return save_as(name); });
  });
}

}  // extern "C"
