// Diagnostics: the error recorder, the log channels and their gate, the
// syslog prefix, timestamps and the memory snapshot.
#include "vettra/boundary/diagnostics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <regex>
#include <string>

#include "orvel/zk.h"
#include "vettra/boundary/run_config.h"

namespace {

// Host codes used below; their messages come from the host itself.
constexpr int kFirstCode = 1;
constexpr int kSecondCode = 2;

std::string host_message(int code) {
  char message[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(code, message);
  return message;
}

class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    ZK_initialize();
    saved_ = vettra_run_config;
    clear_syslog_prefix();
    reset_errors();
  }
  void TearDown() override {
    vettra_run_config = saved_;
    clear_syslog_prefix();
    reset_errors();
  }
  run_config saved_;
};

TEST_F(Diagnostics, APartWithoutFailuresResultsInZeroAndOK) {
  int code = -5;
  char text[ERROR_TEXT_SIZE] = "stale";
  fetch_result(&code, text);
  EXPECT_EQ(code, 0);
  EXPECT_STREQ(text, "OK");
  EXPECT_EQ(record_error(0, 100, SOURCE_UTILS), 0);
  fetch_result(&code, text);
  EXPECT_EQ(code, 0);
  EXPECT_STREQ(text, "OK");
}

TEST_F(Diagnostics, TheFirstFailureIsKeptAndEveryFailureIsLogged) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(record_error(kFirstCode, 2400, SOURCE_MAIN), kFirstCode);
  EXPECT_EQ(record_error(kSecondCode, 467, SOURCE_UTILS), kSecondCode);
  std::string log = testing::internal::GetCapturedStderr();

  int code = 0;
  char text[ERROR_TEXT_SIZE];
  fetch_result(&code, text);
  EXPECT_EQ(code, kFirstCode);
  EXPECT_EQ(std::string(text), host_message(kFirstCode) + " [2400]");

  EXPECT_EQ(log,
            "\n+++Vettra: Error: 1 in Program: ..\\SOURCE_FILES\\Vettra"
            "\n+++Vettra:        -> in line 2400 (" +
                host_message(kFirstCode) +
                ")"
                "\n+++Vettra: *---*"
                "\n+++Vettra: Error: 2 in Program: ..\\SOURCE_FILES\\vettra_utils"
                "\n+++Vettra:        -> in line 467 (" +
                host_message(kSecondCode) +
                ")"
                "\n+++Vettra: *---*");
}

TEST_F(Diagnostics, ANegativeCodeIsAProgramFault) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(record_error(-3, 781, SOURCE_UTILS), -3);
  std::string log = testing::internal::GetCapturedStderr();
  int code = 0;
  char text[ERROR_TEXT_SIZE];
  fetch_result(&code, text);
  EXPECT_EQ(code, -3);
  EXPECT_STREQ(text, "Programm fault [781]");
  EXPECT_NE(log.find("       -> in line 781 (KR-Programm fault)"), std::string::npos) << log;
}

TEST_F(Diagnostics, ResettingStartsTheNextPartAfresh) {
  testing::internal::CaptureStderr();
  record_error(kFirstCode, 10, SOURCE_UTILS);
  reset_errors();
  record_error(kSecondCode, 20, SOURCE_UTILS);
  testing::internal::GetCapturedStderr();
  int code = 0;
  char text[ERROR_TEXT_SIZE];
  fetch_result(&code, text);
  EXPECT_EQ(code, kSecondCode);
  EXPECT_EQ(std::string(text), host_message(kSecondCode) + " [20]");
}

struct ChannelOutput {
  std::string syslog;
  std::string console;
};

ChannelOutput write_every_channel() {
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  log_info("info %d", 1);
  log_syslog("syslog %d|", 2);
  log_syslog_gated("gated syslog %d|", 3);
  log_console("console %d|", 4);
  log_console_gated("gated console %d|", 5);
  log_to_channel("channel %d", 6);
  ChannelOutput out;
  out.console = testing::internal::GetCapturedStdout();
  out.syslog = testing::internal::GetCapturedStderr();
  return out;
}

TEST_F(Diagnostics, TheGateSilencesOnlyTheGatedChannels) {
  vettra_run_config.console_output = 0;
  vettra_run_config.log_channel = 2;
  ChannelOutput closed = write_every_channel();
  EXPECT_EQ(closed.syslog, "\n+++Vettra: info 1syslog 2|");
  EXPECT_EQ(closed.console, "console 4|");

  vettra_run_config.console_output = 1;
  ChannelOutput open = write_every_channel();
  EXPECT_EQ(open.syslog, "\n+++Vettra: info 1syslog 2|gated syslog 3|");
  EXPECT_EQ(open.console, "console 4|gated console 5|channel 6\n");
}

TEST_F(Diagnostics, TheSelectableChannelFollowsLogChannel) {
  vettra_run_config.console_output = 1;
  vettra_run_config.log_channel = 1;
  testing::internal::CaptureStderr();
  log_to_channel("to the log");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "to the log\n");

  vettra_run_config.log_channel = 0;
  testing::internal::CaptureStdout();
  log_to_channel("listing %d", 1);
  log_to_channel("listing %d", 2);
  std::cout.flush();
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "listing 1\nlisting 2\n");
  logical open = 0;
  ZK_UI_is_listing_window_open(&open);
  EXPECT_TRUE(open);

  vettra_run_config.log_channel = 7;
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  log_to_channel("nowhere");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Diagnostics, TheArmedPrefixPrecedesEverySyslogWriteUntilCleared) {
  vettra_run_config.console_output = 1;
  set_syslog_prefix();
  testing::internal::CaptureStderr();
  log_syslog("a|");
  log_syslog_gated("b|");
  log_info("c");
  clear_syslog_prefix();
  log_syslog("d|");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "+++Vettra: a|+++Vettra: b|+++Vettra: \n+++Vettra: cd|");
}

TEST_F(Diagnostics, OverlongMessagesAreCutAtTheirBuffers) {
  const std::string huge(20000, 'm');
  testing::internal::CaptureStderr();
  log_syslog("%s", huge.c_str());
  log_info("%s", huge.c_str());
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log, std::string(2047, 'm') + "\n+++Vettra: " + std::string(1023, 'm'));
}

struct TimeCase {
  int year, month, day, hour, minute, second;
  const char *text;
};

class Timestamp : public ::testing::TestWithParam<TimeCase> {};

TEST_P(Timestamp, PadsEveryFieldButTheYearToTwoDigits) {
  const TimeCase &c = GetParam();
  struct tm time = {};
  time.tm_year = c.year - 1900;
  time.tm_mon = c.month - 1;
  time.tm_mday = c.day;
  time.tm_hour = c.hour;
  time.tm_min = c.minute;
  time.tm_sec = c.second;
  char buffer[TIME_TEXT_SIZE];
  format_timestamp(&time, buffer);
  EXPECT_STREQ(buffer, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Times, Timestamp,
    ::testing::Values(TimeCase{2013, 1, 30, 9, 5, 7, "2013-01-30 09:05.07"},
                      TimeCase{2026, 12, 8, 0, 0, 0, "2026-12-08 00:00.00"},
                      TimeCase{1999, 10, 10, 10, 10, 10, "1999-10-10 10:10.10"},
                      TimeCase{2000, 9, 1, 23, 59, 59, "2000-09-01 23:59.59"}));

TEST_F(Diagnostics, TheCurrentTimestampAndTheLogTimestampHaveTheirForms) {
  char buffer[TIME_TEXT_SIZE];
  timestamp_text(buffer);
  EXPECT_TRUE(std::regex_match(buffer, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d\.\d\d)"))) << buffer;
  testing::internal::CaptureStderr();
  log_timestamp("Start Check at ");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(std::regex_match(
      log,
      std::regex(R"(\n\+\+\+Vettra: Start Check at  \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}\n)")))
      << log;
}

TEST_F(Diagnostics, TheMemorySnapshotLogsFourFiguresAndKeepsTheVirtualOne) {
  char buffer[TIME_TEXT_SIZE] = "";
  testing::internal::CaptureStderr();
  memory_snapshot(buffer);
  std::string log = testing::internal::GetCapturedStderr();
  std::smatch match;
  ASSERT_TRUE(std::regex_match(log, match,
                               std::regex("\n\\+\\+\\+Vettra: Info: Memory Load    = (\\d+)"
                                          "\n\\+\\+\\+Vettra: Info: dwAvailPhys = (\\d+)"
                                          "\n\\+\\+\\+Vettra: Info: dwAvailPageFile = (\\d+)"
                                          "\n\\+\\+\\+Vettra: Info: dwAvailVirtual = (\\d+)")))
      << log;
  EXPECT_LE(std::stol(match[1]), 100);
  EXPECT_GT(std::stol(match[2]), 0);
  EXPECT_EQ(match[4].str(), buffer);
}

}  // namespace
