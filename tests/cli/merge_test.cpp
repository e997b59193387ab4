// Merging shards: records go back into the list's order, and a shard that is
// missing, cut short or from another list or shard count is named and stops
// the merge instead of losing or doubling records.
#include "merge.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace orvel::cli;

namespace {

const std::string kHeader = "ObjectCLI;ResultCode;ResultMsg;xml_filename\n";

std::vector<std::string> chunks_of(const std::string &text) {
  std::istringstream in(text);
  return read_list_chunks(in);
}

std::string ok(const std::string &spec) {
  return spec + ";0;OK;out/" + spec + ".xml\n";
}
std::string failed(const std::string &spec) {
  return spec + ";-1001;error loading part;N.N\n";
}

// Seven reads over three shards, one of them a read the plug-in skips (no
// record) and one an empty line (a record with an empty name).
const std::string kList = std::string("p1\np2\n\np4\n", 10) + std::string("\0x\n", 3) + "p6\np7";

std::vector<ShardText> good_shards() {
  return {{"r.shard-1-of-3", kHeader + ok("p1") + ok("p4") + ok("p7")},
          {"r.shard-2-of-3", kHeader + ok("p2")},
          {"r.shard-3-of-3", kHeader + failed("") + ok("p6")}};
}

}  // namespace

TEST(Merge, PutsRecordsBackInListOrder) {
  MergedResult merged = merge_results(chunks_of(kList), "", good_shards());
  EXPECT_TRUE(merged.faults.empty());
  EXPECT_EQ(merged.text,
            kHeader + ok("p1") + ok("p2") + failed("") + ok("p4") + ok("p6") + ok("p7"));
}

TEST(Merge, PutsTheSinglePartFirst) {
  std::vector<ShardText> shards = good_shards();
  shards[0].text = kHeader + ok("single") + ok("p1") + ok("p4") + ok("p7");
  MergedResult merged = merge_results(chunks_of(kList), "single", shards);
  EXPECT_TRUE(merged.faults.empty());
  EXPECT_EQ(merged.text, kHeader + ok("single") + ok("p1") + ok("p2") + failed("") + ok("p4") +
                             ok("p6") + ok("p7"));
}

TEST(Merge, AfterASinglePartThatFailedToOpenKeepsOnlyItsRecord) {
  std::vector<ShardText> shards = good_shards();
  shards[0].text = kHeader + failed("single");
  MergedResult merged = merge_results(chunks_of(kList), "single", shards);
  EXPECT_TRUE(merged.single_part_not_loaded);
  EXPECT_EQ(merged.text, kHeader + failed("single"));
}

TEST(Merge, NamesEveryFaultyShardAndJoinsNothing) {
  struct Case {
    const char *what;
    std::string shard2;  // shard 2's text; "<missing>" for none
    std::string fault;
  };
  const Case cases[] = {
      {"missing", "<missing>", "shard 2 of 3 (r.shard-2-of-3): missing"},
      {"empty", "", "shard 2 of 3 (r.shard-2-of-3): is empty (not even the header): cut short"},
      {"no records", kHeader, "shard 2 of 3 (r.shard-2-of-3): holds 0 of 1 records: cut short"},
      {"half a record", kHeader + "p2;0;O",
       "shard 2 of 3 (r.shard-2-of-3): ends in a partial line: cut short"},
      {"a record too many", kHeader + ok("p2") + ok("p2"),
       "shard 2 of 3 (r.shard-2-of-3): holds 2 records, 1 expected: not a shard of this list and "
       "shard count"},
      {"another part", kHeader + ok("p3"),
       "shard 2 of 3 (r.shard-2-of-3): record 1 is not for 'p2': not a shard of this list and "
       "shard count"},
      {"another header", "Other;Header\n" + ok("p2"),
       "shard 2 of 3 (r.shard-2-of-3): its header differs from shard 1's"},
  };
  for (const Case &c : cases) {
    std::vector<ShardText> shards = good_shards();
    if (c.shard2 == "<missing>") {
      shards[1].text.reset();
    } else {
      shards[1].text = c.shard2;
    }
    MergedResult merged = merge_results(chunks_of(kList), "", shards);
    EXPECT_EQ(merged.faults, std::vector<std::string>{c.fault}) << c.what;
    EXPECT_EQ(merged.text, "") << c.what;
  }
}

TEST(Merge, RefusesShardsOfAnotherShardCount) {
  // The shards of a run over two pieces, merged as if there were three.
  std::vector<ShardText> shards = {{"r.shard-1-of-3", kHeader + ok("p1") + failed("") + ok("p6")},
                                   {"r.shard-2-of-3", kHeader + ok("p2") + ok("p4") + ok("p7")},
                                   {"r.shard-3-of-3", std::nullopt}};
  MergedResult merged = merge_results(chunks_of(kList), "", shards);
  EXPECT_EQ(merged.faults.size(), 3u);
  EXPECT_EQ(merged.text, "");
}

TEST(Merge, MatchesRecordsCutAtTheirBoundedLength) {
  // A record holds at most 1023 characters: the name of a long read fills it.
  std::string long_name(1023, 'n');
  std::string list = long_name + "next\n";  // reads: 1023 n's, then "next"
  std::vector<ShardText> shards = {{"r.shard-1-of-2", kHeader + long_name + "\n"},
                                   {"r.shard-2-of-2", kHeader + ok("next")}};
  MergedResult merged = merge_results(chunks_of(list), "", shards);
  EXPECT_TRUE(merged.faults.empty());
  EXPECT_EQ(merged.text, kHeader + long_name + "\n" + ok("next"));
}

namespace {

// Writes the list and the three good shards of it under `dir` for run_merge.
MergeOptions write_merge_files(const std::string &dir, const std::string &result) {
  std::ofstream(dir + "list.txt", std::ios::binary) << kList;
  for (const ShardText &shard : good_shards()) {
    std::string name = dir + "result" + shard.file.substr(1) + ".csv";
    std::ofstream(name, std::ios::binary) << *shard.text;
  }
  MergeOptions options;
  options.part_list = dir + "list.txt";
  options.shards = 3;
  options.result_file = result;
  return options;
}

}  // namespace

TEST(RunMerge, WritesIntoAPipeInsteadOfReplacingIt) {
  // A result file that is a pipe or a device (/dev/stdout) is written in
  // place; a rename over it would swap it for a plain file.
  std::string dir = ::testing::TempDir() + "merge_pipe_";
  std::string fifo = dir + "result.csv";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_EQ(run_merge(write_merge_files(dir, fifo)), 0);
  std::string got(4096, '\0');
  ssize_t n = read(reader, got.data(), got.size());
  close(reader);
  got.resize(n > 0 ? static_cast<size_t>(n) : 0);
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(got, kHeader + ok("p1") + ok("p2") + failed("") + ok("p4") + ok("p6") + ok("p7"));
  std::remove(fifo.c_str());
}

TEST(RunMerge, ReportsAFullDiskAsAFailedWrite) {
  // The result file is a link to a device whose writes fail for want of
  // space: the merge names the fault and leaves link and device alone.
  std::string dir = ::testing::TempDir() + "merge_full_";
  std::string link = dir + "result.csv";
  struct stat st {};
  if (stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full";
  std::remove(link.c_str());
  ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
  testing::internal::CaptureStderr();
  int status = run_merge(write_merge_files(dir, link));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 4);
  EXPECT_EQ(err, "orvel merge: cannot write " + link + ": No space left on device\n");
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  std::remove(link.c_str());
}

TEST(RunMerge, StopsLookingWhenMostShardsAreMissing) {
  // The shard count mistyped: the merge names ten missing shards and stops.
  std::string dir = ::testing::TempDir() + "merge_count_";
  MergeOptions options = write_merge_files(dir, dir + "result.csv");
  options.shards = 100000000;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run_merge(options), 6);
  std::string err = testing::internal::GetCapturedStderr();
  std::string expected;
  for (int k = 1; k <= 10; ++k) {
    std::string n = std::to_string(k);
    expected += "orvel merge: shard " + n + " of 100000000 (" + dir + "result.shard-" + n +
                "-of-100000000.csv): missing\n";
  }
  expected +=
      "orvel merge: more than 10 shard result files are missing; stopped looking (is 100000000 "
      "the shard count the batch runs were given?)\norvel merge: nothing written\n";
  EXPECT_EQ(err, expected);
  std::ifstream result(dir + "result.csv");
  EXPECT_FALSE(result.good());
}
