// Difference file, terminal summary and the atomic file they are written through.
#include "outputs.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace vettra::compare {
namespace fs = std::filesystem;

namespace {

// Temporary files not yet renamed, removed when the run is interrupted (Ctrl-C, kill), so
// that an interrupted run leaves no half-written file behind. Plain arrays: the signal
// handler may only call async-signal-safe functions.
constexpr int pending_slots = 8;
constexpr size_t pending_path_size = 4096;
char pending_paths[pending_slots][pending_path_size];
volatile std::sig_atomic_t pending_used[pending_slots];

extern "C" void remove_pending_and_die(int signal_number) {
  for (int i = 0; i < pending_slots; ++i) {
    if (pending_used[i]) ::unlink(pending_paths[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

int register_pending(const fs::path &temporary) {
  static const bool handlers = [] {
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
      std::signal(signal_number, remove_pending_and_die);
    }
    return true;
  }();
  (void)handlers;
  const std::string text = temporary.string();
  if (text.size() >= pending_path_size) return -1;
  for (int i = 0; i < pending_slots; ++i) {
    if (pending_used[i]) continue;
    std::memcpy(pending_paths[i], text.c_str(), text.size() + 1);
    pending_used[i] = 1;
    return i;
  }
  return -1;  // more outputs than slots: that one is not cleaned up on a signal
}

void unregister_pending(int slot) {
  if (slot >= 0) pending_used[slot] = 0;
}

}  // namespace

AtomicFile::AtomicFile(fs::path path) : path_(std::move(path)) {
  std::error_code error;
  const fs::file_status status = fs::status(path_, error);
  if (fs::is_directory(status)) {
    throw std::runtime_error("cannot write " + path_.string() + ": Is a directory");
  }
  // A device or a pipe (/dev/stdout, a FIFO) is written in place: renaming a file over
  // it would replace the device node rather than write to it.
  direct_ = fs::exists(status) && !fs::is_regular_file(status);
  temporary_ = path_;
  if (!direct_) temporary_ += ".tmp-" + std::to_string(::getpid());
  if (!direct_) pending_slot_ = register_pending(temporary_);
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) {
    unregister_pending(pending_slot_);
    throw std::runtime_error("cannot write " + path_.string() + ": " + std::strerror(errno));
  }
}

AtomicFile::~AtomicFile() {
  unregister_pending(pending_slot_);
  if (!committed_) {
    out_.close();
    std::error_code ignored;
    if (!direct_) fs::remove(temporary_, ignored);
  }
}

void AtomicFile::commit() {
  errno = 0;
  out_.flush();
  const int write_errno = errno;
  const bool written = static_cast<bool>(out_);
  out_.close();
  std::error_code error;
  if (!written || out_.fail()) {
    if (!direct_) fs::remove(temporary_, error);
    throw std::runtime_error("cannot write " + path_.string() + ": " +
                             (write_errno != 0 ? std::strerror(write_errno) : "write failed"));
  }
  if (!direct_) {
    fs::rename(temporary_, path_, error);
    if (!error) unregister_pending(pending_slot_);
    if (error) {
      const std::string reason = error.message();
      fs::remove(temporary_, error);
      throw std::runtime_error("cannot write " + path_.string() + ": " + reason);
    }
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
  } else {
    // Notes of a compared part (read with recovery, a report that was not written) go
    // with it, so that the file shows what the verdict rests on.
    for (const std::string &note : result.notes) {
      const bool before = note.rfind("before: ", 0) == 0;
      row(result, "", "note", before ? note : "", before ? "" : note, "", "",
          verdict_name(result.verdict), none);
    }
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
  if (parts.back().recovered) ++recovered;
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
  if (totals.recovered > 0) {
    out << "\nRead with recovery (ill-formed XML, compared all the same): " << totals.recovered
        << (totals.recovered == 1 ? " part\n" : " parts\n");
    size_t listed = 0;
    for (const PartSummary &part : totals.parts) {
      if (!part.recovered) continue;
      if (listed++ == top) {
        out << "  ...\n";
        break;
      }
      out << "  " << part.name << '\n';
    }
  }
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
