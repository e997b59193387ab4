// A part: the host's document. It owns its objects and keeps them in ordered
// lists (all objects, per type, per layer) so that every cycle steps in O(1).
// An assembly part also holds its occurrence tree: a root occurrence, one
// component occurrence per component at every depth and one occurrence body
// per body shown through the components. The tree is built on demand (for
// the work part, or when a caller asks a part for what the tree holds), and
// only as far as asked: a component part loaded only to be shown through
// its assembly has none.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/object.hpp"
#include "model/object_arena.hpp"
#include "model/object_list.hpp"
#include "model/snapshot.hpp"
#include "model/text_store.hpp"

namespace orvel::model {

struct HistoryEntry {
  int version = 0;
  int time = 0;  // seconds since 1970
  std::string program;
  std::string user;
  std::string machine;
};

// An injected failure: the named call returns `code` on matching calls.
struct FailureSpec {
  std::string call;
  int code = 0;
  int skip = 0;
  std::optional<int> times;  // none: every matching call after the skipped ones
  std::string object_id;     // empty: calls about any object
  const Object *object = nullptr;
  int seen = 0;   // matching calls so far
  int fired = 0;  // failures returned so far
};

// Disposes of an object a part owns: one made in the part's arena is only
// destroyed (the arena keeps its memory), any other is deleted.
struct ObjectDisposal {
  bool in_arena = false;
  void operator()(Object *object) const {
    if (in_arena) {
      object->~Object();
    } else {
      delete object;
    }
  }
};
using OwnedObject = std::unique_ptr<Object, ObjectDisposal>;

// The objects a component shows of its part: none when it shows all of them.
using MemberFilter = std::optional<std::unordered_set<const Object *>>;

class Part : public Object {
 public:
  // Injected failures, declared by the part file and read with it. The
  // session notes whether a part has any when it makes it the work part,
  // and a C API call looks through them only when it has.
  std::vector<FailureSpec> failures;

 private:
  struct PendingLevel;
  // What a step of a cycle and the common questions about a part read come
  // next, in the cache lines just after the object's own fields: a large
  // check asks them between writes of its report, which evict the rest.
  // The list of each type the part holds, found by a scan of the few types;
  // each list stays where it was made.
  std::vector<int> type_keys_;
  std::vector<std::unique_ptr<ObjectList>> type_lists_;
  std::vector<PendingLevel> pending_;
  bool occurrences_started_ = false;
  // The number of the part file's objects that are on a layer (see
  // objects_on_layers); asked of a component's part with its name, so it
  // comes right before the name.
  int objects_on_layers_ = 0;

 public:
  Part();
  ~Part() override;

  // Identity.
  std::string full_name;  // the name the part was opened by (normalised)
  std::string file_path;  // the file it was read from and is saved to
  std::string key;        // identity of the file (absolute, normalised)

  // Part data.
  int units = ZK_PART_METRIC;
  std::optional<std::string> description;
  std::vector<HistoryEntry> history;
  int format_version = 1;
  // The exchange format ("STEP", "IGES", "BREP") the part was read from;
  // empty for a part file. Such a part is not saved.
  std::string exchange_format;
  std::optional<Snapshot> snapshot;  // the latest drawing-compare snapshot
  std::string loaded_digest;         // digest of the file text it was loaded from or saved to

  // The first drawing and the first view of each name, also under the name
  // cut to `cut` characters; built on first use (names do not change).
  Object *drawing_named(const std::string &name, size_t cut) const;
  Object *view_named(const std::string &name, size_t cut) const;

  // Adds an object owned by this part at the end of its lists.
  template <typename T>
  T *add(std::unique_ptr<T> object) {
    T *raw = object.get();
    adopt(std::move(object));
    return raw;
  }

  // Objects in file order (the objects the part file holds).
  const std::vector<Object *> &file_objects() const { return file_objects_; }
  Object *find_by_id(const std::string &id) const;

  // Lists for cycles.
  const ObjectList &all() const { return all_; }
  const ObjectList *of_type(int type) const {
    for (size_t i = 0; i < type_keys_.size(); ++i) {
      if (type_keys_[i] == type) return type_lists_[i].get();
    }
    return nullptr;
  }
  const ObjectList &on_layer(int layer) const { return layers_[layer]; }

  // The number of the part file's objects that are on a layer.
  int objects_on_layers() const { return objects_on_layers_; }

  // Moves an object to another layer (kNoLayer: on none).
  void set_layer(Object *object, int layer);

  // Makes `object` depend on `view` of this part (none: a model object).
  void set_view(Object *object, Object *view);

  // An id that no object of the part has yet, for an object created at run
  // time so that a save writes it.
  std::string unused_id(const std::string &stem);

  // Takes the objects off every list and out of the part file's objects and
  // marks them deleted; references to them from the objects that stay are
  // dropped. The objects stay owned (their memory lives as long as the part).
  void remove(const std::vector<Object *> &objects);

  // The whole handles made for this part's occurrences (see
  // Session::handle_text), kept as long as the objects they belong to.
  TextStore handle_texts;

  // The work layer, where created objects go (ZK_LAYER_set_status).
  int work_layer = 1;

  // The occurrence tree (assemblies only).
  ComponentOcc *root_occurrence() const { return root_; }
  ComponentOcc *occurrence_of(const Instance *instance) const;
  bool has_components() const;

  // Builds the occurrence tree from the instances of this part and the parts
  // below it, or what is still missing of it; the parts below need no tree
  // of their own. Returns whether it built anything now.
  bool build_occurrences();
  bool occurrences_built() const { return occurrences_started_ && pending_.empty(); }
  // Starts loading the list of types that of_type scans.
  void prefetch_type_keys() const { __builtin_prefetch(type_keys_.data()); }

  // Builds the tree on, in the order of the whole build, until the list of
  // `type` holds an object after `after` (none: any object) or the tree is
  // whole. The lists then hold the start of what the whole tree gives them,
  // so a caller stepping through one of them, such as asking whether a part
  // has components, builds no more than it steps over. Returns whether it
  // built anything now.
  bool build_occurrences_past(int type, const Object *after);

  // The part's own solid bodies (not occurrences), in file order.
  const std::vector<Body *> &own_bodies() const { return own_bodies_; }

  // Every object owned by the part, for registration with the session.
  const std::vector<OwnedObject> &owned() const { return owned_; }

 private:
  void adopt(std::unique_ptr<Object> object);
  // Puts an owned object on the part's lists.
  void link(Object *object);
  // A new T in the part's arena, owned by the part but on no list yet.
  template <typename T>
  T *make_in_arena() {
    T *object = new (arena_.allocate(sizeof(T), alignof(T))) T();
    try {
      owned_.emplace_back(object, ObjectDisposal{true});
    } catch (...) {
      object->~T();
      throw;
    }
    return object;
  }
  // The tree is built depth first from a stack of components whose own
  // components are still being added.
  struct PendingLevel {
    ComponentOcc *parent;
    const ObjectList *instances;  // of the part the parent shows
    Object *next;                 // the next instance to add, none when all are
    MemberFilter filter;          // what the parent's component shows of that part
    std::unordered_map<const Instance *, ComponentOcc *> by_instance;
  };
  bool start_occurrences();
  bool add_next_occurrence();
  void link_matings(const PendingLevel &level);
  void add_bodies(const ComponentOcc &occ, const MemberFilter &filter);

  // The arena first: the objects in it go before its memory does.
  ObjectArena arena_;
  std::vector<OwnedObject> owned_;
  std::vector<Object *> file_objects_;
  std::unordered_map<std::string, Object *> by_id_;
  ObjectList all_{kAllList};
  ObjectList &type_list(int type);
  std::array<ObjectList, ZK_LAYER_MAX + 1> layers_;
  std::vector<Body *> own_bodies_;
  ComponentOcc *root_ = nullptr;
  std::unordered_map<const Instance *, ComponentOcc *> level_one_;
  void index_names(size_t cut) const;
  mutable bool names_indexed_ = false;
  int next_id_ = 0;
  mutable std::unordered_map<std::string, Object *> drawing_names_, view_names_;
};

}  // namespace orvel::model
