// Shared helpers of the host tests.
#include "test_support.hpp"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "orvel/zk.h"

namespace fs = std::filesystem;

namespace orvel::test {

void write_file(const fs::path &path, const std::string &text) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string read_file(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void HostTest::SetUp() {
  old_cwd_ = fs::current_path();
  const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char &c : name) {
    if (c == '/') c = '_';
  }
  dir_ = fs::temp_directory_path() / ("orvel_host_" + std::to_string(::getpid())) / name;
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  fs::current_path(dir_);
  configure(HostOptions{});
}

void HostTest::TearDown() {
  configure(HostOptions{});
  fs::current_path(old_cwd_);
  fs::remove_all(dir_);
}

void HostTest::configure(const HostOptions &options) {
  configure_host(options);
}

tag_t HostTest::open(const std::string &name, int *failed_parts) {
  tag_t tag = NULL_TAG;
  ZK_PART_load_status_t status{};
  int code = ZK_PART_open(name.c_str(), &tag, &status);
  EXPECT_EQ(code, 0) << last_failure_detail();
  if (failed_parts) *failed_parts = status.n_parts;
  return tag;
}

int HostTest::open_code(const std::string &name) {
  tag_t tag = NULL_TAG;
  ZK_PART_load_status_t status{};
  return ZK_PART_open(name.c_str(), &tag, &status);
}

}  // namespace orvel::test
