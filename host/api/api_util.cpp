// The boundary guard's record of a caught exception.
#include "api/api_util.hpp"

namespace orvel::api {

void note_fault(const char *call, int code, const char *what) noexcept {
  try {
    session().count_host_fault();
    const char *table = code_message(code);
    session().set_failure_detail(
        code, std::string(table ? table : "Error") + " in " + call + ": " + what);
  } catch (...) {
    // No memory for the text, or no session: the code keeps its table text.
  }
}

}  // namespace orvel::api
