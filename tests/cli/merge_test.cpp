// Merging shards: records go back into the list's order, and a shard that is
// missing, cut short or from another list or shard count is named and stops
// the merge instead of losing or doubling records.
#include "merge.hpp"

#include <gtest/gtest.h>

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
