// Scene output through libplot's reentrant C API. The plotter's viewport is
// the sheet itself, and user coordinates are millimetres, so a CGM file
// carries the sheet size in its metric scaling and a reader can give the
// drawing back at its own size.
#include "cgm/writer.hpp"

#include <plot.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace orvel::cgm {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLineWidth = 0.25;        // mm
constexpr double kCapHeightRatio = 0.718;  // capital height of the font / font size
constexpr double kMinSheet = 1.0;          // mm: smaller sheets are drawn at this size

struct ParamsDeleter {
  void operator()(plPlotterParams *p) const { pl_deleteplparams(p); }
};

std::string fmt_mm(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4fmm", v);
  return buf;
}

void set_colour(plPlotter *pl, int colour, const WriteOptions &options) {
  const Rgb c = options.black_on_white ? Rgb{0, 0, 0} : colour_rgb(colour);
  pl_color_r(pl, c.r * 257, c.g * 257, c.b * 257);
}

void draw_polyline(plPlotter *pl, const std::vector<Point2> &points) {
  if (points.size() < 2) return;
  pl_fmove_r(pl, points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) pl_fcont_r(pl, points[i].x, points[i].y);
  pl_endpath_r(pl);
}

// libplot draws an arc of at most a half turn per call; a longer arc is
// drawn as pieces of at most a quarter turn in one path.
void draw_arc(plPlotter *pl, const Item &item) {
  double sweep = std::fmod(item.end_angle - item.start_angle, 360.0);
  if (sweep <= 0.0) sweep += 360.0;
  const int pieces = static_cast<int>(std::ceil(sweep / 90.0 - 1e-9));
  const double step = sweep / pieces;
  auto at = [&](double degrees) {
    const double a = degrees * kPi / 180.0;
    return Point2{item.centre.x + item.radius * std::cos(a),
                  item.centre.y + item.radius * std::sin(a)};
  };
  for (int i = 0; i < pieces; ++i) {
    const Point2 p0 = at(item.start_angle + i * step);
    const Point2 p1 = at(item.start_angle + (i + 1) * step);
    pl_farc_r(pl, item.centre.x, item.centre.y, p0.x, p0.y, p1.x, p1.y);
  }
  pl_endpath_r(pl);
}

void draw_text(plPlotter *pl, const Item &item) {
  if (item.text.empty() || item.points.empty()) return;
  pl_ffontsize_r(pl, item.height / kCapHeightRatio);
  pl_ftextangle_r(pl, item.angle);
  pl_fmove_r(pl, item.points[0].x, item.points[0].y);
  pl_alabel_r(pl, 'l', 'x', item.text.c_str());
}

void draw_item(plPlotter *pl, const Item &item, const WriteOptions &options) {
  set_colour(pl, item.colour, options);
  switch (item.kind) {
    case ItemKind::kLine:
    case ItemKind::kPolyline:
      draw_polyline(pl, item.points);
      break;
    case ItemKind::kArc:
      draw_arc(pl, item);
      break;
    case ItemKind::kCircle:
      pl_fcircle_r(pl, item.centre.x, item.centre.y, item.radius);
      pl_endpath_r(pl);
      break;
    case ItemKind::kText:
      draw_text(pl, item);
      break;
  }
}

std::string plot_into(FILE *out, const Scene &scene, const WriteOptions &options) {
  std::unique_ptr<plPlotterParams, ParamsDeleter> params(pl_newplparams());
  const double w = std::max(scene.width, kMinSheet);
  const double h = std::max(scene.height, kMinSheet);
  const std::string page =
      "a4,xsize=" + fmt_mm(w) + ",ysize=" + fmt_mm(h) + ",xorigin=0mm,yorigin=0mm";
  pl_setplparam(params.get(), "PAGESIZE", const_cast<char *>(page.c_str()));
  pl_setplparam(params.get(), "BG_COLOR", const_cast<char *>("white"));
  pl_setplparam(params.get(), "CGM_ENCODING", const_cast<char *>("binary"));
  pl_setplparam(params.get(), "INTERLACE", const_cast<char *>("no"));
  const char *type = options.format == PictureFormat::kCgm ? "cgm" : "svg";
  plPlotter *pl = pl_newpl_r(type, nullptr, out, nullptr, params.get());
  if (pl == nullptr) return "the picture library cannot start a plotter";
  std::string error;
  if (pl_openpl_r(pl) < 0) {
    error = "the picture library cannot open the page";
  } else {
    pl_fspace_r(pl, 0.0, 0.0, w, h);
    pl_erase_r(pl);
    pl_filltype_r(pl, 0);
    pl_flinewidth_r(pl, kLineWidth);
    pl_fontname_r(pl, "Helvetica");
    for (const Item &item : scene.items) draw_item(pl, item, options);
    if (pl_closepl_r(pl) < 0) error = "the picture library cannot finish the page";
  }
  pl_deletepl_r(pl);
  return error;
}

}  // namespace

std::string write_scene(const Scene &scene, const std::string &path, const WriteOptions &options) {
  std::string tmp = path + ".XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) return path + ": cannot create a file there (" + std::strerror(errno) + ")";
  // mkstemp creates the file private; give it the mode of any new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  FILE *out = fdopen(fd, "wb");
  if (out == nullptr) {
    close(fd);
    unlink(tmp.c_str());
    return path + ": cannot write (" + std::strerror(errno) + ")";
  }
  std::string error = plot_into(out, scene, options);
  const bool flushed = std::fflush(out) == 0 && fsync(fd) == 0 && !std::ferror(out);
  const int saved_errno = errno;
  const bool closed = std::fclose(out) == 0;
  // The picture library only says that it failed; a write error on the
  // file says why (a full disk).
  if (!error.empty() && !flushed) error += std::string(" (") + std::strerror(saved_errno) + ")";
  if (error.empty() && !(flushed && closed))
    error = std::string("cannot write (") + std::strerror(saved_errno) + ")";
  if (error.empty() && std::rename(tmp.c_str(), path.c_str()) != 0)
    error = std::string("cannot replace the file (") + std::strerror(errno) + ")";
  if (!error.empty()) {
    unlink(tmp.c_str());
    return path + ": " + error;
  }
  return {};
}

}  // namespace orvel::cgm
