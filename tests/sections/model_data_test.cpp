// The model data section: mass properties against the geometry, the
// normalised computation and the densities it must give back, feature
// statistics, layers and the bare structure of an empty part.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "run_orvel.hpp"

namespace sections_test {
namespace {

using json = nlohmann::ordered_json;

const double kPi = 3.14159265358979323846;

json minimal_part() {
  return json{{"format", "orvel part"}, {"version", 1}, {"units", 1}, {"objects", json::array()}};
}

json block(const std::string &id, int layer) {
  return json{{"id", id},
              {"kind", "body"},
              {"layer", layer},
              {"shape", {{"type", "block"}, {"corner", {0, 0, 0}}, {"size", {1, 2, 3}}}}};
}

std::vector<std::string> model_data_of(const std::string &test, const json &part) {
  std::string dir = scratch_dir(test);
  std::string path = write_file(dir, "part.prt", part.dump(2));
  CheckOutput out = run_check({path, "ModelGetData", {}, {}, ""});
  return section(out.report, "    <ModelData>", "    </ModelData>");
}

double number_in(const std::vector<std::string> &lines, const std::string &name) {
  std::string text = element_value(lines, name);
  EXPECT_NE(text, "<missing>") << name;
  return std::atof(text.c_str());
}

// X, Y and Z of the block "          <name>" ... "          </name>".
std::vector<double> xyz(const std::vector<std::string> &lines, const std::string &name) {
  std::vector<std::string> block =
      section(lines, "          <" + name + ">", "          </" + name + ">");
  EXPECT_EQ(block.size(), 5u) << name;
  return {number_in(block, "X"), number_in(block, "Y"), number_in(block, "Z")};
}

/* The sample mixed_densities.prt worked out by hand: a steel block 10 x 20 x 30
 * at the origin (density 7.85) and an aluminium cylinder of radius 5 and
 * height 20 standing on (50, 0, 0) (density 2.7). */
struct BodyMass {
  double volume;
  double centre[3];
  double second[3];  // integrals of x², y², z² over the volume
};

BodyMass steel_block() {
  return {6000.0, {5, 10, 15}, {1000.0 / 3 * 600, 8000.0 / 3 * 300, 27000.0 / 3 * 200}};
}

BodyMass alu_pin() {
  double v = kPi * 25 * 20;
  return {v, {50, 0, 10}, {v * (2500 + 6.25), v * 6.25, kPi * 25 * 8000 / 3}};
}

void expected_mass(double d1, double d2, double centre[3], double inertia[3]) {
  BodyMass a = steel_block(), b = alu_pin();
  double m = d1 * a.volume + d2 * b.volume;
  double s[3];
  for (int i = 0; i < 3; i++) {
    centre[i] = (d1 * a.volume * a.centre[i] + d2 * b.volume * b.centre[i]) / m;
    s[i] = d1 * a.second[i] + d2 * b.second[i];
  }
  inertia[0] = s[1] + s[2];
  inertia[1] = s[0] + s[2];
  inertia[2] = s[0] + s[1];
}

void expect_near_all(const std::vector<double> &got, const double want[3], const char *what) {
  ASSERT_EQ(got.size(), 3u);
  for (int i = 0; i < 3; i++) {
    EXPECT_NEAR(got[i], want[i], 1e-6 * std::max(1.0, std::fabs(want[i]))) << what << " " << i;
  }
}

TEST(ModelData, WholePartMassMatchesTheGeometry) {
  std::string dir = copy_examples(scratch_dir("mass_by_hand"));
  CheckOutput out = run_check({dir + "/mixed_densities.prt", "ModelGetData", {}, {}, ""});
  std::vector<std::string> entire =
      section(out.report, "         <Name>Entire Part</Name>", "        </Refset>");
  ASSERT_FALSE(entire.empty());
  EXPECT_NEAR(number_in(entire, "Volume"), 6000 + 500 * kPi, 1e-6);
  EXPECT_EQ(element_value(entire, "VolumeBodies_n"), "2");
  EXPECT_EQ(element_value(entire, "Feature3D_n"), "3");
  double centre[3], inertia[3];
  expected_mass(7.85, 2.7, centre, inertia);
  expect_near_all(xyz(entire, "CentreOfGravity"), centre, "centre");
  expect_near_all(xyz(entire, "MomentOfInertia"), inertia, "inertia");

  // The reference set holds the block and two objects that are not bodies.
  std::vector<std::string> steel =
      section(out.report, "         <Name>STEEL_ONLY</Name>", "        </Refset>");
  EXPECT_NEAR(number_in(steel, "Volume"), 6000, 1e-6);
  EXPECT_EQ(element_value(steel, "VolumeBodies_n"), "1");
  EXPECT_EQ(element_value(steel, "ObjectsComps_n"), "0");
  EXPECT_EQ(element_value(steel, "ObjectsWire_n"), "2");
}

struct OptionCase {
  const char *name;
  const char *value;
  bool normalised;
};

void PrintTo(const OptionCase &c, std::ostream *os) {
  *os << c.name;
}

class NormalisedMass : public ::testing::TestWithParam<OptionCase> {};

TEST_P(NormalisedMass, OptionIsTrueInAnyCaseAndDensitiesComeBack) {
  const OptionCase &c = GetParam();
  std::string dir = copy_examples(scratch_dir(std::string("normalised_") + c.name));
  CheckOutput out = run_check({dir + "/mixed_densities.prt",
                               "ModelGetData",
                               {{"VETR_ANALYZE_NORMALIZED_MASS_PROPS", c.value}},
                               {},
                               ""});
  std::vector<std::string> model = section(out.report, "    <ModelData>", "    </ModelData>");
  ASSERT_FALSE(model.empty());
  EXPECT_EQ(has_line(model, "          <CentreOfGravityN1>"), c.normalised);
  EXPECT_EQ(has_line(model, "          <MomentOfInertiaN1>"), c.normalised);
  if (c.normalised) {
    double centre[3], inertia[3];
    expected_mass(1.0, 1.0, centre, inertia);
    expect_near_all(xyz(model, "CentreOfGravityN1"), centre, "centre N1");
    expect_near_all(xyz(model, "MomentOfInertiaN1"), inertia, "inertia N1");
    // The ordinary computation still uses the bodies' own densities.
    expected_mass(7.85, 2.7, centre, inertia);
    expect_near_all(xyz(model, "CentreOfGravity"), centre, "centre");
  }
  // The body records follow the mass blocks: each body has its density again.
  EXPECT_EQ(lines_starting(model, "          <Density>"),
            (std::vector<std::string>{"          <Density>7.850000</Density>",
                                      "          <Density>2.700000</Density>"}));
  EXPECT_EQ(out.result.size() >= 3 ? out.result[2] : "", "OK");
}

INSTANTIATE_TEST_SUITE_P(
    Values, NormalisedMass,
    ::testing::Values(OptionCase{"lower", "true", true}, OptionCase{"upper", "TRUE", true},
                      OptionCase{"mixed", "True", true}, OptionCase{"one", "1", false},
                      OptionCase{"yes", "yes", false}, OptionCase{"padded", " true", false}),
    [](const auto &info) { return std::string(info.param.name); });

// A density that cannot be read is not changed for the normalised
// computation: that body keeps its density, and the others come back too.
TEST(NormalisedMassFailure, ABodyWhoseDensityCannotBeReadKeepsIt) {
  std::string dir = copy_examples(scratch_dir("normalised_unreadable_density"));
  std::string text;
  for (const std::string &line : read_lines(dir + "/mixed_densities.prt")) text += line + "\n";
  json part = json::parse(text);
  part["failures"] =
      json::array({{{"call", "ZK_MODL_ask_body_density"}, {"code", 1006}, {"times", 1}}});
  write_file(dir, "mixed_densities.prt", part.dump(2));
  CheckOutput out = run_check({dir + "/mixed_densities.prt",
                               "ModelGetData",
                               {{"VETR_ANALYZE_NORMALIZED_MASS_PROPS", "true"}},
                               {},
                               ""});
  std::vector<std::string> model = section(out.report, "    <ModelData>", "    </ModelData>");
  ASSERT_TRUE(has_line(model, "          <CentreOfGravityN1>"));
  // The steel block stayed at 7.85 during the computation: its weight shows.
  double centre[3], inertia[3];
  expected_mass(7.85, 1.0, centre, inertia);
  expect_near_all(xyz(model, "CentreOfGravityN1"), centre, "centre N1");
  EXPECT_EQ(lines_starting(model, "          <Density>"),
            (std::vector<std::string>{"          <Density>7.850000</Density>",
                                      "          <Density>2.700000</Density>"}));
}

TEST(ModelData, EmptyPartHasOnlyTheFixedLines) {
  std::vector<std::string> expected = {"    <ModelData>",
                                       "      <Refsets>",
                                       "        <Refset>",
                                       "         <Name>Entire Part</Name>",
                                       "        </Refset>",
                                       "      </Refsets>",
                                       "      <ModelDataBase>",
                                       "       <Features>",
                                       "        <TotalFeatures_n>0</TotalFeatures_n>",
                                       "        <AliveFeatures_n>0</AliveFeatures_n>",
                                       "        <SuppressedFeatures_n>0</SuppressedFeatures_n>",
                                       "        <CondemnedFeatures_n>0</CondemnedFeatures_n>",
                                       "        <DeletedFeatures_n>0</DeletedFeatures_n>",
                                       "        <TemporaryFeatures_n>0</TemporaryFeatures_n>",
                                       "       </Features>",
                                       "       <Bodies>",
                                       "       </Bodies>",
                                       "      </ModelDataBase>",
                                       "      <Layers>",
                                       "      </Layers>",
                                       "    </ModelData>"};
  EXPECT_EQ(model_data_of("empty_part", minimal_part()), expected);
}

TEST(ModelData, FeaturesCountedByStateAndSuppression) {
  json part = minimal_part();
  auto feature = [](const char *id, const char *status, bool suppressed) {
    return json{{"id", id}, {"kind", "feature"}, {"status", status}, {"suppressed", suppressed}};
  };
  part["objects"] = json::array({feature("a", "alive", true), feature("b", "alive", false),
                                 feature("c", "condemned", false), feature("d", "deleted", true),
                                 feature("e", "temporary", false)});
  std::vector<std::string> lines = model_data_of("feature_states", part);
  EXPECT_EQ(section(lines, "       <Features>", "       </Features>"),
            (std::vector<std::string>{
                "       <Features>", "        <TotalFeatures_n>5</TotalFeatures_n>",
                "        <AliveFeatures_n>2</AliveFeatures_n>",
                "        <SuppressedFeatures_n>2</SuppressedFeatures_n>",
                "        <CondemnedFeatures_n>1</CondemnedFeatures_n>",
                "        <DeletedFeatures_n>1</DeletedFeatures_n>",
                "        <TemporaryFeatures_n>1</TemporaryFeatures_n>", "       </Features>"}));
}

TEST(ModelData, LayersFromZeroThroughTwoHundredFiftySix) {
  json part = minimal_part();
  part["objects"] = json::array(
      {block("top", 256), block("a", 7), block("b", 7), block("c", 7), block("bottom", 0)});
  std::vector<std::string> lines = model_data_of("layers", part);
  EXPECT_EQ(section(lines, "      <Layers>", "      </Layers>"),
            (std::vector<std::string>{
                "      <Layers>", "        <Layer>", "          <Name>0</Name>",
                "          <Objects_n>1</Objects_n>", "        </Layer>", "        <Layer>",
                "          <Name>7</Name>", "          <Objects_n>3</Objects_n>",
                "        </Layer>", "        <Layer>", "          <Name>256</Name>",
                "          <Objects_n>1</Objects_n>", "        </Layer>", "      </Layers>"}));
}

}  // namespace
}  // namespace sections_test
