// Loads the plug-in library with dlopen and looks up its entry points.
#include "plugin.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace orvel::cli {

Plugin::Plugin(const std::string &path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char *why = dlerror();
    throw std::runtime_error("cannot load plug-in " + path + ": " + (why ? why : "unknown error"));
  }
}

Plugin::~Plugin() {
  if (handle_) dlclose(handle_);
}

void *Plugin::symbol(const char *name) const {
  dlerror();
  void *address = dlsym(handle_, name);
  if (!address) {
    throw std::runtime_error(std::string("plug-in ") + path_ + " does not export " + name);
  }
  return address;
}

std::string default_plugin_path() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "libvettra.so";
  return (self.parent_path() / ".." / "lib" / "libvettra.so").lexically_normal().string();
}

}  // namespace orvel::cli
