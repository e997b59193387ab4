// Geometry of the CGM primitives: circles through three points, conjugate
// diameters, Bezier curves that follow a circle.
#include "cgm/shapes.hpp"

#include <algorithm>
#include <cmath>

namespace orvel::cgm {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kBezierSamples = 8;    // per Bezier segment
constexpr int kEllipseSamples = 64;  // per full turn of a non-circular ellipse
constexpr double kRoundTol = 2e-3;   // relative radius tolerance of "circular"

Point2 sub(Point2 a, Point2 b) {
  return {a.x - b.x, a.y - b.y};
}
double cross(Point2 a, Point2 b) {
  return a.x * b.y - a.y * b.x;
}
double dot(Point2 a, Point2 b) {
  return a.x * b.x + a.y * b.y;
}
double len(Point2 a) {
  return std::hypot(a.x, a.y);
}
double degrees(Point2 v) {
  return std::atan2(v.y, v.x) * 180.0 / kPi;
}

double normalise(double a) {
  a = std::fmod(a, 360.0);
  return a < 0 ? a + 360.0 : a;
}

double length_mm(const Mapping &m, double vdc) {
  return std::fabs(vdc * m.sx);
}

// An arc in sheet millimetres from point s to point e around c.
void add_arc_mm(Scene &scene, Point2 c, double radius, Point2 s, Point2 e, bool ccw, int colour) {
  if (!ccw) std::swap(s, e);
  Item item;
  item.centre = c;
  item.radius = radius;
  item.colour = colour;
  item.start_angle = normalise(degrees(sub(s, c)));
  double end = normalise(degrees(sub(e, c)));
  if (end <= item.start_angle + 1e-9) end += 360.0;
  item.end_angle = end;
  item.kind = ItemKind::kArc;
  if (item.end_angle - item.start_angle >= 360.0 - 1e-6) item.kind = ItemKind::kCircle;
  scene.items.push_back(std::move(item));
}

void add_arc_vdc(Scene &scene, const Mapping &m, Point2 c, double radius, Point2 s, Point2 e,
                 bool ccw, int colour) {
  add_arc_mm(scene, m.map(c), length_mm(m, radius), m.map(s), m.map(e), ccw != m.mirrored(),
             colour);
}

bool circle_through(Point2 a, Point2 b, Point2 c, Point2 &centre, double &radius) {
  const double d = 2.0 * cross(sub(b, a), sub(c, a));
  const double scale = std::max({len(sub(b, a)), len(sub(c, a)), 1e-300});
  if (std::fabs(d) <= 1e-9 * scale * scale) return false;
  const double ab = dot(sub(b, a), sub(b, a)), ac = dot(sub(c, a), sub(c, a));
  const Point2 ba = sub(b, a), ca = sub(c, a);
  centre = {a.x + (ca.y * ab - ba.y * ac) / d, a.y + (ba.x * ac - ca.x * ab) / d};
  radius = len(sub(a, centre));
  return std::isfinite(radius);
}

// Least-squares circle through points (algebraic fit on centred data):
// steady for short arcs and for arcs that almost close.
bool fit_circle(const std::vector<Point2> &pts, Point2 &centre, double &radius) {
  Point2 mean{0, 0};
  for (const Point2 &p : pts) mean = {mean.x + p.x, mean.y + p.y};
  mean = {mean.x / pts.size(), mean.y / pts.size()};
  double suu = 0, svv = 0, suv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
  for (const Point2 &p : pts) {
    const double u = p.x - mean.x, v = p.y - mean.y;
    suu += u * u, svv += v * v, suv += u * v;
    suuu += u * u * u, svvv += v * v * v, suvv += u * v * v, svuu += v * u * u;
  }
  const double det = suu * svv - suv * suv;
  if (!(std::fabs(det) > 1e-12 * (suu + svv) * (suu + svv))) return false;
  const double bu = (suuu + suvv) / 2, bv = (svvv + svuu) / 2;
  const double uc = (bu * svv - bv * suv) / det, vc = (bv * suu - bu * suv) / det;
  centre = {mean.x + uc, mean.y + vc};
  radius = std::sqrt(uc * uc + vc * vc + (suu + svv) / pts.size());
  return std::isfinite(radius) && radius > 0;
}

Point2 bezier(const Point2 *p, double t) {
  const double u = 1 - t;
  const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
  return {a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x,
          a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y};
}

// Samples that lie on one circle and turn one way make an arc.
bool add_if_circular(Scene &scene, const Mapping &m, const std::vector<Point2> &pts, int colour) {
  if (pts.size() < 3) return false;
  Point2 c;
  double r;
  if (!fit_circle(pts, c, r)) return false;
  const double tol = kRoundTol * r + m.quantum * 1.5;
  double turn = 0.0;
  for (size_t i = 0; i < pts.size(); ++i) {
    if (std::fabs(len(sub(pts[i], c)) - r) > tol) return false;
    if (i == 0) continue;
    const double step = std::atan2(cross(sub(pts[i - 1], c), sub(pts[i], c)),
                                   dot(sub(pts[i - 1], c), sub(pts[i], c)));
    if (i > 1 && (step > 0) != (turn > 0) && std::fabs(step) > 1e-12) return false;
    turn += step;
  }
  if (std::fabs(turn) > 2 * kPi + 1e-3 || std::fabs(turn) < 1e-9) return false;
  add_arc_vdc(scene, m, c, r, pts.front(), pts.back(), turn > 0, colour);
  return true;
}

}  // namespace

void add_polyline(Scene &scene, const Mapping &m, std::vector<Point2> points, int colour) {
  if (points.size() < 2) return;
  Item item;
  item.kind = points.size() == 2 ? ItemKind::kLine : ItemKind::kPolyline;
  item.colour = colour;
  for (Point2 &p : points) p = m.map(p);
  item.points = std::move(points);
  scene.items.push_back(std::move(item));
}

void add_disjoint_lines(Scene &scene, const Mapping &m, const std::vector<Point2> &points,
                        int colour) {
  for (size_t i = 0; i + 1 < points.size(); i += 2)
    add_polyline(scene, m, {points[i], points[i + 1]}, colour);
}

void add_polygon(Scene &scene, const Mapping &m, std::vector<Point2> points, int colour) {
  if (points.size() < 2) return;
  const Point2 first = points.front(), last = points.back();
  if (first.x != last.x || first.y != last.y) points.push_back(first);
  add_polyline(scene, m, std::move(points), colour);
}

void add_circle(Scene &scene, const Mapping &m, Point2 centre, double radius, int colour) {
  Item item;
  item.kind = ItemKind::kCircle;
  item.centre = m.map(centre);
  item.radius = length_mm(m, radius);
  item.end_angle = 360.0;
  item.colour = colour;
  scene.items.push_back(std::move(item));
}

void add_arc_3_points(Scene &scene, const Mapping &m, Point2 a, Point2 b, Point2 c, int colour) {
  Point2 centre;
  double r;
  if (!circle_through(a, b, c, centre, r)) {
    add_polyline(scene, m, {a, c}, colour);
    return;
  }
  add_arc_vdc(scene, m, centre, r, a, c, cross(sub(b, a), sub(c, b)) > 0, colour);
}

void add_arc_centre(Scene &scene, const Mapping &m, Point2 centre, Point2 start, Point2 end,
                    double radius, bool ccw, int colour) {
  auto along = [&](Point2 d) {
    const double l = len(d);
    if (!(l > 0)) d = {1, 0};
    const double k = l > 0 ? radius / l : radius;
    return Point2{centre.x + d.x * k, centre.y + d.y * k};
  };
  add_arc_vdc(scene, m, centre, radius, along(start), along(end), ccw, colour);
}

void add_elliptical_arc(Scene &scene, const Mapping &m, Point2 c, Point2 p, Point2 q,
                        const Point2 *dirs, int colour) {
  const Point2 u = sub(p, c), v = sub(q, c);
  const double det = cross(u, v);
  const double lu = len(u), lv = len(v);
  if (!(std::fabs(det) > 1e-12 * std::max(lu * lv, 1e-300))) {
    add_polyline(scene, m, {{c.x - u.x, c.y - u.y}, {c.x + u.x, c.y + u.y}}, colour);
    return;
  }
  // Parameter of a direction d: d = a u + b v, t = atan2(b, a).
  auto param = [&](Point2 d) { return std::atan2(cross(u, d) / det, cross(d, v) / det); };
  double t0 = 0.0, sweep = 2 * kPi;
  if (dirs != nullptr) {
    t0 = param(dirs[0]);
    sweep = std::fmod(param(dirs[1]) - t0, 2 * kPi);
    if (sweep <= 1e-12) sweep += 2 * kPi;
  }
  auto at = [&](double t) {
    return Point2{c.x + u.x * std::cos(t) + v.x * std::sin(t),
                  c.y + u.y * std::cos(t) + v.y * std::sin(t)};
  };
  const double tol = kRoundTol * std::max(lu, lv) + m.quantum * 1.5;
  const bool round = std::fabs(lu - lv) <= tol && std::fabs(dot(u, v)) <= tol * std::max(lu, lv);
  if (round && dirs == nullptr) return add_circle(scene, m, c, (lu + lv) / 2, colour);
  if (round)
    return add_arc_vdc(scene, m, c, (lu + lv) / 2, at(t0), at(t0 + sweep), det > 0, colour);
  const int n = std::max(4, static_cast<int>(std::ceil(sweep / (2 * kPi) * kEllipseSamples)));
  std::vector<Point2> pts;
  for (int i = 0; i <= n; ++i) pts.push_back(at(t0 + sweep * i / n));
  add_polyline(scene, m, std::move(pts), colour);
}

void add_polybezier(Scene &scene, const Mapping &m, const std::vector<Point2> &points,
                    bool continuous, int colour) {
  if (!continuous) {
    for (size_t i = 0; i + 4 <= points.size(); i += 4)
      add_polybezier(scene, m, {points.begin() + i, points.begin() + i + 4}, true, colour);
    return;
  }
  std::vector<Point2> samples;
  const size_t step = 3;
  for (size_t i = 0; i + 4 <= points.size(); i += step) {
    for (int k = samples.empty() ? 0 : 1; k <= kBezierSamples; ++k)
      samples.push_back(bezier(&points[i], double(k) / kBezierSamples));
  }
  if (samples.empty()) return;
  if (add_if_circular(scene, m, samples, colour)) return;
  add_polyline(scene, m, std::move(samples), colour);
}

void add_text(Scene &scene, const Mapping &m, Point2 at, const std::string &text, double height,
              const double base[2], int colour) {
  Item item;
  item.kind = ItemKind::kText;
  item.points.push_back(m.map(at));
  item.text = text;
  item.height = std::fabs(height * m.sy);
  const double bx = base[0] * m.sx, by = base[1] * m.sy;
  item.angle = (bx == 0 && by == 0) ? 0.0 : degrees({bx, by});
  item.colour = colour;
  scene.items.push_back(std::move(item));
}

void append_text(Scene &scene, const std::string &text) {
  if (!scene.items.empty() && scene.items.back().kind == ItemKind::kText)
    scene.items.back().text += text;
}

}  // namespace orvel::cgm
