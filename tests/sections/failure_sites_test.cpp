// Every host call of the three sections whose failure is recorded reaches the
// part's result record with its own line number, whether the failure comes
// from the part itself or is injected through the part file. Writing goes on
// after each failure: every section is still complete.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "run_orvel.hpp"

namespace sections_test {
namespace {

using json = nlohmann::ordered_json;

const int kInjectedCode = 1006;

json read_json(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return json::parse(text.str());
}

json component(const std::string &id, const std::string &file, const std::string &name) {
  return json{
      {"id", id},
      {"kind", "component"},
      {"part", file},
      {"instance_name", name},
      {"attributes", json::array({{{"title", "VQ GEOMETRY"}, {"type", "string"}, {"value", "V"}},
                                  {{"title", "CALLOUT"}, {"type", "string"}, {"value", "C"}}})}};
}

/* An assembly in which every recorded call of the assembly section is made
 * and none fails by itself: two arrangements, a mated sub-assembly with an
 * active arrangement of its own, and a plain component. */
std::string write_assembly(const std::string &dir) {
  json leaf = {
      {"format", "orvel part"},
      {"version", 1},
      {"objects",
       json::array(
           {{{"id", "b"},
             {"kind", "body"},
             {"shape", {{"type", "block"}, {"corner", {0, 0, 0}}, {"size", {1, 1, 1}}}}}})}};
  json sub = {
      {"format", "orvel part"},
      {"version", 1},
      {"objects",
       json::array(
           {component("leaf", "leaf.prt", "LEAF"),
            {{"id", "inner"}, {"kind", "arrangement"}, {"name", "Inner"}, {"active", true}}})}};
  json sub_component = component("sub", "sub.prt", "SUB");
  sub_component["mating"] = {{"name", "SUB_TO_PLAIN"}, {"mated", "plain"}, {"constraints", 2}};
  json top = {
      {"format", "orvel part"},
      {"version", 1},
      {"objects",
       json::array({sub_component,
                    component("plain", "leaf.prt", "PLAIN"),
                    {{"id", "on"}, {"kind", "arrangement"}, {"name", "Active"}, {"active", true}},
                    {{"id", "off"}, {"kind", "arrangement"}, {"name", "Other"}}})}};
  write_file(dir, "leaf.prt", leaf.dump(2));
  write_file(dir, "sub.prt", sub.dump(2));
  return write_file(dir, "top.prt", top.dump(2));
}

enum Base { kSampleModel, kTestAssembly };

struct SiteCase {
  const char *name;
  Base base;
  const char *call;
  int skip;
  int line;
};

void PrintTo(const SiteCase &c, std::ostream *os) {
  *os << c.name;
}

class FailureSite : public ::testing::TestWithParam<SiteCase> {};

TEST_P(FailureSite, LineNumberReachesTheResultRecord) {
  const SiteCase &c = GetParam();
  std::string dir = scratch_dir(std::string("site_") + c.name);
  std::string path;
  if (c.base == kSampleModel) {
    copy_examples(dir);
    path = dir + "/mixed_densities.prt";
  } else {
    path = write_assembly(dir);
  }
  json part = read_json(path);
  part["failures"] = json::array({{{"call", c.call}, {"code", kInjectedCode}, {"skip", c.skip}}});
  write_file(dir, path.substr(dir.size() + 1), part.dump(2));

  CheckOutput out = run_check({path, "", {{"VETR_ANALYZE_NORMALIZED_MASS_PROPS", "true"}}, {}, ""});
  ASSERT_EQ(out.result.size(), 4u) << "no result record; orvel status " << out.status;
  EXPECT_EQ(out.result[1], std::to_string(kInjectedCode));
  std::string suffix = " [" + std::to_string(c.line) + "]";
  const std::string &message = out.result[2];
  EXPECT_GT(message.size(), suffix.size());
  EXPECT_EQ(message.substr(message.size() - std::min(message.size(), suffix.size())), suffix)
      << message;
  for (const char *end : {"    </PartHeader>", "    </ModelData>", "    </AssemblyData>"}) {
    EXPECT_TRUE(has_line(out.report, end)) << end;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FailureSite,
    ::testing::Values(
        SiteCase{"create_history", kSampleModel, "ZK_PART_create_history_list", 0, 1272},
        SiteCase{"clear_history", kSampleModel, "ZK_PART_clear_history_list", 0, 1273},
        SiteCase{"part_history", kSampleModel, "ZK_PART_ask_part_history", 0, 1274},
        SiteCase{"history_count", kSampleModel, "ZK_PART_ask_num_histories", 0, 1275},
        SiteCase{"part_body_features", kSampleModel, "ZK_MODL_ask_body_feats", 0, 1387},
        SiteCase{"part_mass", kSampleModel, "ZK_MODL_ask_mass_props_3d", 0, 1415},
        SiteCase{"normalised_mass", kSampleModel, "ZK_MODL_ask_mass_props_3d", 1, 1442},
        // Two bodies of the whole part come before the reference set's one.
        SiteCase{"refset_body_features", kSampleModel, "ZK_MODL_ask_body_feats", 2, 1574},
        SiteCase{"active_arrangement", kTestAssembly, "ZK_ASSEM_ask_name_of_arrangement", 0, 1790},
        SiteCase{"arrangements", kTestAssembly, "ZK_ASSEM_ask_arrangements_in_part", 0, 1797},
        SiteCase{"other_arrangement", kTestAssembly, "ZK_ASSEM_ask_name_of_arrangement", 1, 1805},
        SiteCase{"component_data", kTestAssembly, "ZK_ASSEM_ask_component_data", 0, 1822},
        SiteCase{"member_count", kTestAssembly, "ZK_ASSEM_count_objs_in_comp", 0, 1873},
        SiteCase{"used_arrangement", kTestAssembly, "ZK_ASSEM_ask_name_of_arrangement", 2, 1889},
        SiteCase{"mating_data", kTestAssembly, "ZK_ASSEM_ask_mc_data_of_compnt", 0, 1904},
        SiteCase{"mating_check", kTestAssembly, "ZK_ASSEM_check_mc_structure", 0, 1910},
        SiteCase{"attribute_read", kTestAssembly, "ZK_ATTR_read_value", 0, 1059}),
    [](const auto &info) { return std::string(info.param.name); });

// A component attribute read as text that holds another type is a failure of
// the part itself, recorded at the read; components that simply lack the
// attribute are not.
TEST(FailureSites, ComponentAttributeOfAnotherTypeIsRecordedAtItsRead) {
  const int kAttributeTypeCode = 1012;
  std::string dir = copy_examples(scratch_dir("natural_attribute"));
  json part = read_json(dir + "/drive_unit.prt");
  bool changed = false;
  for (json &object : part["objects"]) {
    if (object["id"] != "housing_inst") continue;
    for (json &attribute : object["attributes"]) {
      if (attribute["title"] != "VQ GEOMETRY") continue;
      attribute["type"] = "integer";
      attribute["value"] = 3;
      changed = true;
    }
  }
  ASSERT_TRUE(changed) << "drive_unit.prt no longer has the housing's VQ GEOMETRY";
  write_file(dir, "drive_unit.prt", part.dump(2));
  CheckOutput out = run_check({dir + "/drive_unit.prt", "AssemblyGetData", {}, {}, ""});
  ASSERT_EQ(out.result.size(), 4u);
  EXPECT_EQ(out.result[1], std::to_string(kAttributeTypeCode));
  const std::string &message = out.result[2];
  EXPECT_EQ(message.substr(message.size() - std::min<size_t>(message.size(), 7)), " [1059]")
      << message;
  EXPECT_TRUE(has_line(out.report, "          <VQ_Geometry></VQ_Geometry>"));
}

TEST(FailureSites, ComponentsWithoutReadAttributesPassTheCheck) {
  std::string dir = copy_examples(scratch_dir("absent_attribute"));
  CheckOutput out = run_check({dir + "/drive_unit.prt", "AssemblyGetData", {}, {}, ""});
  ASSERT_EQ(out.result.size(), 4u);
  EXPECT_EQ(out.result[1], "0") << out.result[2];
  EXPECT_EQ(out.result[2], "OK");
}

TEST(FailureSites, UnreadableHistoryEntryKeepsItsPlace) {
  std::string dir = copy_examples(scratch_dir("history_entry"));
  json part = read_json(dir + "/title_block.prt");
  part["failures"] = json::array(
      {{{"call", "ZK_PART_ask_nth_history"}, {"code", kInjectedCode}, {"skip", 1}, {"times", 1}}});
  write_file(dir, "title_block.prt", part.dump(2));
  CheckOutput out = run_check({dir + "/title_block.prt", "ModelGetData", {}, {}, ""});
  EXPECT_EQ(out.status, 0);
  std::vector<std::string> history = lines_starting(out.report, "      <PartHistory");
  ASSERT_EQ(history.size(), 4u);
  EXPECT_EQ(history[0], "      <PartHistoryNum>3</PartHistoryNum>");
  EXPECT_EQ(history[1],
            "      <PartHistory_1>1 05 Nov 12 14:30 ws-01 design Orvel V8.0</PartHistory_1>");
  EXPECT_EQ(history[2], "      <PartHistory_2>0    </PartHistory_2>");
  EXPECT_EQ(history[3],
            "      <PartHistory_3>3 30 Jan 13 09:05 batch&#38;1 check Orvel "
            "V8.0.3.5</PartHistory_3>");
  // The entry read is not a recorded call: the part stays without error.
  ASSERT_EQ(out.result.size(), 4u);
  EXPECT_EQ(out.result[2], "OK");
}

}  // namespace
}  // namespace sections_test
