// Loading a part with its components: finds each component's part file as
// the assembly load options say, reads every part file once, refuses
// component cycles and either aborts on a missing component or keeps going
// without it. Nothing is registered with a session here.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/part.hpp"

namespace orvel::partfile {

struct TreeOptions {
  int load_options = 0;     // ZK_ASSEM_load_from_directory, _search_dirs, _as_saved
  int failure_action = 0;   // ZK_ASSEM_do_abort_on_failure or _dont_abort_on_failure
  int load_components = 1;  // ZK_ASSEM_dont_load_components leaves components unloaded
  std::vector<std::string> search_dirs;
  // PDM mode: the part file of a managed part name. Sets *managed when the
  // name is a managed one; gives nothing when the store lacks the part.
  std::function<std::optional<std::string>(const std::string &name, bool *managed)> managed_file;
};

struct LoadedTree {
  std::vector<std::unique_ptr<model::Part>> parts;  // newly read parts, components first
  model::Part *top = nullptr;
  int failed_parts = 0;  // component part files that could not be loaded, each once
  // Exchange files that loaded with entities skipped: one text for each,
  // naming the file and what was skipped.
  std::vector<std::string> warnings;
};

// The identity of a part file: its absolute, normalised path.
std::string file_key(const std::string &path);

// A path as the host names parts: lexically normalised, not made absolute.
std::string normal_name(const std::string &path);

// The paths tried, in order, for the component file `written` of an
// assembly whose file is `assembly_file`.
std::vector<std::string> component_candidates(const std::string &written,
                                              const std::string &assembly_file,
                                              const TreeOptions &options);

// Loads the part file `file` (named `full_name`) and its components.
// `find_open` gives a part that is open already for a file key, so that it
// is used instead of being read again. Throws LoadError.
LoadedTree load_tree(const std::string &full_name, const std::string &file,
                     const TreeOptions &options,
                     const std::function<model::Part *(const std::string &)> &find_open);

}  // namespace orvel::partfile
