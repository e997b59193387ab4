// Exchange files read into the host's model: products, components and
// placements, bodies with their names, colours, layers and densities, the
// kernel's mass properties, attributes from the file, and the failures of
// files that cannot be read.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "api/codes.hpp"
#include "exchange/exchange.hpp"
#include "fixtures.hpp"
#include "geometry/geometry.hpp"
#include "orvel/zk_part.h"
#include "orvel/zk_session.h"
#include "partfile/part_file.hpp"
#include "session/host_control.hpp"

namespace {

namespace fs = std::filesystem;
using namespace orvel;
using orvel::exchange::ExchangeTree;

constexpr double kPi = 3.14159265358979323846;

std::string scratch(const std::string &name) {
  fs::path dir = fs::path(EXCHANGE_SCRATCH_DIR);
  fs::create_directories(dir);
  return (dir / name).string();
}

ExchangeTree read(const std::string &path) {
  return exchange::read_exchange(path, path, path);
}

std::vector<model::Object *> objects_of(const model::Part &part, int type) {
  std::vector<model::Object *> out;
  const model::ObjectList *list = part.of_type(type);
  for (model::Object *o = list ? list->first() : nullptr; o; o = list->next(o)) out.push_back(o);
  return out;
}

const model::Body &only_body(const model::Part &part) {
  std::vector<model::Object *> bodies = objects_of(part, ZK_solid_type);
  EXPECT_EQ(bodies.size(), 1u);
  return *static_cast<model::Body *>(bodies.at(0));
}

const model::Attribute *attribute(const model::Object &o, const std::string &title) {
  for (const model::Attribute &a : o.attributes)
    if (a.title == title) return &a;
  return nullptr;
}

double real_attribute(const model::Object &o, const std::string &title) {
  const model::Attribute *a = attribute(o, title);
  EXPECT_TRUE(a) << title;
  return a ? a->value.real : NAN;
}

// The host's mass properties of one body at unit density.
std::array<double, geom::mass_result_size> unit_mass(const model::Body &b) {
  return geom::mass_properties({{&b.shape, &b.placement, 1.0}});
}

void expect_near_rel(double actual, double expected, double tolerance, const std::string &what) {
  EXPECT_NEAR(actual, expected, tolerance * std::max(1.0, std::fabs(expected))) << what;
}

TEST(ExchangeFile, FormatIsTakenFromTheExtensionInAnyCase) {
  EXPECT_EQ(exchange::format_of("a/b.step"), "STEP");
  EXPECT_EQ(exchange::format_of("b.STP"), "STEP");
  EXPECT_EQ(exchange::format_of("b.Iges"), "IGES");
  EXPECT_EQ(exchange::format_of("b.igs"), "IGES");
  EXPECT_EQ(exchange::format_of("b.BRep"), "BREP");
  EXPECT_EQ(exchange::format_of("b.prt"), "");
  EXPECT_EQ(exchange::format_of("step"), "");
  EXPECT_EQ(exchange::format_of("b.step.prt"), "");
}

// The block is written in millimetres, metres and inches: read back, it is
// the same block in millimetres every time.
class BlockInUnits : public ::testing::TestWithParam<const char *> {};

TEST_P(BlockInUnits, ReadsAsTheSameBlockInMillimetres) {
  const std::string path = scratch(std::string("block_") + GetParam() + ".step");
  exchange_fixtures::write_block_step(path, GetParam());
  ExchangeTree tree = read(path);
  ASSERT_EQ(tree.parts.size(), 1u);
  const model::Part &part = *tree.top;
  EXPECT_EQ(part.full_name, path);
  EXPECT_EQ(part.exchange_format, "STEP");
  EXPECT_EQ(part.description.value_or(""), "BLOCK");
  const model::Body &body = only_body(part);
  EXPECT_EQ(body.body_type, ZK_MODL_SOLID_BODY);
  EXPECT_EQ(body.name.value_or(""), "BLOCK");
  auto m = unit_mass(body);
  expect_near_rel(m[1], 6000.0, 1e-6, "volume");
  expect_near_rel(m[0], 2200.0, 1e-6, "area");
  expect_near_rel(m[3], 6.0, 1e-6, "centre x");
  expect_near_rel(m[4], 12.0, 1e-6, "centre y");
  expect_near_rel(m[5], 18.0, 1e-6, "centre z");
  // Centroidal moments of a box: m (b^2 + c^2) / 12.
  expect_near_rel(m[12], 6000.0 * (400 + 900) / 12, 1e-6, "Ixx centroidal");
  expect_near_rel(m[13], 6000.0 * (100 + 900) / 12, 1e-6, "Iyy centroidal");
  expect_near_rel(m[14], 6000.0 * (100 + 400) / 12, 1e-6, "Izz centroidal");
  expect_near_rel(m[15], 6000.0 * 6 * 12, 1e-6, "Ixy about the origin");
  EXPECT_EQ(body.color, 3) << "red";
  EXPECT_EQ(body.layer, 2) << "PAINT: the first number left";
  expect_near_rel(body.density, 7.85e-6, 1e-9, "steel density in kg/mm^3");
  expect_near_rel(real_attribute(part, "VALIDATION_VOLUME"), 6000.0, 1e-6, "claimed volume");
  expect_near_rel(real_attribute(part, "VALIDATION_AREA"), 2200.0, 1e-6, "claimed area");
  expect_near_rel(real_attribute(part, "VALIDATION_CENTROID_Y"), 12.0, 1e-6, "claimed centroid");
  const model::Attribute *schema = attribute(part, "EXCHANGE_SCHEMA");
  ASSERT_TRUE(schema);
  EXPECT_NE(schema->value.text.find("AUTOMOTIVE_DESIGN"), std::string::npos) << schema->value.text;
  ASSERT_TRUE(attribute(part, "EXCHANGE_FORMAT"));
  EXPECT_EQ(attribute(part, "EXCHANGE_FORMAT")->value.text, "STEP");
  EXPECT_EQ(tree.skipped, 0);
  EXPECT_EQ(tree.warning, "");
}

INSTANTIATE_TEST_SUITE_P(Units, BlockInUnits, ::testing::Values("MM", "M", "INCH"));

TEST(ExchangeFile, AssemblyBecomesSharedPartsWithPlacedComponents) {
  const std::string path = scratch("assembly.stp");
  exchange_fixtures::write_assembly_step(path);
  ExchangeTree tree = read(path);
  ASSERT_EQ(tree.parts.size(), 4u) << "TOP, SUB, PIN and PLATE, each once";
  EXPECT_EQ(tree.parts.back().get(), tree.top) << "components come before the assembly";
  const model::Part &top = *tree.top;
  EXPECT_EQ(top.key, path);
  std::vector<model::Object *> components = objects_of(top, ZK_occ_instance_type);
  ASSERT_EQ(components.size(), 3u);
  auto *plate = static_cast<model::Instance *>(components[0]);
  auto *up = static_cast<model::Instance *>(components[1]);
  auto *turned = static_cast<model::Instance *>(components[2]);
  EXPECT_EQ(plate->instance_name, "PLATE_1");
  EXPECT_EQ(up->instance_name, "SUB_UP");
  EXPECT_EQ(turned->instance_name, "SUB_TURNED");
  ASSERT_TRUE(up->child);
  EXPECT_EQ(up->child, turned->child) << "SUB is one part however often it is placed";
  EXPECT_EQ(up->child->key, path + "#" + up->child->key.substr(path.size() + 1));
  EXPECT_EQ(up->child->full_name, path + "#SUB");
  // SUB turned by 90 degrees about Z: its X axis is the assembly's Y axis.
  geom::Transform t = turned->placement();
  EXPECT_NEAR(t.t.x, 100.0, 1e-9);
  EXPECT_NEAR(t.r[1][0], 1.0, 1e-9);
  EXPECT_NEAR(t.r[0][1], -1.0, 1e-9);
  EXPECT_NEAR(t.r[2][2], 1.0, 1e-9);
  EXPECT_NEAR(up->placement().t.z, 10.0, 1e-9);
  std::vector<model::Object *> pins = objects_of(*up->child, ZK_occ_instance_type);
  ASSERT_EQ(pins.size(), 2u);
  auto *pin_b = static_cast<model::Instance *>(pins[1]);
  EXPECT_EQ(pin_b->instance_name, "PIN_B");
  EXPECT_NEAR(pin_b->placement().t.x, 15.0, 1e-9);
  const model::Body &pin_body = only_body(*pin_b->child);
  expect_near_rel(unit_mass(pin_body)[1], kPi * 4 * 10, 1e-6, "pin volume");
}

// Different products with the same name stay different parts with
// different names: the second keeps its label in its name.
TEST(ExchangeFile, ProductsWithTheSameNameGetDifferentPartNames) {
  const std::string path = scratch("same_names.stp");
  exchange_fixtures::write_same_names_step(path);
  ExchangeTree tree = read(path);
  std::vector<model::Object *> components = objects_of(*tree.top, ZK_occ_instance_type);
  ASSERT_EQ(components.size(), 2u);
  const model::Part *small = static_cast<model::Instance *>(components[0])->child;
  const model::Part *large = static_cast<model::Instance *>(components[1])->child;
  ASSERT_TRUE(small && large);
  ASSERT_NE(small, large);
  EXPECT_EQ(small->full_name, path + "#BODY");
  const std::string label = large->key.substr(path.size() + 1);
  EXPECT_EQ(large->full_name, path + "#BODY#" + label);
  expect_near_rel(unit_mass(only_body(*large))[1], 8.0, 1e-9, "the 2 mm cube");
}

TEST(ExchangeFile, IgesProductsBecomeBodiesWithColoursAndLayers) {
  const std::string path = scratch("two.IGS");
  exchange_fixtures::write_block_and_cylinder_iges(path);
  ExchangeTree tree = read(path);
  double volume = 0.0;
  std::vector<int> colours;
  for (const auto &part : tree.parts) {
    for (model::Object *o : objects_of(*part, ZK_solid_type)) {
      auto *b = static_cast<model::Body *>(o);
      EXPECT_EQ(b->body_type, ZK_MODL_SOLID_BODY);
      volume += unit_mass(*b)[1];
      colours.push_back(b->color);
      EXPECT_EQ(b->layer, 1) << "no level in the file: layer 1";
    }
  }
  expect_near_rel(volume, 6000.0 + kPi * 25 * 20, 1e-6, "block and cylinder");
  std::sort(colours.begin(), colours.end());
  EXPECT_EQ(colours, (std::vector<int>{3, 5})) << "red, and a blue of 0.9 is blue";
  const model::Attribute *format = attribute(*tree.top, "EXCHANGE_FORMAT");
  ASSERT_TRUE(format);
  EXPECT_EQ(format->value.text, "IGES");
}

TEST(ExchangeFile, BrepSolidAndFreeFaceBecomeSolidAndSheetBodies) {
  const std::string path = scratch("mixed.brep");
  exchange_fixtures::write_block_and_face_brep(path);
  ExchangeTree tree = read(path);
  ASSERT_EQ(tree.parts.size(), 1u);
  std::vector<model::Object *> bodies = objects_of(*tree.top, ZK_solid_type);
  ASSERT_EQ(bodies.size(), 2u);
  auto *solid = static_cast<model::Body *>(bodies[0]);
  auto *sheet = static_cast<model::Body *>(bodies[1]);
  EXPECT_EQ(solid->body_type, ZK_MODL_SOLID_BODY);
  EXPECT_EQ(sheet->body_type, ZK_MODL_SHEET_BODY);
  EXPECT_DOUBLE_EQ(solid->density, 1.0) << "no material: the host's default";
  EXPECT_EQ(solid->layer, 1);
  expect_near_rel(unit_mass(*solid)[1], 6000.0, 1e-6, "block volume");
  EXPECT_FALSE(geom::validate(solid->shape, true));
  EXPECT_FALSE(geom::validate(sheet->shape, false));
  EXPECT_EQ(geom::validate(sheet->shape, true).value_or(""), "sheet does not enclose a volume");
  expect_near_rel(unit_mass(*sheet)[0], 100.0, 1e-6, "face area");
}

TEST(ExchangeFile, PartReadFromAnExchangeFileIsNotSaved) {
  const std::string path = scratch("nosave.brep");
  exchange_fixtures::write_block_and_face_brep(path);
  ExchangeTree tree = read(path);
  std::ifstream before(path, std::ios::binary);
  std::stringstream text;
  text << before.rdbuf();
  try {
    partfile::write_part(*tree.top, path);
    FAIL() << "saved";
  } catch (const partfile::LoadError &e) {
    EXPECT_EQ(e.code(), kPartSaveFailed);
    EXPECT_NE(e.problem().find("BREP"), std::string::npos) << e.problem();
  }
  std::ifstream after(path, std::ios::binary);
  std::stringstream again;
  again << after.rdbuf();
  EXPECT_EQ(text.str(), again.str()) << "the file is untouched";
}

// Files that cannot be loaded: each a load failure naming the file.
struct BadFile {
  const char *name;
  const char *text;
  int code;
  const char *problem;  // a piece of the message
};

class UnreadableFile : public ::testing::TestWithParam<BadFile> {};

TEST_P(UnreadableFile, IsALoadFailureNamingTheFile) {
  const BadFile &bad = GetParam();
  const std::string path = scratch(bad.name);
  std::ofstream(path, std::ios::binary) << bad.text;
  try {
    read(path);
    FAIL() << "loaded";
  } catch (const partfile::LoadError &e) {
    EXPECT_EQ(e.code(), bad.code);
    EXPECT_EQ(e.file(), path);
    EXPECT_NE(e.problem().find(bad.problem), std::string::npos) << e.problem();
  }
}

const char kStepWithoutShape[] =
    "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION((''),'2;1');\n"
    "FILE_NAME('x','2020-01-01T00:00:00',(''),(''),'','','');\n"
    "FILE_SCHEMA(('AUTOMOTIVE_DESIGN'));\nENDSEC;\nDATA;\n"
    "#1=CARTESIAN_POINT('',(0.,0.,0.));\nENDSEC;\nEND-ISO-10303-21;\n";

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableFile,
    ::testing::Values(BadFile{"empty.step", "", kPartFileUnreadable, "empty"},
                      BadFile{"json.stp", "{\"format\": \"orvel part\"}", kPartFileUnreadable,
                              "not a readable STEP file"},
                      BadFile{"garbage.igs", "not an iges file\n", kPartFileInvalid, "IGES"},
                      BadFile{"garbage.brep", "DBRep_DrawableShape\nnonsense\n",
                              kPartFileUnreadable, "not a readable BREP file"},
                      BadFile{"point_only.step", kStepWithoutShape, kPartFileInvalid, "no"},
                      // A table count the file cannot hold would keep the
                      // kernel's reader going long past the end.
                      BadFile{"huge_count.brep",
                              "\nCASCADE Topology V1, (c) Matra-Datavision\nLocations 0\n"
                              "Curve2ds 0\nCurves 2147483647\n1 0 0 0 1 0 0\n",
                              kPartFileUnreadable, "claims 2147483647 Curves"}));

TEST(ExchangeFile, UnreadableEntitiesAreSkippedAndNamed) {
  const std::string good = scratch("whole.step");
  exchange_fixtures::write_block_step(good);
  std::ifstream in(good, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  // Break the syntax of one presentation entity that no shape depends on.
  const std::string target = "DRAUGHTING_PRE_DEFINED_COLOUR(";
  size_t at = content.find(target);
  ASSERT_NE(at, std::string::npos);
  content.replace(at, target.size(), "DRAUGHTING_PRE_DEFINED_COLOUR((((");
  const std::string broken = scratch("broken.step");
  std::ofstream(broken, std::ios::binary) << content;
  ExchangeTree tree = read(broken);
  EXPECT_GE(tree.skipped, 1);
  EXPECT_NE(tree.warning.find("unreadable"), std::string::npos) << tree.warning;
  EXPECT_NE(tree.warning.find("#"), std::string::npos) << tree.warning;
  ASSERT_EQ(tree.parts.size(), 1u) << "the rest loads";
  expect_near_rel(unit_mass(only_body(*tree.top))[1], 6000.0, 1e-6, "block volume");
}

}  // namespace

namespace {

std::string text_of(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Through the host's C API: the load status of whole, partial and failed
// loads, the failure message, and the refused save.
TEST(ExchangeOpen, LoadStatusSaysWhetherTheFileLoadedWhole) {
  const std::string whole = scratch("api_whole.step");
  exchange_fixtures::write_block_step(whole);
  std::string content = text_of(whole);
  const std::string target = "DRAUGHTING_PRE_DEFINED_COLOUR(";
  size_t at = content.find(target);
  ASSERT_NE(at, std::string::npos);
  content.insert(at + target.size(), "(((");
  const std::string damaged = scratch("api_damaged.step");
  std::ofstream(damaged, std::ios::binary) << content;
  const std::string bad = scratch("api_bad.igs");
  std::ofstream(bad, std::ios::binary) << "";
  const std::string syslog = scratch("api_syslog.txt");
  std::filesystem::remove(syslog);
  HostOptions options;
  options.syslog_file = syslog;
  configure_host(options);
  ASSERT_EQ(ZK_initialize(), 0);

  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status{9, 9};
  EXPECT_EQ(ZK_PART_open(whole.c_str(), &part, &status), 0);
  EXPECT_NE(part, NULL_TAG);
  EXPECT_EQ(status.failed, 0);
  EXPECT_EQ(status.n_parts, 0);
  EXPECT_EQ(ZK_PART_save_work_only(), kPartSaveFailed) << "not written over the STEP file";

  EXPECT_EQ(ZK_PART_open(damaged.c_str(), &part, &status), 0);
  EXPECT_EQ(status.failed, 1) << "loaded in part";
  EXPECT_EQ(status.n_parts, 0) << "no part file failed";
  EXPECT_NE(text_of(syslog).find("Warning: " + damaged + ": 2 unreadable entities skipped (#"),
            std::string::npos)
      << text_of(syslog);

  EXPECT_EQ(ZK_PART_open(bad.c_str(), &part, &status), kPartFileUnreadable);
  EXPECT_EQ(part, NULL_TAG);
  EXPECT_EQ(status.failed, 1);
  EXPECT_NE(last_failure_detail().find(bad + ": /: the IGES file is empty"), std::string::npos)
      << last_failure_detail();
  ZK_terminate();
  configure_host(HostOptions{});
}

}  // namespace
