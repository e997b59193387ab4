// The PDM name builder: how a part specification is taken apart, and the
// refusal of a specification too short to hold a delimiter.
#include "vettra/text/names.h"

#include <gtest/gtest.h>

#include <string>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"

namespace {

struct SpecCase {
  const char *spec;
  const char *fields;  // the four lines written to standard output
};

class MarkedSpecification : public ::testing::TestWithParam<SpecCase> {};

TEST_P(MarkedSpecification, SplitsTheFieldsAtTheFourthCharacter) {
  ZK_initialize();
  char out[VQMGR_NAME_SIZE] = "";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(build_vqmgr_part_name(GetParam().spec, out), 0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), GetParam().fields);
  reset_errors();
}

INSTANTIATE_TEST_SUITE_P(
    Specifications, MarkedSpecification,
    ::testing::Values(
        SpecCase{
            "@DB/4711/A/dwg/sheet1",
            "\n part_number=#4711#\n rev_id=#A#\n part_file_type=#dwg#\n part_file_name=#sheet1#"},
        SpecCase{
            "@DB@4711@A@dwg@sheet1",
            "\n part_number=#4711#\n rev_id=#A#\n part_file_type=#dwg#\n part_file_name=#sheet1#"},
        SpecCase{"@db/4711/A",
                 "\n part_number=#4711#\n rev_id=#A#\n part_file_type=##\n part_file_name=##"},
        SpecCase{"@DB/4711/A/dwg/sub/sheet1",
                 "\n part_number=#4711#\n rev_id=#A#\n part_file_type=#dwg#\n "
                 "part_file_name=#sub/sheet1#"},
        SpecCase{"xy@DB:4711:B",
                 "\n part_number=#B:4711:B#\n rev_id=##\n part_file_type=##\n part_file_name=##"}));

TEST(ShortSpecification, TheMarkerAloneEmptiesTheNameSoNoEarlierPartIsReopened) {
  char out[VQMGR_NAME_SIZE] = "@DB/4711/A";
  testing::internal::CaptureStdout();
  EXPECT_EQ(build_vqmgr_part_name("@dB", out), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_STREQ(out, "");
}

TEST(LongSpecification, AnOverlongSpecificationNeverOverrunsTheName) {
  ZK_initialize();
  std::string spec = "@DB/" + std::string(5000, 'n') + "/" + std::string(5000, 'r') + "/t/" +
                     std::string(5000, 'f');
  char out[VQMGR_NAME_SIZE + 8];
  std::fill(out, out + sizeof(out), '#');
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  build_vqmgr_part_name(spec.c_str(), out);
  testing::internal::GetCapturedStderr();
  std::string shown = testing::internal::GetCapturedStdout();
  EXPECT_NE(shown.find("part_number=#" + std::string(256, 'n') + "#"), std::string::npos);
  EXPECT_NE(shown.find("rev_id=##"), std::string::npos);  // the copy is cut at 511
  EXPECT_LT(std::string(out).size(), static_cast<size_t>(VQMGR_NAME_SIZE));
  EXPECT_EQ(std::string(out + VQMGR_NAME_SIZE, 8), std::string(8, '#'));
  reset_errors();
}

}  // namespace
