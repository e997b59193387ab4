// The one process-wide session and the embedding interface around it.
#include "session/host_control.hpp"

#include <memory>
#include <ostream>

#include "api/codes.hpp"
#include "session/session.hpp"

namespace orvel {

namespace detail {

Session *current_session = nullptr;

}  // namespace detail

namespace {

using detail::current_session;

// Owns the session; the pointer goes with it when the process ends, so a
// late call starts afresh rather than reading a closed session.
struct SessionSlot {
  std::unique_ptr<Session> session;
  ~SessionSlot() {
    current_session = nullptr;
    session.reset();
  }
};

SessionSlot &session_slot() {
  static SessionSlot slot;
  return slot;
}

}  // namespace

Session &detail::start_session() {
  SessionSlot &slot = session_slot();
  if (!slot.session) slot.session = std::make_unique<Session>(HostOptions{});
  current_session = slot.session.get();
  return *slot.session;
}

Session &host_session() {
  return session();
}

void configure_host(const HostOptions &options) {
  auto fresh = std::make_unique<Session>(options);
  SessionSlot &slot = session_slot();
  current_session = nullptr;
  slot.session = std::move(fresh);
  current_session = slot.session.get();
}

int set_display_part(tag_t part) {
  model::Part *p = session().find_part(part);
  if (!p) return kInvalidTag;
  session().set_display_part(p);
  return kOk;
}

void set_part_open_observer(std::function<void(const std::string &name, int code)> observer) {
  session().part_open_observer = std::move(observer);
}

std::string syslog_failure() {
  return session().syslog_failure();
}

std::string last_failure_detail() {
  return session().last_failure_detail();
}

size_t host_faults() {
  return session().host_faults();
}

std::string last_host_fault() {
  const Session &s = session();
  if (s.host_faults() == 0) return "";
  if (!s.last_host_fault().empty()) return s.last_host_fault();
  return std::string("a failure in ") + s.last_host_fault_call() +
         ", with no memory left for its account";
}

void write_last_host_fault(std::ostream &out) {
  const Session &s = session();
  if (s.host_faults() == 0) return;
  if (!s.last_host_fault().empty()) {
    out << s.last_host_fault();
  } else {
    out << "a failure in " << s.last_host_fault_call() << ", with no memory left for its account";
  }
}

std::vector<std::string> failed_saves() {
  return session().failed_saves();
}

std::vector<std::string> failed_cgm_files() {
  return session().failed_cgm();
}

}  // namespace orvel
