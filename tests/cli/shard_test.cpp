// Sharding of a part list: the reads a shard's list yields are exactly the
// reads of its piece of the whole list, the pieces cover the list once, and
// shard names and "K/N" are parsed and derived as documented.
#include "shard.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace orvel::cli;

namespace {

std::vector<std::string> chunks_of(const std::string &text) {
  std::istringstream in(text);
  return read_list_chunks(in);
}

// The plug-in's reads of a file: fgets into a 1024-byte buffer, as C strings.
std::vector<std::string> fgets_reads(const std::string &text) {
  std::FILE *file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  std::vector<std::string> reads;
  char line[kListReadSize + 1];
  while (std::fgets(line, sizeof line, file) != nullptr) reads.emplace_back(line);
  std::fclose(file);
  return reads;
}

std::vector<std::string> as_c_strings(const std::vector<std::string> &chunks) {
  std::vector<std::string> texts;
  for (const std::string &chunk : chunks) texts.emplace_back(chunk.c_str());
  return texts;
}

// A list with every kind of line a shard must pass on unchanged: an empty
// line, CR LF ends, lines of 1022, 1023, 1024 and 2500 characters (one read
// of 1023 characters without a line feed is followed by the rest), a read
// the plug-in skips (it starts with a NUL) and a last line without a line feed.
std::string awkward_list() {
  return "a.prt\n" + std::string("\n") + "b.prt\r\n" + std::string(1022, 'c') + "\n" +
         std::string(1023, 'd') + "\n" + std::string(1024, 'e') + "\n" + "\r\n" +
         std::string("\0skipped\n", 9) + std::string(2500, 'f') + "\n" + "mid\0dle.prt\n" +
         std::string(1023, 'g') + "last.prt";
}

}  // namespace

TEST(ListReads, AreTheReadsThePluginMakes) {
  for (const std::string &text :
       {awkward_list(), std::string(), std::string("\n\n\n"), std::string(1023, 'x'),
        std::string(1023, 'x') + "\n", std::string(2046, 'y'), std::string("no-end")}) {
    EXPECT_EQ(as_c_strings(chunks_of(text)), fgets_reads(text));
  }
}

TEST(ListReads, SplitLongLinesAtTheReadSize) {
  std::vector<std::string> chunks = chunks_of(std::string(1023, 'd') + "\n" + "x");
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0], std::string(1023, 'd'));
  EXPECT_EQ(chunks[1], "\n");  // its own, empty line
  EXPECT_EQ(chunks[2], "x");
}

TEST(ShardLists, GiveThePluginExactlyTheReadsOfTheirPiece) {
  const std::string list = awkward_list();
  const std::vector<std::string> chunks = chunks_of(list);
  for (int count = 1; count <= 5; ++count) {
    std::vector<std::string> seen(chunks.size());
    for (int index = 1; index <= count; ++index) {
      std::string text = shard_list_text(chunks, {index, count});
      std::vector<std::string> piece;
      for (size_t i = 0; i < chunks.size(); ++i) {
        if (shard_of(i, count) == index) {
          piece.push_back(chunks[i]);
          seen[i] += chunks[i];
        }
      }
      SCOPED_TRACE("shard " + std::to_string(index) + " of " + std::to_string(count));
      EXPECT_EQ(chunks_of(text), piece);
      EXPECT_EQ(fgets_reads(text), as_c_strings(piece));
    }
    EXPECT_EQ(seen, chunks) << "every read in exactly one piece, " << count << " shards";
  }
}

TEST(ShardOf, DealsReadsOutInTurn) {
  EXPECT_EQ(shard_of(0, 3), 1);
  EXPECT_EQ(shard_of(1, 3), 2);
  EXPECT_EQ(shard_of(2, 3), 3);
  EXPECT_EQ(shard_of(3, 3), 1);
  EXPECT_EQ(shard_of(100, 1), 1);
}

TEST(ChunkSpec, IsTheNameThePluginTakesFromARead) {
  EXPECT_EQ(chunk_spec("a.prt\n"), "a.prt");
  EXPECT_EQ(chunk_spec("a.prt\r\n"), "a.prt");
  EXPECT_EQ(chunk_spec("last.prt"), "last.prt");
  EXPECT_EQ(chunk_spec("\n"), "");
  EXPECT_EQ(chunk_spec(std::string("mid\0dle.prt\n", 12)), "mid");
  EXPECT_EQ(chunk_spec(" spaced \t\n"), " spaced \t");
  EXPECT_TRUE(chunk_is_skipped(std::string("\0x\n", 3)));
  EXPECT_FALSE(chunk_is_skipped("\n"));
}

TEST(ParseShard, AcceptsOnlyKOfNWithinRange) {
  Shard shard = parse_shard("3/8");
  EXPECT_EQ(shard.index, 3);
  EXPECT_EQ(shard.count, 8);
  EXPECT_EQ(parse_shard("1/1").count, 1);
  for (const char *bad : {"", "3", "0/2", "3/2", "1/0", "-1/2", "1/2/3", "a/b", " 1/2", "1/ 2",
                          "1/9999999999", "+1/2"}) {
    EXPECT_THROW(parse_shard(bad), std::invalid_argument) << "'" << bad << "'";
  }
}

TEST(ShardFileName, GoesBeforeTheExtensionOfTheFileName) {
  EXPECT_EQ(shard_file_name("result.csv", {3, 8}), "result.shard-3-of-8.csv");
  EXPECT_EQ(shard_file_name("out/run.1/result.csv", {1, 2}), "out/run.1/result.shard-1-of-2.csv");
  EXPECT_EQ(shard_file_name("out/run.1/syslog", {2, 2}), "out/run.1/syslog.shard-2-of-2");
  EXPECT_EQ(shard_file_name(".log", {1, 4}), ".log.shard-1-of-4");
  EXPECT_EQ(shard_file_name("a.tar.gz", {1, 4}), "a.tar.shard-1-of-4.gz");
}
