// Progress of a batch run over a part list, shown on standard error while
// the plug-in works: "part k of n", the failures so far and the elapsed time.
// It only reads what the run leaves anyway (the list file and the result
// file) and what the host reports of each part it opens; the plug-in's system
// log and result file are not touched.
#pragma once

#include <chrono>
#include <cstddef>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace orvel::cli {

// The parts a list file names, as the plug-in reads it: pieces of at most
// 1023 characters, each ending line feed removed and a carriage return
// before it.
std::vector<std::string> list_file_parts(const std::string &path);

class ListProgress {
 public:
  // `parts`: the part specifications of the run in the order they are
  // checked (the single part first); `result_file`: where the plug-in writes
  // its records, empty for none; `out`: a terminal.
  ListProgress(std::vector<std::string> parts, std::string result_file, std::ostream &out);

  // The host is opening a part; `opened` is false when it could not.
  void part_opened(bool opened);
  // The run has ended: the final count.
  void finish();

  int started() const { return started_; }
  // Parts whose record carries a code other than 0; without a result file,
  // the parts that did not open.
  int failed() const { return result_file_.empty() ? open_failures_ : failed_; }

 private:
  void read_new_records();
  void count_record(const std::string &record);
  void show(bool final);

  std::vector<std::string> parts_;
  std::string result_file_;
  std::ostream &out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::streamoff read_offset_ = 0;  // of the result file, up to a whole line
  bool header_seen_ = false;
  std::size_t records_ = 0;  // records read so far
  int started_ = 0;          // parts the host was asked to open
  int open_failures_ = 0;    // of those, parts that did not open
  int failed_ = 0;           // records with a code other than 0
};

// "hh:mm:ss" of a duration in seconds.
std::string elapsed_text(long seconds);

}  // namespace orvel::cli
