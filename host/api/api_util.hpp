// Helpers shared by the C API files: the boundary guard every call runs
// in, bounded copies into caller buffers, host-allocated copies released
// with ZK_free, and injected failures.
#pragma once

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <type_traits>
#include <vector>

#include "api/codes.hpp"
#include "session/session.hpp"

namespace orvel::api {

// The C API call running now, for ORVEL_INJECT (set by guard). Every call
// sets it twice, so it lives in the static thread block, reached without a
// lookup (the library is loaded with the program or with the few bytes the
// C library keeps free there for libraries opened later).
inline thread_local const char *current_call __attribute__((tls_model("initial-exec"))) = "";

// Notes an exception caught at the boundary as the detail of `code`. Never
// throws: a failure to note it (no memory) leaves the table text.
void note_fault(const char *call, int code, const char *what) noexcept;

// Makes the default session for the first call of a program that set up
// none; a failure to make it is noted as a fault of `call` with `code`.
// False when there is no session.
bool start_session_for(const char *call, int code) noexcept;

// Runs the body of the C API call `call` so that no exception crosses the
// boundary: one that escapes `body` makes the call answer `fault`, and its
// text becomes the detail of `code` for ZK_get_fail_message.
//
// In the library's own calls the session is made first when there is none
// yet, out of line, and the compiler is told that it exists from then on:
// every session() in a body, up to its first call out of line, then reads
// it without testing it, and a body that calls nothing out of line has no
// way left for an exception to leave by and needs no handler. (A program
// that runs bodies of its own in the guard, as the host's tests do, reaches
// the session only through calls that make it themselves.)
template <typename Body>
std::invoke_result_t<Body> run_guarded(const char *call, std::invoke_result_t<Body> fault, int code,
                                       Body &body) noexcept {
#ifdef ORVEL_HOST_LIBRARY
  if (__builtin_expect(!detail::current_session, 0)) {
    if (!start_session_for(call, code) || !detail::current_session) return fault;
  }
#endif
  struct Scope {
    const char *outer = current_call;
    explicit Scope(const char *name) { current_call = name; }
    ~Scope() { current_call = outer; }
  } scope(call);
#ifdef ORVEL_HOST_LIBRARY
  // Setting the call's name leaves the session as it was.
  if (!detail::current_session) __builtin_unreachable();
#endif
  try {
    return body();
  } catch (const std::exception &e) {
    note_fault(call, code, e.what());
  } catch (...) {
    note_fault(call, code, "unknown exception");
  }
  return fault;
}

// A call that returns a host code: a stray exception answers `code`.
//
//   int ZK_X(...) {
//     return api::guard(__func__, kHostFault, [&]() -> int { ... });
//   }
template <typename Body>
int guard(const char *call, int code, Body &&body) noexcept {
  return run_guarded(call, code, code, body);
}

// A call that returns a value (a tag, a flag, a text): a stray exception
// answers `none` and is kept as the detail of kHostFault.
template <typename Body>
std::invoke_result_t<Body> guard_value(const char *call, std::invoke_result_t<Body> none,
                                       Body &&body) noexcept {
  return run_guarded(call, none, kHostFault, body);
}

// Copies `text` into `out` of `capacity` bytes, cut to fit, NUL-terminated.
inline void copy_out(char *out, size_t capacity, const std::string &text) {
  if (!out || capacity == 0) return;
  size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// A copy of `text` allocated with malloc, for the caller to release with
// ZK_free.
inline char *host_text(const std::string &text) {
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// A malloc'ed copy of `tags`, NULL when empty.
inline tag_t *host_tags(const std::vector<tag_t> &tags) {
  if (tags.empty()) return nullptr;
  auto *copy = static_cast<tag_t *>(std::malloc(tags.size() * sizeof(tag_t)));
  if (copy) std::memcpy(copy, tags.data(), tags.size() * sizeof(tag_t));
  return copy;
}

// Runs `save` (a part save, answering a host code) and keeps its failure
// for the embedding program whatever kept the part from being saved (no
// name, no work part, a refusal, a failed write): the caller of a save need
// not look at its code, and a part that was not saved must not pass
// unnoticed. A failure the save kept itself, with its file and problem, is
// not kept twice; any other is kept as "NAME: MESSAGE".
template <class Save>
int kept_if_unsaved(const std::string &name, Save &&save) {
  const size_t kept = session().failed_saves().size();
  const int code = save();
  if (code != kOk && session().failed_saves().size() == kept) {
    session().note_failed_save(name + ": " + code_message(code));
  }
  return code;
}

}  // namespace orvel::api

// Returns the code a part file's injected failure gives this call, if any.
// Used inside the body that api::guard runs.
#define ORVEL_INJECT(object)                                                           \
  do {                                                                                 \
    if (int injected_code =                                                            \
            ::orvel::session().injected_failure(::orvel::api::current_call, (object))) \
      return injected_code;                                                            \
  } while (0)
