// Sharding of a part list: the K-th of N disjoint pieces of a list, written
// so that the plug-in reads from it exactly the lines it would have read from
// the whole list, and the file names a shard's outputs get.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

namespace orvel::cli {

// The plug-in reads its part list with reads of at most this many
// characters; each read is a line of its own, so a longer line is several.
constexpr std::size_t kListReadSize = 1023;

// One of `count` shards, numbered from 1.
struct Shard {
  int index = 1;
  int count = 1;
};

// Parses "K/N" with 1 <= K <= N; throws std::invalid_argument with a
// complaint naming --shard otherwise.
Shard parse_shard(const std::string &text);

// The reads the plug-in makes of a list, byte for byte: each ends after a
// line feed, after kListReadSize characters, or at the end of the input.
std::vector<std::string> read_list_chunks(std::istream &in);

// Reads the list file at `path`; throws std::runtime_error when it cannot be
// read.
std::vector<std::string> read_list_file(const std::string &path);

// True for a read the plug-in skips: one whose text, as a C string, is empty
// (it starts with a NUL character).
bool chunk_is_skipped(const std::string &chunk);

// The part specification the plug-in takes from a read: its text up to the
// first NUL, without a final line feed and a carriage return before it.
std::string chunk_spec(const std::string &chunk);

// The shard (1..count) that checks the read at `position` (0-based) of the
// list: reads are dealt out in turn, so a read's shard depends only on its
// position and the number of shards.
int shard_of(std::size_t position, int count);

// The reads of the list that belong to `shard`, joined byte for byte. Since
// every read but the last ends at a line feed or at kListReadSize
// characters, reading the joined text again yields the same reads.
std::string shard_list_text(const std::vector<std::string> &chunks, Shard shard);

// The name of a shard's own output file: ".shard-K-of-N" goes before the
// extension of the file name ("out/result.csv" -> "out/result.shard-3-of-8.csv")
// or at its end when it has none.
std::string shard_file_name(const std::string &path, Shard shard);

}  // namespace orvel::cli
