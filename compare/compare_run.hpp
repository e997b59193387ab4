// Comparing every part pair: verdicts, and the parallel run that hands the results on
// in part order while holding only a few of them at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare_tree.hpp"
#include "rules.hpp"
#include "sides.hpp"

namespace vettra::compare {

// Ordered from best to worst.
enum class Verdict { same, within, new_part, missing, differs, unreadable };
inline constexpr int verdict_count = 6;

const char *verdict_name(Verdict verdict);

struct PartResult {
  std::string name;
  Verdict verdict = Verdict::same;
  std::vector<Difference> differences;
  std::vector<std::string> notes;  // read with recovery, why unreadable, ...
  std::uintmax_t bytes = 0;        // size of both reports
};

// What is kept of every part for the summary, after its differences are written out.
struct PartSummary {
  std::string name;
  Verdict verdict = Verdict::same;
  size_t differing = 0;    // differences outside the rules
  size_t within = 0;       // numeric differences inside the tolerance
  double largest = 0;      // largest relative size of a numeric difference
  std::string first;       // the first difference outside the rules, or the first note
  bool recovered = false;  // a report of it was ill-formed and read with recovery
};

PartSummary summarize(const PartResult &result);

// Compares one pair of parts.
PartResult compare_pair(const PartPair &pair, TreeComparer &comparer, const Rules &rules);

// Receives each part's result, in part order, one at a time.
using PartSink = std::function<void(const PartResult &)>;
// Told how many parts are done, from time to time.
using Progress = std::function<void(size_t done, size_t total)>;

// Compares all pairs on `jobs` threads (one pair per thread at a time).
void run_comparison(const std::vector<PartPair> &pairs, const Rules &rules, unsigned jobs,
                    const PartSink &sink, const Progress &progress);

}  // namespace vettra::compare
