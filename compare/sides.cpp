// Listing the reports of a side and pairing them by file name.
#include "sides.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <system_error>

namespace vettra::compare {
namespace fs = std::filesystem;
namespace {

constexpr const char *result_header = "ObjectCLI;ResultCode;ResultMsg;xml_filename";
constexpr const char *no_report = "N.N";

std::vector<std::string> split(const std::string &text, char delimiter) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  while (true) {
    const auto end = text.find(delimiter, start);
    fields.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

std::string join(const std::vector<std::string> &fields, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) {
    if (i > from) text += ';';
    text += fields[i];
  }
  return text;
}

bool is_integer(const std::string &text) {
  size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// The characters a report name never holds; each becomes "_".
std::string sanitize(std::string name) {
  const std::string unsafe = "\\/?!#;:%='<>$ ";
  for (char &c : name) {
    if (unsafe.find(c) != std::string::npos) c = '_';
  }
  return name;
}

// Where the report of a record is: as written (from the current directory), else beside
// the result file under the same relative path, else beside it by file name.
fs::path locate_report(const fs::path &result_file, const std::string &written) {
  const fs::path as_written(written);
  std::error_code error;
  if (as_written.is_absolute() || fs::exists(as_written, error)) return as_written;
  const fs::path dir = result_file.parent_path();
  for (const fs::path &candidate : {dir / as_written, dir / as_written.filename()}) {
    if (fs::exists(candidate, error)) return candidate;
  }
  return as_written;
}

void sort_unique(std::vector<SideEntry> &entries) {
  // A part checked twice in one run keeps its last record: its report is the last one.
  std::map<std::string, SideEntry> by_name;
  for (SideEntry &entry : entries) by_name[entry.name] = std::move(entry);
  entries.clear();
  for (auto &[name, entry] : by_name) entries.push_back(std::move(entry));
}

Side load_directory(const fs::path &where) {
  Side side;
  side.where = where;
  std::error_code error;
  fs::directory_iterator it(where, error);
  if (error) {
    throw std::runtime_error("cannot read directory " + where.string() + ": " + error.message());
  }
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const fs::path &path = it->path();
    if (path.extension() != ".xml") continue;
    std::error_code type_error;
    if (fs::is_directory(path, type_error)) continue;
    side.entries.push_back(SideEntry{path.filename().string(), path.string(), std::nullopt, ""});
  }
  if (error) {
    throw std::runtime_error("cannot read directory " + where.string() + ": " + error.message());
  }
  sort_unique(side.entries);
  return side;
}

Side load_result_file(const fs::path &where) {
  std::ifstream in(where, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read result file " + where.string());
  Side side;
  side.where = where;
  side.result_file = true;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line != result_header) {
        throw std::runtime_error(where.string() + " is neither a directory nor a result file (" +
                                 "its first line is not " + result_header + ")");
      }
      continue;
    }
    if (line.empty()) continue;
    SideEntry entry;
    ResultRecord record;
    if (!parse_result_record(line, record)) {
      entry.name = "line " + std::to_string(number);
      constexpr size_t shown = 100;  // a stray line may be megabytes long
      entry.problem =
          "not a result record: " + (line.size() > shown ? line.substr(0, shown) + "..." : line);
    } else {
      record.line = number;
      const bool named = !record.report.empty() && record.report != no_report;
      entry.name =
          named ? fs::path(record.report).filename().string() : report_name_for_spec(record.spec);
      if (record_has_report(record)) entry.report = locate_report(where, record.report).string();
      entry.record = record;
    }
    side.entries.push_back(std::move(entry));
  }
  if (in.bad()) throw std::runtime_error("cannot read result file " + where.string());
  if (number == 0) throw std::runtime_error("result file " + where.string() + " is empty");
  sort_unique(side.entries);
  return side;
}

}  // namespace

bool record_has_report(const ResultRecord &record) {
  constexpr long first_missing_code = -1023;
  constexpr long last_missing_code = -1020;
  const long code = std::strtol(record.code.c_str(), nullptr, 10);
  return !record.report.empty() && record.report != no_report &&
         !(code >= first_missing_code && code <= last_missing_code);
}

bool parse_result_record(const std::string &line, ResultRecord &record) {
  // Fields are not quoted, so a ";" in the part specification or the message shifts the
  // columns: the report path is the last field, the code the first integer after the
  // specification.
  const std::vector<std::string> fields = split(line, ';');
  if (fields.size() < 4) return false;
  for (size_t i = 1; i + 2 < fields.size(); ++i) {
    if (!is_integer(fields[i])) continue;
    record.spec = join(fields, 0, i);
    record.code = fields[i];
    record.message = join(fields, i + 1, fields.size() - 1);
    record.report = fields.back();
    return true;
  }
  return false;
}

std::string report_name_for_spec(const std::string &spec) {
  if (spec.rfind("@DB/", 0) == 0) {
    std::vector<std::string> fields = split(spec.substr(4), '/');
    fields.resize(std::max<size_t>(fields.size(), 4));
    std::string name = fields[0] + "_" + fields[1] + "_" + fields[2];
    if (!fields[3].empty()) name += "_" + fields[3];
    return sanitize(name) + ".xml";
  }
  const std::string file = fs::path(spec).filename().string();
  const auto dot = file.rfind('.');
  return sanitize(dot == std::string::npos || dot == 0 ? file : file.substr(0, dot)) + ".xml";
}

Side load_side(const fs::path &where) {
  std::error_code error;
  const fs::file_status status = fs::status(where, error);
  if (error || !fs::exists(status)) {
    throw std::runtime_error("cannot read " + where.string() + ": " +
                             (error ? error.message() : "No such file or directory"));
  }
  return fs::is_directory(status) ? load_directory(where) : load_result_file(where);
}

void check_distinct(const Side &before, const Side &after) {
  std::error_code error;
  if (fs::equivalent(before.where, after.where, error)) {
    throw std::runtime_error("both sides are the same " +
                             std::string(before.result_file ? "file" : "directory") + " (" +
                             before.where.string() + "): nothing to compare");
  }
}

std::vector<PartPair> pair_sides(const Side &before, const Side &after) {
  std::vector<PartPair> pairs;
  auto a = before.entries.begin();
  auto b = after.entries.begin();
  while (a != before.entries.end() || b != after.entries.end()) {
    if (b == after.entries.end() || (a != before.entries.end() && a->name < b->name)) {
      pairs.push_back(PartPair{a->name, &*a, nullptr});
      ++a;
    } else if (a == before.entries.end() || b->name < a->name) {
      pairs.push_back(PartPair{b->name, nullptr, &*b});
      ++b;
    } else {
      pairs.push_back(PartPair{a->name, &*a, &*b});
      ++a;
      ++b;
    }
  }
  return pairs;
}

}  // namespace vettra::compare
