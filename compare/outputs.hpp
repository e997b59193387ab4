// The outputs of a comparison: the file of every difference (CSV or JSON lines), the
// self-contained HTML page, and the terminal summary.
#pragma once

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "compare_run.hpp"

namespace vettra::compare {

// A file written under a temporary name in the same directory and renamed into place by
// commit(), so a reader never sees half a file; a device or pipe is written in place.
// Throws std::runtime_error on failure.
class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path path);
  ~AtomicFile();
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;
  std::ostream &out() { return out_; }
  void commit();
  const std::filesystem::path &path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path temporary_;
  std::ofstream out_;
  bool committed_ = false;
  bool direct_ = false;    // not a regular file: no temporary name, no rename
  int pending_slot_ = -1;  // where the temporary name waits for removal on a signal
};

// Every difference of every part, one line each; missing, new and unreadable parts get
// one line of their own.
class DifferenceFile {
 public:
  enum class Format { csv, jsonl };
  DifferenceFile(std::filesystem::path path, Format format);
  void add(const PartResult &result);
  void commit() { file_.commit(); }

 private:
  void row(const PartResult &result, const std::string &path, const std::string &change,
           const std::string &before, const std::string &after, const std::string &family,
           const std::string &rule, const std::string &status, double relative);
  AtomicFile file_;
  Format format_;
};

// The HTML page: one summary table (sortable, filterable by verdict), each part
// expandable to its differences. Everything it needs is inside the file.
class HtmlPage {
 public:
  HtmlPage(std::filesystem::path path, const std::string &title);
  void add(const PartResult &result);
  void finish(const std::string &before, const std::string &after, const std::string &profile);

 private:
  AtomicFile file_;
  bool first_ = true;
};

struct Totals {
  std::array<size_t, verdict_count> counts{};
  std::vector<PartSummary> parts;
  std::uintmax_t bytes = 0;
  size_t recovered = 0;  // parts read with recovery, whatever their verdict
  void add(const PartResult &result);
  size_t total() const { return parts.size(); }
  bool all_good() const;  // every part the same or within tolerance
};

// Counts per verdict and the worst parts first (at most `top` of them).
void print_summary(std::ostream &out, const Totals &totals, size_t top);

// CSV field quoting and JSON text, shared with the tests.
std::string csv_field(const std::string &text);
std::string relative_text(double relative);

}  // namespace vettra::compare
