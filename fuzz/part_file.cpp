// Fuzz target: the part-file reader. Any text is either a part or a
// LoadError; a part that was read is written back and must read again
// (load, save, load loses nothing).
#include "partfile/part_file.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  std::unique_ptr<orvel::model::Part> part;
  try {
    part = orvel::partfile::parse_part(text, "fuzz.prt");
  } catch (const orvel::partfile::LoadError &) {
    return 0;
  }
  std::string saved = orvel::partfile::format_part(*part);
  try {
    orvel::partfile::parse_part(saved, "saved.prt");
  } catch (const orvel::partfile::LoadError &e) {
    std::fprintf(stderr, "a part read from the input does not read back: %s\n", e.what());
    std::abort();
  }
  return 0;
}
