// The binary CGM interpreter: tracks the descriptor, picture and attribute
// elements that decide how coordinates, numbers and colours are encoded,
// and turns the graphical primitives into scene items. Any other element is
// passed over by its length. Every count is taken from the bytes actually
// present, never from a number the file claims.
#include "cgm/reader.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "cgm/elements.hpp"
#include "cgm/shapes.hpp"

namespace orvel::cgm {
namespace {

constexpr int kDelimiter = 0, kDescriptor = 1, kPictureDescriptor = 2, kControl = 3, kPrimitive = 4,
              kAttribute = 5;

// The state that decides how the elements that follow are read.
struct State {
  Precisions prec;
  bool metric = false;
  double metric_factor = 1.0;  // millimetres per VDC unit
  double extent[4] = {0, 0, 32767, 32767};
  bool direct_colour = false;
  uint64_t colour_min[3] = {0, 0, 0};
  uint64_t colour_max[3] = {255, 255, 255};
  std::map<int64_t, Rgb> colour_table;
  Rgb line{}, text{}, fill{}, edge{};
  bool edge_visible = false;
  double char_height = 0.0;  // VDC; 0 = the default, 1 % of the extent
  double base[2] = {1, 0};
};

class Interpreter {
 public:
  explicit Interpreter(Scene &scene) : scene_(scene) {}
  void run(ElementStream &stream);

 private:
  void element(const Element &e);
  void descriptor(const Element &e, ParamReader &r);
  void picture_descriptor(const Element &e, ParamReader &r);
  void control(const Element &e, ParamReader &r);
  void attribute(const Element &e, ParamReader &r);
  void primitive(const Element &e, ParamReader &r);
  void begin_picture();
  void note_sheet_size();
  void count_shapes();
  int precision(ParamReader &r, bool allow_8);
  RealFormat real_format(ParamReader &r);
  Rgb colour(ParamReader &r);
  Rgb direct_colour(ParamReader &r);
  Point2 point(ParamReader &r);
  std::vector<Point2> points(ParamReader &r);
  Mapping mapping() const;
  void text(ParamReader &r, bool restricted);

  Scene &scene_;
  State st_;
  State metafile_defaults_;
  bool in_metafile_ = false;
  bool ended_ = false;
  size_t items_counted_ = 0;  // items of the scene counted in shapes_
  size_t shapes_ = 0;
};

int Interpreter::precision(ParamReader &r, bool allow_8) {
  const int64_t bits = r.integer();
  if (bits == 16 || bits == 24 || bits == 32 || (allow_8 && bits == 8))
    return static_cast<int>(bits);
  r.fail("unsupported precision " + std::to_string(bits));
}

RealFormat Interpreter::real_format(ParamReader &r) {
  const int form = r.enumeration();
  const int64_t a = r.integer(), b = r.integer();
  if (form == 0 && a == 9 && b == 23) return {false, 32};
  if (form == 0 && a == 12 && b == 52) return {false, 64};
  if (form == 1 && a == 16 && b == 16) return {true, 32};
  if (form == 1 && a == 32 && b == 32) return {true, 64};
  r.fail("unsupported real precision (" + std::to_string(form) + ", " + std::to_string(a) + ", " +
         std::to_string(b) + ")");
}

Rgb Interpreter::direct_colour(ParamReader &r) {
  unsigned char c[3];
  for (int i = 0; i < 3; ++i) {
    const double v = static_cast<double>(r.unsigned_int(st_.prec.colour));
    const double lo = static_cast<double>(st_.colour_min[i]);
    const double hi = static_cast<double>(st_.colour_max[i]);
    double t = hi > lo ? (v - lo) / (hi - lo) : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    c[i] = static_cast<unsigned char>(std::lround(t * 255.0));
  }
  return {c[0], c[1], c[2]};
}

Rgb Interpreter::colour(ParamReader &r) {
  if (st_.direct_colour) return direct_colour(r);
  const int64_t index = static_cast<int64_t>(r.unsigned_int(st_.prec.colour_index));
  const auto it = st_.colour_table.find(index);
  if (it != st_.colour_table.end()) return it->second;
  return index == 0 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}

Point2 Interpreter::point(ParamReader &r) {
  const double x = r.vdc();
  const double y = r.vdc();
  return {x, y};
}

std::vector<Point2> Interpreter::points(ParamReader &r) {
  std::vector<Point2> out;
  out.reserve(r.remaining() / (2 * r.vdc_bytes()));
  while (r.has(2 * r.vdc_bytes())) out.push_back(point(r));
  return out;
}

Mapping Interpreter::mapping() const {
  Mapping m;
  const double f = st_.metric ? st_.metric_factor : 1.0;
  m.x0 = st_.extent[0];
  m.y0 = st_.extent[1];
  m.sx = st_.extent[2] >= st_.extent[0] ? f : -f;
  m.sy = st_.extent[3] >= st_.extent[1] ? f : -f;
  m.quantum = st_.prec.vdc_real ? 0.0 : 1.0;
  return m;
}

void Interpreter::begin_picture() {
  // Each picture starts from the metafile's defaults.
  st_ = metafile_defaults_;
}

void Interpreter::descriptor(const Element &e, ParamReader &r) {
  switch (e.id) {
    case 3:
      st_.prec.vdc_real = r.enumeration() == 1;
      if (st_.prec.vdc_real && st_.extent[2] == 32767 && st_.extent[3] == 32767) {
        st_.extent[2] = 1.0;
        st_.extent[3] = 1.0;
      }
      break;
    case 4:
      st_.prec.integer = precision(r, true);
      break;
    case 5:
      st_.prec.real = real_format(r);
      break;
    case 6:
      st_.prec.index = precision(r, true);
      break;
    case 7:
      st_.prec.colour = precision(r, true);
      break;
    case 8:
      st_.prec.colour_index = precision(r, true);
      break;
    case 10:
      for (auto &v : st_.colour_min) v = r.unsigned_int(st_.prec.colour);
      for (auto &v : st_.colour_max) v = r.unsigned_int(st_.prec.colour);
      break;
    default:
      break;
  }
  metafile_defaults_ = st_;
}

void Interpreter::picture_descriptor(const Element &e, ParamReader &r) {
  switch (e.id) {
    case 1: {
      st_.metric = r.enumeration() == 1;
      // The metric factor is a floating point number whatever the real precision.
      const double f = r.remaining() >= 8 ? r.ieee(64) : r.ieee(32);
      if (st_.metric && !(f > 0.0)) r.fail("the metric scale factor is not positive");
      st_.metric_factor = f;
      break;
    }
    case 2:
      st_.direct_colour = r.enumeration() == 1;
      break;
    case 6:
      for (double &v : st_.extent) v = r.vdc();
      break;
    default:
      break;
  }
}

void Interpreter::control(const Element &e, ParamReader &r) {
  if (e.id == 1) st_.prec.vdc_integer = precision(r, false);
  if (e.id == 2) st_.prec.vdc_real_format = real_format(r);
}

void Interpreter::attribute(const Element &e, ParamReader &r) {
  switch (e.id) {
    case 4:
      st_.line = colour(r);
      break;
    case 14:
      st_.text = colour(r);
      break;
    case 15:
      st_.char_height = std::fabs(r.vdc());
      break;
    case 16: {
      r.vdc();  // the up vector; only the baseline direction is kept
      r.vdc();
      st_.base[0] = r.vdc();
      st_.base[1] = r.vdc();
      break;
    }
    case 23:
      st_.fill = colour(r);
      break;
    case 29:
      st_.edge = colour(r);
      break;
    case 30:
      st_.edge_visible = r.enumeration() == 1;
      break;
    case 34: {
      int64_t index = static_cast<int64_t>(r.unsigned_int(st_.prec.colour_index));
      const size_t entry = 3 * static_cast<size_t>(st_.prec.colour / 8);
      while (r.has(entry)) st_.colour_table[index++] = direct_colour(r);
      break;
    }
    default:
      break;
  }
}

void Interpreter::text(ParamReader &r, bool restricted) {
  if (restricted) {
    r.vdc();
    r.vdc();
  }
  const Point2 at = point(r);
  r.enumeration();  // final or not: a following APPEND TEXT continues it
  const std::string s = r.string();
  const Mapping m = mapping();
  double height = st_.char_height;
  if (height == 0.0)
    height = 0.01 * std::max(std::fabs(st_.extent[2] - st_.extent[0]),
                             std::fabs(st_.extent[3] - st_.extent[1]));
  add_text(scene_, m, at, s, height, st_.base, nearest_colour(st_.text));
}

void Interpreter::primitive(const Element &e, ParamReader &r) {
  const Mapping m = mapping();
  const int line = nearest_colour(st_.line);
  const int closed = nearest_colour(st_.edge_visible ? st_.edge : st_.fill);
  switch (e.id) {
    case 1:
      add_polyline(scene_, m, points(r), line);
      break;
    case 2:
      add_disjoint_lines(scene_, m, points(r), line);
      break;
    case 4:
      text(r, false);
      break;
    case 5:
      text(r, true);
      break;
    case 6: {
      r.enumeration();
      append_text(scene_, r.string());
      break;
    }
    case 7:
      add_polygon(scene_, m, points(r), closed);
      break;
    case 8: {
      std::vector<Point2> ring;
      while (r.has(2 * r.vdc_bytes() + 2)) {
        ring.push_back(point(r));
        const int flag = r.enumeration();
        if (flag == 2 || flag == 3) add_polygon(scene_, m, std::move(ring), closed), ring = {};
      }
      if (!ring.empty()) add_polygon(scene_, m, std::move(ring), closed);
      break;
    }
    case 11: {
      const Point2 a = point(r), b = point(r);
      add_polygon(scene_, m, {a, {b.x, a.y}, b, {a.x, b.y}}, closed);
      break;
    }
    case 12: {
      const Point2 c = point(r);
      add_circle(scene_, m, c, std::fabs(r.vdc()), closed);
      break;
    }
    case 13:
    case 14: {
      const Point2 a = point(r), b = point(r), c = point(r);
      add_arc_3_points(scene_, m, a, b, c, e.id == 13 ? line : closed);
      break;
    }
    case 15:
    case 16:
    case 20: {
      const Point2 c = point(r);
      const Point2 s{r.vdc(), r.vdc()};
      const Point2 t{r.vdc(), r.vdc()};
      const double radius = std::fabs(r.vdc());
      add_arc_centre(scene_, m, c, s, t, radius, e.id != 20, e.id == 16 ? closed : line);
      break;
    }
    case 17: {
      const Point2 c = point(r), p = point(r), q = point(r);
      add_elliptical_arc(scene_, m, c, p, q, nullptr, closed);
      break;
    }
    case 18:
    case 19: {
      const Point2 c = point(r), p = point(r), q = point(r);
      const Point2 dirs[2] = {{r.vdc(), r.vdc()}, {r.vdc(), r.vdc()}};
      add_elliptical_arc(scene_, m, c, p, q, dirs, e.id == 18 ? line : closed);
      break;
    }
    case 26: {
      const int64_t continuity = r.index();
      add_polybezier(scene_, m, points(r), continuity != 1, line);
      break;
    }
    default:
      break;
  }
}

void Interpreter::element(const Element &e) {
  ParamReader r(e, st_.prec);
  switch (e.cls) {
    case kDelimiter:
      if (e.id == 2) ended_ = true;
      if (e.id == 3) begin_picture();
      break;
    case kDescriptor:
      descriptor(e, r);
      break;
    case kPictureDescriptor:
      picture_descriptor(e, r);
      break;
    case kControl:
      control(e, r);
      break;
    case kPrimitive:
      primitive(e, r);
      count_shapes();
      break;
    case kAttribute:
      attribute(e, r);
      break;
    default:
      break;
  }
  if (e.cls == kDelimiter && e.id == 4) note_sheet_size();
}

// The sheet is the largest VDC extent of any picture, in millimetres.
void Interpreter::note_sheet_size() {
  const Mapping m = mapping();
  scene_.width = std::max(scene_.width, std::fabs((st_.extent[2] - st_.extent[0]) * m.sx));
  scene_.height = std::max(scene_.height, std::fabs((st_.extent[3] - st_.extent[1]) * m.sy));
}

// True when every number of the item is finite.
bool finite_item(const Item &item) {
  auto finite = [](double v) { return std::isfinite(v); };
  for (const Point2 &p : item.points)
    if (!finite(p.x) || !finite(p.y)) return false;
  return finite(item.centre.x) && finite(item.centre.y) && finite(item.radius) &&
         finite(item.start_angle) && finite(item.end_angle) && finite(item.height) &&
         finite(item.angle);
}

// Counts the shapes of the items added since the last count: one for each
// item, or for each segment of a polyline. Finite numbers in the file can
// still overflow once scaled to millimetres; such an item would become an
// object, and a part file, that cannot be read back.
void Interpreter::count_shapes() {
  for (; items_counted_ < scene_.items.size(); ++items_counted_) {
    const Item &item = scene_.items[items_counted_];
    if (!finite_item(item)) throw FormatError("a coordinate is not finite once scaled");
    shapes_ += item.points.size() > 2 ? item.points.size() - 1 : 1;
  }
  if (shapes_ > kMaxShapes)
    throw FormatError("more than " + std::to_string(kMaxShapes) +
                      " lines, arcs and texts, more than any drawing needs");
}

void Interpreter::run(ElementStream &stream) {
  if (stream.at_end()) throw FormatError("the file is empty");
  if (stream.first_header() != 0x0020)
    throw FormatError("not a binary CGM file (it does not begin with BEGIN METAFILE)");
  stream.next();
  metafile_defaults_ = st_;
  while (!ended_) {
    if (stream.at_end()) throw FormatError("truncated: the file ends before END METAFILE");
    element(stream.next());
  }
}

}  // namespace

ReadResult read_cgm_bytes(const uint8_t *data, size_t size, const std::string &name) {
  ReadResult result;
  try {
    ElementStream stream(data, size);
    Interpreter(result.scene).run(stream);
    result.ok = true;
  } catch (const FormatError &e) {
    result.error = name + ": " + e.what();
    result.scene = Scene{};
  } catch (const std::bad_alloc &) {
    result.error = name + ": not enough memory to read it";
    result.scene = Scene{};
  }
  return result;
}

ReadResult read_cgm_file(const std::string &path) {
  ReadResult result;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) {
    result.error = path + ": is a directory, not a CGM file";
    return result;
  }
  // Opening a pipe waits for a writer that may never come, and a device
  // has no size to bound the read by: only regular files are read.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    result.error = path + ": is not a regular file (a device, pipe or socket), not a CGM file";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = path + ": cannot open the file (it does not exist or is not readable)";
    return result;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) {
    result.error = path + ": cannot read the file (not a regular file)";
    return result;
  }
  if (static_cast<uint64_t>(size) > kMaxFileBytes) {
    result.error = path + ": the file is larger than " + std::to_string(kMaxFileBytes >> 20) +
                   " MB, more than any drawing needs";
    return result;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char *>(bytes.data()), size)) {
    result.error = path + ": cannot read the file";
    return result;
  }
  return read_cgm_bytes(bytes.data(), bytes.size(), path);
}

}  // namespace orvel::cgm
