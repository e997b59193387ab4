// The two sides of a comparison: a directory of reports, or a result file whose records
// name the reports. Parts are known by their report's file name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vettra::compare {

// The result record of one part, as a batch run appended it.
struct ResultRecord {
  std::string spec;     // the part specification
  std::string code;     // the result code as written
  std::string message;  // the result message
  std::string report;   // the report path as written, "N.N" when the part did not open
  int line = 0;         // line number in the result file
};

struct SideEntry {
  std::string name;                    // the report's file name: the part's key
  std::string report;                  // where to read the report; empty when there is none
  std::optional<ResultRecord> record;  // from a result file
  std::string problem;                 // a record that could not be read
};

struct Side {
  std::filesystem::path where;
  bool result_file = false;
  std::vector<SideEntry> entries;  // sorted by name, names unique
};

// Reads a side; throws std::runtime_error with a clear message when it cannot be read.
Side load_side(const std::filesystem::path &where);

// Throws when both sides are the same directory or the same file.
void check_distinct(const Side &before, const Side &after);

// The report file name a part specification gets (for records of parts that did not
// open): the stem of a native file, or the fields of a managed part joined by "_".
std::string report_name_for_spec(const std::string &spec);

// Whether a record's part has a report to compare: not for a part that did not open
// ("N.N"), nor for one whose report is missing or incomplete (codes -1023 to -1020: the
// file named is absent, or an earlier run's report).
bool record_has_report(const ResultRecord &record);

// Splits one result record; false when the line is not a record.
bool parse_result_record(const std::string &line, ResultRecord &record);

struct PartPair {
  std::string name;
  const SideEntry *before = nullptr;
  const SideEntry *after = nullptr;
};

// Pairs the entries of the two sides by name, in name order.
std::vector<PartPair> pair_sides(const Side &before, const Side &after);

}  // namespace vettra::compare
