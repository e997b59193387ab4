// A plug-in that times another one's interactive entry: it loads the plug-in
// named by VETTRA_BENCH_PLUGIN, calls its zkusr and writes the processor
// seconds the call took to the file named by VETTRA_BENCH_CHECK_TIME.
//
// `orvel interactive PART --plugin libtimed_plugin.so` then gives the cost of
// the check alone, as the line floor gives the cost of its writing loop
// alone: neither figure holds starting the process, opening the part or
// ending the process, which a whole run minus a load-only run holds twice
// over, with their noise. A post command the check runs is another process,
// and not counted.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using Entry = int (*)(char *, int *, int);

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

const char *required(const char *name) {
  const char *value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    std::fprintf(stderr, "timed_plugin: %s is not set\n", name);
    return nullptr;
  }
  return value;
}

bool write_time(const char *path, double seconds) {
  std::FILE *out = std::fopen(path, "w");
  if (out == nullptr) {
    std::fprintf(stderr, "timed_plugin: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  bool ok = std::fprintf(out, "%.6f\n", seconds) > 0;
  return std::fclose(out) == 0 && ok;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int zkusr(char *parameter, int *status,
                                                            int length) {
  const char *plugin = required("VETTRA_BENCH_PLUGIN");
  const char *time_file = required("VETTRA_BENCH_CHECK_TIME");
  if (plugin == nullptr || time_file == nullptr) return 1;
  void *library = dlopen(plugin, RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    std::fprintf(stderr, "timed_plugin: %s\n", dlerror());
    return 1;
  }
  auto entry = reinterpret_cast<Entry>(dlsym(library, "zkusr"));
  if (entry == nullptr) {
    std::fprintf(stderr, "timed_plugin: %s has no zkusr\n", plugin);
    return 1;
  }
  double start = cpu_seconds();
  int code = entry(parameter, status, length);
  double took = cpu_seconds() - start;
  if (!write_time(time_file, took)) return 1;
  return code;
}
