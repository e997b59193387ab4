// Writes a scene as a picture file through libplot: binary CGM for other
// CAD and office programs, SVG for people to look at. Both come from the same
// drawing code, so the two files show the same thing.
#pragma once

#include <string>

#include "cgm/scene.hpp"

namespace orvel::cgm {

enum class PictureFormat { kCgm, kSvg };

struct WriteOptions {
  PictureFormat format = PictureFormat::kCgm;
  bool black_on_white = false;  // every curve and text black
};

// Writes the scene to path atomically (a temporary file in the same
// directory, renamed over path once complete). Returns an empty text on
// success, else a message naming the file and the fault.
std::string write_scene(const Scene &scene, const std::string &path, const WriteOptions &options);

}  // namespace orvel::cgm
