// Shared helpers of the host tests: a scratch directory per test and a
// fresh host session.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "session/host_control.hpp"

namespace orvel::test {

// Writes `text` to `path`, creating directories as needed.
void write_file(const std::filesystem::path &path, const std::string &text);
std::string read_file(const std::filesystem::path &path);

// A test with its own scratch directory as the working directory and a
// freshly configured host session.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Reconfigures the session with `options`.
  void configure(const HostOptions &options);
  // Writes a part file `name` (relative to the scratch directory).
  void part(const std::string &name, const std::string &json) { write_file(dir_ / name, json); }
  // Opens `name` and expects success; returns the part's tag.
  tag_t open(const std::string &name, int *failed_parts = nullptr);
  // Opens `name` and returns the host code.
  int open_code(const std::string &name);

  std::filesystem::path dir_;
  std::filesystem::path old_cwd_;
};

}  // namespace orvel::test
