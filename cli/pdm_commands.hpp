// `orvel pdm ...`: creating and filling a managed part store, listing it and
// loading it from a JSON description.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "pdm/store.hpp"

namespace CLI {
class App;
}

namespace orvel::cli {

// A part file as the store keeps it: relative to the store's directory when
// both lie under a common root, else absolute.
std::string store_relative(const std::filesystem::path &part_file,
                           const std::filesystem::path &store_dir);

// Adds the items, revisions and datasets of a description to `store`.
// Relative part files are taken relative to `base_dir` (the description's
// directory). Throws std::runtime_error naming the JSON path of a bad entry,
// or the store's complaint about a duplicate; either way nothing is added.
void load_description(pdm::Store &store, const nlohmann::json &description,
                      const std::filesystem::path &base_dir,
                      const std::filesystem::path &store_dir);

// Registers the `pdm` command and its subcommands with `app`.
void add_pdm_command(CLI::App &app);

}  // namespace orvel::cli
