// The plug-in's line formatter against the C library's: the same report-like
// lines (a transform's matrix and origin, handles, levels) formatted with
// format_text and with snprintf, each into a buffer of a report line's size.
//
//   format_bench [ROUNDS]
//
// Prints the processor seconds of each and their ratio, ours / the C
// library's; stops with an error if any line differs between the two.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "vettra/text/bounded.h"

namespace {

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Formats every value in the shapes the report writes them; the sum of the
// first bytes keeps the work from being optimised away.
unsigned long format_all(const std::vector<double> &values,
                         int (*format)(char *, size_t, const char *, ...)) {
  char line[1024];
  unsigned long sum = 0;
  for (size_t i = 0; i < values.size(); i++) {
    format(line, sizeof(line), "            <%s>%lf</%s>", "X1", values[i], "X1");
    sum += static_cast<unsigned char>(line[14]);
    format(line, sizeof(line), "          <Handle>%s</Handle>", "#1/2/3");
    sum += static_cast<unsigned char>(line[24]);
    format(line, sizeof(line), "          <ComponentLevel>%d</ComponentLevel>", (int)(i & 7));
    sum += static_cast<unsigned char>(line[26]);
  }
  return sum;
}

}  // namespace

int main(int argc, char **argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  std::mt19937_64 random(9);
  std::uniform_real_distribution<double> coordinate(-5000, 5000);
  std::vector<double> values;
  for (int i = 0; i < 60000; i++) {
    double unit[] = {0.0, 1.0, -1.0, 0.7071067811865476};
    values.push_back(i % 4 == 3 ? coordinate(random) : unit[random() % 4]);
  }
  for (double value : values) {
    char ours[64], theirs[64];
    format_text(ours, sizeof(ours), "%lf", value);
    snprintf(theirs, sizeof(theirs), "%lf", value);
    if (std::strcmp(ours, theirs) != 0) {
      std::fprintf(stderr, "format_bench: %s instead of %s\n", ours, theirs);
      return 1;
    }
  }
  double start = cpu_seconds();
  unsigned long sum = 0;
  for (int r = 0; r < rounds; r++) sum += format_all(values, format_text);
  double ours = cpu_seconds() - start;
  start = cpu_seconds();
  for (int r = 0; r < rounds; r++) sum -= format_all(values, snprintf);
  double theirs = cpu_seconds() - start;
  std::printf("format_text %.4f s, snprintf %.4f s, ratio %.3f (%d x %zu lines)%s\n", ours, theirs,
              ours / theirs, rounds, 3 * values.size(), sum == 0 ? "" : " (texts differ)");
  return sum == 0 ? 0 : 1;
}
