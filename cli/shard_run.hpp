// A batch run narrowed to one shard: its own piece of the part list, result
// file and system log.
#pragma once

#include <string>

#include "fields.hpp"
#include "run.hpp"
#include "shard.hpp"

namespace orvel::cli {

// The temporary list file that holds a shard's piece of the part list;
// removed when the run is over.
class ShardListFile {
 public:
  ShardListFile() = default;
  explicit ShardListFile(std::string path) : path_(std::move(path)) {}
  ShardListFile(const ShardListFile &) = delete;
  ShardListFile &operator=(const ShardListFile &) = delete;
  ShardListFile(ShardListFile &&other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
  }
  ~ShardListFile();
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// Narrows the batch run of `config` and `host` to `shard`: the single part
// stays with shard 1 only; the part list becomes a temporary file holding the
// shard's reads of it byte for byte (a list that cannot be read is left as
// it is, so the plug-in reports it as in a single run); the result file and
// the system log get the shard's names (shard_file_name). Throws
// std::runtime_error when the list cannot be read or the piece written,
// std::invalid_argument when a derived name does not fit its field.
ShardListFile narrow_to_shard(Shard shard, HostArgs &host, FieldValues &config);

}  // namespace orvel::cli
