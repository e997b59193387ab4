// Helpers shared by the C API files: bounded copies into caller buffers,
// host-allocated copies released with ZK_free, and injected failures.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/codes.hpp"
#include "session/session.hpp"

namespace orvel::api {

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

}  // namespace orvel::api

// Returns the code a part file's injected failure gives this call, if any.
#define ORVEL_INJECT(object)                                                         \
  do {                                                                               \
    if (int injected_code = ::orvel::session().injected_failure(__func__, (object))) \
      return injected_code;                                                          \
  } while (0)
