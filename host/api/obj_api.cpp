// C API: objects (OBJ), handles (TAG) and layers (LAYER).
#include "api/api_util.hpp"
#include "orvel/zk_obj.h"

using namespace orvel;
using orvel::api::copy_out;

namespace {

// The object after `current` on the `kind` list that `list()` gives, or the
// first one when `current` is 0; false when `current` is not on the list.
// `member` tells whether an object belongs with the list (its part, type or
// layer); one that does and has an object before it on its `kind` links is
// on the list, so most steps go from object to object through the objects'
// own links, and `list` is asked only for the first object or one that may
// be the list's head. Between two steps a large check writes report lines,
// which evict what a step reads: every line not read is a wait saved.
// Templates rather than std::functions: every step of every cycle runs them.
// The object stepped to, if any, is also left in *stepped.
template <model::ListKind kind, typename List, typename Member>
bool step(const Session &s, const List &list, tag_t current, tag_t *next, const Member &member,
          model::Object **stepped = nullptr) {
  if (current == NULL_TAG) {
    const model::ObjectList *whole = list();
    model::Object *first = whole ? whole->first() : nullptr;
    *next = first ? first->tag : NULL_TAG;
    if (stepped) *stepped = first;
    return true;
  }
  model::Object *object = s.find(current);
  if (!object || !member(*object)) return false;
  if (!object->hooks[kind].prev) {
    const model::ObjectList *whole = list();
    if (!whole || whole->first() != object) return false;
  }
  model::Object *after = object->hooks[kind].next;
  *next = after ? after->tag : NULL_TAG;
  if (stepped) *stepped = after;
  // A cycle asks for the object after `after` next. Its address is at hand
  // (in the cache line just read for the tag), so its first two cache lines
  // (what a step and the common questions about an object read) start
  // coming from memory while the caller works on `after`: over a large part,
  // that wait is most of a step.
  if (after) model::prefetch_head(after->hooks[kind].next);
  return true;
}

// A check asks about a dozen questions of each component it cycles to, most
// of them about data outside the occurrence's first cache lines: the rest of
// the occurrence, its instance, its shown part (name, tag, lists) and its
// attributes, and what those point to in turn. Each of them waited for in
// turn is a wait on memory per question. A cycle over the components asks
// for them ahead, in three stages a component apart, each reading only what
// the stage before brought: the whole of the component after next; the
// objects the next component points to; what the objects of the component
// just handed out point to. By the time the check asks, they are at hand.
// Always inlined: a function that only prefetches counts as having no
// effect, and a call of it would be left out.
inline __attribute__((always_inline)) void prefetch_whole_component(const model::Object *occ) {
  model::prefetch_span(occ, reinterpret_cast<const char *>(occ) + sizeof(model::ComponentOcc) - 1);
}

// The lines of an object that the questions about it read: its first line
// (tag, type, part), the one its handle text lies in, and its own fields
// from `first` to `last`.
inline __attribute__((always_inline)) void prefetch_read_lines(const model::Object *object,
                                                               const void *first,
                                                               const void *last) {
  __builtin_prefetch(object);
  __builtin_prefetch(&object->handle_text);
  model::prefetch_span(first, last);
}

inline __attribute__((always_inline)) void prefetch_component_links(
    const model::ComponentOcc &occ) {
  if (const model::Instance *instance = occ.instance) {
    prefetch_read_lines(instance, &instance->file, &instance->suppression);
  }
  if (const model::Part *shown = occ.shown) {
    prefetch_read_lines(shown, &shown->failures, &shown->full_name);
  }
  __builtin_prefetch(occ.name_hint);
  if (!occ.attributes.empty()) {
    model::prefetch_span(
        occ.attributes.data(),
        reinterpret_cast<const char *>(occ.attributes.data() + occ.attributes.size()) - 1);
  }
}

inline __attribute__((always_inline)) void prefetch_component_answers(
    const model::ComponentOcc &occ) {
  if (const model::Object *next = occ.hooks[model::kTypeList].next) {
    if (const model::Object *after_next = next->hooks[model::kTypeList].next) {
      prefetch_whole_component(after_next);
    }
    prefetch_component_links(static_cast<const model::ComponentOcc &>(*next));
  }
  if (occ.shown) {
    occ.shown->prefetch_type_keys();
    __builtin_prefetch(occ.shown->full_name.data());
  }
  for (const model::Attribute &attribute : occ.attributes)
    __builtin_prefetch(attribute.title.data());
}

}  // namespace

extern "C" {

int ZK_OBJ_cycle_objs_in_part(tag_t part, int type, tag_t *object) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!object) return kInvalidArgument;
    Session &s = session();
    model::Part *p = s.find_part(part);
    if (!p) {
      *object = NULL_TAG;
      return kInvalidTag;
    }
    ORVEL_INJECT(part);
    // Components and bodies include the part's occurrences, built as far as
    // the cycle steps.
    if ((type == ZK_component_type || type == ZK_solid_type) && !p->occurrences_built()) {
      model::Object *current = *object == NULL_TAG ? nullptr : s.find(*object);
      if (*object == NULL_TAG || (current && current->part == p && current->type == type)) {
        s.build_occurrences_past(*p, type, current);
      }
    }
    auto list = [&] { return p->of_type(type); };
    auto member = [&](const model::Object &o) { return o.part == p && o.type == type; };
    model::Object *stepped = nullptr;
    if (!step<model::kTypeList>(s, list, *object, object, member, &stepped)) {
      *object = NULL_TAG;
      return kInvalidTag;
    }
    if (type == ZK_component_type && stepped) {
      prefetch_component_answers(static_cast<const model::ComponentOcc &>(*stepped));
    }
    return kOk;
  });
}

tag_t ZK_OBJ_cycle_all(tag_t part, tag_t object) {
  return api::guard_value(__func__, NULL_TAG, [&]() -> tag_t {
    Session &s = session();
    model::Part *p = s.find_part(part);
    if (!p) return NULL_TAG;
    s.build_occurrences(*p);
    auto list = [&] { return &p->all(); };
    auto member = [&](const model::Object &o) { return o.part == p; };
    tag_t next = NULL_TAG;
    return step<model::kAllList>(s, list, object, &next, member) ? next : NULL_TAG;
  });
}

int ZK_OBJ_ask_type_and_subtype(tag_t object, int *type, int *subtype) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!type || !subtype) return kInvalidArgument;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    *type = o->type;
    *subtype = o->subtype;
    return kOk;
  });
}

int ZK_OBJ_ask_status(tag_t object) {
  return api::guard_value(__func__, ZK_OBJ_DELETED, [&]() -> int {
    model::Object *o = session().find(object);
    return o ? o->status : ZK_OBJ_DELETED;
  });
}

int ZK_OBJ_ask_name(tag_t object, char name[ZK_OBJ_NAME_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!name) return kInvalidArgument;
    name[0] = '\0';
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    if (!o->name) return kNoName;
    copy_out(name, ZK_OBJ_NAME_BUFSIZE, *o->name);
    return kOk;
  });
}

int ZK_OBJ_ask_display_properties(tag_t object, ZK_OBJ_disp_props_t *props) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!props) return kInvalidArgument;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    props->layer = o->layer;
    props->color = o->color;
    props->blank_status = o->blank_status;
    props->line_width = o->line_width;
    props->font = o->font;
    props->highlight_status = o->highlight_status;
    return kOk;
  });
}

const char *ZK_TAG_ask_handle_of_tag(tag_t object) {
  return api::guard_value(__func__, static_cast<const char *>(""), [&]() -> const char * {
    model::Object *o = session().find(object);
    return o ? session().handle_text(*o) : "";
  });
}

int ZK_LAYER_cycle_by_layer(int layer, tag_t *object) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!object) return kInvalidArgument;
    if (layer < 0 || layer > ZK_LAYER_MAX) {
      *object = NULL_TAG;
      return kInvalidArgument;
    }
    Session &s = session();
    model::Part *work = s.work_part();
    if (!work) {
      *object = NULL_TAG;
      return kNoWorkPart;
    }
    ORVEL_INJECT(NULL_TAG);
    auto list = [&] { return &work->on_layer(layer); };
    auto member = [&](const model::Object &o) { return o.part == work && o.layer == layer; };
    if (!step<model::kLayerList>(s, list, *object, object, member)) {
      *object = NULL_TAG;
      return kInvalidTag;
    }
    return kOk;
  });
}

}  // extern "C"

extern "C" {

int ZK_OBJ_is_displayable(tag_t object, logical *displayable) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!displayable) return kInvalidArgument;
    *displayable = 0;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    *displayable = o->origin()->displayable ? 1 : 0;
    return kOk;
  });
}

int ZK_OBJ_is_transferable(tag_t object, logical *transferable) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!transferable) return kInvalidArgument;
    *transferable = 0;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    *transferable = o->origin()->transferable ? 1 : 0;
    return kOk;
  });
}

}  // extern "C"
