// The host session: the one process-wide state of the reference host. It
// holds the open parts, the work and displayed part, the tag table, the
// services (system log, listing window, timers, release) and, in PDM mode,
// the managed part store.
#pragma once

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "model/part.hpp"
#include "orvel/zk_modl.h"
#include "orvel/zk_plot.h"
#include "session/host_control.hpp"
#include "session/tag_table.hpp"

namespace orvel {

namespace pdm {
class Store;
}

// Outcome of opening a part.
struct OpenResult {
  int code = 0;
  model::Part *part = nullptr;
  int failed_parts = 0;  // components that could not be loaded
  // Exchange files loaded with unreadable entities skipped, what was skipped.
  std::vector<std::string> warnings;
};

class Session {
 public:
  explicit Session(const HostOptions &options);
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  const HostOptions &options() const { return options_; }
  ZK_ASSEM_options_t &load_options() { return options_.load_options; }

  // Tags: 32-bit, never reused within the session.
  tag_t new_tag();
  model::Object *find(tag_t tag) const { return tags_.find(tag); }
  template <typename T>
  T *find_as(tag_t tag, int type) const {
    model::Object *object = find(tag);
    return object && object->type == type ? static_cast<T *>(object) : nullptr;
  }

  // Parts.
  OpenResult open_part(const std::string &name);
  int save_work_part();
  // Saves the work part under `name`, which it is known by from then on.
  int save_work_part_as(const std::string &name);
  // Adds an object created at run time to `part`: an unused id, a handle
  // and a tag, so that it is found like a loaded one and saved with the part.
  model::Object *add_object(model::Part &part, std::unique_ptr<model::Object> object);
  // Deletes objects of `part`: their tags are no longer found.
  void delete_objects(model::Part &part, const std::vector<model::Object *> &objects);
  void close_all();
  model::Part *work_part() const { return work_; }
  model::Part *display_part() const { return display_; }
  void set_work_part(model::Part *part) { make_work_part(part); }
  void set_display_part(model::Part *part) { display_ = part; }
  model::Part *find_part(tag_t tag) const { return find_as<model::Part>(tag, ZK_part_type); }
  // Builds the occurrence tree of `part` when it has none yet and tags its
  // new objects. Trees are built for what is asked (the work part, or a part
  // a caller asks for its components), not for every part loaded.
  void build_occurrences(model::Part &part);
  // Builds it only until the list of `type` holds an object after `after`
  // (none: any object); see model::Part::build_occurrences_past.
  void build_occurrences_past(model::Part &part, int type, const model::Object *after);
  size_t part_count() const { return parts_.size(); }

  // PDM mode.
  pdm::Store *pdm() const { return pdm_.get(); }

  // Failures injected by the work part's file: the code `call` returns for
  // a call about `object` (0 for none), or 0 when it does not fail.
  int injected_failure(const char *call, tag_t object = NULL_TAG) {
    return injecting_ ? declared_failure(call, object) : 0;
  }

  // Failure texts: the detailed message of the last failure of a code.
  void set_failure_detail(int code, const std::string &detail);
  const std::string *failure_detail(int code) const;
  const std::string &last_failure_detail() const { return last_detail_; }
  // Calls that failed inside the host (an exception the C layer caught, most
  // often memory running out): their caller got a code or an empty answer it
  // may not look at, so the command tells. Counting needs no memory.
  // `call` is the call's own name (a text that lives as long as the library).
  void count_host_fault(const char *call) noexcept {
    ++host_faults_;
    last_fault_call_ = call;
    last_fault_.clear();
  }
  // The last fault's account, kept when there was memory for it.
  void set_host_fault_account(const std::string &account) { last_fault_ = account; }
  size_t host_faults() const { return host_faults_; }
  const char *last_host_fault_call() const { return last_fault_call_; }
  const std::string &last_host_fault() const { return last_fault_; }
  // The texts of the saves of this session that failed, in order.
  const std::vector<std::string> &failed_saves() const { return failed_saves_; }
  // Keeps a save that failed before it reached the part file, as "FILE:
  // PROBLEM" like those that failed writing it.
  void note_failed_save(const std::string &failure) { failed_saves_.push_back(failure); }
  // The CGM files of this session that could not be written or imported,
  // each as "CGM file not written: PATH: PROBLEM" or "CGM file not
  // imported: FILE: PROBLEM", and the pictures of written ones that could
  // not be ("SVG picture not written: PATH: PROBLEM"), in order. Kept for
  // the same reason as failed saves: the caller of a CGM export need not
  // look at its code.
  void note_failed_cgm(const std::string &failure) { failed_cgm_.push_back(failure); }
  const std::vector<std::string> &failed_cgm() const { return failed_cgm_; }

  // Services.
  // Writes to the system log; false when the write failed (a full disk,
  // an I/O error), which syslog_failure then reports.
  bool print_syslog(const char *text);
  // Why writes to the system log were lost and how many; empty when none was.
  std::string syslog_failure() const;
  bool listing_open() const { return listing_open_; }
  void open_listing() { listing_open_ = true; }
  int begin_timer();
  bool end_timer(int timer, double *cpu, double *real) const;

  // Host objects handed out to callers (history lists, tag lists): tracked
  // so that a release of something unknown or released is refused.
  template <typename T>
  T *track(std::unique_ptr<T> object) {
    T *raw = object.get();
    handed_out_.emplace(raw, HandedOut{typeid(T), Owned(object.release(), &dispose<T>)});
    return raw;
  }
  // The handed-out object at `address` when it is a live T, else none.
  template <typename T>
  T *tracked(const void *address) const {
    auto it = handed_out_.find(address);
    if (it == handed_out_.end() || it->second.type != typeid(T)) return nullptr;
    return static_cast<T *>(it->second.object.get());
  }
  // The same for an owner that keeps what the caller got at `address`.
  template <typename T>
  void track_at(const void *address, std::unique_ptr<T> owner) {
    handed_out_.emplace(address, HandedOut{typeid(T), Owned(owner.release(), &dispose<T>)});
  }
  void release(const void *address) { handed_out_.erase(address); }

  // The whole handle of `object` (model::handle_of), made once per object
  // and living as long as the object, that is until the parts are closed.
  const char *handle_text(const model::Object &object);

  // The text of the string attribute ZK_ATTR_cycle returned last.
  std::string attr_cycle_text;

  // What ZK_MODL_update_all_features does with a failing feature.
  int update_fail_option = ZK_MODL_UPDATE_STOP;

  // The session's plot job options (ZK_PLOT_ask/set_session_job_options).
  ZK_PLOT_job_options_t plot_job_options{ZK_PLOT_COLORS_AS_DISPLAYED, 1};

  // Told of every ZK_PART_open (set_part_open_observer).
  std::function<void(const std::string &name, int code)> part_open_observer;

  // Objects of the object API, one per part tag, kept for the session.
  std::unordered_map<tag_t, std::shared_ptr<void>> object_api_parts;

 private:
  int declared_failure(const char *call, tag_t object) noexcept;
  // Makes `part` the work part (none: there is none), noting whether its
  // file declares failures to inject (a part's failures are read with its
  // file, before it can be the work part).
  void make_work_part(model::Part *part) {
    work_ = part;
    injecting_ = part && !part->failures.empty();
  }
  void register_part(model::Part &part);
  // Tags the objects the part has owned since it owned `from` of them.
  void register_new(model::Part &part, size_t from);
  void unregister_part(model::Part &part);

  HostOptions options_;
  FILE *syslog_ = nullptr;    // owned when not stderr
  long syslog_lost_ = 0;      // writes that failed
  std::string syslog_error_;  // the cause of the first one
  bool listing_open_ = false;
  struct Timer {
    double cpu;
    std::chrono::steady_clock::time_point real;
  };
  std::vector<Timer> timers_;
  tag_t last_tag_ = 0;
  // Read by nearly every C API call: the tag table, and whether the work
  // part declares failures to inject, side by side.
  TagTable tags_;
  bool injecting_ = false;
  model::Part *work_ = nullptr;
  model::Part *display_ = nullptr;
  std::vector<std::unique_ptr<model::Part>> parts_;
  std::unordered_map<std::string, model::Part *> parts_by_key_;
  std::unique_ptr<pdm::Store> pdm_;
  std::unordered_map<int, std::string> details_;
  std::string last_detail_;
  std::vector<std::string> failed_saves_;
  size_t host_faults_ = 0;
  const char *last_fault_call_ = "";
  std::string last_fault_;
  std::vector<std::string> failed_cgm_;
  // A handed-out object and how to delete it: a plain pointer and the
  // deleter of its type, so that tracking one costs no second allocation
  // (a check hands out and releases a list for every body it weighs).
  using Owned = std::unique_ptr<void, void (*)(void *)>;
  template <typename T>
  static void dispose(void *object) {
    delete static_cast<T *>(object);
  }
  struct HandedOut {
    std::type_index type;
    Owned object;
  };
  std::unordered_map<const void *, HandedOut> handed_out_;
};

namespace detail {
// The session in use, none before the first call or configure_host. Read on
// every C API call, so it is a plain pointer rather than a static made on
// first use (whose guard every call would test), and session() below reads
// it in place instead of calling into another file. Private to the library
// (hidden): it is not one of the symbols the library shares, so the library
// reads it directly, and a second copy of the library in the process keeps
// its own.
extern Session *current_session __attribute__((visibility("hidden")));
// Makes the session with default options, or finds the one made already.
Session &start_session() __attribute__((visibility("hidden")));
}  // namespace detail

// The process-wide session, for the host's own code; created with default
// options on first use when configure_host was not called.
inline Session &session() {
  if (__builtin_expect(!detail::current_session, 0)) detail::start_session();
  return *detail::current_session;
}

// The same session for a program that embeds the host and looks into it
// (the host's tests).
Session &host_session();

}  // namespace orvel
