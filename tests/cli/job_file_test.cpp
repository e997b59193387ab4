// Job files of `name = value` lines.
#include "job_file.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace orvel::cli;

namespace {

TEST(JobFile, ReadsSettingsTrimmedAndSkipsCommentsAndBlankLines) {
  std::vector<JobSetting> settings = parse_job_text(
      "# a batch job\n"
      "\n"
      "single-part = bracket.prt\n"
      "  action=ModelGetData ; DrawingGetData  \r\n"
      "outdir = \"  out dir \"\n"
      "result_file = a=b.txt\n"
      "detail-option =\n",
      "job.txt");
  ASSERT_EQ(settings.size(), 5u);
  EXPECT_EQ(settings[0].name, "single-part");
  EXPECT_EQ(settings[0].value, "bracket.prt");
  EXPECT_EQ(settings[0].line, 3);
  EXPECT_EQ(settings[1].name, "action");
  EXPECT_EQ(settings[1].value, "ModelGetData ; DrawingGetData");
  EXPECT_EQ(settings[2].value, "  out dir ");
  EXPECT_EQ(settings[3].name, "result_file");
  EXPECT_EQ(settings[3].value, "a=b.txt");
  EXPECT_EQ(settings[4].value, "");
  EXPECT_EQ(settings[4].line, 7);
}

TEST(JobFile, ComplainsWithTheLineOfABadSetting) {
  for (const char *text : {"outdir = x\njust words\n", "outdir = x\n = value\n"}) {
    try {
      parse_job_text(text, "job.txt");
      FAIL() << text;
    } catch (const std::runtime_error &e) {
      EXPECT_NE(std::string(e.what()).find("job.txt:2:"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(read_job_file("/nonexistent/job.txt"), std::runtime_error);
}

}  // namespace
