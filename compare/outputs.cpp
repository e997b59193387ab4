// Difference file, terminal summary and the atomic file they are written through.
#include "outputs.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace vettra::compare {
namespace fs = std::filesystem;

AtomicFile::AtomicFile(fs::path path) : path_(std::move(path)) {
  temporary_ = path_;
  temporary_ += ".tmp-" + std::to_string(::getpid());
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    throw std::runtime_error("cannot write " + path_.string() + ": " + std::strerror(errno));
  }
}

AtomicFile::~AtomicFile() {
  if (!committed_) {
    out_.close();
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
}

void AtomicFile::commit() {
  out_.flush();
  const bool written = static_cast<bool>(out_);
  out_.close();
  std::error_code error;
  if (!written || out_.fail()) {
    fs::remove(temporary_, error);
    throw std::runtime_error("cannot write " + path_.string() + ": write failed");
  }
  fs::rename(temporary_, path_, error);
  if (error) {
    fs::remove(temporary_, error);
    throw std::runtime_error("cannot write " + path_.string() + ": " + error.message());
  }
  committed_ = true;
}

std::string csv_field(const std::string &text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string relative_text(double relative) {
  if (std::isnan(relative)) return "";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", relative);
  return buffer;
}

DifferenceFile::DifferenceFile(fs::path path, Format format)
    : file_(std::move(path)), format_(format) {
  if (format_ == Format::csv) {
    file_.out() << "part,verdict,path,change,before,after,family,rule,status,relative\n";
  }
}

void DifferenceFile::row(const PartResult &result, const std::string &path,
                         const std::string &change, const std::string &before,
                         const std::string &after, const std::string &family,
                         const std::string &rule, const std::string &status, double relative) {
  std::ostream &out = file_.out();
  if (format_ == Format::csv) {
    const std::string fields[] = {
        result.name, verdict_name(result.verdict), path, change, before, after, family, rule,
        status,      relative_text(relative)};
    bool first = true;
    for (const std::string &field : fields) {
      out << (first ? "" : ",") << csv_field(field);
      first = false;
    }
    out << '\n';
    return;
  }
  nlohmann::json line = {{"part", result.name}, {"verdict", verdict_name(result.verdict)},
                         {"path", path},        {"change", change},
                         {"before", before},    {"after", after},
                         {"family", family},    {"rule", rule},
                         {"status", status}};
  line["relative"] = std::isnan(relative) ? nlohmann::json() : nlohmann::json(relative);
  out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

void DifferenceFile::add(const PartResult &result) {
  const double none = std::nan("");
  if (result.verdict == Verdict::missing || result.verdict == Verdict::new_part ||
      result.verdict == Verdict::unreadable) {
    std::string notes;
    for (const std::string &note : result.notes) notes += (notes.empty() ? "" : "; ") + note;
    row(result, "", verdict_name(result.verdict), result.verdict == Verdict::new_part ? "" : notes,
        result.verdict == Verdict::new_part ? notes : "", "", "", verdict_name(result.verdict),
        none);
  }
  for (const Difference &difference : result.differences) {
    row(result, difference.path, change_name(difference.change), difference.before,
        difference.after, difference.family, difference.rule,
        difference.within ? "within tolerance" : "differs", difference.relative);
  }
}

void Totals::add(const PartResult &result) {
  ++counts[static_cast<size_t>(result.verdict)];
  parts.push_back(summarize(result));
  bytes += result.bytes;
}

bool Totals::all_good() const {
  for (size_t i = 0; i < counts.size(); ++i) {
    const auto verdict = static_cast<Verdict>(i);
    if (counts[i] > 0 && verdict != Verdict::same && verdict != Verdict::within) return false;
  }
  return true;
}

void print_summary(std::ostream &out, const Totals &totals, size_t top) {
  out << "Verdict             Parts\n";
  for (int i = verdict_count - 1; i >= 0; --i) {
    out << "  " << std::left << std::setw(16) << verdict_name(static_cast<Verdict>(i)) << std::right
        << std::setw(7) << totals.counts[static_cast<size_t>(i)] << '\n';
  }
  out << "  " << std::left << std::setw(16) << "total" << std::right << std::setw(7)
      << totals.total() << '\n';
  std::vector<const PartSummary *> worst;
  for (const PartSummary &part : totals.parts) {
    if (part.verdict != Verdict::same) worst.push_back(&part);
  }
  if (worst.empty()) return;
  std::stable_sort(worst.begin(), worst.end(), [](const PartSummary *a, const PartSummary *b) {
    if (a->verdict != b->verdict) return a->verdict > b->verdict;
    if (a->differing != b->differing) return a->differing > b->differing;
    return a->largest > b->largest;
  });
  out << "\nWorst parts first:\n";
  for (size_t i = 0; i < worst.size() && i < top; ++i) {
    const PartSummary &part = *worst[i];
    out << "  " << std::left << std::setw(16) << verdict_name(part.verdict) << ' ' << part.name;
    const size_t count = part.differing + part.within;
    if (count > 0) out << "  (" << count << (count == 1 ? " difference)" : " differences)");
    out << '\n';
    if (!part.first.empty()) out << "      " << part.first << '\n';
  }
  if (worst.size() > top) out << "  ... and " << worst.size() - top << " more\n";
}

}  // namespace vettra::compare
