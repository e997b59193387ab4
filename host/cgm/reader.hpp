// Reads a binary CGM file (the binary encoding of the Computer Graphics
// Metafile) into a scene: lines, polylines, arcs, circles and texts in
// millimetres on the sheet. docs/cgm.md lists the elements understood and
// how coordinates become millimetres.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cgm/scene.hpp"

namespace orvel::cgm {

struct ReadResult {
  bool ok = false;
  std::string error;  // names the file and what is wrong with it
  Scene scene;
};

// Files larger than this are refused before they are read.
constexpr size_t kMaxFileBytes = 256u * 1024u * 1024u;

ReadResult read_cgm_file(const std::string &path);

// Reads a file already in memory; name is used in error messages.
ReadResult read_cgm_bytes(const uint8_t *data, size_t size, const std::string &name);

}  // namespace orvel::cgm
