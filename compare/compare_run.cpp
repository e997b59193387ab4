// One pair at a time per worker. Results are handed to the sink in part order; a worker
// that runs too far ahead of the slowest part waits, so memory stays bounded by a few
// pairs whatever the size of the set.
#include "compare_run.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "report_tree.hpp"

namespace vettra::compare {
namespace {

void add_note(PartResult &result, const std::string &side, const std::string &text) {
  result.notes.push_back(side + ": " + text);
}

// Result code and message: a change is flagged whatever the reports say.
void compare_records(const ResultRecord &a, const ResultRecord &b, const Rules &rules,
                     std::vector<Difference> &out) {
  const Family *family = rules.find("result");
  const Rule rule = family ? family->rule : Rule{};
  const std::pair<const char *, std::pair<const std::string *, const std::string *>> fields[] = {
      {"ResultCode", {&a.code, &b.code}}, {"ResultMsg", {&a.message, &b.message}}};
  for (const auto &[name, values] : fields) {
    Difference difference;
    if (!TreeComparer::judge(rule, *values.first, *values.second, 0, difference)) continue;
    difference.path = std::string("result record/") + name;
    difference.family = "result";
    out.push_back(std::move(difference));
  }
}

Verdict verdict_of(const std::vector<Difference> &differences) {
  Verdict verdict = Verdict::same;
  for (const Difference &difference : differences) {
    if (!difference.within) return Verdict::differs;
    verdict = Verdict::within;
  }
  return verdict;
}

bool has_report(const SideEntry &entry) {
  return entry.problem.empty() && !(entry.record && !record_has_report(*entry.record));
}

std::string why_no_report(const SideEntry &entry) {
  if (!entry.problem.empty()) return entry.problem;
  return "no report (" + entry.record->code + ";" + entry.record->message + ")";
}

// One difference on one line, long values cut.
std::string one_line(const Difference &difference) {
  constexpr size_t longest = 60;
  auto cut = [](const std::string &text) {
    std::string line = text.size() > longest ? text.substr(0, longest) + "..." : text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
  };
  return difference.path + ": " +
         (difference.change == Change::changed
              ? cut(difference.before) + " -> " + cut(difference.after)
              : std::string(change_name(difference.change)));
}

}  // namespace

namespace {

// compare_pair on a worker thread: a failure (out of memory on a huge report, say) is
// that part's verdict, not the end of the run.
PartResult guarded_compare(const PartPair &pair, TreeComparer &comparer, const Rules &rules) {
  try {
    return compare_pair(pair, comparer, rules);
  } catch (const std::exception &failure) {
    PartResult result;
    result.name = pair.name;
    result.verdict = Verdict::unreadable;
    result.notes.push_back(std::string("cannot compare: ") + failure.what());
    return result;
  }
}

}  // namespace

const char *verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::same:
      return "same";
    case Verdict::within:
      return "within tolerance";
    case Verdict::differs:
      return "differs";
    case Verdict::missing:
      return "missing";
    case Verdict::new_part:
      return "new";
    case Verdict::unreadable:
      return "unreadable";
  }
  return "same";
}

PartSummary summarize(const PartResult &result) {
  PartSummary summary;
  summary.name = result.name;
  summary.verdict = result.verdict;
  const Difference *first_within = nullptr;
  for (const Difference &difference : result.differences) {
    if (difference.within) {
      ++summary.within;
      if (first_within == nullptr) first_within = &difference;
    } else {
      ++summary.differing;
      if (summary.first.empty()) summary.first = one_line(difference);
    }
    if (!std::isnan(difference.relative)) {
      summary.largest = std::max(summary.largest, difference.relative);
    }
  }
  if (summary.first.empty() && first_within != nullptr) summary.first = one_line(*first_within);
  if (summary.first.empty() && !result.notes.empty()) summary.first = result.notes.front();
  for (const std::string &note : result.notes) {
    if (note.find(": read with recovery") != std::string::npos) summary.recovered = true;
  }
  return summary;
}

PartResult compare_pair(const PartPair &pair, TreeComparer &comparer, const Rules &rules) {
  PartResult result;
  result.name = pair.name;
  if (pair.before == nullptr || pair.after == nullptr) {
    const SideEntry &entry = pair.before ? *pair.before : *pair.after;
    // A line of a result file that is not a record is unreadable wherever it stands.
    result.verdict = !entry.problem.empty()   ? Verdict::unreadable
                     : pair.before == nullptr ? Verdict::new_part
                                              : Verdict::missing;
    const char *side = pair.before ? "before" : "after";
    if (!entry.problem.empty()) {
      add_note(result, side, entry.problem);
    } else {
      add_note(result, side, entry.report.empty() ? why_no_report(entry) : entry.report);
    }
    return result;
  }
  const SideEntry &a = *pair.before;
  const SideEntry &b = *pair.after;
  if (a.record && b.record) compare_records(*a.record, *b.record, rules, result.differences);
  if (!has_report(a) || !has_report(b)) {
    if (!has_report(a)) add_note(result, "before", why_no_report(a));
    if (!has_report(b)) add_note(result, "after", why_no_report(b));
    const bool record_problem = !a.problem.empty() || !b.problem.empty();
    result.verdict = record_problem                   ? Verdict::unreadable
                     : has_report(a) != has_report(b) ? Verdict::differs
                                                      : verdict_of(result.differences);
    return result;
  }
  const Report before = read_report(a.report);
  const Report after = read_report(b.report);
  result.bytes = before.bytes + after.bytes;
  for (const auto &[side, report] : {std::pair{"before", &before}, std::pair{"after", &after}}) {
    if (report->state != ReadState::ok) add_note(result, side, report->message);
  }
  if (before.state == ReadState::unreadable || after.state == ReadState::unreadable) {
    result.verdict = Verdict::unreadable;
    return result;
  }
  comparer.compare(before.root, after.root, result.differences);
  result.verdict = verdict_of(result.differences);
  return result;
}

void run_comparison(const std::vector<PartPair> &pairs, const Rules &rules, unsigned jobs,
                    const PartSink &sink, const Progress &progress) {
  jobs = std::max(1u, std::min<unsigned>(jobs, static_cast<unsigned>(pairs.size())));
  const size_t window = 4 * static_cast<size_t>(jobs);  // results held at most
  std::atomic<size_t> next_pair{0};
  std::mutex mutex;
  std::condition_variable room;
  std::map<size_t, PartResult> pending;
  size_t next_out = 0;

  auto worker = [&] {
    TreeComparer comparer(rules);
    while (true) {
      const size_t index = next_pair.fetch_add(1);
      if (index >= pairs.size()) return;
      {
        std::unique_lock<std::mutex> lock(mutex);
        room.wait(lock, [&] { return index < next_out + window; });
      }
      PartResult result = guarded_compare(pairs[index], comparer, rules);
      std::lock_guard<std::mutex> lock(mutex);
      pending.emplace(index, std::move(result));
      bool moved = false;
      for (auto it = pending.find(next_out); it != pending.end(); it = pending.find(next_out)) {
        sink(it->second);
        pending.erase(it);
        ++next_out;
        moved = true;
      }
      if (moved) {
        if (progress) progress(next_out, pairs.size());
        room.notify_all();
      }
    }
  };
  std::vector<std::thread> threads;
  for (unsigned i = 1; i < jobs; ++i) threads.emplace_back(worker);
  worker();
  for (std::thread &thread : threads) thread.join();
}

}  // namespace vettra::compare
