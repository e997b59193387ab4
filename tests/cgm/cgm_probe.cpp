// cgm_probe: the CGM library from the command line, for the interop check.
//   cgm_probe read FILE              one line per item read from FILE
//   cgm_probe sample OUT [--svg] [--black] [--upright]
//                                    the sample drawing as CGM or SVG; --upright
//                                    leaves out the texts that are not horizontal
//   cgm_probe roundtrip DIR          writes the sample as CGM into DIR, reads it
//                                    back and reports the largest deviation
//   cgm_probe dark-pixels FILE.pgm   how many pixels of a binary PGM are dark
// Exit status 0 on success, 1 with the error message on standard error.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "cgm/reader.hpp"
#include "cgm/writer.hpp"
#include "sample_scene.hpp"
#include "scene_compare.hpp"

using namespace orvel::cgm;

namespace {

void print_item(const Item &i) {
  switch (i.kind) {
    case ItemKind::kLine:
    case ItemKind::kPolyline:
      std::printf("%s %zu", i.kind == ItemKind::kLine ? "line" : "polyline", i.points.size());
      for (const Point2 &p : i.points) std::printf(" %.3f %.3f", p.x, p.y);
      break;
    case ItemKind::kArc:
      std::printf("arc %.3f %.3f %.3f %.3f %.3f", i.centre.x, i.centre.y, i.radius, i.start_angle,
                  i.end_angle);
      break;
    case ItemKind::kCircle:
      std::printf("circle %.3f %.3f %.3f", i.centre.x, i.centre.y, i.radius);
      break;
    case ItemKind::kText:
      std::printf("text %.3f %.3f %.3f %.3f \"%s\"", i.points[0].x, i.points[0].y, i.height,
                  i.angle, i.text.c_str());
      break;
  }
  std::printf(" colour %d\n", i.colour);
}

int usage() {
  std::fprintf(stderr,
               "usage: cgm_probe read FILE | sample OUT [--svg] [--black] [--upright] |\n"
               "       roundtrip DIR | dark-pixels FILE.pgm\n");
  return 2;
}

constexpr double kRoundTripTolerance = 0.05;  // mm: libplot's 16-bit grid is 0.026 mm on A3

int round_trip(const std::string &dir) {
  const Scene scene = fixtures::sample_scene();
  const std::string path = dir + "/roundtrip.cgm";
  const std::string error = write_scene(scene, path, {});
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const ReadResult r = read_cgm_file(path);
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", r.error.c_str());
    return 1;
  }
  std::string why;
  const double worst = fixtures::deviation(scene, r.scene, why);
  if (worst < 0) {
    std::fprintf(stderr, "round trip: %s\n", why.c_str());
    return 1;
  }
  std::printf("round trip: %zu items, largest deviation %.4f mm (tolerance %.2f mm)\n",
              scene.items.size(), worst, kRoundTripTolerance);
  return worst <= kRoundTripTolerance ? 0 : 1;
}

// Binary PGM (P5, 8 bit): counts the pixels darker than mid grey.
int dark_pixels(const char *path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  if (!(in >> magic >> w >> h >> max) || magic != "P5" || max != 255 || w <= 0 || h <= 0) {
    std::fprintf(stderr, "%s: not an 8-bit binary PGM\n", path);
    return 1;
  }
  in.get();
  long dark = 0, total = 0;
  for (char c; in.get(c); ++total) dark += static_cast<unsigned char>(c) < 128;
  std::printf("%ld dark pixels of %ld\n", dark, total);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 3 && std::strcmp(argv[1], "read") == 0) {
    const ReadResult r = read_cgm_file(argv[2]);
    if (!r.ok) {
      std::fprintf(stderr, "%s\n", r.error.c_str());
      return 1;
    }
    std::printf("sheet %.3f %.3f items %zu\n", r.scene.width, r.scene.height, r.scene.items.size());
    for (const Item &i : r.scene.items) print_item(i);
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "sample") == 0) {
    WriteOptions options;
    bool upright = false;
    for (int a = 3; a < argc; ++a) {
      if (std::strcmp(argv[a], "--svg") == 0)
        options.format = PictureFormat::kSvg;
      else if (std::strcmp(argv[a], "--black") == 0)
        options.black_on_white = true;
      else if (std::strcmp(argv[a], "--upright") == 0)
        upright = true;
      else
        return usage();
    }
    Scene scene = fixtures::sample_scene();
    if (upright)
      scene.items.erase(std::remove_if(scene.items.begin(), scene.items.end(),
                                       [](const Item &i) { return i.angle != 0.0; }),
                        scene.items.end());
    const std::string error = write_scene(scene, argv[2], options);
    if (!error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "roundtrip") == 0) return round_trip(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "dark-pixels") == 0) return dark_pixels(argv[2]);
  return usage();
}
