// Progress of a list run: the parts a list file names, and the count of
// parts started and failed read from what the run leaves behind.
#include "progress.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace orvel::cli;

namespace {

class ScratchFile {
 public:
  ScratchFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "progress-XXXXXX").string();
    int fd = mkstemp(pattern.data());
    if (fd >= 0) close(fd);
    path_ = pattern;
  }
  ~ScratchFile() { std::filesystem::remove(path_); }
  void write(const std::string &text, bool append = false) {
    std::ofstream out(path_, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << text;
  }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

TEST(ListFileParts, ReadsLinesAsThePlugInDoes) {
  ScratchFile list;
  std::string long_line(1500, 'x');
  list.write("a.prt\r\nb.prt\n\n" + long_line + "\nlast.prt");
  std::vector<std::string> parts = list_file_parts(list.path());
  // The 1500 characters come in two pieces: 1023 and 477.
  ASSERT_EQ(parts.size(), 6u);
  EXPECT_EQ(parts[0], "a.prt");
  EXPECT_EQ(parts[1], "b.prt");
  EXPECT_EQ(parts[2], "");
  EXPECT_EQ(parts[3], std::string(1023, 'x'));
  EXPECT_EQ(parts[4], std::string(477, 'x'));
  EXPECT_EQ(parts[5], "last.prt");
  EXPECT_TRUE(list_file_parts(list.path() + ".missing").empty());
}

TEST(ListProgress, CountsFailedRecordsAsTheyAreWrittenAndTheOpensWithoutResultFile) {
  ScratchFile result;
  result.write("ObjectCLI;ResultCode;ResultMsg;xml_filename\n");
  std::ostringstream out;
  // The second part's name holds the field delimiter; its code is still found.
  ListProgress progress({"a.prt", "x;0;y.prt", "missing.prt", "c.prt"}, result.path(), out);

  progress.part_opened(true);
  result.write("a.prt;0;OK;out/a.xml\n", true);
  progress.part_opened(true);
  result.write("x;0;y.prt;1006;failed [2400];out/x.xml\n", true);
  progress.part_opened(false);
  result.write("missing.prt;-1001;error loading part;N.N\n", true);
  progress.part_opened(true);
  result.write("c.prt;0;OK;out/c", true);  // not yet a whole record
  EXPECT_EQ(progress.started(), 4);
  EXPECT_EQ(progress.failed(), 2);
  EXPECT_NE(out.str().find("\r\033[Korvel: part 4 of 4, 2 failed so far, 00:00:00 elapsed"),
            std::string::npos)
      << out.str();
  result.write(".xml\n", true);
  progress.finish();
  EXPECT_EQ(progress.failed(), 2);
  EXPECT_NE(out.str().find("orvel: 4 of 4 parts opened, 2 failed, 00:00:00 elapsed\n"),
            std::string::npos);

  std::ostringstream quiet;
  ListProgress without_file({"a.prt", "b.prt"}, "", quiet);
  without_file.part_opened(false);
  without_file.part_opened(true);
  without_file.finish();
  EXPECT_EQ(without_file.failed(), 1);
}

TEST(ListProgress, ElapsedTimeReadsAsHoursMinutesSeconds) {
  EXPECT_EQ(elapsed_text(0), "00:00:00");
  EXPECT_EQ(elapsed_text(3725), "01:02:05");
  EXPECT_EQ(elapsed_text(360000), "100:00:00");
}

}  // namespace
