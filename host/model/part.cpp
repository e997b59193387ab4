// Part: object ownership, ordered lists and the occurrence tree.
#include "model/part.hpp"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "model/drafting.hpp"

namespace orvel::model {

Part::Part() : Object(ZK_part_type, 0) {
  for (ObjectList &list : layers_) list = ObjectList(kLayerList);
}

Part::~Part() = default;

void Part::adopt(std::unique_ptr<Object> object) {
  // Owned by the list once it holds the object, not before.
  owned_.emplace_back(object.get(), ObjectDisposal{false});
  link(object.release());
}

void Part::link(Object *raw) {
  raw->part = this;
  all_.append(raw);
  type_list(raw->type).append(raw);
  if (raw->layer >= 0 && raw->layer <= ZK_LAYER_MAX) layers_[raw->layer].append(raw);
  if (raw->type == ZK_solid_type && raw->subtype == ZK_solid_body_subtype && !raw->occurrence) {
    own_bodies_.push_back(static_cast<Body *>(raw));
  }
  if (!raw->id.empty()) {
    if (raw->layer != kNoLayer) ++objects_on_layers_;
    file_objects_.push_back(raw);
    by_id_.emplace(raw->id, raw);
  }
}

Object *Part::find_by_id(const std::string &id) const {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second;
}

ObjectList &Part::type_list(int type) {
  for (size_t i = 0; i < type_keys_.size(); ++i) {
    if (type_keys_[i] == type) return *type_lists_[i];
  }
  type_keys_.push_back(type);
  return *type_lists_.emplace_back(std::make_unique<ObjectList>(kTypeList));
}

void Part::set_layer(Object *object, int layer) {
  if (!object->id.empty()) objects_on_layers_ += (layer != kNoLayer) - (object->layer != kNoLayer);
  if (object->layer >= 0 && object->layer <= ZK_LAYER_MAX) layers_[object->layer].remove(object);
  object->layer = layer;
  if (layer >= 0 && layer <= ZK_LAYER_MAX) layers_[layer].append(object);
}

void Part::set_view(Object *object, Object *view) {
  if (object->view) static_cast<View *>(object->view)->dependents.remove(object);
  object->view = view;
  if (view) static_cast<View *>(view)->dependents.append(object);
}

std::string Part::unused_id(const std::string &stem) {
  std::string id;
  do {
    id = stem + std::to_string(++next_id_);
  } while (by_id_.count(id) != 0);
  return id;
}

void Part::remove(const std::vector<Object *> &objects) {
  std::unordered_set<const Object *> gone(objects.begin(), objects.end());
  for (Object *o : objects) {
    if (o->status == ZK_OBJ_DELETED) continue;
    set_view(o, nullptr);
    all_.remove(o);
    type_list(o->type).remove(o);
    if (o->layer >= 0 && o->layer <= ZK_LAYER_MAX) layers_[o->layer].remove(o);
    if (!o->id.empty()) {
      if (o->layer != kNoLayer) --objects_on_layers_;
      by_id_.erase(o->id);
    }
    o->status = ZK_OBJ_DELETED;
  }
  auto drop = [&](std::vector<Object *> &list) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Object *o) { return gone.count(o) != 0; }),
               list.end());
  };
  drop(file_objects_);
  for (Object *o : file_objects_) {
    if (o->type == ZK_reference_set_type) drop(static_cast<ReferenceSet *>(o)->members);
    if (o->type == ZK_drafting_entity_type || o->type == ZK_dimension_type)
      drop(static_cast<Annotation *>(o)->associated);
    if (o->type == ZK_view_type) drop(static_cast<View *>(o)->notes);
  }
  names_indexed_ = false;
  drawing_names_.clear();
  view_names_.clear();
}

ComponentOcc *Part::occurrence_of(const Instance *instance) const {
  auto it = level_one_.find(instance);
  return it == level_one_.end() ? nullptr : it->second;
}

bool Part::has_components() const {
  const ObjectList *components = of_type(ZK_component_type);
  return components && !components->empty();
}

namespace {

// The objects a component shows of its part: all of them, or the members of
// the named reference set.
MemberFilter shown_members(const Instance &instance) {
  if (instance.shows_entire_part() || !instance.child) return std::nullopt;
  std::unordered_set<const Object *> members;
  const ObjectList *sets = instance.child->of_type(ZK_reference_set_type);
  for (Object *o = sets ? sets->first() : nullptr; o; o = sets->next(o)) {
    auto *set = static_cast<ReferenceSet *>(o);
    if (set->name && *set->name == instance.refset_name) {
      members.insert(set->members.begin(), set->members.end());
      break;
    }
  }
  return members;
}

bool shows(const MemberFilter &filter, const Object *object) {
  return !filter || filter->count(object) != 0;
}

void copy_display(const Object &from, Object &to) {
  to.name = from.name;
  to.layer = from.layer;
  to.color = from.color;
  to.font = from.font;
  to.line_width = from.line_width;
  to.blank_status = from.blank_status;
  to.attributes = from.attributes;
}

}  // namespace

bool Part::build_occurrences() {
  bool built = start_occurrences();
  while (add_next_occurrence()) built = true;
  return built;
}

bool Part::build_occurrences_past(int type, const Object *after) {
  // Once the tree is whole, as it is for most steps of a cycle.
  if (occurrences_started_ && pending_.empty()) return false;
  bool built = start_occurrences();
  auto reached = [&] {
    const ObjectList *list = of_type(type);
    return list && (after ? list->next(after) != nullptr : !list->empty());
  };
  while (!reached() && add_next_occurrence()) built = true;
  return built;
}

// Makes the root occurrence, once; false when there is nothing to build.
bool Part::start_occurrences() {
  if (occurrences_started_) return false;
  occurrences_started_ = true;
  const ObjectList *instances = of_type(ZK_occ_instance_type);
  if (!instances || instances->empty()) return false;
  auto root = std::make_unique<ComponentOcc>();
  root->shown = this;
  root->handle = "#";
  // The root stands for the assembly itself and is on no list.
  root->part = this;
  owned_.emplace_back(root.get(), ObjectDisposal{false});
  root_ = root.release();
  pending_.push_back({root_, instances, instances->first(), std::nullopt, {}});
  return true;
}

// Adds the next component occurrence of the depth-first build with the
// bodies it shows: each component's bodies come before its own components.
// False when the tree is whole.
bool Part::add_next_occurrence() {
  while (!pending_.empty()) {
    PendingLevel &level = pending_.back();
    Object *o = level.next;
    while (o && !shows(level.filter, o)) o = level.instances->next(o);
    if (!o) {
      link_matings(level);
      pending_.pop_back();
      continue;
    }
    level.next = level.instances->next(o);
    auto *instance = static_cast<Instance *>(o);
    ComponentOcc *parent = level.parent;
    ComponentOcc *raw = make_in_arena<ComponentOcc>();
    copy_display(*instance, *raw);
    raw->instance = instance;
    raw->prototype = instance;
    raw->parent = parent;
    raw->shown = instance->child;
    if (raw->shown) raw->name_hint = raw->shown->full_name.data();
    raw->to_owner = geom::compose(parent->to_owner, instance->placement());
    raw->suppressed = parent->suppressed || instance->suppressed;
    link(raw);
    parent->children.push_back(raw);
    level.by_instance[instance] = raw;
    if (parent == root_) level_one_.emplace(instance, raw);
    if (raw->suppressed || !raw->shown) return true;

    MemberFilter members = shown_members(*instance);
    add_bodies(*raw, members);
    const ObjectList *below = raw->shown->of_type(ZK_occ_instance_type);
    if (below && !below->empty()) {
      pending_.push_back({raw, below, below->first(), std::move(members), {}});
    }
    return true;
  }
  return false;
}

// A mating condition names another component of the same part, so its
// occurrence is a sibling; it may come later in the part, hence linked once
// all the siblings are there. A partner the reference set leaves out stays
// unlinked.
void Part::link_matings(const PendingLevel &level) {
  for (ComponentOcc *child : level.parent->children) {
    const std::optional<Mating> &mating = child->instance->mating;
    if (!mating || !mating->mated) continue;
    auto partner = level.by_instance.find(mating->mated);
    if (partner != level.by_instance.end()) child->mated = partner->second;
  }
}

// One occurrence body for each body of the component's part that it shows.
void Part::add_bodies(const ComponentOcc &occ, const MemberFilter &filter) {
  for (Body *prototype : occ.shown->own_bodies()) {
    if (!shows(filter, prototype)) continue;
    Body *body = make_in_arena<Body>();
    copy_display(*prototype, *body);
    body->occurrence = true;
    body->prototype = prototype;
    body->body_type = prototype->body_type;
    body->material = prototype->material;
    body->placement = geom::compose(occ.to_owner, prototype->placement);
    body->component = &occ;
    link(body);
  }
}

}  // namespace orvel::model
