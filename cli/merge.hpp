// `orvel merge`: joins the result files and system logs of the shards of a
// sharded batch run into the result file and log a single run writes.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "shard.hpp"

namespace orvel::cli {

// What a merge needs to know about the run: the part list the shards were
// cut from, their number, the single part (checked by shard 1 before its
// piece of the list, empty when none) and the file names the shards' names
// derive from.
struct MergeOptions {
  std::string part_list;
  int shards = 0;
  std::string single_part;
  std::string result_file;
  std::string syslog;  // empty: no logs to join
};

// One shard's result file: its name and its text, nullopt when missing.
struct ShardText {
  std::string file;
  std::optional<std::string> text;
};

struct MergedResult {
  std::string text;                 // the joined result file; empty on faults
  std::vector<std::string> faults;  // one message per faulty shard
  // The single part failed to open: like a single run, the merged file holds
  // the header and that record only.
  bool single_part_not_loaded = false;
};

// Joins the shards' result files (shards[k - 1] is shard k of shards.size())
// in the order of the list's reads. Every shard must hold the header and,
// one per read in order, exactly the records of its piece; a shard that is
// missing, holds a partial last line, too few records (cut short), too many,
// or a record for another part is named in a fault, and then nothing is
// joined.
MergedResult merge_results(const std::vector<std::string> &chunks, const std::string &single_part,
                           const std::vector<ShardText> &shards);

// Reads the shards' files named after `options`, joins them and writes the
// result file and the log atomically. Returns an exit status; every fault is
// named on standard error.
int run_merge(const MergeOptions &options);

// Adds the merge subcommand to `app`, its options filling `options`.
CLI::App *add_merge_command(CLI::App &app, MergeOptions &options);

}  // namespace orvel::cli
