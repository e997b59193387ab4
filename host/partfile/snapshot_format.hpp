// The drawing-compare snapshot in the part file: the "snapshot" member of the
// document (docs/part-file-format.md).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "model/snapshot.hpp"

namespace orvel::partfile {

nlohmann::ordered_json snapshot_to_json(const model::Snapshot &snapshot);

// Reads the snapshot at JSON pointer `path` of `file`. Throws LoadError.
model::Snapshot snapshot_from_json(const nlohmann::ordered_json &v, const std::string &file,
                                   const std::string &path);

}  // namespace orvel::partfile
