// Progress of a list run on standard error.
#include "progress.hpp"

#include <cstdio>
#include <cstdlib>

namespace orvel::cli {

namespace {

// Pieces the plug-in reads from a list file at a time, terminator included.
constexpr std::size_t kListReadSize = 1024;

// The code of a result record: the field after the part specification. The
// specification may itself hold ";", so the known one is skipped first.
bool record_code(const std::string &record, const std::string &spec, long &code) {
  std::size_t from = 0;
  if (record.compare(0, spec.size() + 1, spec + ";") == 0) {
    from = spec.size() + 1;
  } else {
    std::size_t semicolon = record.find(';');
    if (semicolon == std::string::npos) return false;
    from = semicolon + 1;
  }
  char *end = nullptr;
  code = std::strtol(record.c_str() + from, &end, 10);
  return end != record.c_str() + from && *end == ';';
}

}  // namespace

std::vector<std::string> list_file_parts(const std::string &path) {
  std::vector<std::string> parts;
  std::FILE *file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return parts;
  char piece[kListReadSize];
  while (std::fgets(piece, sizeof piece, file) != nullptr) {
    std::string line(piece);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    parts.push_back(line);
  }
  std::fclose(file);
  return parts;
}

std::string elapsed_text(long seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

ListProgress::ListProgress(std::vector<std::string> parts, std::string result_file,
                           std::ostream &out)
    : parts_(std::move(parts)), result_file_(std::move(result_file)), out_(out) {}

void ListProgress::part_opened(bool opened) {
  read_new_records();
  started_++;
  if (!opened) open_failures_++;
  show(false);
}

void ListProgress::finish() {
  read_new_records();
  show(true);
}

void ListProgress::count_record(const std::string &record) {
  if (!header_seen_) {
    header_seen_ = true;  // the result file's first line names the fields
    return;
  }
  const std::string spec = records_ < parts_.size() ? parts_[records_] : std::string();
  records_++;
  long code = 0;
  if (record_code(record, spec, code) && code != 0) failed_++;
}

// Reads the whole records the plug-in has appended since the last call; a
// record still being written is left for the next one.
void ListProgress::read_new_records() {
  if (result_file_.empty()) return;
  std::ifstream in(result_file_, std::ios::binary);
  if (!in) return;
  in.seekg(read_offset_);
  std::string line;
  while (std::getline(in, line)) {
    if (in.eof()) break;  // no line feed yet
    read_offset_ += static_cast<std::streamoff>(line.size() + 1);
    count_record(line);
  }
}

void ListProgress::show(bool final) {
  long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_)
          .count());
  // Carriage return and "erase line": each report overwrites the last.
  out_ << "\r\033[K";
  if (final) {
    out_ << "orvel: " << started_ << " of " << parts_.size() << " parts opened, " << failed()
         << " failed, " << elapsed_text(seconds) << " elapsed\n";
  } else {
    out_ << "orvel: part " << started_ << " of " << parts_.size() << ", " << failed()
         << " failed so far, " << elapsed_text(seconds) << " elapsed";
  }
  out_.flush();
}

}  // namespace orvel::cli
