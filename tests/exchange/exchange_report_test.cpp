// Exchange files checked through the orvel command: the report's mass
// properties and placements against closed forms, failures and partial
// loads as the log shows them, and sample files of the kernel's own
// distribution against the kernel's own mass routine.
#include <gtest/gtest.h>

#include <BRepGProp.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <GProp_GProps.hxx>
#include <IGESControl_Reader.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS_Shape.hxx>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gp_Ax1.hxx>
#include <sstream>

#include "fixtures.hpp"
#include "run_orvel.hpp"

namespace sections_test {
namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

struct Mass {
  double volume = 0;
  double centre[3] = {0, 0, 0};
  double inertia[3] = {0, 0, 0};  // about the X, Y, Z axes through the origin
};

double number(const std::vector<std::string> &lines, const std::string &name) {
  std::string text = element_value(lines, name);
  EXPECT_NE(text, "<missing>") << name;
  return std::atof(text.c_str());
}

std::vector<double> xyz(const std::vector<std::string> &lines, const std::string &name) {
  std::vector<std::string> block =
      section(lines, "          <" + name + ">", "          </" + name + ">");
  EXPECT_EQ(block.size(), 5u) << name;
  return {number(block, "X"), number(block, "Y"), number(block, "Z")};
}

Mass reported_mass(const CheckOutput &out) {
  std::vector<std::string> model = section(out.report, "    <ModelData>", "    </ModelData>");
  Mass m;
  m.volume = number(model, "Volume");
  std::vector<double> c = xyz(model, "CentreOfGravity");
  std::vector<double> i = xyz(model, "MomentOfInertia");
  for (int k = 0; k < 3 && k < static_cast<int>(c.size()) && k < static_cast<int>(i.size()); ++k) {
    m.centre[k] = c[k];
    m.inertia[k] = i[k];
  }
  return m;
}

// The report prints six decimals: compare to that and to a relative share.
void expect_mass(const Mass &got, const Mass &want, double relative, const std::string &what) {
  auto near = [&](double a, double b, const std::string &name) {
    EXPECT_NEAR(a, b, 2e-6 + relative * std::fabs(b)) << what << ": " << name;
  };
  near(got.volume, want.volume, "volume");
  for (int k = 0; k < 3; ++k) {
    near(got.centre[k], want.centre[k], "centre " + std::to_string(k));
    near(got.inertia[k], want.inertia[k], "inertia " + std::to_string(k));
  }
}

CheckOutput check(const std::string &path, const std::string &action = "ModelGetData") {
  return run_check({path, action, {}, {}, ""});
}

// A solid's mass from its volume, centroid and second moments about the
// origin (integrals of x^2, y^2, z^2), at `density`.
Mass from_moments(double volume, const double c[3], const double s[3], double density) {
  Mass m;
  m.volume = volume;
  for (int k = 0; k < 3; ++k) m.centre[k] = c[k];
  m.inertia[0] = density * (s[1] + s[2]);
  m.inertia[1] = density * (s[0] + s[2]);
  m.inertia[2] = density * (s[0] + s[1]);
  return m;
}

// The block from (1, 2, 3) to (11, 22, 33): integral of x^2 over it is
// 20 * 30 * (11^3 - 1^3) / 3 and so on.
Mass block_mass(double density) {
  const double c[3] = {6, 12, 18};
  const double s[3] = {600.0 * 1330 / 3, 300.0 * 10640 / 3, 200.0 * 35910 / 3};
  return from_moments(6000, c, s, density);
}

TEST(ExchangeReport, StepBlockInMetresHasTheClosedFormMassWithTheFileDensity) {
  std::string dir = scratch_dir("block");
  std::string path = dir + "/block.step";
  exchange_fixtures::write_block_step(path, "M");
  CheckOutput out = check(path);
  ASSERT_EQ(out.result.size(), 4u) << out.log;
  EXPECT_EQ(out.result[1], "0") << out.log;
  expect_mass(reported_mass(out), block_mass(7.85e-6), 1e-7, "block");
  // What the sender claimed stands beside what the kernel computed.
  EXPECT_TRUE(has_line(out.report, "          <Titel>VALIDATION_VOLUME</Titel>"));
  EXPECT_EQ(element_value(out.report, "PartDescription"), "BLOCK");
}

TEST(ExchangeReport, StepCylinderHasTheClosedFormMass) {
  std::string dir = scratch_dir("cylinder");
  std::string path = dir + "/cylinder.STP";
  exchange_fixtures::write_cylinder_step(path);
  CheckOutput out = check(path);
  const double v = kPi * 25 * 20;
  const double c[3] = {0, 0, 10};
  const double s[3] = {v * 25 / 4, v * 25 / 4, v * 400 / 3};
  expect_mass(reported_mass(out), from_moments(v, c, s, 1.0), 1e-7, "cylinder");
}

TEST(ExchangeReport, IgesBlockAndCylinderAddUp) {
  std::string dir = scratch_dir("iges");
  std::string path = dir + "/two.igs";
  exchange_fixtures::write_block_and_cylinder_iges(path);
  CheckOutput out = check(path);
  const double vc = kPi * 25 * 20;
  Mass want;
  want.volume = 6000 + vc;
  const Mass b = block_mass(1.0);
  const double cyl_c[3] = {0, 0, 10};
  const double cyl_s[3] = {vc * 25 / 4, vc * 25 / 4, vc * 400 / 3};
  for (int k = 0; k < 3; ++k) {
    want.centre[k] = (6000 * b.centre[k] + vc * cyl_c[k]) / want.volume;
  }
  const Mass cyl = from_moments(vc, cyl_c, cyl_s, 1.0);
  for (int k = 0; k < 3; ++k) want.inertia[k] = b.inertia[k] + cyl.inertia[k];
  expect_mass(reported_mass(out), want, 1e-6, "block and cylinder");
}

// Two levels, a repeated part and a rotation: the pins of SUB_TURNED are
// carried by both placements into the top part's coordinates.
TEST(ExchangeReport, AssemblyMassAndPlacementsComposeDownTheTree) {
  std::string dir = scratch_dir("assembly");
  std::string path = dir + "/assembly.step";
  exchange_fixtures::write_assembly_step(path);
  CheckOutput out = check(path, "ModelGetData,AssemblyGetData");
  const double vp = kPi * 4 * 10;
  struct Piece {
    double v, c[3];
  } pieces[] = {{4000, {20, 10, 2.5}},
                {vp, {5, 5, 20}},
                {vp, {15, 5, 20}},
                {vp, {95, 5, 10}},
                {vp, {95, 15, 10}}};
  Mass got = reported_mass(out);
  double total = 0, moment[3] = {0, 0, 0};
  for (const Piece &p : pieces) {
    total += p.v;
    for (int k = 0; k < 3; ++k) moment[k] += p.v * p.c[k];
  }
  EXPECT_NEAR(got.volume, total, 1e-5);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(got.centre[k], moment[k] / total, 1e-5) << k;

  std::vector<std::string> assembly =
      section(out.report, "    <AssemblyData>", "    </AssemblyData>");
  std::vector<std::string> names = lines_starting(assembly, "          <InstanceName>");
  EXPECT_EQ(names, (std::vector<std::string>{"          <InstanceName>PLATE_1</InstanceName>",
                                             "          <InstanceName>SUB_UP</InstanceName>",
                                             "          <InstanceName>PIN_A</InstanceName>",
                                             "          <InstanceName>PIN_B</InstanceName>",
                                             "          <InstanceName>SUB_TURNED</InstanceName>",
                                             "          <InstanceName>PIN_A</InstanceName>",
                                             "          <InstanceName>PIN_B</InstanceName>"}));
  std::vector<std::string> turned =
      section(assembly, "          <InstanceName>SUB_TURNED</InstanceName>", "          </Matrix>");
  EXPECT_EQ(element_value(turned, "X1"), "0.000000");
  EXPECT_EQ(element_value(turned, "Y1"), "1.000000");
  EXPECT_EQ(element_value(turned, "X2"), "-1.000000");
  EXPECT_EQ(element_value(turned, "originX"), "100.000000");
  std::vector<std::string> files = lines_starting(assembly, "          <File>");
  ASSERT_EQ(files.size(), 7u);
  EXPECT_EQ(files[2], "          <File>assembly.step#PIN</File>");
  EXPECT_EQ(files[4], "          <File>assembly.step#SUB</File>");
}

// The reference set's mass covers the solid bodies; the free face is
// counted as a sheet body.
TEST(ExchangeReport, FreeFaceIsASheetBodyBesideTheSolid) {
  std::string dir = scratch_dir("sheet");
  std::string path = dir + "/mixed.brep";
  exchange_fixtures::write_block_and_face_brep(path);
  CheckOutput out = check(path);
  ASSERT_EQ(out.result.size(), 4u) << out.log;
  EXPECT_EQ(out.result[1], "0") << out.log;
  std::vector<std::string> model = section(out.report, "    <ModelData>", "    </ModelData>");
  EXPECT_EQ(element_value(model, "VolumeBodies_n"), "1");
  EXPECT_EQ(element_value(model, "SheetBodies_n"), "1");
  expect_mass(reported_mass(out), block_mass(1.0), 1e-7, "block beside a face");
}

// A part file's assembly may name an exchange file as a component; it is
// found like a component part file, here in a search directory.
TEST(ExchangeReport, AssemblyPartFileFindsAnExchangeComponentInASearchDirectory) {
  std::string dir = scratch_dir("mixed_assembly");
  fs::create_directories(dir + "/cad");
  exchange_fixtures::write_cylinder_step(dir + "/cad/cylinder.step");
  std::string path = write_file(dir, "holder.prt", R"({"format": "orvel part", "version": 1,
    "units": 1, "objects": [
    {"id": "c1", "kind": "component", "part": "cylinder.step", "instance_name": "ROLL_1",
     "origin": [100, 0, 0]},
    {"id": "c2", "kind": "component", "part": "cylinder.step", "instance_name": "ROLL_2",
     "origin": [0, 50, 0], "orientation": [[1, 0, 0], [0, 0, 1], [0, -1, 0]]}]})");
  CheckOutput missing = check(path);
  ASSERT_GE(missing.result.size(), 2u);
  EXPECT_EQ(missing.result[1], "-1001") << "not beside the assembly";
  CheckOutput out = run_check({path,
                               "ModelGetData,AssemblyGetData",
                               {},
                               {"--search-dir", dir + "/cad", "--load-options", "1"},
                               ""});
  ASSERT_EQ(out.result.size(), 4u) << out.log;
  EXPECT_EQ(out.result[1], "0") << out.log;
  // Roll 1 stands at (100, 0, 0); roll 2 lies along -Y from (0, 50, 0).
  const double v = kPi * 25 * 20;
  Mass got = reported_mass(out);
  EXPECT_NEAR(got.volume, 2 * v, 1e-5);
  EXPECT_NEAR(got.centre[0], 50.0, 1e-5);
  EXPECT_NEAR(got.centre[1], (0 + 40) / 2.0, 1e-5);
  EXPECT_NEAR(got.centre[2], (10 + 0) / 2.0, 1e-5);
  // Named, like a component part file, by the path it was found at.
  const std::string found = "          <File>" + dir + "/cad/cylinder.step</File>";
  EXPECT_EQ(lines_starting(out.report, "          <File>"),
            (std::vector<std::string>{found, found}));
}

TEST(ExchangeReport, FileThatCannotBeReadIsNotLoadedAndNamed) {
  std::string dir = scratch_dir("bad");
  std::string path = write_file(dir, "bad.stp", "{\"format\": \"orvel part\"}");
  CheckOutput out = check(path);
  ASSERT_GE(out.result.size(), 2u);
  EXPECT_EQ(out.result[1], "-1001");
  EXPECT_NE(out.log.find("bad.stp"), std::string::npos) << out.log;
  EXPECT_NE(out.log.find("not a readable STEP file"), std::string::npos) << out.log;
}

TEST(ExchangeReport, DamagedFileLoadsWhatItCanAndLogsWhatWasSkipped) {
  std::string dir = scratch_dir("damaged");
  std::string good = dir + "/good.step";
  exchange_fixtures::write_block_step(good);
  std::ifstream in(good, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  size_t at = content.find("DRAUGHTING_PRE_DEFINED_COLOUR(");
  ASSERT_NE(at, std::string::npos);
  content.insert(at + 30, "(((");
  std::string path = write_file(dir, "damaged.step", content);
  CheckOutput out = check(path);
  ASSERT_EQ(out.result.size(), 4u) << out.log;
  EXPECT_EQ(out.result[1], "0");
  EXPECT_NE(out.log.find("Warning: damaged.step: 2 unreadable entities skipped (#"),
            std::string::npos)
      << out.log;
  EXPECT_NE(out.log.find("colours, layers, materials and validation properties not read"),
            std::string::npos)
      << out.log;
  EXPECT_NEAR(reported_mass(out).volume, 6000.0, 1e-6);
}

// Sample files nobody here made: the report's mass properties equal those
// of the kernel's own readers and mass routine for the same file.
TopoDS_Shape kernel_shape(const std::string &path) {
  std::string ext = fs::path(path).extension().string();
  if (ext == ".brep") {
    TopoDS_Shape shape;
    BRep_Builder builder;
    BRepTools::Read(shape, path.c_str(), builder);
    return shape;
  }
  if (ext == ".step" || ext == ".stp") {
    STEPControl_Reader reader;
    reader.ReadFile(path.c_str());
    reader.TransferRoots();
    return reader.OneShape();
  }
  IGESControl_Reader reader;
  reader.ReadFile(path.c_str());
  reader.TransferRoots();
  return reader.OneShape();
}

Mass kernel_mass(const TopoDS_Shape &shape) {
  Mass m;
  GProp_GProps all;
  for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next()) {
    GProp_GProps one;
    BRepGProp::VolumeProperties(e.Current(), one);
    all.Add(one);
  }
  m.volume = all.Mass();
  gp_Pnt c = all.CentreOfMass();
  m.centre[0] = c.X();
  m.centre[1] = c.Y();
  m.centre[2] = c.Z();
  const gp_Dir axes[3] = {gp::DX(), gp::DY(), gp::DZ()};
  for (int k = 0; k < 3; ++k) m.inertia[k] = all.MomentOfInertia(gp_Ax1(gp::Origin(), axes[k]));
  return m;
}

class OcctSample : public ::testing::TestWithParam<const char *> {};

int count(const TopoDS_Shape &shape, TopAbs_ShapeEnum kind, TopAbs_ShapeEnum outside) {
  int n = 0;
  for (TopExp_Explorer e(shape, kind, outside); e.More(); e.Next()) ++n;
  return n;
}

// Solids are compared by their mass properties; a surface model (no solid)
// by its number of sheet bodies: every free shell and free face.
TEST_P(OcctSample, ReportMassEqualsTheKernelsOwn) {
  std::string sample = std::string(OCCT_SAMPLES_DIR) + "/" + GetParam();
  if (!fs::exists(sample)) GTEST_SKIP() << "occt-misc is not installed: " << sample << " missing";
  std::string dir = scratch_dir(std::string("sample_") + fs::path(sample).stem().string());
  std::string path = dir + "/" + fs::path(sample).filename().string();
  fs::copy_file(sample, path);
  CheckOutput out = check(path);
  ASSERT_EQ(out.result.size(), 4u) << out.log;
  EXPECT_EQ(out.result[1], "0") << out.log;
  const TopoDS_Shape shape = kernel_shape(sample);
  std::vector<std::string> model = section(out.report, "    <ModelData>", "    </ModelData>");
  const int solids = count(shape, TopAbs_SOLID, TopAbs_SHAPE);
  const int sheets =
      count(shape, TopAbs_SHELL, TopAbs_SOLID) + count(shape, TopAbs_FACE, TopAbs_SHELL);
  if (solids > 0) {
    EXPECT_EQ(element_value(model, "VolumeBodies_n"), std::to_string(solids));
    expect_mass(reported_mass(out), kernel_mass(shape), 1e-6, GetParam());
  }
  if (sheets > 0) {
    EXPECT_EQ(element_value(model, "SheetBodies_n"), std::to_string(sheets));
  }
  EXPECT_GT(solids + sheets, 0);
}

INSTANTIATE_TEST_SUITE_P(Samples, OcctSample,
                         ::testing::Values("step/screw.step", "occ/Pump_Nut.brep",
                                           "occ/CrankArm.brep", "iges/hammer.iges"));

}  // namespace
}  // namespace sections_test
