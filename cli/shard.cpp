// Part list pieces for sharded batch runs.
#include "shard.hpp"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace orvel::cli {

namespace {

// Parses a positive decimal number made of digits only.
bool parse_count(const std::string &text, int &value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  value = std::stoi(text);
  return value >= 1;
}

}  // namespace

Shard parse_shard(const std::string &text) {
  size_t slash = text.find('/');
  Shard shard;
  if (slash == std::string::npos || !parse_count(text.substr(0, slash), shard.index) ||
      !parse_count(text.substr(slash + 1), shard.count) || shard.index > shard.count) {
    throw std::invalid_argument("--shard: expected K/N with 1 <= K <= N, got '" + text + "'");
  }
  return shard;
}

std::vector<std::string> read_list_chunks(std::istream &in) {
  std::vector<std::string> chunks;
  std::string chunk;
  std::istreambuf_iterator<char> it(in), end;
  for (; it != end; ++it) {
    chunk.push_back(*it);
    if (*it == '\n' || chunk.size() == kListReadSize) {
      chunks.push_back(std::move(chunk));
      chunk.clear();
    }
  }
  if (!chunk.empty()) chunks.push_back(std::move(chunk));
  return chunks;
}

std::vector<std::string> read_list_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open the part list " + path);
  try {
    std::vector<std::string> chunks = read_list_chunks(in);
    if (!in.bad()) return chunks;
  } catch (const std::exception &) {
    // the stream's own failure (a directory, say) is reported below
  }
  throw std::runtime_error("cannot read the part list " + path);
}

bool chunk_is_skipped(const std::string &chunk) {
  return chunk.empty() || chunk[0] == '\0';
}

std::string chunk_spec(const std::string &chunk) {
  std::string spec(chunk.c_str());
  if (!spec.empty() && spec.back() == '\n') spec.pop_back();
  if (!spec.empty() && spec.back() == '\r') spec.pop_back();
  return spec;
}

int shard_of(std::size_t position, int count) {
  return static_cast<int>(position % count) + 1;
}

std::string shard_list_text(const std::vector<std::string> &chunks, Shard shard) {
  std::string text;
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (shard_of(i, shard.count) == shard.index) text += chunks[i];
  }
  return text;
}

std::string shard_file_name(const std::string &path, Shard shard) {
  std::string tag = ".shard-" + std::to_string(shard.index) + "-of-" + std::to_string(shard.count);
  size_t name_start = path.rfind('/');
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  size_t dot = path.rfind('.');
  // A dot that starts the file name (".log") marks no extension.
  if (dot == std::string::npos || dot <= name_start) return path + tag;
  return path.substr(0, dot) + tag + path.substr(dot);
}

}  // namespace orvel::cli
