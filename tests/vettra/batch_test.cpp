// The batch driver run in-process on the reference host: result records,
// return codes and what an early end leaves behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "orvel/zk.h"
#include "test_files.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/entry_points.h"
#include "vettra/boundary/run_config.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"

using vettra_test::file_exists;
using vettra_test::read_file;
using vettra_test::ScratchDir;

namespace {

const char kPlate[] =
    R"({"objects": [{"id": "b1", "kind": "body",
        "shape": {"type": "block", "corner": [0,0,0], "size": [2,1,1]}}]})";

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ZK_initialize();
    saved_ = vettra_run_config;
    std::ofstream(dir_.file("plate.prt")) << kPlate;
    COPY(vettra_run_config.outdir, dir_.path().c_str());
    COPY(vettra_run_config.result_file, dir_.file("result.txt").c_str());
  }
  void TearDown() override {
    ZK_PART_close_all();
    clear_syslog_prefix();
    vettra_run_config = saved_;
  }
  // Runs StartOfProgram and keeps its system log.
  int run() {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int code = StartOfProgram();
    log_ = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    return code;
  }
  void write_list(const std::string &text) {
    std::ofstream(dir_.file("list.txt"), std::ios::binary) << text;
    COPY(vettra_run_config.part_list_file, dir_.file("list.txt").c_str());
  }
  std::string path(const std::string &name) const { return dir_.file(name); }

  ScratchDir dir_;
  run_config saved_;
  std::string log_;
};

TEST_F(BatchRun, ChecksTheSinglePartThenEveryListLineAndRecordsEachOne) {
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  write_list(path("plate.prt") + "\r\n" + path("missing.prt") + "\n\n" + path("plate.prt"));
  EXPECT_EQ(run(), 0);
  const std::string ok = ";0;OK;" + path("plate.xml") + "\n";
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" +
                                               path("plate.prt") + ok + path("plate.prt") + ok +
                                               path("missing.prt") +
                                               ";-1001;error loading part;N.N\n"
                                               ";-1001;error loading part;N.N\n" +
                                               path("plate.prt") + ok);
  EXPECT_NE(log_.find("Error: Could not load the part " + path("missing.prt") + "\n"),
            std::string::npos);
  // The last check ends with an empty progress line; the end line follows
  // without a prefix entry of its own.
  const std::string ending = "+++Vettra: \n\n######## End of: Vettra Real Time = ";
  EXPECT_EQ(log_.compare(log_.rfind("+++Vettra: "), ending.size(), ending), 0) << log_;
}

TEST_F(BatchRun, ASinglePartThatDoesNotOpenEndsTheRunAndLeavesThePrefixArmed) {
  COPY(vettra_run_config.single_part, path("missing.prt").c_str());
  write_list(path("plate.prt") + "\n");
  EXPECT_EQ(run(), -1002);
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" +
                                               path("missing.prt") +
                                               ";-1001;error loading part;N.N\n");
  EXPECT_FALSE(file_exists(path("plate.xml")));
  EXPECT_EQ(log_.find("End of"), std::string::npos);

  testing::internal::CaptureStderr();
  log_syslog("after|");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "+++Vettra: after|");
}

TEST_F(BatchRun, AListFileThatCannotBeOpenedEndsTheRun) {
  COPY(vettra_run_config.part_list_file, path("no-such-list.txt").c_str());
  EXPECT_EQ(run(), -1010);
  EXPECT_NE(log_.find("Error: Could not open " + path("no-such-list.txt") + "\n"),
            std::string::npos);
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n");
}

TEST_F(BatchRun, OnlyTheValueOneSwitchesSavingOn) {
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  vettra_run_config.do_save = 2;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(log_.find("Save: Saving Workpart"), std::string::npos);
  vettra_run_config.do_save = 1;
  EXPECT_EQ(run(), 0);
  EXPECT_NE(log_.find("---------------------------+++Vettra: \n+++Vettra: Save: Saving Workpart"
                      "+++Vettra: \n+++Vettra: Save: Saving Workpart ---> passed+++Vettra: \n"
                      "+++Vettra: ---------------------------\n######## End of"),
            std::string::npos)
      << log_;
}

// A list line longer than the list buffer is read in two pieces, each
// taken as a part of its own; neither fits a name, so each gets a -1001
// record, written whole.
TEST_F(BatchRun, AListLineOverTheBufferIsReadAsTwoLines) {
  const std::string first(1023, 'a');
  const std::string rest(477, 'b');
  write_list(first + rest + "\n");
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" + first +
                                               ";-1001;error loading part;N.N\n" + rest +
                                               ";-1001;error loading part;N.N\n");
}

std::string file_names(const std::string &dir) {
  std::string names;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    names += entry.path().filename().string() + " ";
  }
  return names;
}

struct UnwritableCase {
  const char *name;
  const char *outdir; /* below the scratch directory */
  const char *reason;
  bool needs_permissions; /* root writes anywhere: skipped then */
};

class UnwritableOutput : public BatchRun, public ::testing::WithParamInterface<UnwritableCase> {};

// A report that cannot be created gets a failure code and the reason in
// its record, and the log says so instead of "passed".
TEST_P(UnwritableOutput, AReportThatCannotBeCreatedIsNoSuccess) {
  const UnwritableCase &c = GetParam();
  if (c.needs_permissions && geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  std::ofstream(path("a-file")) << "x";
  std::filesystem::create_directory(path("read-only"));
  chmod(path("read-only").c_str(), 0555);
  COPY(vettra_run_config.outdir, path(c.outdir).c_str());
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" +
                                               path("plate.prt") +
                                               ";-1020;report missing: cannot be created (" +
                                               c.reason + ");" + path(c.outdir) + "/plate.xml\n");
  EXPECT_NE(log_.find("Info: init_xml_file+++Vettra: \n+++Vettra: Error: init_xml_file --> "
                      "cannot create " +
                      path(c.outdir) + "/plate.xml.tmp (" + c.reason + ")"),
            std::string::npos)
      << log_;
  EXPECT_EQ(log_.find("init_xml_file --> passed"), std::string::npos);
  EXPECT_EQ(log_.find("Part Header Section"), std::string::npos);
  chmod(path("read-only").c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(
    Outdirs, UnwritableOutput,
    ::testing::Values(UnwritableCase{"missing", "no-dir", "No such file or directory", false},
                      UnwritableCase{"file", "a-file", "Not a directory", false},
                      UnwritableCase{"read_only", "read-only", "Permission denied", true}),
    [](const auto &info) { return std::string(info.param.name); });

// A file size limit stands in for a full disk: the report loses its last
// lines, is not saved, and the previous whole report keeps its name.
TEST_F(BatchRun, AReportThatLosesLinesIsNotSavedAndThePreviousOneStays) {
  std::ofstream(path("plate.xml")) << "previous report\n";
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  struct rlimit saved_limit;
  getrlimit(RLIMIT_FSIZE, &saved_limit);
  struct rlimit small = saved_limit;
  small.rlim_cur = 2048;
  sighandler_t saved_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  unsigned long before = lost_line_count();
  int code = run();
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  signal(SIGXFSZ, saved_handler);
  unsigned long lost = lost_line_count() - before;
  EXPECT_EQ(code, 0);
  ASSERT_GT(lost, 0u);
  EXPECT_EQ(read_file(path("result.txt")), "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" +
                                               path("plate.prt") + ";-1021;report incomplete (" +
                                               std::to_string(lost) + " lines lost), not saved;" +
                                               path("plate.xml") + "\n");
  EXPECT_EQ(read_file(path("plate.xml")), "previous report\n");
  EXPECT_FALSE(file_exists(path("plate.xml.tmp")));
}

// A saved report leaves no temporary file behind.
TEST_F(BatchRun, AWholeReportIsRenamedToItsName) {
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(file_names(dir_.path()).size(), std::string("plate.prt plate.xml result.txt ").size())
      << file_names(dir_.path());
  const std::string report = read_file(path("plate.xml"));
  EXPECT_EQ(report.substr(report.size() - 22), "</Trellum_VettraData>\n");
}

// A joined path the host cannot hold gives no report, a failure code and an
// empty path field.
TEST_F(BatchRun, AReportPathThatCannotBeFormedIsNoSuccess) {
  COPY(vettra_run_config.outdir, (dir_.path() + "/" + std::string(500, 'd')).c_str());
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(path("result.txt")),
            "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" + path("plate.prt") +
                ";-1023;report missing: no path for plate.xml in the output directory;\n");
  EXPECT_NE(log_.find("Error: init_xml_file --> no path for plate.xml in the output directory"),
            std::string::npos);
}

// Result lines that cannot be written are logged and counted for the
// caller, whether the file cannot be created or its device is full; the
// run itself goes on and succeeds.
TEST_F(BatchRun, ResultLinesThatCannotBeWrittenAreCounted) {
  for (const std::string &result : {path("no-dir/result.txt"), std::string("/dev/full")}) {
    SCOPED_TRACE(result);
    COPY(vettra_run_config.result_file, result.c_str());
    COPY(vettra_run_config.single_part, path("plate.prt").c_str());
    write_list(path("missing.prt") + "\n");
    vettra_run_config.result_lines_lost = 7;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(vettra_run_config.result_lines_lost, 3); /* header and two records */
    const std::string lost = "Error: a line of the result file " + result + " is lost";
    size_t first = log_.find(lost);
    ASSERT_NE(first, std::string::npos) << log_;
    EXPECT_NE(log_.find(lost, log_.find(lost, first + 1) + 1), std::string::npos);
    EXPECT_TRUE(file_exists(path("plate.xml")));
  }
}

// A whole report that cannot take its name (a directory holds it) is no
// success either, and the temporary file goes.
TEST_F(BatchRun, AReportThatCannotTakeItsNameIsNoSuccess) {
  std::filesystem::create_directory(path("plate.xml"));
  std::ofstream(path("plate.xml/keep")) << "x";
  COPY(vettra_run_config.single_part, path("plate.prt").c_str());
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(read_file(path("result.txt")),
            "ObjectCLI;ResultCode;ResultMsg;xml_filename\n" + path("plate.prt") +
                ";-1022;report missing: cannot be renamed to its name (Is a directory);" +
                path("plate.xml") + "\n");
  EXPECT_FALSE(file_exists(path("plate.xml.tmp")));
}

}  // namespace
