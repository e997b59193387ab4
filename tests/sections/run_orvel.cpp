// Runs orvel in batch mode on one part and collects what the check wrote.
#include "run_orvel.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace sections_test {

namespace {

std::string shell_quoted(const std::string &text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::vector<std::string> split(const std::string &text, char delimiter) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, delimiter)) fields.push_back(field);
  if (!text.empty() && text.back() == delimiter) fields.emplace_back();
  return fields;
}

std::string read_all(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::vector<std::string> read_lines(const std::string &path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string scratch_dir(const std::string &name) {
  fs::path dir = fs::path(SECTIONS_SCRATCH_DIR) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

std::string copy_examples(const std::string &dir) {
  for (const auto &entry : fs::directory_iterator(EXAMPLES_DIR)) {
    if (entry.path().extension() == ".prt") {
      fs::copy_file(entry.path(), fs::path(dir) / entry.path().filename(),
                    fs::copy_options::overwrite_existing);
    }
  }
  return dir;
}

std::string write_file(const std::string &dir, const std::string &name, const std::string &text) {
  fs::path path = fs::path(dir) / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return path.string();
}

std::vector<std::string> lines_starting(const std::vector<std::string> &lines,
                                        const std::string &prefix) {
  std::vector<std::string> out;
  for (const std::string &line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  }
  return out;
}

std::string element_value(const std::vector<std::string> &lines, const std::string &name) {
  std::string start = "<" + name + ">";
  std::string end = "</" + name + ">";
  for (const std::string &line : lines) {
    size_t from = line.find(start);
    if (from == std::string::npos) continue;
    from += start.size();
    size_t to = line.find(end, from);
    return line.substr(from, to == std::string::npos ? std::string::npos : to - from);
  }
  return "<missing>";
}

bool has_line(const std::vector<std::string> &lines, const std::string &line) {
  for (const std::string &candidate : lines) {
    if (candidate == line) return true;
  }
  return false;
}

CheckOutput run_check(const CheckRequest &request) {
  static int run = 0;
  std::string dir = scratch_dir("run" + std::to_string(++run));
  std::string result_file = dir + "/result.csv";
  std::string log_file = dir + "/syslog.txt";

  // The part is named relative to its own directory, so the names in the
  // report do not depend on where the tests run. History times are shown in
  // local time: the zone is pinned so that reports compare.
  fs::path part(request.part);
  std::string where = request.directory;
  std::string name = request.part;
  if (where.empty()) {
    where = part.parent_path().string();
    name = part.filename().string();
  }
  std::string command = "cd " + shell_quoted(where) + " && env TZ=UTC";
  for (const auto &[name, value] : request.env) command += " " + shell_quoted(name + "=" + value);
  command += " " + shell_quoted(ORVEL_BIN) + " batch --single-part " + shell_quoted(name) +
             " --outdir " + shell_quoted(dir) + " --result-file " + shell_quoted(result_file) +
             " --syslog " + shell_quoted(log_file);
  if (!request.action.empty()) command += " --action " + shell_quoted(request.action);
  for (const std::string &option : request.options) command += " " + shell_quoted(option);
  command += " >" + shell_quoted(dir + "/stdout.txt") + " 2>" + shell_quoted(dir + "/stderr.txt");

  CheckOutput out;
  int status = std::system(command.c_str());
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.log = read_all(log_file);
  std::vector<std::string> records = read_lines(result_file);
  if (records.size() >= 2) {
    out.result = split(records[1], ';');
    if (out.result.size() >= 4) out.report = read_lines(out.result[3]);
  }
  return out;
}

std::vector<std::string> section(const std::vector<std::string> &lines, const std::string &start,
                                 const std::string &end) {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string &line : lines) {
    if (!inside && line == start) inside = true;
    if (inside) out.push_back(line);
    if (inside && line == end) break;
  }
  return out;
}

std::string compare_with_golden(const std::vector<std::string> &lines, const std::string &golden) {
  fs::path path = fs::path(SECTIONS_GOLDEN_DIR) / golden;
  if (std::getenv("VETTRA_UPDATE_GOLDEN") != nullptr) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string &line : lines) out << line << "\n";
    return "";
  }
  std::vector<std::string> expected = read_lines(path.string());
  if (expected.empty()) return "golden file " + path.string() + " is missing or empty";
  size_t n = std::max(lines.size(), expected.size());
  for (size_t i = 0; i < n; i++) {
    std::string want = i < expected.size() ? expected[i] : "<end of golden file>";
    std::string got = i < lines.size() ? lines[i] : "<end of section>";
    if (want != got) {
      return golden + " line " + std::to_string(i + 1) + ":\n  expected [" + want +
             "]\n  actual   [" + got + "]";
    }
  }
  return "";
}

}  // namespace sections_test
