// The batch driver run in-process on the reference host: result records,
// return codes and what an early end leaves behind.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "orvel/zk.h"
#include "test_files.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/entry_points.h"
#include "vettra/boundary/run_config.h"
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

}  // namespace
