// The one process-wide session and the embedding interface around it.
#include "session/host_control.hpp"

#include <memory>

#include "api/codes.hpp"
#include "session/session.hpp"

namespace orvel {

namespace {

std::unique_ptr<Session> &session_slot() {
  static std::unique_ptr<Session> slot;
  return slot;
}

}  // namespace

Session &session() {
  std::unique_ptr<Session> &slot = session_slot();
  if (!slot) slot = std::make_unique<Session>(HostOptions{});
  return *slot;
}

void configure_host(const HostOptions &options) {
  auto fresh = std::make_unique<Session>(options);
  session_slot() = std::move(fresh);
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

std::vector<std::string> failed_saves() {
  return session().failed_saves();
}

std::vector<std::string> failed_cgm_files() {
  return session().failed_cgm();
}

}  // namespace orvel
