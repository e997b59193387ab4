// Job files: the batch settings as `name = value` lines, one a line.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvel::cli {

struct JobSetting {
  std::string name;
  std::string value;
  int line;  // from 1, for messages
};

// Reads the settings of a job file. Blank lines and lines whose first
// non-blank character is "#" are skipped. The name and the value are trimmed
// of surrounding blanks and tabs; a value written in double quotes keeps its
// blanks (the quotes are removed). Throws std::runtime_error naming the file
// and the line for a file that cannot be read or a line without "=".
std::vector<JobSetting> read_job_file(const std::string &path);

// The same for text already in memory; `source` names it in messages.
std::vector<JobSetting> parse_job_text(const std::string &text, const std::string &source);

}  // namespace orvel::cli
