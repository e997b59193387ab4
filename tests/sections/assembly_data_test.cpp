// The assembly data section: arrangements, and the component records of the
// sample assembly (three levels below the work part) read field by field.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "run_orvel.hpp"

namespace sections_test {
namespace {

using json = nlohmann::ordered_json;

// The component records of a report, by instance name.
std::map<std::string, std::vector<std::string>> components_of(
    const std::vector<std::string> &report) {
  std::map<std::string, std::vector<std::string>> records;
  std::vector<std::string> current;
  bool inside = false;
  for (const std::string &line : section(report, "    <AssemblyData>", "    </AssemblyData>")) {
    if (line == "        <Component>") {
      inside = true;
      current.clear();
    }
    if (inside) current.push_back(line);
    if (line == "        </Component>") {
      inside = false;
      records[element_value(current, "InstanceName")] = current;
    }
  }
  return records;
}

class DriveUnit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string dir = copy_examples(scratch_dir("drive_unit_records"));
    report_ = new std::vector<std::string>(
        run_check({dir + "/drive_unit.prt", "AssemblyGetData", {}, {}, ""}).report);
    records_ = new std::map<std::string, std::vector<std::string>>(components_of(*report_));
  }
  static void TearDownTestSuite() {
    delete report_;
    delete records_;
  }
  static const std::vector<std::string> &record(const std::string &instance) {
    static const std::vector<std::string> none;
    auto it = records_->find(instance);
    return it == records_->end() ? none : it->second;
  }
  static std::vector<std::string> *report_;
  static std::map<std::string, std::vector<std::string>> *records_;
};

std::vector<std::string> *DriveUnit::report_ = nullptr;
std::map<std::string, std::vector<std::string>> *DriveUnit::records_ = nullptr;

TEST_F(DriveUnit, EveryComponentAtEveryLevelHasOneRecord) {
  const std::map<std::string, std::string> levels = {
      {"HOUSING", "1"}, {"GEAR_STAGE", "1"}, {"COVER", "1"},  {"SHAFT_SET", "2"},
      {"GEAR", "2"},    {"SHAFT", "3"},      {"BEARING", "3"}};
  EXPECT_EQ(records_->size(), levels.size());
  for (const auto &[instance, level] : levels) {
    EXPECT_EQ(element_value(record(instance), "ComponentLevel"), level) << instance;
  }
}

TEST_F(DriveUnit, MatingOnlyForLevelOneComponents) {
  for (const auto &[instance, lines] : *records_) {
    bool level_one = element_value(lines, "ComponentLevel") == "1";
    EXPECT_EQ(lines_starting(lines, "           <IsMated>").size(), level_one ? 1u : 0u)
        << instance;
  }
  EXPECT_EQ(section(record("GEAR_STAGE"), "          <Mating>", "          </Mating>"),
            (std::vector<std::string>{"          <Mating>", "           <IsMated>1</IsMated>",
                                      "           <MatingName>STAGE_TO_HOUSING</MatingName>",
                                      "           <MatingStatus>0</MatingStatus>",
                                      "          </Mating>"}));
  EXPECT_EQ(section(record("HOUSING"), "          <Mating>", "          </Mating>"),
            (std::vector<std::string>{"          <Mating>", "           <IsMated>0</IsMated>",
                                      "          </Mating>"}));
}

TEST_F(DriveUnit, ReferenceComponentBySetTypeAndValue) {
  EXPECT_EQ(element_value(record("HOUSING"), "ReferenceComponent"), "N");     // "N"
  EXPECT_EQ(element_value(record("GEAR_STAGE"), "ReferenceComponent"), "1");  // empty string
  EXPECT_EQ(element_value(record("COVER"), "ReferenceComponent"), "");        // integer
  EXPECT_EQ(element_value(record("SHAFT"), "ReferenceComponent"), "");        // not set
  EXPECT_EQ(element_value(record("HOUSING"), "VQ_Geometry"), "SOLID");
  EXPECT_EQ(element_value(record("GEAR_STAGE"), "Callout"), "2");
}

TEST_F(DriveUnit, SuppressionStateAndExpression) {
  EXPECT_EQ(element_value(record("COVER"), "SuppressState"), "1");
  EXPECT_EQ(element_value(record("HOUSING"), "SuppressState"), "0");
  EXPECT_EQ(element_value(record("HOUSING"), "SuppressByExpression"), "housing_hidden=0");
  EXPECT_EQ(element_value(record("COVER"), "SuppressByExpression"), "");
}

TEST_F(DriveUnit, ArrangementsOfTheWorkPartAndOfSubassemblies) {
  EXPECT_EQ(
      section(*report_, "     <PartArrangements>", "     </PartArrangements>"),
      (std::vector<std::string>{"     <PartArrangements>",
                                "          <ActiveArrangement>Assembled</ActiveArrangement>",
                                "          <ExistingArrangement>Exploded</ExistingArrangement>",
                                "     </PartArrangements>"}));
  EXPECT_EQ(section(record("GEAR_STAGE"), "           <ComponentArrangement>",
                    "           </ComponentArrangement>"),
            (std::vector<std::string>{"           <ComponentArrangement>",
                                      "            <UsedArrangement>Running</UsedArrangement>",
                                      "           </ComponentArrangement>"}));
  // A sub-assembly without an active arrangement and a single part: no line.
  for (const char *instance : {"SHAFT_SET", "HOUSING"}) {
    EXPECT_EQ(section(record(instance), "           <ComponentArrangement>",
                      "           </ComponentArrangement>")
                  .size(),
              2u)
        << instance;
  }
}

TEST_F(DriveUnit, PlacementPrintsTheMatrixInStoredOrder) {
  EXPECT_EQ(
      section(record("GEAR_STAGE"), "          <Matrix>", "          </Matrix>"),
      (std::vector<std::string>{
          "          <Matrix>", "            <X1>0.000000</X1>", "            <Y1>1.000000</Y1>",
          "            <Z1>0.000000</Z1>", "            <X2>-1.000000</X2>",
          "            <Y2>0.000000</Y2>", "            <Z2>0.000000</Z2>",
          "            <X3>0.000000</X3>", "            <Y3>0.000000</Y3>",
          "            <Z3>1.000000</Z3>", "            <originX>150.000000</originX>",
          "            <originY>50.000000</originY>", "            <originZ>10.000000</originZ>",
          "          </Matrix>"}));
  EXPECT_EQ(
      lines_starting(record("HOUSING"), "            <"),
      (std::vector<std::string>{
          "            <X1>1.000000</X1>", "            <Y1>0.000000</Y1>",
          "            <Z1>0.000000</Z1>", "            <X2>0.000000</X2>",
          "            <Y2>1.000000</Y2>", "            <Z2>0.000000</Z2>",
          "            <X3>0.000000</X3>", "            <Y3>0.000000</Y3>",
          "            <Z3>1.000000</Z3>", "            <originX>0.000000</originX>",
          "            <originY>0.000000</originY>", "            <originZ>10.000000</originZ>"}));
}

TEST(AssemblyData, PartWithoutComponentsListsEveryArrangementAsExisting) {
  json part = {
      {"format", "orvel part"},
      {"version", 1},
      {"objects",
       json::array(
           {{{"id", "a"}, {"kind", "arrangement"}, {"name", "First"}},
            {{"id", "b"}, {"kind", "arrangement"}, {"name", "Second"}, {"active", true}}})}};
  std::string dir = scratch_dir("no_components");
  std::string path = write_file(dir, "part.prt", part.dump(2));
  CheckOutput out = run_check({path, "AssemblyGetData", {}, {}, ""});
  EXPECT_EQ(section(out.report, "    <AssemblyData>", "    </AssemblyData>"),
            (std::vector<std::string>{"    <AssemblyData>", "     <PartArrangements>",
                                      "          <ExistingArrangement>First</ExistingArrangement>",
                                      "          <ExistingArrangement>Second</ExistingArrangement>",
                                      "     </PartArrangements>", "      <Components>",
                                      "      </Components>", "    </AssemblyData>"}));
}

}  // namespace
}  // namespace sections_test
