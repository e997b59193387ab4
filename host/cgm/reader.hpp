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

// A file that gives more shapes than this is refused: an import creates an
// object for every shape, each segment of a polyline a line, and a few
// bytes of polyline would otherwise become a part far too large for memory.
constexpr size_t kMaxShapes = 1000000;

ReadResult read_cgm_file(const std::string &path);

// Reads a file already in memory; name is used in error messages.
ReadResult read_cgm_bytes(const uint8_t *data, size_t size, const std::string &name);

}  // namespace orvel::cgm
