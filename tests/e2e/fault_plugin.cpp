// A plug-in whose entries (interactive and batch) make two host calls fail
// inside the host, as a call does when memory runs out: each throws past its
// body and the C layer answers an empty value. The orvel command must not
// call such a run a success. An ordinary failure follows (a part file that
// is not there), which must not take the place of the last fault's account.
#include <new>
#include <stdexcept>

#include "api/api_util.hpp"
#include "boundary/run_config.h"
#include "orvel/zk.h"

namespace {

void fail_two_calls() {
  using orvel::api::guard_value;
  guard_value("ZK_TAG_ask_handle_of_tag", static_cast<const char *>(""),
              []() -> const char * { throw std::bad_alloc(); });
  guard_value("ZK_ASSEM_ask_work_part", tag_t{NULL_TAG},
              []() -> tag_t { throw std::length_error("a text too long to keep"); });
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status = {0, 0};
  ZK_PART_open("no such part.prt", &part, &status);
}

}  // namespace

// The run configuration a batch run fills before it calls StartOfProgram.
__attribute__((visibility("default"))) run_config vettra_run_config;

extern "C" __attribute__((visibility("default"))) int zkusr(char *, int *, int) {
  fail_two_calls();
  return 0;
}

extern "C" __attribute__((visibility("default"))) int StartOfProgram() {
  fail_two_calls();
  return 0;
}
