// Drawing state: out-of-date rules, view updates and snapshots.
#include "model/drafting.hpp"

#include <algorithm>

namespace orvel::model {

bool is_out_of_date(const Drawing &drawing) {
  return drawing.out_of_date || std::any_of(drawing.views.begin(), drawing.views.end(),
                                            [](const View *v) { return v->out_of_date; });
}

int update_view(Drawing &drawing, View &view) {
  if (view.update_failure != 0) return view.update_failure;
  view.out_of_date = false;
  bool views_current = std::none_of(drawing.views.begin(), drawing.views.end(),
                                    [](const View *v) { return v->out_of_date; });
  if (views_current && drawing.updatable) drawing.out_of_date = false;
  return 0;
}

namespace {

ViewSnapshot view_snapshot(const View &view) {
  ViewSnapshot s;
  s.name = view.name.value_or("");
  s.out_of_date = view.out_of_date;
  std::copy(view.reference_point, view.reference_point + 2, s.reference_point);
  s.scale = view.scale;
  s.angle = view.angle;
  std::copy(view.borders, view.borders + 4, s.borders);
  s.notes = static_cast<int>(view.notes.size());
  s.dependents = static_cast<int>(view.dependents.size());
  return s;
}

}  // namespace

Snapshot take_snapshot(const Part &part) {
  Snapshot snapshot;
  snapshot.sequence = part.snapshot ? part.snapshot->sequence + 1 : 1;
  const ObjectList *drawings = part.of_type(ZK_drawing_type);
  for (const Object *o = drawings ? drawings->first() : nullptr; o; o = drawings->next(o)) {
    const auto &drawing = static_cast<const Drawing &>(*o);
    DrawingSnapshot d;
    d.name = drawing.name.value_or("");
    d.out_of_date = is_out_of_date(drawing);
    d.sheet_dependents =
        drawing.sheet_view ? static_cast<int>(drawing.sheet_view->dependents.size()) : 0;
    for (const View *view : drawing.views) d.views.push_back(view_snapshot(*view));
    snapshot.drawings.push_back(std::move(d));
  }
  return snapshot;
}

}  // namespace orvel::model

namespace orvel::model {

namespace {

void index_name(std::unordered_map<std::string, Object *> &index, const Object &o, size_t cut) {
  if (!o.name || o.name->empty()) return;
  index.emplace(*o.name, const_cast<Object *>(&o));
  if (o.name->size() > cut) index.emplace(o.name->substr(0, cut), const_cast<Object *>(&o));
}

}  // namespace

// Views are indexed drawing by drawing: member views in order, then the
// sheet view; full names win over cut ones because emplace keeps the first.
void Part::index_names(size_t cut) const {
  const ObjectList *drawings = of_type(ZK_drawing_type);
  for (int pass = 0; pass < 2; ++pass) {
    size_t limit = pass == 0 ? std::string::npos : cut;
    for (const Object *o = drawings ? drawings->first() : nullptr; o; o = drawings->next(o)) {
      const auto &d = static_cast<const Drawing &>(*o);
      index_name(drawing_names_, d, limit);
      for (const View *v : d.views) index_name(view_names_, *v, limit);
      if (d.sheet_view) index_name(view_names_, *d.sheet_view, limit);
    }
  }
  names_indexed_ = true;
}

Object *Part::drawing_named(const std::string &name, size_t cut) const {
  if (!names_indexed_) index_names(cut);
  auto it = drawing_names_.find(name);
  return it == drawing_names_.end() ? nullptr : it->second;
}

Object *Part::view_named(const std::string &name, size_t cut) const {
  if (!names_indexed_) index_names(cut);
  auto it = view_names_.find(name);
  return it == view_names_.end() ? nullptr : it->second;
}

}  // namespace orvel::model
