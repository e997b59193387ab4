// The sample parts, checked with every section selected: each section of
// each report is compared line by line, leading blanks included, with its
// golden file. The check run's selection of sections by `action` is pinned
// here too.
#include <gtest/gtest.h>

#include "run_orvel.hpp"

namespace sections_test {
namespace {

struct SectionCase {
  const char *sample;  // part file in examples/
  const char *stem;    // golden files are <stem>.<section>.txt
};

void PrintTo(const SectionCase &c, std::ostream *os) {
  *os << c.stem;
}

class SampleSections : public ::testing::TestWithParam<SectionCase> {};

TEST_P(SampleSections, EverySectionMatchesItsGoldenFile) {
  const SectionCase &c = GetParam();
  std::string dir = copy_examples(scratch_dir(std::string("sample_") + c.stem));
  CheckOutput out = run_check({dir + "/" + c.sample, "", {}, {"--detail-option", "25,26"}, ""});
  ASSERT_FALSE(out.report.empty()) << "no report; orvel status " << out.status;

  const struct {
    const char *start, *end, *golden;
  } sections[] = {
      {"    <PartHeader>", "    </PartHeader>", "part_header"},
      {"    <ModelData>", "    </ModelData>", "model_data"},
      {"    <AssemblyData>", "    </AssemblyData>", "assembly_data"},
      {"      <Drawings>", "      </Drawings>", "drawings"},
      {"        <Entities>", "       </Entities>", "entities"},
  };
  for (const auto &s : sections) {
    std::vector<std::string> lines = section(out.report, s.start, s.end);
    EXPECT_EQ(compare_with_golden(lines, std::string(c.stem) + "." + s.golden + ".txt"), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleSections,
                         ::testing::Values(SectionCase{"drive_unit.prt", "drive_unit"},
                                           SectionCase{"gear_stage.prt", "gear_stage"},
                                           SectionCase{"sheet_panel.prt", "sheet_panel"},
                                           SectionCase{"mixed_densities.prt", "mixed_densities"},
                                           SectionCase{"title_block.prt", "title_block"},
                                           SectionCase{"plate_drawings.prt", "plate_drawings"},
                                           SectionCase{"gear_drawings.prt", "gear_drawings"}),
                         [](const auto &info) { return std::string(info.param.stem); });

/* ---- section selection ---- */

struct SelectionCase {
  const char *name;
  const char *action;
  bool model;
  bool assembly;
};

void PrintTo(const SelectionCase &c, std::ostream *os) {
  *os << c.name;
}

class SectionSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(SectionSelection, ActionKeywordsChooseTheSections) {
  const SelectionCase &c = GetParam();
  std::string dir = copy_examples(scratch_dir(std::string("select_") + c.name));
  CheckOutput out = run_check({dir + "/drive_unit.prt", c.action, {}, {}, ""});
  ASSERT_FALSE(out.report.empty());

  EXPECT_TRUE(has_line(out.report, "    <PartHeader>"));
  EXPECT_TRUE(has_line(out.report, "    </PartHeader>"));
  EXPECT_EQ(has_line(out.report, "    <ModelData>"), c.model);
  EXPECT_EQ(has_line(out.report, "    </ModelData>"), c.model);
  EXPECT_EQ(has_line(out.report, "    <AssemblyData>"), c.assembly);
  EXPECT_EQ(has_line(out.report, "    </AssemblyData>"), c.assembly);

  // Fixed order: part header, model data, assembly data, all inside VettraData.
  std::vector<std::string> order;
  for (const std::string &line : out.report) {
    if (line == " <VettraData>" || line == "    <PartHeader>" || line == "    <ModelData>" ||
        line == "    <AssemblyData>" || line == " </VettraData>") {
      order.push_back(line);
    }
  }
  std::vector<std::string> expected = {" <VettraData>", "    <PartHeader>"};
  if (c.model) expected.push_back("    <ModelData>");
  if (c.assembly) expected.push_back("    <AssemblyData>");
  expected.push_back(" </VettraData>");
  EXPECT_EQ(order, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, SectionSelection,
    ::testing::Values(SelectionCase{"empty", "", true, true},
                      SelectionCase{"model", "ModelGetData", true, false},
                      SelectionCase{"assembly", "AssemblyGetData", false, true},
                      SelectionCase{"both_comma", "ModelGetData,AssemblyGetData", true, true},
                      SelectionCase{"both_reversed", "AssemblyGetData ModelGetData", true, true},
                      SelectionCase{"drawing_only", "DrawingGetData", false, false},
                      SelectionCase{"model_and_drawing", "ModelGetData;DrawingGetData", true,
                                    false},
                      SelectionCase{"lower_case", "modelgetdata,assemblygetdata", false, false},
                      SelectionCase{"no_keyword", "Report", false, false},
                      SelectionCase{"inside_word", "xAssemblyGetDatax", false, true}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sections_test
