// Part files: one JSON document per part (docs/part-file-format.md). Reading
// validates everything and builds a part that is not yet in any session;
// writing produces the same format back, atomically.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "model/part.hpp"

namespace orvel::partfile {

// A part file that cannot be loaded: the host code, the file, the place in
// the file as a JSON pointer ("/objects/2/shape") and the problem.
class LoadError : public std::runtime_error {
 public:
  LoadError(int code, std::string file, std::string path, std::string problem);
  int code() const { return code_; }
  const std::string &file() const { return file_; }
  const std::string &path() const { return path_; }
  const std::string &problem() const { return problem_; }

 private:
  int code_;
  std::string file_, path_, problem_;
};

// Longest texts the format accepts.
constexpr size_t kMaxObjectName = ZK_OBJ_NAME_BUFSIZE - 1;
constexpr size_t kMaxRefsetName = ZK_REFSET_NAME_BUFSIZE - 1;
constexpr size_t kMaxInstanceName = ZK_INSTANCE_NAME_BUFSIZE - 1;
constexpr size_t kMaxAttributeTitle = ZK_ATTR_TITLE_BUFSIZE - 1;
constexpr size_t kMaxAttributeString = ZK_ATTR_STRING_BUFSIZE - 1;
constexpr size_t kMaxTextLine = 1023;  // one line of a drafting object's text

// Reads and validates the part file at `file`; `file` names it in errors.
// Components are listed (Instance objects) but not loaded: their `child` is
// left empty. Throws LoadError.
std::unique_ptr<model::Part> read_part(const std::string &file);

// Parses part file text; `file` names it in errors. Throws LoadError.
// Reads with parse_part_fast, and with parse_part_carefully what that
// declines.
std::unique_ptr<model::Part> parse_part(const std::string &text, const std::string &file);

// The reading of a valid file with a fast parser (simdjson): none for a
// file with any problem, repeated field names or a drawing-compare
// snapshot, which parse_part_carefully reads instead.
std::unique_ptr<model::Part> parse_part_fast(const std::string &text, const std::string &file);

// The careful reading (nlohmann-json), which words every problem as a
// LoadError.
std::unique_ptr<model::Part> parse_part_carefully(const std::string &text, const std::string &file);

// The part file text of `part` (its own objects, not its occurrences).
std::string format_part(const model::Part &part);

// Writes `part` to `file` through a temporary file in the same directory,
// flushed to the disk, then renamed over `file`, so that `file` is always
// either the old or the new text. `before_rename`, when given, runs between
// the two (a process that dies there leaves the old file whole). Returns the
// digest of the text written. Throws LoadError with code kPartSaveFailed.
std::string write_part(const model::Part &part, const std::string &file,
                       const std::function<void(const std::string &temporary)> &before_rename = {});

// A digest of part file text, to tell whether a file changed since it was
// read.
std::string text_digest(const std::string &text);

}  // namespace orvel::partfile
