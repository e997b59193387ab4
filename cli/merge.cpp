// Joins the shards of a sharded batch run. Each shard holds, after the
// header, one record per read of its piece of the list in list order (shard 1
// first the single part's), so a record's place in the whole list follows
// from the list and the number of shards alone.
#include "merge.hpp"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "run.hpp"

namespace orvel::cli {

namespace {

// The record the plug-in writes for a part that fails to open.
const char kNotLoadedRecord[] = ";-1001;error loading part;N.N";

// One shard's result file taken apart.
struct ShardRecords {
  std::string header;
  std::vector<std::string> records;
  size_t next = 0;  // the next record to join
};

std::string shard_name(int index, size_t count) {
  return "shard " + std::to_string(index) + " of " + std::to_string(count);
}

// Splits a shard's text into header and records; a fault when it has no
// header or ends inside a line.
std::string split_shard(const std::string &text, ShardRecords &out) {
  if (text.empty()) return "is empty (not even the header): cut short";
  std::string fault;
  size_t end = text.size();
  if (text.back() != '\n') {
    fault = "ends in a partial line: cut short";
    end = text.rfind('\n');
    end = end == std::string::npos ? 0 : end + 1;
  }
  std::istringstream lines(text.substr(0, end));
  std::string line;
  if (!std::getline(lines, out.header)) return fault;
  while (std::getline(lines, line)) out.records.push_back(line);
  return fault;
}

// A record belongs to the part named `spec` when it starts with the name and
// the field separator, as far as the record's bounded length reaches.
bool record_names(const std::string &record, const std::string &spec) {
  std::string lead = spec + ";";
  size_t n = std::min(lead.size(), record.size());
  return n > 0 && record.compare(0, n, lead, 0, n) == 0;
}

// The part specifications a shard's records must name, in order.
std::vector<std::string> expected_specs(const std::vector<std::string> &chunks,
                                        const std::string &single_part, Shard shard) {
  std::vector<std::string> specs;
  if (shard.index == 1 && !single_part.empty()) specs.push_back(single_part);
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (shard_of(i, shard.count) == shard.index && !chunk_is_skipped(chunks[i])) {
      specs.push_back(chunk_spec(chunks[i]));
    }
  }
  return specs;
}

// Checks a shard's records against its piece; returns the fault, empty when
// it holds exactly the records of its piece.
std::string check_records(const ShardRecords &shard, const std::vector<std::string> &specs) {
  for (size_t i = 0; i < shard.records.size() && i < specs.size(); ++i) {
    if (!record_names(shard.records[i], specs[i])) {
      return "record " + std::to_string(i + 1) + " is not for '" + specs[i] +
             "': not a shard of this list and shard count";
    }
  }
  if (shard.records.size() < specs.size()) {
    return "holds " + std::to_string(shard.records.size()) + " of " + std::to_string(specs.size()) +
           " records: cut short";
  }
  if (shard.records.size() > specs.size()) {
    return "holds " + std::to_string(shard.records.size()) + " records, " +
           std::to_string(specs.size()) + " expected: not a shard of this list and shard count";
  }
  return "";
}

// Joins checked shards in the order of the list's reads.
std::string join(const std::vector<std::string> &chunks, bool single_part,
                 std::vector<ShardRecords> &shards) {
  std::string text = shards[0].header + "\n";
  if (single_part) text += shards[0].records[shards[0].next++] + "\n";
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunk_is_skipped(chunks[i])) continue;
    ShardRecords &shard = shards[shard_of(i, static_cast<int>(shards.size())) - 1];
    text += shard.records[shard.next++] + "\n";
  }
  return text;
}

// A single part that fails to open ends the run before the list: shard 1
// holds that record alone, and a single run would have written no other.
bool single_part_not_loaded(const ShardRecords &first, const std::string &single_part) {
  return !single_part.empty() && first.records.size() == 1 &&
         first.records[0] == single_part + kNotLoadedRecord;
}

// Checks the records of shard `shard` against its piece of the list.
std::string records_fault(const ShardRecords &part, const std::vector<std::string> &chunks,
                          const std::string &single_part, Shard shard) {
  std::string fault = check_records(part, expected_specs(chunks, single_part, shard));
  if (shard.index == 1 && single_part.empty() && fault.rfind("record 1 ", 0) == 0) {
    fault += " (if the run checked a single part first, name it with --single-part)";
  }
  return fault;
}

}  // namespace

MergedResult merge_results(const std::vector<std::string> &chunks, const std::string &single_part,
                           const std::vector<ShardText> &shards) {
  MergedResult merged;
  std::vector<ShardRecords> parts(shards.size());
  const int count = static_cast<int>(shards.size());
  for (int k = 1; k <= count; ++k) {
    const ShardText &shard = shards[k - 1];
    std::string prefix = shard_name(k, shards.size()) + " (" + shard.file + "): ";
    if (!shard.text) {
      merged.faults.push_back(prefix + "missing");
      continue;
    }
    ShardRecords &part = parts[k - 1];
    std::string fault = split_shard(*shard.text, part);
    if (fault.empty() && k > 1 && !parts[0].header.empty() && part.header != parts[0].header) {
      fault = "its header differs from shard 1's";
    }
    if (fault.empty() && k == 1 && single_part_not_loaded(part, single_part)) {
      merged.single_part_not_loaded = true;
      merged.text = part.header + "\n" + part.records[0] + "\n";
      return merged;
    }
    if (fault.empty()) fault = records_fault(part, chunks, single_part, {k, count});
    if (!fault.empty()) merged.faults.push_back(prefix + fault);
  }
  if (merged.faults.empty() && count > 0) merged.text = join(chunks, !single_part.empty(), parts);
  return merged;
}

namespace {

std::optional<std::string> read_whole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return text.str();
}

// Writes `text` to `path` through a temporary file in the same directory
// and a rename, so that a reader never sees half a file.
void write_atomically(const std::string &path, const std::string &text) {
  std::string temporary = path + ".merging";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      throw std::runtime_error("cannot write " + temporary);
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot rename " + temporary + " to " + path);
  }
}

std::vector<ShardText> read_shards(const std::string &path, int count) {
  std::vector<ShardText> shards;
  for (int k = 1; k <= count; ++k) {
    std::string file = shard_file_name(path, {k, count});
    shards.push_back({file, read_whole(file)});
  }
  return shards;
}

// The logs of the first `count` shards one after another; a missing log is
// a fault.
std::string join_logs(const MergeOptions &options, int count, std::vector<std::string> &faults) {
  std::string text;
  std::vector<ShardText> logs = read_shards(options.syslog, options.shards);
  logs.resize(count);
  for (const ShardText &log : logs) {
    if (log.text) {
      text += *log.text;
    } else {
      faults.push_back("system log " + log.file + " is missing");
    }
  }
  return text;
}

}  // namespace

int run_merge(const MergeOptions &options) {
  try {
    std::vector<std::string> chunks = read_list_file(options.part_list);
    MergedResult merged = merge_results(chunks, options.single_part,
                                        read_shards(options.result_file, options.shards));
    std::string log;
    // After a single part that failed to open only shard 1 logged what a
    // single run logs.
    int logs = merged.single_part_not_loaded ? 1 : options.shards;
    if (!options.syslog.empty()) log = join_logs(options, logs, merged.faults);
    if (!merged.faults.empty()) {
      for (const std::string &fault : merged.faults) std::cerr << "orvel merge: " << fault << '\n';
      std::cerr << "orvel merge: nothing written; rerun the shards named above and merge again\n";
      return kExitShardFault;
    }
    write_atomically(options.result_file, merged.text);
    if (!options.syslog.empty()) write_atomically(options.syslog, log);
    if (merged.single_part_not_loaded) {
      std::cerr << "orvel merge: the single part " << options.single_part
                << " failed to open, so, as in a single run, no part of the list was checked\n";
      return kExitPluginFailed;
    }
    return kExitOk;
  } catch (const std::runtime_error &e) {
    std::cerr << "orvel merge: " << e.what() << '\n';
    return kExitHostFailed;
  }
}

CLI::App *add_merge_command(CLI::App &app, MergeOptions &options) {
  CLI::App *merge = app.add_subcommand(
      "merge",
      "Join the result files and system logs of the N shards of a batch run (--shard K/N) into "
      "the result file and log a single run writes");
  merge->add_option("--part-list", options.part_list, "the part list the shards were cut from")
      ->type_name("FILE")
      ->required();
  merge->add_option("--shards", options.shards, "the number of shards N")
      ->type_name("N")
      ->check(CLI::Range(1, 999999999))
      ->required();
  merge
      ->add_option("--result-file", options.result_file,
                   "the result file to write; the shards' are named after it (.shard-K-of-N)")
      ->type_name("FILE")
      ->required();
  merge
      ->add_option("--syslog", options.syslog,
                   "the system log to write from the shards' logs named after it")
      ->type_name("FILE");
  merge->add_option("--single-part", options.single_part,
                    "the single part the batch run checked before the list (shard 1)");
  return merge;
}

}  // namespace orvel::cli
