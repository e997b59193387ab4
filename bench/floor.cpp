// The floor of the line-per-call report writer: writes the lines of a file
// to another file the way the check writes report lines, each line opening
// the file for appending, writing and closing, and prints the time it took.
//
//   floor posix LINES OUT   open(O_APPEND)/write/close per line
//   floor stdio LINES OUT   fopen("a")/fwrite/fclose per line
//
// OUT is truncated first. Prints the processor time of the writing (user and
// system, seconds), the wall time and the number of lines; the check of a
// part, timed without the load, compares against these figures.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool write_posix(const char *path, const std::string &line) {
  int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  return ::close(fd) == 0 && ok;
}

bool write_stdio(const char *path, const std::string &line) {
  FILE *f = std::fopen(path, "a");
  if (!f) return false;
  bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4 || (std::strcmp(argv[1], "posix") != 0 && std::strcmp(argv[1], "stdio") != 0)) {
    std::cerr << "usage: floor posix|stdio LINES OUT\n";
    return 2;
  }
  std::ifstream in(argv[2]);
  if (!in) {
    std::cerr << "floor: cannot read " << argv[2] << "\n";
    return 1;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  std::FILE *truncate = std::fopen(argv[3], "w");
  if (!truncate || std::fclose(truncate) != 0) {
    std::cerr << "floor: cannot write " << argv[3] << "\n";
    return 1;
  }
  bool posix = std::strcmp(argv[1], "posix") == 0;
  double cpu_start = cpu_seconds();
  auto start = std::chrono::steady_clock::now();
  for (const std::string &line : lines) {
    if (!(posix ? write_posix(argv[3], line) : write_stdio(argv[3], line))) {
      std::cerr << "floor: a line could not be written to " << argv[3] << "\n";
      return 1;
    }
  }
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %.6f %zu\n", cpu_seconds() - cpu_start, took.count(), lines.size());
  return 0;
}
