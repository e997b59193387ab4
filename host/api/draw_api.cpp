// C API: drawings and views (DRAW, VIEW), points (CURVE) and the numbered
// drawing routines zc6409 and zc6499.
#include <algorithm>

#include "api/api_util.hpp"
#include "model/drafting.hpp"
#include "orvel/zk_draw.h"

using namespace orvel;
using orvel::api::copy_out;
using orvel::api::host_tags;

namespace {

constexpr size_t kCycleName = ZK_VIEW_CYCLE_NAME_BUFSIZE - 1;

model::Drawing *drawing_of(tag_t tag) {
  return session().find_as<model::Drawing>(tag, ZK_drawing_type);
}

model::View *view_of(tag_t tag) {
  return session().find_as<model::View>(tag, ZK_view_type);
}

// The code for a tag that names no object of the wanted type.
int bad_tag(tag_t tag) {
  return session().find(tag) ? kWrongType : kInvalidTag;
}

std::vector<tag_t> tags_of(const std::vector<model::Object *> &objects) {
  std::vector<tag_t> tags;
  tags.reserve(objects.size());
  for (const model::Object *o : objects) tags.push_back(o->tag);
  return tags;
}

std::string cycle_name(const model::View &view) {
  return view.name.value_or("").substr(0, kCycleName);
}

}  // namespace

extern "C" {

int ZK_DRAW_ask_view_of_drawing(tag_t drawing, tag_t *view) {
  if (!view) return kInvalidArgument;
  *view = NULL_TAG;
  model::Drawing *d = drawing_of(drawing);
  if (!d) return bad_tag(drawing);
  ORVEL_INJECT(drawing);
  if (d->sheet_view) *view = d->sheet_view->tag;
  return kOk;
}

int ZK_DRAW_ask_views(tag_t drawing, int *count, tag_t **views) {
  if (!count || !views) return kInvalidArgument;
  *count = 0;
  *views = nullptr;
  model::Drawing *d = drawing_of(drawing);
  if (!d) return bad_tag(drawing);
  ORVEL_INJECT(drawing);
  *views = host_tags(tags_of({d->views.begin(), d->views.end()}));
  if (!d->views.empty() && !*views) return kInvalidArgument;
  *count = static_cast<int>(d->views.size());
  return kOk;
}

int ZK_DRAW_is_object_out_of_date(tag_t object, logical *out_of_date) {
  if (!out_of_date) return kInvalidArgument;
  *out_of_date = 0;
  if (model::View *v = view_of(object)) {
    ORVEL_INJECT(object);
    *out_of_date = v->out_of_date ? 1 : 0;
    return kOk;
  }
  model::Drawing *d = drawing_of(object);
  if (!d) return bad_tag(object);
  ORVEL_INJECT(object);
  *out_of_date = model::is_out_of_date(*d) ? 1 : 0;
  return kOk;
}

int ZK_DRAW_ask_drawing_ref_pt(tag_t view, double reference_point[2]) {
  if (!reference_point) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  std::copy(v->reference_point, v->reference_point + 2, reference_point);
  return kOk;
}

int ZK_DRAW_ask_view_anchor(tag_t view, tag_t *anchor) {
  if (!anchor) return kInvalidArgument;
  *anchor = NULL_TAG;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  if (v->anchor) *anchor = v->anchor->tag;
  return kOk;
}

int ZK_DRAW_ask_view_parm_scale(tag_t view, int *scale_kind, double *scale) {
  if (!scale_kind || !scale) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  *scale_kind = 1;
  *scale = v->scale;
  return kOk;
}

int ZK_DRAW_ask_view_angle(tag_t view, double *angle) {
  if (!angle) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  *angle = v->angle;
  return kOk;
}

int ZK_DRAW_ask_view_borders(tag_t view, double borders[4]) {
  if (!borders) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  std::copy(v->borders, v->borders + 4, borders);
  return kOk;
}

int ZK_DRAW_ask_view_notes(tag_t view, int *count, tag_t **notes) {
  if (!count || !notes) return kInvalidArgument;
  *count = 0;
  *notes = nullptr;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  *notes = host_tags(tags_of(v->notes));
  if (!v->notes.empty() && !*notes) return kInvalidArgument;
  *count = static_cast<int>(v->notes.size());
  return kOk;
}

int ZK_DRAW_update_one_view(tag_t drawing, tag_t view) {
  model::Drawing *d = drawing_of(drawing);
  if (!d) return bad_tag(drawing);
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  if (std::find(d->views.begin(), d->views.end(), v) == d->views.end()) return kViewNotInDrawing;
  ORVEL_INJECT(view);
  return model::update_view(*d, *v);
}

int ZK_VIEW_ask_type(tag_t view, int *type, int *subtype) {
  if (!type || !subtype) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v) return bad_tag(view);
  ORVEL_INJECT(view);
  *type = v->view_type;
  *subtype = v->view_subtype;
  return kOk;
}

int ZK_VIEW_cycle_objects(tag_t view, int mode, tag_t *object) {
  if (!object) return kInvalidArgument;
  model::View *v = view_of(view);
  if (!v || mode != ZK_VIEW_DEPENDENT_CYCLE) {
    *object = NULL_TAG;
    return !v ? bad_tag(view) : kInvalidArgument;
  }
  ORVEL_INJECT(view);
  if (*object == NULL_TAG) {
    model::Object *first = v->dependents.first();
    *object = first ? first->tag : NULL_TAG;
    return kOk;
  }
  model::Object *current = session().find(*object);
  if (!current || current->view != v) {
    *object = NULL_TAG;
    return kInvalidTag;
  }
  model::Object *next = v->dependents.next(current);
  *object = next ? next->tag : NULL_TAG;
  return kOk;
}

int ZK_VIEW_ask_tag_of_view_name(const char *name, tag_t *view) {
  if (!name || !view) return kInvalidArgument;
  *view = NULL_TAG;
  model::Part *work = session().work_part();
  if (!work) return kNoWorkPart;
  ORVEL_INJECT(NULL_TAG);
  model::Object *found = work->view_named(name, kCycleName);
  if (!found) return kNotFound;
  *view = found->tag;
  return kOk;
}

int zc6499(const char *drawing_name, char view_name[ZK_VIEW_CYCLE_NAME_BUFSIZE]) {
  if (!drawing_name || !view_name) return kInvalidArgument;
  std::string current(view_name, strnlen(view_name, kCycleName));
  view_name[0] = '\0';
  model::Part *work = session().work_part();
  if (!work) return kNoWorkPart;
  auto *d = static_cast<model::Drawing *>(work->drawing_named(drawing_name, kCycleName));
  if (!d) return kNotFound;
  ORVEL_INJECT(d->tag);
  const std::vector<model::View *> &views = d->views;
  size_t start = 0;
  if (!current.empty()) {
    auto at = std::find_if(views.begin(), views.end(),
                           [&](const model::View *v) { return cycle_name(*v) == current; });
    if (at == views.end()) return kNotFound;
    start = static_cast<size_t>(at - views.begin()) + 1;
  }
  for (size_t i = start; i < views.size(); ++i) {
    std::string name = cycle_name(*views[i]);
    bool handed_out = std::any_of(views.begin(), views.begin() + static_cast<long>(i),
                                  [&](const model::View *v) { return cycle_name(*v) == name; });
    if (name.empty() || handed_out) continue;
    copy_out(view_name, ZK_VIEW_CYCLE_NAME_BUFSIZE, name);
    return kOk;
  }
  return kOk;
}

int zc6409(tag_t object, int *view_dependent, char text[ZK_VIEW_DEPENDENCY_BUFSIZE]) {
  if (!view_dependent || !text) return kInvalidArgument;
  *view_dependent = 0;
  text[0] = '\0';
  model::Object *o = session().find(object);
  if (!o) return kInvalidTag;
  ORVEL_INJECT(object);
  const model::Object *view = o->origin()->view;
  if (!view) {
    copy_out(text, ZK_VIEW_DEPENDENCY_BUFSIZE, "model");
    return kOk;
  }
  *view_dependent = 1;
  copy_out(text, ZK_VIEW_DEPENDENCY_BUFSIZE, view->name.value_or(view->handle));
  return kOk;
}

int ZK_CURVE_ask_point_data(tag_t point, double coordinates[3]) {
  if (!coordinates) return kInvalidArgument;
  auto *p = session().find_as<model::Point>(point, ZK_point_type);
  if (!p) return bad_tag(point);
  ORVEL_INJECT(point);
  coordinates[0] = p->at.x;
  coordinates[1] = p->at.y;
  coordinates[2] = p->at.z;
  return kOk;
}

}  // extern "C"
