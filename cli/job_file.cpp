// Reads job files of `name = value` lines.
#include "job_file.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvel::cli {

namespace {

std::string trim(const std::string &text) {
  const char *blanks = " \t\r";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

std::string unquote(const std::string &value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::vector<JobSetting> parse_job_text(const std::string &text, const std::string &source) {
  std::vector<JobSetting> settings;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string content = trim(line);
    if (content.empty() || content[0] == '#') continue;
    size_t equals = content.find('=');
    if (equals == std::string::npos) {
      throw std::runtime_error(source + ":" + std::to_string(number) + ": expected 'name = value'");
    }
    std::string name = trim(content.substr(0, equals));
    if (name.empty()) {
      throw std::runtime_error(source + ":" + std::to_string(number) + ": missing name");
    }
    settings.push_back({name, unquote(trim(content.substr(equals + 1))), number});
  }
  return settings;
}

std::vector<JobSetting> read_job_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read job file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return parse_job_text(text.str(), path);
}

}  // namespace orvel::cli
