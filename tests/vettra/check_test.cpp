// Check run pieces: the section selection by action keywords and the post
// command line of an interactive run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "test_files.h"
#include "vettra/boundary/entry_points.h"
#include "vettra/check/check_run.h"

using vettra_test::read_file;
using vettra_test::ScratchDir;

namespace {

struct SelectionCase {
  const char *action;
  bool model, assembly, drawing;
};

class SectionSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(SectionSelection, SelectsSectionsByCaseSensitiveKeywords) {
  const SelectionCase &c = GetParam();
  EXPECT_EQ(section_selected(c.action, ACTION_MODEL) != 0, c.model);
  EXPECT_EQ(section_selected(c.action, ACTION_ASSEMBLY) != 0, c.assembly);
  EXPECT_EQ(section_selected(c.action, ACTION_DRAWING) != 0, c.drawing);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, SectionSelection,
    ::testing::Values(SelectionCase{"", true, true, true},
                      SelectionCase{"ModelGetData", true, false, false},
                      SelectionCase{"AssemblyGetData", false, true, false},
                      SelectionCase{"DrawingGetData", false, false, true},
                      SelectionCase{"ModelGetData,DrawingGetData", true, false, true},
                      SelectionCase{"DrawingGetData ModelGetDataAssemblyGetData", true, true, true},
                      SelectionCase{"modelgetdata", false, false, false},
                      SelectionCase{"CgmImportToOrvelPartFile", false, false, false},
                      SelectionCase{"xCgmImportToOrvelPartFile AssemblyGetData", false, true,
                                    false}));

TEST(PostCommand, QuotesTheReportPathAsOneShellWord) {
  char line[POST_COMMAND_LINE_SIZE];
  EXPECT_EQ(build_post_command("notepad", "/out/a b.xml", line, sizeof(line)), 0);
  EXPECT_STREQ(line, "notepad '/out/a b.xml' ");
  EXPECT_EQ(build_post_command("view -r", "it's.xml", line, sizeof(line)), 0);
  EXPECT_STREQ(line, "view -r 'it'\\''s.xml' ");
  EXPECT_EQ(build_post_command("notepad", "", line, sizeof(line)), 0);
  EXPECT_STREQ(line, "notepad '' ");
}

// A relative path that starts with "-" would be taken for an option.
TEST(PostCommand, ARelativePathStartingWithADashGetsTheCurrentDirectory) {
  char line[POST_COMMAND_LINE_SIZE];
  EXPECT_EQ(build_post_command("view", "--version.xml", line, sizeof(line)), 0);
  EXPECT_STREQ(line, "view ./'--version.xml' ");
  EXPECT_EQ(build_post_command("view", "out/-x.xml", line, sizeof(line)), 0);
  EXPECT_STREQ(line, "view 'out/-x.xml' ");
}

// The shell sees exactly one argument, and nothing in the path runs.
TEST(PostCommand, APathWithShellCharactersArrivesAsOneArgument) {
  ScratchDir dir;
  const std::string script = dir.file("show-args");
  const std::string args = dir.file("args.txt");
  const std::string marker = dir.file("ran");
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << args << "'\n";
  }
  chmod(script.c_str(), 0755);
  const std::string path = "/r/a b'c|touch " + marker + "&x;$(touch " + marker + ").xml";
  char line[POST_COMMAND_LINE_SIZE];
  ASSERT_EQ(build_post_command(script.c_str(), path.c_str(), line, sizeof(line)), 0);
  ASSERT_EQ(std::system(line), 0);
  EXPECT_EQ(read_file(args), "1\n" + path + "\n");
  EXPECT_FALSE(vettra_test::file_exists(marker));
}

TEST(PostCommand, ALineThatWouldNotFitIsRefusedNotCut) {
  char line[POST_COMMAND_LINE_SIZE];
  const std::string quotes(600, '\'');  // each ' takes four characters quoted
  EXPECT_EQ(build_post_command("notepad", quotes.c_str(), line, sizeof(line)), 1);
  EXPECT_STREQ(line, "");
  const std::string command(2000, 'c');
  EXPECT_EQ(build_post_command(command.c_str(), "r.xml", line, sizeof(line)), 1);
  EXPECT_STREQ(line, "");
}

}  // namespace
