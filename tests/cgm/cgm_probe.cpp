// cgm_probe: the CGM library from the command line, for the interop check.
//   cgm_probe read FILE              one line per item read from FILE
//   cgm_probe sample OUT [--svg] [--black]   the sample drawing as CGM or SVG
// Exit status 0 on success, 1 with the error message on standard error.
#include <cstdio>
#include <cstring>
#include <string>

#include "cgm/reader.hpp"
#include "cgm/writer.hpp"
#include "sample_scene.hpp"

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
  std::fprintf(stderr, "usage: cgm_probe read FILE | cgm_probe sample OUT [--svg] [--black]\n");
  return 2;
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
    for (int a = 3; a < argc; ++a) {
      if (std::strcmp(argv[a], "--svg") == 0)
        options.format = PictureFormat::kSvg;
      else if (std::strcmp(argv[a], "--black") == 0)
        options.black_on_white = true;
      else
        return usage();
    }
    const std::string error = write_scene(fixtures::sample_scene(), argv[2], options);
    if (!error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  return usage();
}
