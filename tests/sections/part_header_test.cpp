// The part header section: what is escaped and what is not, how expression
// texts are split, and the fields that depend on the part's own data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "run_orvel.hpp"

namespace sections_test {
namespace {

using json = nlohmann::ordered_json;

json minimal_part() {
  return json{{"format", "orvel part"}, {"version", 1}, {"units", 1}, {"objects", json::array()}};
}

std::vector<std::string> part_header_of(const std::string &test, const json &part) {
  std::string dir = scratch_dir(test);
  std::string path = write_file(dir, "part.prt", part.dump(2));
  CheckOutput out = run_check({path, "ModelGetData", {}, {}, ""});
  return section(out.report, "    <PartHeader>", "    </PartHeader>");
}

TEST(PartHeader, EscapesHistoryAndAttributeValuesButNotExpressionNames) {
  json part = minimal_part();
  part["description"] = "plain description";
  part["history"] = json::array({{{"version", 4},
                                  {"time", 1359536700},
                                  {"program", "P&Q"},
                                  {"user", "<u>"},
                                  {"machine", "m>1"}}});
  part["attributes"] = json::array({{{"title", "A&B"}, {"type", "string"}, {"value", "x<y>z"}}});
  part["objects"] = json::array({{{"id", "e1"},
                                  {"kind", "expression"},
                                  {"name", "len&w"},
                                  {"formula", "if (a<b) (1) else (0)"},
                                  {"value", 1.5}}});
  std::vector<std::string> lines = part_header_of("escaping", part);

  // History value: number, time, machine, user, program, then escaped.
  EXPECT_TRUE(has_line(
      lines, "      <PartHistory_1>4 30 Jan 13 09:05 m&gt;1 &lt;u&gt; P&#38;Q</PartHistory_1>"));
  EXPECT_TRUE(has_line(lines, "          <Titel>A&#38;B</Titel>"));
  EXPECT_TRUE(has_line(lines, "          <Value>x&lt;y&gt;z</Value>"));
  EXPECT_TRUE(has_line(lines, "          <Name>len&w</Name>"));
  EXPECT_TRUE(has_line(lines, "          <Value>if (a&lt;b) (1) else (0)</Value>"));
  EXPECT_TRUE(has_line(lines, "          <RealValue>1.500000</RealValue>"));
}

TEST(PartHeader, ExpressionTextsSplitAtTheFirstAndSecondEqualsSign) {
  std::string dir = copy_examples(scratch_dir("expressions"));
  CheckOutput out = run_check({dir + "/title_block.prt", "ModelGetData", {}, {}, ""});
  std::vector<std::string> lines =
      section(out.report, "      <Expressions>", "      </Expressions>");

  // Blanks around "=" stay with the name and the value text.
  EXPECT_TRUE(has_line(lines, "          <Name>height </Name>"));
  EXPECT_TRUE(has_line(lines, "          <Value> width/2</Value>"));
  // A second "=" ends the value text.
  EXPECT_TRUE(has_line(lines, "          <Name>ratio</Name>"));
  EXPECT_TRUE(has_line(lines, "          <Value>height</Value>"));
  EXPECT_TRUE(has_line(lines, "          <Value>width&#38;height</Value>"));
  EXPECT_EQ(lines_starting(lines, "        <Expression>").size(), 5u);
  EXPECT_EQ(lines_starting(lines, "          <RealValue>").size(), 5u);
}

struct FieldsCase {
  const char *name;
  int units;
  const char *description;  // nullptr: the part has none
  const char *units_line;
  const char *description_line;
};

void PrintTo(const FieldsCase &c, std::ostream *os) {
  *os << c.name;
}

class PartHeaderFields : public ::testing::TestWithParam<FieldsCase> {};

TEST_P(PartHeaderFields, UnitsAndDescriptionLines) {
  const FieldsCase &c = GetParam();
  json part = minimal_part();
  part["units"] = c.units;
  if (c.description != nullptr) part["description"] = c.description;
  std::vector<std::string> lines = part_header_of(std::string("fields_") + c.name, part);
  ASSERT_GE(lines.size(), 6u);
  // No history: the count is followed directly by the units.
  EXPECT_EQ(lines[2], "      <PartHistoryNum>0</PartHistoryNum>");
  EXPECT_EQ(lines[3], c.units_line);
  EXPECT_EQ(lines[4], c.description_line);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, PartHeaderFields,
    ::testing::Values(FieldsCase{"metric", 1, "A & B <unchanged>", "      <Units>METRIC</Units>",
                                 "      <PartDescription>A & B <unchanged></PartDescription>"},
                      FieldsCase{"english", 2, nullptr, "      <Units>ENGLISH</Units>",
                                 "      <PartDescription>No_description</PartDescription>"},
                      FieldsCase{"code_3", 3, "", "      <Units>3</Units>",
                                 "      <PartDescription></PartDescription>"},
                      FieldsCase{"code_0", 0, nullptr, "      <Units>0</Units>",
                                 "      <PartDescription>No_description</PartDescription>"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PartHeader, AttributesOfEveryTypeAndAnEmptyPart) {
  json part = minimal_part();
  part["attributes"] = json::array({{{"title", "I"}, {"type", "integer"}, {"value", -7}},
                                    {{"title", "R"}, {"type", "real"}, {"value", 2.25}},
                                    {{"title", "T"}, {"type", "time"}, {"value", {15370, 545}}},
                                    {{"title", "S"}, {"type", "string"}, {"value", ""}}});
  std::vector<std::string> lines = part_header_of("attribute_types", part);
  std::vector<std::string> block = section(lines, "      <Attributes>", "      </Attributes>");
  std::vector<std::string> expected = {
      "      <Attributes>",         "        <Attribute>",
      "          <Titel>I</Titel>", "          <Value>-7</Value>",
      "        </Attribute>",       "        <Attribute>",
      "          <Titel>R</Titel>", "          <Value>2.250000</Value>",
      "        </Attribute>",       "        <Attribute>",
      "          <Titel>T</Titel>", "          <Value>15370 545</Value>",
      "        </Attribute>",       "        <Attribute>",
      "          <Titel>S</Titel>", "          <Value></Value>",
      "        </Attribute>",       "      </Attributes>"};
  EXPECT_EQ(block, expected);
  EXPECT_EQ(section(lines, "      <Expressions>", "      </Expressions>"),
            (std::vector<std::string>{"      <Expressions>", "      </Expressions>"}));
}

struct PdmCase {
  const char *name;
  const char *spec;
  const char *cli_name_line;
};

void PrintTo(const PdmCase &c, std::ostream *os) {
  *os << c.name;
}

class PdmCliName : public ::testing::TestWithParam<PdmCase> {};

// In PDM mode the command-line name is rebuilt from the four decoded fields,
// empty ones included.
TEST_P(PdmCliName, BuiltFromTheDecodedFields) {
  const PdmCase &c = GetParam();
  std::string dir = scratch_dir(std::string("pdm_") + c.name);
  write_file(dir, "master.prt", minimal_part().dump(2));
  write_file(dir, "sheet.prt", minimal_part().dump(2));
  json sheet = {{"file_type", "spec"}, {"file_name", "sheet1"}, {"part_file", "sheet.prt"}};
  json revision = {{"revision", "A"},
                   {"datasets", json::array({{{"part_file", "master.prt"}}, sheet})}};
  json item = {{"part_number", "4711"}, {"revisions", json::array({revision})}};
  write_file(dir, "store.json", json{{"items", json::array({item})}}.dump(2));
  std::string load = std::string("cd '") + dir + "' && '" + ORVEL_BIN +
                     "' pdm load store.db store.json >/dev/null 2>&1";
  ASSERT_EQ(std::system(load.c_str()), 0);

  CheckOutput out = run_check({c.spec, "ModelGetData", {}, {"--pdm", "store.db"}, dir});
  std::vector<std::string> header = section(out.report, "    <PartHeader>", "    </PartHeader>");
  ASSERT_GE(header.size(), 2u) << "no report; orvel status " << out.status;
  EXPECT_EQ(header[1], c.cli_name_line);
}

INSTANTIATE_TEST_SUITE_P(
    Specs, PdmCliName,
    ::testing::Values(PdmCase{"master", "@DB/4711/A", "      <CliName>[@DB/4711/A//]</CliName>"},
                      PdmCase{"dataset", "@DB/4711/A/spec/sheet1",
                              "      <CliName>[@DB/4711/A/spec/sheet1]</CliName>"}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sections_test
