// Mass properties of single shapes against textbook closed forms, of meshes
// against the equal primitive, of placed bodies and of bodies of different
// densities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "shapes.hpp"

namespace geom_test {
namespace {

constexpr double pi = 3.14159265358979323846;
using Result = std::array<double, 47>;
// The placement of a body at its own coordinates.
const Transform kIdentity = identity();

// Result entries as laid out in docs/mass-properties.md.
enum {
  area = 0,
  volume = 1,
  mass = 2,
  cog = 3,
  first_moment = 6,
  moment = 9,
  centroid_moment = 12,
  product = 15,
  centroid_product = 18,
  radius = 21,
  centroid_radius = 24,
  principal = 27,
  principal_axes = 30,
};

void expect_close(double expected, double actual, const char *what, int entry) {
  EXPECT_NEAR(expected, actual, 1e-9 * std::fmax(1.0, std::fabs(expected)))
      << what << " entry " << entry;
}

void expect_triple(const Result &r, int entry, double x, double y, double z) {
  expect_close(x, r[entry], "x", entry);
  expect_close(y, r[entry + 1], "y", entry);
  expect_close(z, r[entry + 2], "z", entry);
}

// Moments of inertia about the axes through `g` (centroidal) and about the
// origin, with parallel-axis shifts, from the centroidal tensor diagonal.
void expect_moments(const Result &r, double m, const Vec3 &g, double icx, double icy, double icz) {
  expect_triple(r, centroid_moment, icx, icy, icz);
  expect_triple(r, moment, icx + m * (g.y * g.y + g.z * g.z), icy + m * (g.x * g.x + g.z * g.z),
                icz + m * (g.x * g.x + g.y * g.y));
  expect_triple(r, centroid_radius, std::sqrt(icx / m), std::sqrt(icy / m), std::sqrt(icz / m));
  expect_triple(r, radius, std::sqrt(r[moment] / m), std::sqrt(r[moment + 1] / m),
                std::sqrt(r[moment + 2] / m));
}

Vec3 axis_at(const Result &r, int k) {
  return {r[principal_axes + 3 * k], r[principal_axes + 3 * k + 1], r[principal_axes + 3 * k + 2]};
}

double dot3(const Vec3 &a, const Vec3 &b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

TEST(MassProperties, BlockMatchesTextbookFormulas) {
  const double a = 10, b = 20, c = 30, rho = 2.0;
  const Shape block = Block{{1, 2, 3}, {a, b, c}};
  const Result r = mass_properties({{&block, &kIdentity, rho}});
  const double m = rho * a * b * c;
  const Vec3 g{1 + a / 2, 2 + b / 2, 3 + c / 2};

  EXPECT_DOUBLE_EQ(6000.0, r[volume]);
  EXPECT_DOUBLE_EQ(12000.0, r[mass]);
  EXPECT_DOUBLE_EQ(2 * (a * b + b * c + a * c), r[area]);
  expect_triple(r, cog, 6, 12, 18);
  expect_triple(r, first_moment, m * 6, m * 12, m * 18);
  expect_moments(r, m, g, m * (b * b + c * c) / 12, m * (a * a + c * c) / 12,
                 m * (a * a + b * b) / 12);
  expect_triple(r, product, m * g.x * g.y, m * g.y * g.z, m * g.x * g.z);
  expect_triple(r, centroid_product, 0, 0, 0);

  // Principal moments ascend: about z (shortest sides), y, then x.
  expect_triple(r, principal, m * (a * a + b * b) / 12, m * (a * a + c * c) / 12,
                m * (b * b + c * c) / 12);
  EXPECT_NEAR(1.0, std::fabs(axis_at(r, 0).z), 1e-12);
  EXPECT_NEAR(1.0, std::fabs(axis_at(r, 1).y), 1e-12);
  EXPECT_NEAR(1.0, std::fabs(axis_at(r, 2).x), 1e-12);
  for (int e = 39; e < 47; ++e) EXPECT_EQ(0.0, r[e]) << "entry " << e;
}

TEST(MassProperties, TiltedCylinderMatchesClosedForm) {
  const double rad = 2, h = 5, rho = 1.5;
  const Shape cylinder = Cylinder{{1, -2, 0.5}, {3, 3, 0}, rad, h};  // axis normalised inside
  const Result r = mass_properties({{&cylinder, &kIdentity, rho}});
  const double v = pi * rad * rad * h;
  const double m = rho * v;
  const double s = h / 2 / std::sqrt(2.0);
  const Vec3 g{1 + s, -2 + s, 0.5};
  const double axial = m * rad * rad / 2;
  const double transverse = m * (3 * rad * rad + h * h) / 12;

  expect_close(v, r[volume], "volume", volume);
  expect_close(2 * pi * rad * rad + 2 * pi * rad * h, r[area], "area", area);
  expect_triple(r, cog, g.x, g.y, g.z);
  // The axis lies at 45 degrees in the xy plane: x and y each see half of
  // the axial and half of the transverse moment.
  expect_moments(r, m, g, (axial + transverse) / 2, (axial + transverse) / 2, transverse);
  expect_triple(r, centroid_product, (transverse - axial) / 2, 0, 0);
  expect_triple(r, principal, axial, transverse, transverse);
  EXPECT_NEAR(1.0, dot3(axis_at(r, 0), {1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0}), 1e-12);
}

TEST(MassProperties, SphereMatchesClosedForm) {
  const double rad = 3, rho = 7;
  const Shape sphere = Sphere{{0, 0, 4}, rad};
  const Result r = mass_properties({{&sphere, &kIdentity, rho}});
  const double v = 4.0 / 3.0 * pi * rad * rad * rad;
  const double m = rho * v;
  const double ic = 2.0 / 5.0 * m * rad * rad;

  expect_close(v, r[volume], "volume", volume);
  expect_close(m, r[mass], "mass", mass);
  expect_close(4 * pi * rad * rad, r[area], "area", area);
  expect_triple(r, cog, 0, 0, 4);
  expect_moments(r, m, {0, 0, 4}, ic, ic, ic);
  expect_triple(r, product, 0, 0, 0);
  expect_triple(r, principal, ic, ic, ic);
}

struct MeshCase {
  const char *name;
  Vec3 corner;
  bool turned_inwards;
};

void PrintTo(const MeshCase &c, std::ostream *os) {
  *os << c.name;
}

class MeshBox : public ::testing::TestWithParam<MeshCase> {};

// The divergence-theorem sums must reproduce the block exactly, also far
// from the origin and for a mesh whose triangles all face inwards.
TEST_P(MeshBox, EqualsTheBlock) {
  const MeshCase &c = GetParam();
  const Vec3 size{10, 20, 30};
  const Shape block = Block{c.corner, size};
  Mesh mesh = box_mesh(c.corner, size);
  if (c.turned_inwards) mesh = inverted(mesh);
  const Shape shape = mesh;
  const Result expected = mass_properties({{&block, &kIdentity, 2.5}});
  const Result actual = mass_properties({{&shape, &kIdentity, 2.5}});
  for (int e = 0; e < 30; ++e)
    EXPECT_NEAR(expected[e], actual[e], 1e-9 * std::fmax(1.0, std::fabs(expected[e])))
        << "entry " << e;
}

INSTANTIATE_TEST_SUITE_P(Placements, MeshBox,
                         ::testing::Values(MeshCase{"AtCorner", {1, 2, 3}, false},
                                           MeshCase{"FarAway", {1e5, -2e5, 3e5}, false},
                                           MeshCase{"TurnedInwards", {1, 2, 3}, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(MassProperties, MeshWithTwoShellsEqualsTwoBlocks) {
  const Shape a = Block{{0, 0, 0}, {1, 2, 3}};
  const Shape b = Block{{5, -1, 2}, {4, 1, 1}};
  const Shape both = joined(box_mesh({0, 0, 0}, {1, 2, 3}), box_mesh({5, -1, 2}, {4, 1, 1}));
  const Result expected = mass_properties({{&a, &kIdentity, 1.0}, {&b, &kIdentity, 1.0}});
  const Result actual = mass_properties({{&both, &kIdentity, 1.0}});
  for (int e = 0; e < 39; ++e)
    EXPECT_NEAR(expected[e], actual[e], 1e-9 * std::fmax(1.0, std::fabs(expected[e])))
        << "entry " << e;
}

// Meshes among closed forms, each placed and weighted differently: every
// body's share comes back to it in both passes, whatever the order of kinds.
TEST(MassProperties, MeshesAmongOtherShapesEqualTheBlocksTheyStandFor) {
  const Shape small_block = Block{{1, 2, 3}, {2, 3, 4}};
  const Shape large_block = Block{{-5, 0, 1}, {10, 1, 6}};
  const Shape small_mesh = box_mesh({1, 2, 3}, {2, 3, 4});
  const Shape large_mesh = box_mesh({-5, 0, 1}, {10, 1, 6});
  const Shape cylinder = Cylinder{{0, 0, 0}, {0, 1, 0}, 1.5, 4};
  const Shape sphere = Sphere{{3, 3, 3}, 2};
  const Transform turned = rotation({1, 1, 0}, 0.7);
  Transform far = rotation({0, 0, 1}, 2.1);
  far.t = {40, -7, 12};
  const Transform shifted = translation({-3, 9, 0.5});
  auto bodies = [&](const Shape &first, const Shape &second) {
    return std::vector<MassBody>{{&cylinder, &shifted, 1.0}, {&first, &turned, 2.5},
                                 {&sphere, &far, 0.5},       {&second, &far, 7.0},
                                 {&first, &shifted, 1.5},    {&cylinder, &kIdentity, 3.0}};
  };
  const Result expected = mass_properties(bodies(small_block, large_block));
  const Result actual = mass_properties(bodies(small_mesh, large_mesh));
  for (int e = 0; e < 39; ++e)
    EXPECT_NEAR(expected[e], actual[e], 1e-9 * std::fmax(1.0, std::fabs(expected[e])))
        << "entry " << e;
}

TEST(MassProperties, QuarterTurnAndShiftEqualsTheTurnedBlock) {
  // Turning a 10 x 20 x 30 block at the origin a quarter turn about z maps
  // x to y and y to -x: it then spans x -20..0, y 0..10; shifted by 100 in x.
  const Shape block = Block{{0, 0, 0}, {10, 20, 30}};
  Transform placement = rotation({0, 0, 1}, pi / 2);
  placement.t = {100, 0, 0};
  const Shape turned = Block{{80, 0, 0}, {20, 10, 30}};
  const Result expected = mass_properties({{&turned, &kIdentity, 3.0}});
  const Result actual = mass_properties({{&block, &placement, 3.0}});
  for (int e = 0; e < 30; ++e)
    EXPECT_NEAR(expected[e], actual[e], 1e-9 * std::fmax(1.0, std::fabs(expected[e])))
        << "entry " << e;
}

TEST(MassProperties, GeneralRotationKeepsPrincipalMomentsAndMovesTheCentre) {
  const Shape cylinder = Cylinder{{1, 2, 3}, {0, 0, 1}, 2, 7};
  const Result local = mass_properties({{&cylinder, &kIdentity, 1.0}});
  const double n = std::sqrt(14.0);
  const Transform turn = rotation({1 / n, 2 / n, 3 / n}, 0.7);
  const Transform placement = compose(translation({-4, 5, 6}), turn);
  const Result r = mass_properties({{&cylinder, &placement, 1.0}});
  const double m = r[mass];

  // The centre (1, 2, 6.5) turned by hand with the rotation's rows, then shifted.
  const auto &q = turn.r;
  const Vec3 g{q[0][0] * 1 + q[0][1] * 2 + q[0][2] * 6.5 - 4,
               q[1][0] * 1 + q[1][1] * 2 + q[1][2] * 6.5 + 5,
               q[2][0] * 1 + q[2][1] * 2 + q[2][2] * 6.5 + 6};
  expect_triple(r, cog, g.x, g.y, g.z);
  expect_close(local[volume], r[volume], "volume", volume);
  expect_triple(r, principal, local[principal], local[principal + 1], local[principal + 2]);
  // The trace of the centroidal tensor does not depend on orientation.
  expect_close(local[12] + local[13] + local[14], r[12] + r[13] + r[14], "trace", 12);
  // Parallel axes: origin moments are centroidal ones plus the shift.
  expect_triple(r, moment, r[12] + m * (g.y * g.y + g.z * g.z), r[13] + m * (g.x * g.x + g.z * g.z),
                r[14] + m * (g.x * g.x + g.y * g.y));
  expect_triple(r, product, r[18] + m * g.x * g.y, r[19] + m * g.y * g.z, r[20] + m * g.x * g.z);
  // The first principal axis is the turned cylinder axis (the smallest moment).
  const Vec3 axis{q[0][2], q[1][2], q[2][2]};
  EXPECT_NEAR(1.0, std::fabs(dot3(axis_at(r, 0), axis)), 1e-9);
}

TEST(MassProperties, ComposedPlacementAppliesInnerFirst) {
  const Transform inner = compose(translation({1, 0, 0}), rotation({0, 0, 1}, pi / 2));
  const Transform outer = compose(translation({0, 0, 5}), rotation({1, 0, 0}, pi / 2));
  const Vec3 p = apply(compose(outer, inner), {1, 2, 3});
  // inner: (1, 2, 3) -> (-2, 1, 3) -> (-1, 1, 3); outer: -> (-1, -3, 1) -> (-1, -3, 6).
  EXPECT_NEAR(-1.0, p.x, 1e-12);
  EXPECT_NEAR(-3.0, p.y, 1e-12);
  EXPECT_NEAR(6.0, p.z, 1e-12);
}

TEST(MassProperties, DenserBodyPullsTheCentreOfGravity) {
  const Shape light = Block{{0, 0, 0}, {1, 1, 1}};
  const Shape heavy = Block{{2, 0, 0}, {1, 1, 1}};
  const Result r = mass_properties({{&light, &kIdentity, 1.0}, {&heavy, &kIdentity, 3.0}});
  // Masses 1 at x = 0.5 and 3 at x = 2.5.
  EXPECT_DOUBLE_EQ(2.0, r[volume]);
  EXPECT_DOUBLE_EQ(4.0, r[mass]);
  expect_triple(r, cog, (0.5 + 3 * 2.5) / 4, 0.5, 0.5);
  // Each unit cube has 1/6 per unit mass about its own centre.
  const double own = 4.0 / 6.0;
  expect_triple(r, centroid_moment, own, own + 1 * 1.5 * 1.5 + 3 * 0.5 * 0.5,
                own + 1 * 1.5 * 1.5 + 3 * 0.5 * 0.5);
}

TEST(MassProperties, WithoutDensityTheCentreIsWeightedByVolume) {
  const Shape small = Block{{0, 0, 0}, {1, 1, 1}};
  const Shape large = Block{{2, 0, 0}, {3, 1, 1}};
  const Result r = mass_properties({{&small, &kIdentity, 0.0}, {&large, &kIdentity, 0.0}});
  EXPECT_DOUBLE_EQ(4.0, r[volume]);
  EXPECT_EQ(0.0, r[mass]);
  expect_triple(r, cog, (0.5 + 3 * 3.5) / 4, 0.5, 0.5);
  expect_triple(r, moment, 0, 0, 0);
  expect_triple(r, radius, 0, 0, 0);
}

// A list entry without a shape is left out wherever it stands: at the head,
// among the bodies, and among the last ones of a list near or past the
// length the passes look ahead by. The results are those of the list
// without such entries, bit for bit, for meshes, closed forms, turned,
// mirrored and shifted placements and mixed densities.
TEST(MassProperties, EntriesWithoutShapeAreLeftOutAnywhereInTheList) {
  const Shape shapes[] = {Block{{1, 2, 3}, {2, 3, 4}}, Cylinder{{0, 0, 0}, {0, 1, 0}, 1.5, 4},
                          Sphere{{3, 3, 3}, 2}, box_mesh({-5, 0, 1}, {10, 1, 6})};
  Transform mirrored = rotation({1, 2, 2}, 0.9);
  for (auto &row : mirrored.r) row[1] = -row[1];
  mirrored.t = {7, -3, 2};
  Transform far = rotation({0, 0, 1}, 2.1);
  far.t = {4e4, -7, 12};
  const Transform placements[] = {kIdentity, rotation({1, 1, 0}, 0.7), mirrored, far};
  for (size_t n : {1u, 15u, 16u, 17u, 18u, 33u}) {
    std::vector<MassBody> plain;
    for (size_t i = 0; i < n; ++i)
      plain.push_back({&shapes[i % 4], &placements[(i / 4 + i) % 4], 0.5 + 1.25 * double(i % 5)});
    std::vector<MassBody> gapped;
    for (size_t i = 0; i < n; ++i) {
      // Some keep a placement, as a caller's list of bodies may.
      if (i == 0 || i == 16) gapped.push_back({nullptr, nullptr, 9.0});
      if (i == 8 || i + 1 == n) gapped.push_back({nullptr, &far, 9.0});
      gapped.push_back(plain[i]);
    }
    gapped.push_back({nullptr, nullptr, 9.0});
    const Result expected = mass_properties(plain);
    const Result actual = mass_properties(gapped);
    EXPECT_NE(0.0, expected[mass]);
    for (int e = 0; e < 47; ++e)
      EXPECT_EQ(0, std::memcmp(&expected[e], &actual[e], sizeof(double)))
          << n << " bodies, entry " << e << ": " << expected[e] << " vs " << actual[e];
  }
}

TEST(MassProperties, NoBodiesGiveAllZeros) {
  const Result r = mass_properties({});
  for (int e = 0; e < 30; ++e) EXPECT_EQ(0.0, r[e]) << "entry " << e;
}

}  // namespace
}  // namespace geom_test
