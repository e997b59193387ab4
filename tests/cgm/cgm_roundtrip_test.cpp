// Writing a drawing through libplot and reading it back: same items, same
// places. libplot puts coordinates on a 16-bit grid (the sheet's longer side
// in 16382 steps, 0.026 mm on an A3 sheet), so places agree within 0.05 mm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cgm/reader.hpp"
#include "cgm/writer.hpp"
#include "sample_scene.hpp"

namespace fs = std::filesystem;
using namespace orvel::cgm;

namespace {

constexpr double kTol = 0.05;        // mm
constexpr double kAngleTol = 0.1;    // degrees
constexpr double kHeightTol = 0.02;  // relative: font sizes are rounded

fs::path temp_dir() {
  fs::path dir = fs::temp_directory_path() / ("cgm_test_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir;
}

void expect_near_point(Point2 a, Point2 b, const std::string &what) {
  EXPECT_NEAR(a.x, b.x, kTol) << what;
  EXPECT_NEAR(a.y, b.y, kTol) << what;
}

Point2 on_arc(const Item &arc, double t) {
  const double a = (arc.start_angle + t * (arc.end_angle - arc.start_angle)) * M_PI / 180.0;
  return {arc.centre.x + arc.radius * std::cos(a), arc.centre.y + arc.radius * std::sin(a)};
}

// Arcs are compared where they lie: their ends and their middle. Radius and
// angles of a short arc are less certain than its points on a 16-bit grid.
void expect_same_arc(const Item &want, const Item &got, const std::string &what) {
  for (double t : {0.0, 0.5, 1.0}) expect_near_point(on_arc(want, t), on_arc(got, t), what);
}

void expect_same_item(const Item &want, const Item &got, size_t n) {
  const std::string what = "item " + std::to_string(n);
  ASSERT_EQ(static_cast<int>(want.kind), static_cast<int>(got.kind)) << what;
  EXPECT_EQ(want.colour, got.colour) << what;
  switch (want.kind) {
    case ItemKind::kLine:
    case ItemKind::kPolyline:
      ASSERT_EQ(want.points.size(), got.points.size()) << what;
      for (size_t i = 0; i < want.points.size(); ++i)
        expect_near_point(want.points[i], got.points[i], what);
      break;
    case ItemKind::kArc:
      expect_same_arc(want, got, what);
      break;
    case ItemKind::kCircle:
      expect_near_point(want.centre, got.centre, what);
      EXPECT_NEAR(want.radius, got.radius, kTol) << what;
      break;
    case ItemKind::kText:
      EXPECT_EQ(want.text, got.text) << what;
      expect_near_point(want.points[0], got.points[0], what);
      EXPECT_NEAR(want.height, got.height, want.height * kHeightTol) << what;
      EXPECT_NEAR(want.angle, got.angle, kAngleTol) << what;
      break;
  }
}

class CgmRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_dir(); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(CgmRoundTrip, CurvesAndTextsComeBackInTheSameNumbersAtTheSamePlaces) {
  const Scene scene = fixtures::sample_scene();
  const std::string path = (dir_ / "sheet.cgm").string();
  ASSERT_EQ(write_scene(scene, path, {}), "");
  const ReadResult r = read_cgm_file(path);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_NEAR(r.scene.width, 420.0, kTol);
  EXPECT_NEAR(r.scene.height, 297.0, kTol);
  ASSERT_EQ(r.scene.items.size(), scene.items.size());
  for (size_t i = 0; i < scene.items.size(); ++i)
    expect_same_item(scene.items[i], r.scene.items[i], i);
}

TEST_F(CgmRoundTrip, BlackOnWhiteDrawsEveryItemBlack) {
  const std::string path = (dir_ / "bw.cgm").string();
  ASSERT_EQ(write_scene(fixtures::sample_scene(), path, {PictureFormat::kCgm, true}), "");
  const ReadResult r = read_cgm_file(path);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.items.size(), fixtures::sample_scene().items.size());
  for (const Item &item : r.scene.items) EXPECT_EQ(item.colour, 0);
}

TEST_F(CgmRoundTrip, SvgOfTheSameDrawingHasTheSheetSizeAndItsTexts) {
  const std::string path = (dir_ / "sheet.svg").string();
  ASSERT_EQ(write_scene(fixtures::sample_scene(), path, {PictureFormat::kSvg, false}), "");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string svg = text.str();
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("width=\"42cm\" height=\"29.7cm\""), std::string::npos);
  EXPECT_NE(svg.find("BRACKET 4711"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(CgmRoundTrip, ArcsOfEverySweepComeBackAsArcs) {
  Scene scene;
  scene.width = 297;
  scene.height = 210;
  const double sweeps[][2] = {{0, 10}, {350, 380}, {45, 225}, {-30, 300}, {100, 459}};
  for (const auto &s : sweeps) scene.items.push_back(fixtures::arc(150, 100, 60, s[0], s[1], 2));
  const std::string path = (dir_ / "arcs.cgm").string();
  ASSERT_EQ(write_scene(scene, path, {}), "");
  const ReadResult r = read_cgm_file(path);
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.scene.items.size(), scene.items.size());
  for (size_t i = 0; i < scene.items.size(); ++i) {
    ASSERT_EQ(r.scene.items[i].kind, ItemKind::kArc) << i;
    expect_same_arc(scene.items[i], r.scene.items[i], "arc " + std::to_string(i));
  }
}

TEST_F(CgmRoundTrip, AFailedWriteNamesTheFileAndLeavesNothingBehind) {
  const std::string path = (dir_ / "missing" / "x.cgm").string();
  const std::string error = write_scene(fixtures::sample_scene(), path, {});
  EXPECT_EQ(error.rfind(path + ": cannot create a file there", 0), 0u) << error;
  const std::string existing = (dir_ / "keep.cgm").string();
  ASSERT_EQ(write_scene(fixtures::sample_scene(), existing, {}), "");
  size_t files = 0;
  for (const auto &entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);  // no temporary file left next to the target
}

}  // namespace
