// A plug-in library loaded into the orvel process and the entry points the
// command calls in it.
#pragma once

#include <string>

namespace orvel::cli {

class Plugin {
 public:
  // Loads the library with every symbol resolved at once; throws
  // std::runtime_error with the loader's message when it cannot.
  explicit Plugin(const std::string &path);
  ~Plugin();
  Plugin(const Plugin &) = delete;
  Plugin &operator=(const Plugin &) = delete;

  // The address of an exported symbol; throws std::runtime_error naming the
  // symbol and the library when it is missing.
  void *symbol(const char *name) const;

  const std::string &path() const { return path_; }

 private:
  std::string path_;
  void *handle_ = nullptr;
};

// The library next to the running command: <dir of orvel>/../lib/libvettra.so.
std::string default_plugin_path();

}  // namespace orvel::cli
