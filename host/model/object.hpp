// The objects of the in-memory model. Every object belongs to one part and
// carries the properties common to all host objects (tag, type, status,
// name, display properties, attributes, persistent handle); the kinds below
// add their own data. Occurrences (the appearance of a component's objects
// in an assembly) are objects of the assembly that point at their prototype.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/geometry.hpp"
#include "orvel/zk_types.h"

namespace orvel::model {

class Part;
struct Object;
struct ComponentOcc;

// Value of an attribute: one of the four attribute types.
struct AttributeValue {
  int type = ZK_ATTR_string;
  int integer = 0;
  double real = 0.0;
  std::array<int, 2> time{0, 0};  // day number and minutes
  std::string text;
  bool operator==(const AttributeValue &other) const;
};

struct Attribute {
  std::string title;
  AttributeValue value;
};

// Links of one object in one ordered list (see ObjectList).
struct ListHook {
  Object *prev = nullptr;
  Object *next = nullptr;
};

// The lists an object can be on: the objects of its type, the objects of
// its layer, all objects of its part, the objects that depend on its view.
// The two lists cycled most come first, so that their links sit next to the
// fields a cycle step reads (see Object).
enum ListKind { kTypeList = 0, kLayerList = 1, kAllList = 2, kViewList = 3, kListKinds = 4 };

// An object not on any layer (expressions, features, reference sets ...).
constexpr int kNoLayer = -1;

struct Object {
  Object(int type, int subtype) : type(type), subtype(subtype) {}
  virtual ~Object() = default;
  Object(const Object &) = delete;
  Object &operator=(const Object &) = delete;

  // What a step through a part's lists and the questions asked of every
  // object read come first, within the object's first 64 bytes: the tag,
  // type, layer and owning part that tell whether the object is on a list,
  // the subtype, whether it is an occurrence, and the links of the type and
  // layer lists. Cycling the objects of a large part then touches about one
  // cache line per object instead of four.
  tag_t tag = NULL_TAG;
  int type;
  int subtype;
  std::int16_t layer = kNoLayer;  // kNoLayer or 0 to ZK_LAYER_MAX
  bool occurrence = false;
  Part *part = nullptr;  // owning part
  std::array<ListHook, kListKinds> hooks;
  bool displayable = true;
  bool transferable = true;
  int status = ZK_OBJ_ALIVE;
  Object *prototype = nullptr;  // for occurrences: the object shown
  std::optional<std::string> name;
  int color = 0;
  int font = 1;
  int line_width = 0;
  int blank_status = 0;
  int highlight_status = 0;
  std::vector<Attribute> attributes;
  std::string handle;  // persistent handle text
  // The object's whole handle (handle_of) as handed out, kept once it has
  // been asked for (no data before): the handle never changes while the
  // object lives. It is `handle` itself, or for an occurrence the path-made
  // text kept in its part's handle texts, NUL-terminated either way.
  mutable std::string_view handle_text;
  bool handle_given = false;  // the part file named the handle
  std::string id;             // id in the part file; empty for derived objects
  Object *view = nullptr;     // the view the object depends on, none for model objects

  // The object that an object of the part file stands for: the object
  // itself, or for an occurrence the object it was derived from.
  const Object *origin() const;
};

// Starts loading the first two cache lines of `object` (none: nothing), which
// hold what a list step and the common questions about an object read: a
// walk over a large part's objects can fetch the next ones while it works on
// this one.
inline __attribute__((always_inline)) void prefetch_head(const Object *object) {
  if (!object) return;
  const char *at = reinterpret_cast<const char *>(object);
  __builtin_prefetch(at);
  __builtin_prefetch(at + 64);
}

// Starts loading every cache line from `first` to `last` (inclusive).
// Both always inlined: a call of a function that only prefetches counts as
// having no effect, and the compiler may leave it out.
inline __attribute__((always_inline)) void prefetch_span(const void *first, const void *last) {
  const char *from = static_cast<const char *>(first);
  const char *to = static_cast<const char *>(last);
  for (const char *at = from; at <= to; at += 64) __builtin_prefetch(at);
  __builtin_prefetch(to);
}

struct Expression : Object {
  Expression() : Object(ZK_expression_type, 0) {}
  std::string formula;
  double value = 0.0;
};

struct Material : Object {
  Material() : Object(ZK_material_type, 0) {}
};

struct Feature : Object {
  Feature() : Object(ZK_feature_type, 0) {}
  std::string feature_type;  // e.g. "BLOCK"; free text
  bool suppressed = false;
  int update_failure = 0;  // host code an update of the feature fails with, 0: it updates
};

struct Body : Object {
  Body() : Object(ZK_solid_type, ZK_solid_body_subtype) {}
  int body_type = ZK_MODL_SOLID_BODY;
  double density = 1.0;          // mass per cubic part unit
  Material *material = nullptr;  // of the prototype for occurrences
  std::vector<Feature *> features;
  geom::Shape shape = geom::Block{{0, 0, 0}, {1, 1, 1}};
  geom::Transform placement = geom::identity();  // into the owning part
  const ComponentOcc *component = nullptr;       // for an occurrence: the component showing it
  // For an occurrence: the body of the component's part.
  Body *source() { return occurrence ? static_cast<Body *>(prototype) : this; }
  const Body *source() const { return occurrence ? static_cast<const Body *>(prototype) : this; }
};

struct ReferenceSet : Object {
  ReferenceSet() : Object(ZK_reference_set_type, 0) {}
  std::vector<Object *> members;
};

struct Arrangement : Object {
  Arrangement() : Object(ZK_arrangement_type, 0) {}
  bool active = false;
};

struct Instance;

struct Mating {
  std::string name;
  Instance *mated = nullptr;  // none: the mated object is missing
  int constraints = 0;
  bool suppressed = false;
};

// A part's record of one component: which part file, where, how shown.
// Type ZK_occ_instance_type. Occurrences of it appear in every assembly
// that holds this part.
struct Instance : Object {
  Instance() : Object(ZK_occ_instance_type, 0) {}
  std::string file;       // part file as written in the assembly
  Part *child = nullptr;  // the loaded part, none when it failed to load
  std::string instance_name;
  std::string refset_name = "Entire Part";
  geom::Vec3 origin{0, 0, 0};
  double orientation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // rows: X, Y, Z axes
  bool suppressed = false;
  Expression *suppression = nullptr;
  std::optional<Mating> mating;
  std::string load_failure;  // why the child part could not be loaded, when it could not
  // The placement of the child part in this part's coordinates.
  geom::Transform placement() const;
  // True when the reference set shows every object of the child part. Asked
  // of every component a check visits: the lengths are compared first, so
  // most other names are told apart without reading their text.
  bool shows_entire_part() const {
    return refset_name.empty() || std::string_view(refset_name) == std::string_view("Entire Part");
  }
};

// A component occurrence (type ZK_component_type) in an assembly part's
// occurrence tree; the root occurrence stands for the assembly itself.
struct ComponentOcc : Object {
  ComponentOcc() : Object(ZK_component_type, 0) { occurrence = true; }
  Instance *instance = nullptr;  // none for the root occurrence
  // Where the text of the shown part's name was when the occurrence was
  // made. Only a hint for a prefetch (the name may have been replaced
  // since): the name and its text are otherwise two waits one after the
  // other when a component's data is asked. Beside the instance, which the
  // same question reads.
  const char *name_hint = nullptr;
  ComponentOcc *parent = nullptr;               // none for the root occurrence
  Part *shown = nullptr;                        // the prototype part
  geom::Transform to_owner = geom::identity();  // from the shown part into the owner
  bool suppressed = false;                      // this or an enclosing component is suppressed
  ComponentOcc *mated = nullptr;                // the sibling its mating condition names, if shown
  std::vector<ComponentOcc *> children;
};

// The persistent handle of an object: its own for a part's objects; for an
// occurrence the path of component handles from the root ("#/A/B", a body
// "#/A/B:b"), worked out when asked so that a deep tree does not store a
// path for every occurrence.
std::string handle_of(const Object &object);

}  // namespace orvel::model
