// Exchange files as the host sees them before the readers are loaded: the
// formats by extension and the loading of the reader module.
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "api/codes.hpp"
#include "exchange/exchange.hpp"
#include "partfile/part_file.hpp"

namespace orvel::exchange {

namespace {

using ReadEntry = void (*)(const std::string *, const std::string *, const std::string *,
                           ExchangeTree *);

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The reader module, loaded from beside the library that holds this code,
// or why it could not be.
struct Module {
  ReadEntry entry = nullptr;
  std::string failure;
};

Module load_module() {
  Module result;
  Dl_info info{};
  std::string path = "liborvel_exchange.so";
  if (dladdr(reinterpret_cast<void *>(&read_exchange), &info) != 0 && info.dli_fname) {
    path = (std::filesystem::path(info.dli_fname).parent_path() / path).string();
  }
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char *why = dlerror();
    result.failure = why ? why : path + ": cannot be loaded";
    return result;
  }
  result.entry = reinterpret_cast<ReadEntry>(dlsym(handle, "orvel_exchange_read"));
  if (!result.entry) result.failure = path + ": no exchange reader in the module";
  return result;
}

// Loaded once, on the first exchange file, and kept for the process.
const Module &reader_module() {
  static const Module module = load_module();
  return module;
}

}  // namespace

std::string format_of(const std::string &path) {
  const std::string extension = lower(std::filesystem::path(path).extension().string());
  if (extension == ".step" || extension == ".stp") return "STEP";
  if (extension == ".iges" || extension == ".igs") return "IGES";
  if (extension == ".brep") return "BREP";
  return "";
}

ExchangeTree read_exchange(const std::string &full_name, const std::string &file,
                           const std::string &key) {
  const Module &module = reader_module();
  if (!module.entry) {
    throw partfile::LoadError(
        kPartFileUnreadable, file, "/",
        "the " + format_of(file) + " reader cannot be loaded: " + module.failure);
  }
  ExchangeTree tree;
  module.entry(&full_name, &file, &key, &tree);
  return tree;
}

}  // namespace orvel::exchange
