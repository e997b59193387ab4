// Narrows a batch run to one shard of its part list.
#include "shard_run.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace orvel::cli {

namespace {

// Writes `text` to a new temporary file and returns its name.
std::string write_temporary(const std::string &text, Shard shard) {
  const char *dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/orvel-shard-" +
                        std::to_string(shard.index) + "-of-" + std::to_string(shard.count) +
                        "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    throw std::runtime_error("cannot create a shard list in " + pattern + ": " +
                             std::strerror(errno));
  }
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string reason = std::strerror(errno);
      close(fd);
      unlink(name.data());
      throw std::runtime_error(std::string("cannot write the shard list ") + name.data() + ": " +
                               reason);
    }
    written += static_cast<size_t>(n);
  }
  if (close(fd) != 0) {
    unlink(name.data());
    throw std::runtime_error(std::string("cannot write the shard list ") + name.data());
  }
  return name.data();
}

}  // namespace

ShardListFile::~ShardListFile() {
  if (!path_.empty()) std::remove(path_.c_str());
}

ShardListFile narrow_to_shard(Shard shard, HostArgs &host, FieldValues &config) {
  if (shard.index != 1) config.set("single-part", "");
  std::string result = config.get("result-file");
  if (!result.empty()) config.set("result-file", shard_file_name(result, shard));
  if (!host.syslog.empty()) host.syslog = shard_file_name(host.syslog, shard);
  std::string list = config.get("part-list");
  if (list.empty()) return {};
  // A list that cannot be opened goes to the plug-in as it is, which names
  // it; one that opens but cannot be read whole stops the run here, so that
  // no shard checks the whole list.
  if (!std::ifstream(list, std::ios::binary)) return {};
  std::vector<std::string> chunks = read_list_file(list);
  ShardListFile piece(write_temporary(shard_list_text(chunks, shard), shard));
  config.set("part-list", piece.path());
  return piece;
}

}  // namespace orvel::cli
