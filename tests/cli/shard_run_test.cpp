// A batch run narrowed to one shard: its own piece of the list in a
// temporary file that goes when the run is over, the single part with shard
// 1 only, and outputs under the shard's names.
#include "shard_run.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace orvel::cli;

namespace {

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class NarrowToShard : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = ::testing::TempDir() + "narrow_list.txt";
    std::ofstream(list_, std::ios::binary) << list_text_;
    config_.set("part-list", list_);
    config_.set("result-file", "out/result.csv");
    config_.set("single-part", "first.prt");
    host_.syslog = "out/syslog.txt";
  }
  void TearDown() override { std::remove(list_.c_str()); }

  const std::string list_text_ = "a.prt\n\nc.prt\r\n" + std::string(1023, 'd') + "\ne.prt";
  std::string list_;
  HostArgs host_;
  FieldValues config_{run_config_fields()};
};

}  // namespace

TEST_F(NarrowToShard, GivesShardOneItsPieceTheSinglePartAndItsNames) {
  std::string piece_path;
  {
    ShardListFile piece = narrow_to_shard({1, 2}, host_, config_);
    piece_path = piece.path();
    EXPECT_EQ(config_.get("part-list"), piece_path);
    // Reads 1, 3 and 5 of a.prt, "\n", c.prt, the 1023 d's, "\n", e.prt.
    EXPECT_EQ(read_file(piece_path), "a.prt\nc.prt\r\n\n");
    EXPECT_EQ(config_.get("single-part"), "first.prt");
    EXPECT_EQ(config_.get("result-file"), "out/result.shard-1-of-2.csv");
    EXPECT_EQ(host_.syslog, "out/syslog.shard-1-of-2.txt");
  }
  EXPECT_FALSE(std::ifstream(piece_path).good()) << "the piece outlives its run";
}

TEST_F(NarrowToShard, LeavesTheSinglePartToShardOne) {
  ShardListFile piece = narrow_to_shard({2, 2}, host_, config_);
  EXPECT_EQ(read_file(piece.path()), "\n" + std::string(1023, 'd') + "e.prt");
  EXPECT_EQ(config_.get("single-part"), "");
  EXPECT_EQ(config_.get("result-file"), "out/result.shard-2-of-2.csv");
}

TEST_F(NarrowToShard, HandsAListThatCannotBeOpenedToThePluginAsItIs) {
  config_.set("part-list", list_ + ".missing");
  ShardListFile piece = narrow_to_shard({2, 3}, host_, config_);
  EXPECT_EQ(piece.path(), "");
  EXPECT_EQ(config_.get("part-list"), list_ + ".missing");
}

TEST_F(NarrowToShard, RefusesAShardNameTooLongForItsField) {
  // The result file field holds 1023 characters; the shard's tag makes it longer.
  config_.set("result-file", std::string(1015, 'r') + ".csv");
  EXPECT_THROW(narrow_to_shard({1, 2}, host_, config_), std::invalid_argument);
}
