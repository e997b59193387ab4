// The entries the host calls: zkusr with and without a work part, the
// housekeeping entries, and the interactive entry, which reads its settings
// from the environment on every call.
#include "vettra/boundary/entry_points.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "orvel/zk.h"
#include "test_files.h"
#include "vettra/boundary/run_config.h"

using vettra_test::file_exists;
using vettra_test::read_file;
using vettra_test::ScratchDir;

namespace {

const char kPlate[] =
    R"({"objects": [{"id": "b1", "kind": "body",
        "shape": {"type": "block", "corner": [0,0,0], "size": [2,1,1]}}]})";

class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    ZK_initialize();
    ZK_PART_close_all();
    saved_ = vettra_run_config;
  }
  void TearDown() override {
    ZK_PART_close_all();
    vettra_run_config = saved_;
    for (const char *name : {"VETR_outdir", "VETR_detail_option", "VETR_POSTCOMMAND"}) {
      unsetenv(name);
    }
  }
  // Captures what a call writes to standard output (the console) and to
  // standard error (the system log).
  template <typename Call>
  void capture(Call call) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    call();
    log_ = testing::internal::GetCapturedStderr();
    console_ = testing::internal::GetCapturedStdout();
  }
  ScratchDir dir_;
  run_config saved_;
  std::string log_, console_;
};

TEST_F(EntryPoints, HousekeepingEntriesSpeakOnlyWithConsoleOutputOn) {
  int answer = 0;
  vettra_run_config.console_output = 0;
  capture([&] {
    zkusr_cleanup();
    answer = zkusr_ask_unload();
  });
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(console_ + log_, "");
  vettra_run_config.console_output = 1;
  capture([&] {
    zkusr_cleanup();
    answer = zkusr_ask_unload();
  });
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(console_, "\n Cleanup for Vettra\nzkusr_ask_unload for Vettra\n");
  EXPECT_EQ(log_, "");
}

TEST_F(EntryPoints, ZkusrWithoutAWorkPartLogsItsStartAndChecksNothing) {
  setenv("VETR_outdir", dir_.path().c_str(), 1);
  int result = -1;
  capture([&] { result = zkusr(nullptr, nullptr, 0); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(log_, "######## Start of: Vettra V2.0.0.2 (Orvel 8) (intern) <Build: (Jan 30 2013)>\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

// Each call takes the output directory, the detail option and the post
// command as the environment holds them at that moment.
TEST_F(EntryPoints, EveryInteractiveCallReadsTheEnvironmentAgain) {
  std::ofstream(dir_.file("plate.prt")) << kPlate;
  const std::string record = dir_.file("record");
  std::ofstream(record) << "#!/bin/sh\necho \"$0 $1\" >>'" << dir_.file("post.txt") << "'\n";
  chmod(record.c_str(), 0755);
  std::filesystem::copy_file(record, dir_.file("record2"));
  std::filesystem::create_directory(dir_.file("first"));
  std::filesystem::create_directory(dir_.file("second"));
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status = {0, 0};
  ASSERT_EQ(ZK_PART_open(dir_.file("plate.prt").c_str(), &part, &status), 0);

  setenv("VETR_outdir", dir_.file("first").c_str(), 1);
  setenv("VETR_POSTCOMMAND", record.c_str(), 1);
  capture([] { Vettra_Interactive_Entry(); });
  setenv("VETR_outdir", dir_.file("second").c_str(), 1);
  setenv("VETR_detail_option", "70", 1);
  setenv("VETR_POSTCOMMAND", dir_.file("record2").c_str(), 1);
  capture([] { Vettra_Interactive_Entry(); });

  EXPECT_EQ(read_file(dir_.file("post.txt")), record + " " + dir_.file("first/plate.xml") + "\n" +
                                                  dir_.file("record2") + " " +
                                                  dir_.file("second/plate.xml") + "\n");
  EXPECT_NE(read_file(dir_.file("first/plate.xml")).find("  <DetailOption></DetailOption>\n"),
            std::string::npos);
  EXPECT_NE(read_file(dir_.file("second/plate.xml")).find("  <DetailOption>70</DetailOption>\n"),
            std::string::npos);
  EXPECT_NE(log_.find("VETR_outdir          = #" + dir_.file("second") + "#\n"), std::string::npos)
      << log_;
}

}  // namespace
