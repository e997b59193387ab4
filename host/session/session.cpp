// The host session: parts, tags, failures and services.
#include "session/session.hpp"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "api/codes.hpp"
#include "partfile/loader.hpp"
#include "partfile/part_file.hpp"
#include "pdm/store.hpp"

namespace orvel {

ZK_ASSEM_options_t default_load_options() {
  ZK_ASSEM_options_t o{};
  o.load_options = ZK_ASSEM_load_from_directory;
  o.parts_list = 0;
  o.update = ZK_ASSEM_no_update_report;
  o.emphasize = ZK_ASSEM_do_not_emphasize_wp;
  o.emphasize_color = 0;
  o.failure_action = ZK_ASSEM_do_abort_on_failure;
  o.maintain_work_part = ZK_ASSEM_do_maintain_work_part;
  o.load_latest = ZK_ASSEM_load_exact_version;
  o.load_components = ZK_ASSEM_do_load_components;
  o.load_fully = ZK_ASSEM_load_components_fully;
  o.load_substitution = ZK_ASSEM_dont_allow_substitution;
  o.apply_to_all_levels = ZK_ASSEM_do_apply_to_all_levels;
  o.load_wave_data = ZK_ASSEM_default_load_behaviour;
  o.load_wave_parents = ZK_ASSEM_none;
  return o;
}

Session::Session(const HostOptions &options) : options_(options) {
  // The store first: a constructor that throws leaves nothing open.
  if (!options_.pdm_store.empty()) pdm_ = pdm::Store::open(options_.pdm_store, false);
  if (!options_.syslog_file.empty()) {
    syslog_ = std::fopen(options_.syslog_file.c_str(), "a");
    if (!syslog_) {
      throw std::runtime_error("cannot open the system log " + options_.syslog_file);
    }
    std::setvbuf(syslog_, nullptr, _IONBF, 0);
  }
}

Session::~Session() {
  close_all();
  if (syslog_) std::fclose(syslog_);
}

tag_t Session::new_tag() {
  return ++last_tag_;
}

void Session::register_part(model::Part &part) {
  if (part.tag == NULL_TAG) {
    part.tag = new_tag();
    tags_.insert(part.tag, &part);
  }
  for (const auto &object : part.owned()) {
    if (object->tag != NULL_TAG) continue;
    object->tag = new_tag();
    tags_.insert(object->tag, object.get());
  }
}

void Session::register_new(model::Part &part, size_t from) {
  const auto &owned = part.owned();
  for (size_t i = from; i < owned.size(); ++i) {
    model::Object &object = *owned[i];
    if (object.tag != NULL_TAG) continue;
    object.tag = new_tag();
    tags_.insert(object.tag, &object);
  }
}

void Session::unregister_part(model::Part &part) {
  for (const auto &object : part.owned()) tags_.erase(object->tag);
  tags_.erase(part.tag);
}

OpenResult Session::open_part(const std::string &name) {
  auto failure = [this](const partfile::LoadError &e) {
    const char *table = code_message(e.code());
    set_failure_detail(e.code(), std::string(table ? table : "Error") + ": " + e.file() + ": " +
                                     e.path() + ": " + e.problem());
    return OpenResult{e.code(), nullptr, 0, {}};
  };
  if (name.size() > ZK_MAX_FSPEC_SIZE) {
    return failure(partfile::LoadError(kPartNameTooLong, name.substr(0, 64) + "...", "/",
                                       "part name of " + std::to_string(name.size()) +
                                           " characters is longer than " +
                                           std::to_string(ZK_MAX_FSPEC_SIZE)));
  }
  std::string full_name = partfile::normal_name(name);
  std::string file = full_name;
  if (pdm_) {
    if (std::optional<pdm::EncodedName> encoded = pdm::decode_name(name)) {
      // Names the plug-in cannot hold whole would share a report name.
      if (std::optional<std::string> problem = pdm::overlong_field(*encoded)) {
        return failure(
            partfile::LoadError(kPartNameTooLong, name.substr(0, 24) + "...", "/", *problem));
      }
      std::optional<std::string> resolved;
      try {
        resolved = pdm_->resolve(*encoded);
      } catch (const pdm::StoreError &e) {
        return failure(partfile::LoadError(kPdmStoreFailed, name, "/", e.what()));
      }
      if (!resolved) {
        return failure(
            partfile::LoadError(kManagedPartUnknown, name, "/", "the store has no such part"));
      }
      full_name = name;
      file = *resolved;
    }
  }
  auto find_open = [this](const std::string &key) -> model::Part * {
    auto it = parts_by_key_.find(key);
    return it == parts_by_key_.end() ? nullptr : it->second;
  };
  if (model::Part *open = find_open(partfile::file_key(file))) {
    build_occurrences(*open);
    make_work_part(open);
    display_ = open;
    return OpenResult{kOk, open, 0, {}};
  }
  partfile::TreeOptions tree_options;
  tree_options.load_options = options_.load_options.load_options;
  tree_options.failure_action = options_.load_options.failure_action;
  tree_options.load_components = options_.load_options.load_components;
  tree_options.search_dirs = options_.search_dirs;
  if (pdm_) {
    tree_options.managed_file = [this](const std::string &component, bool *managed) {
      std::optional<pdm::EncodedName> encoded = pdm::decode_name(component);
      *managed = encoded.has_value();
      return encoded ? pdm_->resolve(*encoded) : std::nullopt;
    };
  }
  partfile::LoadedTree tree;
  try {
    tree = partfile::load_tree(full_name, file, tree_options, find_open);
  } catch (const partfile::LoadError &e) {
    return failure(e);
  }
  // Commit: tags for the new parts' objects, then the work part's
  // occurrence tree.
  for (auto &part : tree.parts) register_part(*part);
  build_occurrences(*tree.top);
  for (auto &part : tree.parts) {
    parts_by_key_.emplace(part->key, part.get());
    parts_.push_back(std::move(part));
  }
  for (model::FailureSpec &f : tree.top->failures) f.seen = f.fired = 0;
  // A detailed message belongs to the failure it came with; later failures
  // of the same code get the table text.
  details_.clear();
  make_work_part(tree.top);
  display_ = tree.top;
  // A partial load is said in the system log as well as in the load status.
  for (const std::string &warning : tree.warnings) {
    print_syslog(("Warning: " + warning + "\n").c_str());
  }
  return OpenResult{kOk, tree.top, tree.failed_parts, tree.warnings};
}

void Session::build_occurrences(model::Part &part) {
  size_t from = part.owned().size();
  if (part.build_occurrences()) register_new(part, from);
}

void Session::build_occurrences_past(model::Part &part, int type, const model::Object *after) {
  size_t from = part.owned().size();
  if (part.build_occurrences_past(type, after)) register_new(part, from);
}

int Session::save_work_part() {
  if (!work_) return kNoWorkPart;
  try {
    work_->loaded_digest = partfile::write_part(*work_, work_->file_path);
  } catch (const partfile::LoadError &e) {
    set_failure_detail(e.code(),
                       std::string(code_message(e.code())) + ": " + e.file() + ": " + e.problem());
    // Kept for the embedding program: the caller of a save may not look at
    // its code, and a part that was not saved must not pass unnoticed.
    failed_saves_.push_back(e.file() + ": " + e.problem());
    return e.code();
  }
  return kOk;
}

int Session::save_work_part_as(const std::string &name) {
  if (!work_) return kNoWorkPart;
  if (name.empty()) return kInvalidArgument;
  if (name.size() > ZK_MAX_FSPEC_SIZE) return kPartNameTooLong;
  const std::string full_name = partfile::normal_name(name);
  const std::string key = partfile::file_key(full_name);
  auto other = parts_by_key_.find(key);
  if (other != parts_by_key_.end() && other->second != work_) {
    set_failure_detail(kInvalidArgument, "Error: " + full_name + " is open as another part");
    failed_saves_.push_back(full_name + ": is open as another part");
    return kInvalidArgument;
  }
  try {
    work_->loaded_digest = partfile::write_part(*work_, full_name);
  } catch (const partfile::LoadError &e) {
    set_failure_detail(e.code(),
                       std::string(code_message(e.code())) + ": " + e.file() + ": " + e.problem());
    // A part saved under a new name is often the whole product of a run (the
    // CGM import saves nothing else), and its caller need not look at the
    // code: kept like any failed save so that the run does not pass.
    failed_saves_.push_back(e.file() + ": " + e.problem());
    return e.code();
  }
  parts_by_key_.erase(work_->key);
  work_->full_name = full_name;
  work_->file_path = full_name;
  work_->key = key;
  parts_by_key_[key] = work_;
  return kOk;
}

model::Object *Session::add_object(model::Part &part, std::unique_ptr<model::Object> object) {
  if (object->id.empty()) object->id = part.unused_id("r");
  if (object->handle.empty()) object->handle = object->id;
  object->tag = new_tag();
  model::Object *raw = part.add(std::move(object));
  tags_.insert(raw->tag, raw);
  return raw;
}

void Session::delete_objects(model::Part &part, const std::vector<model::Object *> &objects) {
  part.remove(objects);
  for (model::Object *o : objects) tags_.erase(o->tag);
}

void Session::close_all() {
  make_work_part(nullptr);
  display_ = nullptr;
  for (auto &part : parts_) unregister_part(*part);
  parts_by_key_.clear();
  parts_.clear();
}

namespace {

// One step of an occurrence's handle (see model::handle_of): a component
// occurrence's handle is its parent's, "/" and its instance's handle; a body
// occurrence's is its component's, ":" and its prototype's handle.
struct HandleStep {
  const model::Object *from = nullptr;  // none: the handle is not made of steps
  char separator = '/';
  const std::string *name = nullptr;
};

inline HandleStep handle_step(const model::Object &object) {
  if (object.type == ZK_solid_type && object.occurrence) {
    const auto &body = static_cast<const model::Body &>(object);
    if (body.component && body.prototype) return {body.component, ':', &body.prototype->handle};
  } else if (object.type == ZK_component_type) {
    const auto &occ = static_cast<const model::ComponentOcc &>(object);
    if (occ.instance && occ.parent) return {occ.parent, '/', &occ.instance->handle};
  }
  return {};
}

// Makes and keeps the handle of `object`, whose step's object (if any) has
// its handle already: that handle and one step, put together in the handle
// texts of the object's part. An occurrence always belongs to a part (the
// one whose tree holds it). A handle may hold a NUL byte (a part file can
// write "\u0000"), so the next step extends the whole kept text, not the C
// text handed out, which ends at the NUL; the texts stay those of
// model::handle_of.
void make_handle(const model::Object &object) {
  const HandleStep step = handle_step(object);
  if (step.from) {
    object.handle_text = object.part->handle_texts.keep(
        step.from->handle_text, std::string_view(&step.separator, 1), *step.name);
  } else if (object.type == ZK_component_type) {
    // A component occurrence with no step is the root occurrence or one
    // whose links are missing: handle_of words it, most often as its own.
    std::string whole = model::handle_of(object);
    object.handle_text = whole == object.handle ? std::string_view(object.handle)
                                                : object.part->handle_texts.keep(whole);
  } else {
    object.handle_text = object.handle;
  }
}

}  // namespace

// An occurrence's handle is made from the kept handle of the object it
// extends, so a component deep in a tree costs one step, not its whole path
// again. The objects on the way up that have none yet get theirs first, from
// the top down.
const char *Session::handle_text(const model::Object &object) {
  if (object.handle_text.data()) return object.handle_text.data();
  const HandleStep first = handle_step(object);
  if (first.from && !first.from->handle_text.data()) {
    std::vector<const model::Object *> above;
    for (HandleStep step = first; step.from && !step.from->handle_text.data();
         step = handle_step(*step.from)) {
      above.push_back(step.from);
    }
    for (auto it = above.rbegin(); it != above.rend(); ++it) make_handle(**it);
  }
  make_handle(object);
  return object.handle_text.data();
}

int Session::declared_failure(const char *call, tag_t object) noexcept {
  const model::Object *about = object ? find(object) : nullptr;
  // Every matching declaration counts the call; the first one due fires.
  int code = 0;
  for (model::FailureSpec &f : work_->failures) {
    if (f.call != call) continue;
    if (f.object && (!about || (about != f.object && about->origin() != f.object))) continue;
    bool due = ++f.seen > f.skip && (!f.times || f.fired < *f.times);
    if (due && code == 0) {
      ++f.fired;
      code = f.code;
    }
  }
  return code;
}

void Session::set_failure_detail(int code, const std::string &detail) {
  details_[code] = detail;
  last_detail_ = detail;
}

const std::string *Session::failure_detail(int code) const {
  auto it = details_.find(code);
  return it == details_.end() ? nullptr : &it->second;
}

bool Session::print_syslog(const char *text) {
  FILE *log = syslog_ ? syslog_ : stderr;
  errno = 0;
  bool written = std::fputs(text, log) != EOF;
  written = std::fflush(log) == 0 && written;
  if (written) return true;
  // The first cause is kept; every lost write is counted.
  if (syslog_lost_++ == 0) {
    syslog_error_ = errno != 0 ? std::strerror(errno) : "write failed";
  }
  std::clearerr(log);
  return false;
}

std::string Session::syslog_failure() const {
  if (syslog_lost_ == 0) return "";
  std::string name = options_.syslog_file.empty() ? "standard error" : options_.syslog_file;
  return "the system log " + name + " cannot be written: " + syslog_error_ + " (" +
         std::to_string(syslog_lost_) + (syslog_lost_ == 1 ? " write" : " writes") + " lost)";
}

namespace {

double cpu_seconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
  auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int Session::begin_timer() {
  timers_.push_back({cpu_seconds(), std::chrono::steady_clock::now()});
  return static_cast<int>(timers_.size()) - 1;
}

bool Session::end_timer(int timer, double *cpu, double *real) const {
  if (timer < 0 || static_cast<size_t>(timer) >= timers_.size()) return false;
  const Timer &t = timers_[static_cast<size_t>(timer)];
  *cpu = cpu_seconds() - t.cpu;
  *real = std::chrono::duration<double>(std::chrono::steady_clock::now() - t.real).count();
  return true;
}

}  // namespace orvel
