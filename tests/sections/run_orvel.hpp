// Runs the orvel command on a part with the plug-in and reads back what the
// check wrote: the report's lines, the result record and the exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sections_test {

struct CheckOutput {
  int status = -1;                  // exit status of orvel
  std::vector<std::string> report;  // report lines without their newline
  std::vector<std::string> result;  // fields of the part's result record
  std::string log;                  // the system log
};

struct CheckRequest {
  std::string part;                        // part file to check
  std::string action;                      // run configuration `action`
  std::map<std::string, std::string> env;  // extra environment variables
  std::vector<std::string> options;        // extra orvel batch options
  std::string directory;                   // where orvel runs; empty: the part's own
};

// Checks one part in batch mode in a fresh directory below the test's
// scratch directory.
CheckOutput run_check(const CheckRequest &request);

// The lines from `start` to `end` inclusive (first occurrence); empty when
// the start line is missing.
std::vector<std::string> section(const std::vector<std::string> &lines, const std::string &start,
                                 const std::string &end);

// Compares `lines` with the golden file; the message names the first line
// that differs. With VETTRA_UPDATE_GOLDEN set the golden file is rewritten.
std::string compare_with_golden(const std::vector<std::string> &lines, const std::string &golden);

std::vector<std::string> read_lines(const std::string &path);
// A fresh, empty directory below the tests' scratch directory.
std::string scratch_dir(const std::string &name);
// Copies every sample part into `dir`; returns `dir`.
std::string copy_examples(const std::string &dir);
// Writes `text` as the file `name` in `dir`; returns its path.
std::string write_file(const std::string &dir, const std::string &name, const std::string &text);

// The lines that start with `prefix` (leading blanks included).
std::vector<std::string> lines_starting(const std::vector<std::string> &lines,
                                        const std::string &prefix);
// The text between "<name>" and "</name>" of the first line holding "<name>",
// "<missing>" when there is none.
std::string element_value(const std::vector<std::string> &lines, const std::string &name);
// True when some line equals `line` exactly.
bool has_line(const std::vector<std::string> &lines, const std::string &line);

}  // namespace sections_test
