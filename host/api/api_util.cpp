// The boundary guard's record of a caught exception.
#include "api/api_util.hpp"

namespace orvel::api {

void note_fault(const char *call, int code, const char *what) noexcept {
  try {
    session().count_host_fault(call);
    const char *table = code_message(code);
    std::string account = std::string(table ? table : "Error") + " in " + call + ": " + what;
    session().set_failure_detail(code, account);
    session().set_host_fault_account(account);
  } catch (...) {
    // No memory for the text, or no session: the code keeps its table text.
  }
}

bool start_session_for(const char *call, int code) noexcept {
  try {
    detail::start_session();
    return true;
  } catch (const std::exception &e) {
    note_fault(call, code, e.what());
  } catch (...) {
    note_fault(call, code, "unknown exception");
  }
  return false;
}

}  // namespace orvel::api
