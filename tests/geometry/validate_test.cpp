// Which shapes and placements can make a body, and the problem named for
// those that cannot.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "shapes.hpp"

namespace geom_test {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

Mesh open_box() {
  Mesh m = box_mesh({0, 0, 0}, {1, 1, 1});
  m.triangles.pop_back();
  return m;
}

Mesh one_triangle_turned() {
  Mesh m = box_mesh({0, 0, 0}, {1, 1, 1});
  std::swap(m.triangles[3][1], m.triangles[3][2]);
  return m;
}

// A triangle and its reverse: closed, but flat.
Mesh flat_pair() {
  Mesh m;
  m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  m.triangles = {{0, 1, 2}, {0, 2, 1}};
  return m;
}

Mesh with_triangle(std::array<int, 3> extra) {
  Mesh m = box_mesh({0, 0, 0}, {1, 1, 1});
  m.triangles.push_back(extra);
  return m;
}

Mesh with_vertex(const Vec3 &v) {
  Mesh m = box_mesh({0, 0, 0}, {1, 1, 1});
  m.vertices[5] = v;
  return m;
}

struct Rejection {
  const char *name;
  Shape shape;
  bool solid;
  const char *problem;  // a part of the expected text
};

void PrintTo(const Rejection &c, std::ostream *os) {
  *os << c.name;
}

class RejectedShape : public ::testing::TestWithParam<Rejection> {};

TEST_P(RejectedShape, NamesTheProblem) {
  const Rejection &c = GetParam();
  const auto problem = validate(c.shape, c.solid);
  ASSERT_TRUE(problem.has_value());
  EXPECT_NE(std::string::npos, problem->find(c.problem)) << *problem;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RejectedShape,
    ::testing::Values(
        Rejection{"BlockZeroWidth", Block{{0, 0, 0}, {0, 1, 1}}, true, "block size"},
        Rejection{"BlockNegativeDepth", Block{{0, 0, 0}, {1, 1, -2}}, false, "block size"},
        Rejection{"BlockInfiniteSize", Block{{0, 0, 0}, {1, inf, 1}}, true, "block size"},
        Rejection{"BlockNanCorner", Block{{nan, 0, 0}, {1, 1, 1}}, true, "non-finite"},
        Rejection{"CylinderZeroAxis", Cylinder{{0, 0, 0}, {0, 0, 0}, 1, 1}, true, "zero length"},
        Rejection{"CylinderNanAxis", Cylinder{{0, 0, 0}, {0, nan, 1}, 1, 1}, true, "non-finite"},
        Rejection{"CylinderNegativeRadius", Cylinder{{0, 0, 0}, {0, 0, 1}, -1, 1}, true, "radius"},
        Rejection{"CylinderZeroHeight", Cylinder{{0, 0, 0}, {0, 0, 1}, 1, 0}, true, "height"},
        Rejection{"SphereZeroRadius", Sphere{{0, 0, 0}, 0}, true, "radius"},
        Rejection{"SphereNanRadius", Sphere{{0, 0, 0}, nan}, true, "radius"},
        Rejection{"SphereInfiniteCentre", Sphere{{0, -inf, 0}, 1}, true, "non-finite"},
        Rejection{"MeshWithoutTriangles", Mesh{{{0, 0, 0}}, {}}, false, "no triangles"},
        Rejection{"MeshIndexTooLarge", with_triangle({0, 1, 8}), false, "out of range"},
        Rejection{"MeshNegativeIndex", with_triangle({-1, 1, 2}), false, "out of range"},
        Rejection{"MeshRepeatedVertex", with_triangle({2, 3, 2}), false, "repeats a vertex"},
        Rejection{"MeshNanVertex", with_vertex({0, nan, 0}), false, "vertex 5"},
        Rejection{"OpenMeshAsSolid", open_box(), true, "not closed"},
        Rejection{"TurnedTriangleAsSolid", one_triangle_turned(), true, "same direction"},
        Rejection{"FlatMeshAsSolid", flat_pair(), true, "encloses no volume"}),
    [](const auto &info) { return std::string(info.param.name); });

struct Acceptance {
  const char *name;
  Shape shape;
  bool solid;
};

void PrintTo(const Acceptance &c, std::ostream *os) {
  *os << c.name;
}

class AcceptedShape : public ::testing::TestWithParam<Acceptance> {};

TEST_P(AcceptedShape, HasNoProblem) {
  const auto problem = validate(GetParam().shape, GetParam().solid);
  EXPECT_FALSE(problem.has_value()) << *problem;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, AcceptedShape,
    ::testing::Values(Acceptance{"Block", Block{{-1, -1, -1}, {1, 2, 3}}, true},
                      Acceptance{"CylinderUnnormalisedAxis", Cylinder{{0, 0, 0}, {0, 5, 5}, 0.5, 2},
                                 true},
                      Acceptance{"Sphere", Sphere{{1, 1, 1}, 1e-3}, true},
                      Acceptance{"ClosedMesh", box_mesh({0, 0, 0}, {1, 2, 3}), true},
                      Acceptance{"InwardMesh", inverted(box_mesh({0, 0, 0}, {1, 2, 3})), true},
                      Acceptance{"OpenMeshAsSheet", open_box(), false},
                      Acceptance{"FlatMeshAsSheet", flat_pair(), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Placement, RigidTurnsAndMirrorsAreAccepted) {
  EXPECT_FALSE(validate_placement(identity()).has_value());
  EXPECT_FALSE(validate_placement(rotation({0.6, 0, 0.8}, 2.1)).has_value());
  Transform mirror = identity();
  mirror.r[1][1] = -1;
  EXPECT_FALSE(validate_placement(mirror).has_value());
}

TEST(Placement, ScalingShearAndNonFiniteValuesAreRejected) {
  Transform scaled = identity();
  scaled.r[2][2] = 2;
  Transform sheared = identity();
  sheared.r[0][1] = 0.5;
  Transform shifted = identity();
  shifted.t.y = nan;
  Transform broken = identity();
  broken.r[1][0] = inf;
  EXPECT_NE(std::nullopt, validate_placement(scaled));
  EXPECT_NE(std::nullopt, validate_placement(sheared));
  EXPECT_NE(std::nullopt, validate_placement(shifted));
  EXPECT_NE(std::nullopt, validate_placement(broken));
}

}  // namespace
}  // namespace geom_test
