// The comparison rules and identity matching on hand-made report pairs.
#include <gtest/gtest.h>

#include <cmath>

#include "compare_run.hpp"
#include "compare_tree.hpp"
#include "report_builder.hpp"
#include "report_tree.hpp"
#include "rules.hpp"

namespace vettra::compare {
namespace {

using testing::ComponentText;
using testing::ReportText;

std::vector<Difference> diff(const ReportText &a, const ReportText &b,
                             const Rules &rules = Rules::profile("strict")) {
  const Report before = parse_report(a.text(), "before");
  const Report after = parse_report(b.text(), "after");
  EXPECT_EQ(before.state, ReadState::ok) << before.message;
  EXPECT_EQ(after.state, ReadState::ok) << after.message;
  std::vector<Difference> out;
  TreeComparer(rules).compare(before.root, after.root, out);
  return out;
}

TEST(CompareRules, TimesAndMemoryFiguresAreIgnoredNamesAreExact) {
  ReportText before;
  ReportText after;
  after.start_time = "2026-02-07 23:59.59";
  after.memory = "7000000";
  EXPECT_TRUE(diff(before, after).empty());

  after.units = "ENGLISH";
  const auto differences = diff(before, after);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].path, "VettraData/PartHeader/Units");
  EXPECT_EQ(differences[0].before, "METRIC");
  EXPECT_EQ(differences[0].after, "ENGLISH");
  EXPECT_EQ(differences[0].family, "text");
  EXPECT_EQ(differences[0].rule, "exact");
  EXPECT_FALSE(differences[0].within);
  EXPECT_TRUE(std::isnan(differences[0].relative));
}

TEST(CompareRules, MassValuesAreNumericWithATolerance) {
  ReportText before;
  ReportText after;
  after.volume = "1000.000500";  // 5e-7 relative: last-digit noise
  auto differences = diff(before, after);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].path, "VettraData/ModelData/Refsets/Refset[Entire Part]/Volume");
  EXPECT_EQ(differences[0].family, "volume");
  EXPECT_EQ(differences[0].rule, "numeric (relative 1e-06, absolute 1e-06)");
  EXPECT_TRUE(differences[0].within);
  EXPECT_NEAR(differences[0].relative, 5e-7, 1e-12);

  after.volume = "1000.100000";  // a changed kernel
  differences = diff(before, after);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_FALSE(differences[0].within);
  EXPECT_NEAR(differences[0].relative, 0.1 / 1000.1, 1e-12);
}

// Tolerance edges: |a - b| <= max(relative * max(|a|, |b|), absolute).
struct Edge {
  double relative;
  double absolute;
  const char *before;
  const char *after;
  bool within;
};

class ToleranceEdge : public ::testing::TestWithParam<Edge> {};

TEST_P(ToleranceEdge, JudgedInsideOrOutside) {
  const Edge edge = GetParam();
  const Rule rule{RuleKind::numeric, edge.relative, edge.absolute, 0};
  Difference difference;
  ASSERT_TRUE(TreeComparer::judge(rule, edge.before, edge.after, 0, difference));
  EXPECT_EQ(difference.within, edge.within) << edge.before << " vs " << edge.after;
}

INSTANTIATE_TEST_SUITE_P(
    RelativeAndFloor, ToleranceEdge,
    ::testing::Values(Edge{1e-6, 0, "1000.000000", "1000.000999", true},   // just inside
                      Edge{1e-6, 0, "1000.000000", "1000.001001", false},  // just outside
                      Edge{1e-6, 0, "-1000.000000", "-1000.000999", true},
                      Edge{0, 1e-3, "0.000000", "0.000999", true},  // floor near zero
                      Edge{0, 1e-3, "0.000000", "-0.001001", false},
                      Edge{1e-6, 1e-6, "0.000000", "-0.000000", true},  // sign of zero
                      Edge{1e-6, 1e-6, "12.5", "twelve", false}));      // not a number

TEST(CompareRules, IgnoredValuesNeverDiffer) {
  Difference difference;
  EXPECT_FALSE(TreeComparer::judge(Rule{RuleKind::ignored, 0, 0, 0}, "a", "b", 0, difference));
  EXPECT_FALSE(TreeComparer::judge(Rule{RuleKind::exact, 0, 0, 0}, "a", "a", 0, difference));
  EXPECT_TRUE(TreeComparer::judge(Rule{RuleKind::exact, 0, 0, 0}, "1.0", "1.00", 0, difference));
}

TEST(CompareIdentity, OneInsertedAndOneRemovedComponentAreTwoDifferences) {
  ReportText before;
  before.components = {{"#/a", "A"}, {"#/b", "B"}, {"#/c", "C"}, {"#/d", "D"}};
  ReportText after;
  after.components = {{"#/a", "A"}, {"#/x", "X"}, {"#/b", "B"}, {"#/d", "D"}};
  const auto differences = diff(before, after);
  ASSERT_EQ(differences.size(), 2u);
  const std::string base = "VettraData/AssemblyData/Components/";
  EXPECT_EQ(differences[0].path, base + "Component[#/c]");
  EXPECT_EQ(differences[0].change, Change::removed);
  EXPECT_EQ(differences[0].before, "#/c");
  EXPECT_EQ(differences[1].path, base + "Component[#/x]");
  EXPECT_EQ(differences[1].change, Change::added);
  EXPECT_EQ(differences[1].after, "#/x");
}

TEST(CompareIdentity, ReorderedRecordsMatchAndAMovedOneShowsItsPlacement) {
  ReportText before;
  before.components = {{"#/a", "A"}, {"#/b", "B", "10.000000"}};
  ReportText after;
  after.components = {{"#/b", "B", "12.000000"}, {"#/a", "A"}};
  const auto differences = diff(before, after);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].path,
            "VettraData/AssemblyData/Components/Component[#/b]/Matrix/originX");
  EXPECT_EQ(differences[0].family, "placement");
  EXPECT_EQ(differences[0].before, "10.000000");
  EXPECT_EQ(differences[0].after, "12.000000");
}

TEST(CompareIdentity, RecordsWithTheSameIdentityAreKeptApart) {
  ReportText before;
  before.components = {{"#/a", "A"}, {"#/a", "A2"}};
  ReportText after = before;
  after.components[1].name = "A3";
  const auto differences = diff(before, after);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].path,
            "VettraData/AssemblyData/Components/Component[#/a]#2/InstanceName");
}

TEST(CompareProfiles, MigrationWidensMassBandsAndScalesCentroidsWithTheBody) {
  ReportText before;  // volume 1000: the body's size is 10
  ReportText volume_changed;
  volume_changed.volume = "1000.500000";  // 0.05 %
  ReportText moved;
  moved.cog_x = "5.008000";  // 0.08 % of the size
  ReportText moved_far;
  moved_far.cog_x = "5.020000";  // 0.2 % of the size
  const Rules strict = Rules::profile("strict");
  const Rules migration = Rules::profile("migration");
  for (const ReportText *after : {&volume_changed, &moved}) {
    const auto strict_result = diff(before, *after, strict);
    ASSERT_EQ(strict_result.size(), 1u);
    EXPECT_FALSE(strict_result[0].within);
    const auto migration_result = diff(before, *after, migration);
    ASSERT_EQ(migration_result.size(), 1u);
    EXPECT_TRUE(migration_result[0].within) << migration_result[0].path;
  }
  const auto far = diff(before, moved_far, migration);
  ASSERT_EQ(far.size(), 1u);
  EXPECT_EQ(far[0].family, "centroid");
  EXPECT_FALSE(far[0].within);
}

TEST(CompareRulesFile, ChangesAFamilyAddsOneAndRefusesMistakes) {
  Rules rules = Rules::profile("strict");
  rules.apply_json(R"({"families": [
      {"name": "volume", "relative": 0.01},
      {"name": "units", "match": ["PartHeader/Units"], "rule": "ignored"}]})",
                   "rules.json");
  ReportText before;
  ReportText after;
  after.volume = "1005.000000";
  after.units = "ENGLISH";
  const auto differences = diff(before, after, rules);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_TRUE(differences[0].within);

  const char *bad[] = {
      "{not json",
      R"({"families": [{"name": "volume", "rule": "fuzzy"}]})",
      R"({"families": [{"name": "nowhere", "rule": "ignored"}]})",
      R"({"families": [{"name": "volume", "relative": -1}]})",
      R"({"profile": "lenient"})",
      R"({"familys": []})",
  };
  for (const char *text : bad) {
    Rules target = Rules::profile("strict");
    try {
      target.apply_json(text, "rules.json");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const std::runtime_error &error) {
      EXPECT_NE(std::string(error.what()).find("rules.json"), std::string::npos) << error.what();
    }
  }
}

TEST(CompareRules, IgnoreOptionTakesAFamilyOrAPattern) {
  Rules rules = Rules::profile("strict");
  rules.ignore("volume");
  rules.ignore("Body/Density");
  ReportText before;
  ReportText after;
  after.volume = "2000.000000";
  after.density = "0.000009";
  EXPECT_TRUE(diff(before, after, rules).empty());
}

}  // namespace
}  // namespace vettra::compare

namespace vettra::compare {
namespace {

// Drawings, views and entities are matched by name and handle like any record.
std::string drawing_report(const std::string &scale, const std::string &entities,
                           const std::string &texts) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
         "<Trellum_VettraData xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
         " <VettraData>\n"
         "      <Drawings>\n"
         "        <Drawing>\n"
         "          <Name>SHEET 1</Name>\n"
         "          <Views>\n"
         "           <View>\n"
         "            <Name>TOP@1</Name>\n"
         "            <ViewScale>" +
         scale +
         "</ViewScale>\n"
         "           </View>\n"
         "           <View>\n"
         "            <Name>FRONT@2</Name>\n"
         "            <ViewScale>1.000000</ViewScale>\n"
         "           </View>\n"
         "          </Views>\n"
         "        </Drawing>\n"
         "      </Drawings>\n"
         "        <Entities>\n" +
         entities +
         "         <Entity xsi:type=\"Entity_Type26_SubType1\">\n"
         "          <Handle>dim1</Handle>\n"
         "               <Texts>\n" +
         texts +
         "               </Texts>\n"
         "         </Entity>\n"
         "       </Entities>\n"
         " </VettraData>\n"
         "</Trellum_VettraData>\n";
}

std::vector<Difference> diff_texts(const std::string &a, const std::string &b) {
  const Report before = parse_report(a, "before");
  const Report after = parse_report(b, "after");
  EXPECT_EQ(before.state, ReadState::ok) << before.message;
  std::vector<Difference> out;
  const Rules rules = Rules::profile("strict");
  TreeComparer(rules).compare(before.root, after.root, out);
  return out;
}

TEST(CompareIdentity, DrawingsViewsAndEntitiesMatchByNameAndHandle) {
  const std::string note =
      "         <Entity xsi:type=\"Entity_Type25_SubType1\">\n"
      "          <Handle>note7</Handle>\n"
      "         </Entity>\n";
  const std::string lines =
      "                <Text>12.500000</Text>\n"
      "                <Text>12.500000</Text>\n";
  const auto differences = diff_texts(drawing_report("0.500000", "", lines),
                                      drawing_report("0.500001", note,
                                                     "                <Text>12.500000</Text>\n"
                                                     "                <Text>12.600000</Text>\n"));
  ASSERT_EQ(differences.size(), 3u);
  EXPECT_EQ(differences[0].path,
            "VettraData/Drawings/Drawing[SHEET 1]/Views/View[TOP@1]/ViewScale");
  EXPECT_EQ(differences[0].family, "view geometry");
  EXPECT_FALSE(differences[0].within);  // 2e-6 relative
  EXPECT_EQ(differences[1].path, "VettraData/Entities/Entity[dim1]/Texts/Text[2]");
  EXPECT_EQ(differences[1].before, "12.500000");
  EXPECT_EQ(differences[2].path, "VettraData/Entities/Entity[note7]");
  EXPECT_EQ(differences[2].change, Change::added);
  // The type of an entity is compared as its attribute.
  std::string retyped = drawing_report("0.500000", "", lines);
  retyped.replace(retyped.find("SubType1"), 8, "SubType2");
  const auto typed = diff_texts(drawing_report("0.500000", "", lines), retyped);
  ASSERT_EQ(typed.size(), 1u);
  EXPECT_EQ(typed[0].path, "VettraData/Entities/Entity[dim1]/@xsi:type");
}

}  // namespace
}  // namespace vettra::compare
