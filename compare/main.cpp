// vettra-compare: compares two sets of reports (before and after a host upgrade or a
// data migration) and gives every part a verdict.
// Exit status: 0 every part the same or within tolerance, 1 something differs, is
// missing, new or unreadable, 2 the comparison could not run.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "compare_run.hpp"
#include "outputs.hpp"
#include "report_tree.hpp"
#include "rules.hpp"
#include "sides.hpp"

using namespace vettra::compare;

namespace {

constexpr int exit_same = 0;
constexpr int exit_differs = 1;
constexpr int exit_cannot_run = 2;
constexpr size_t progress_threshold = 100;  // parts; fewer finish before anyone looks

struct Options {
  std::string before;
  std::string after;
  std::string profile = "strict";
  std::string rules_file;
  std::optional<double> tolerance;
  std::optional<double> floor;
  std::vector<std::string> ignore;
  std::string csv;
  std::string jsonl;
  std::string html;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  size_t top = 10;
  bool list_rules = false;
};

void define(CLI::App &app, Options &options) {
  // Checked in run(), so that --list-rules works without them.
  app.add_option("BEFORE", options.before, "directory of reports, or result file, before");
  app.add_option("AFTER", options.after, "directory of reports, or result file, after");
  app.add_option("--profile", options.profile, "rule profile: strict or migration")
      ->capture_default_str()
      ->check(CLI::IsMember(Rules::profile_names()));
  app.add_option("--rules", options.rules_file, "rules file (JSON, see docs/compare.md)")
      ->type_name("FILE");
  app.add_option("--tolerance", options.tolerance, "relative tolerance of every numeric family")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--floor", options.floor, "absolute tolerance floor of every numeric family")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--ignore", options.ignore, "ignore a family, or an element path pattern")
      ->type_name("FAMILY|PATTERN")
      ->allow_extra_args(false);
  app.add_option("--csv", options.csv, "write every difference to FILE as CSV")->type_name("FILE");
  app.add_option("--jsonl", options.jsonl, "write every difference to FILE as JSON lines")
      ->type_name("FILE");
  app.add_option("--html", options.html, "write the comparison page to FILE")->type_name("FILE");
  app.add_option("--jobs", options.jobs, "parts compared at once (default: every core)")
      ->check(CLI::PositiveNumber);
  app.add_option("--top", options.top, "worst parts listed in the summary")->capture_default_str();
  app.add_flag("--list-rules", options.list_rules, "print the families and their rules");
}

Rules make_rules(const Options &options) {
  Rules rules = Rules::profile(options.profile);
  if (!options.rules_file.empty()) rules.apply_file(options.rules_file);
  if (options.tolerance || options.floor) {
    const Family *volume = rules.find("volume");
    rules.set_numeric(options.tolerance.value_or(volume ? volume->rule.relative : 1e-6),
                      options.floor.value_or(volume ? volume->rule.absolute : 1e-6));
  }
  for (const std::string &item : options.ignore) rules.ignore(item);
  return rules;
}

void list_rules(const Rules &rules) {
  std::cout << "Rules (profile " << rules.profile_name() << "), first match wins:\n";
  for (const Family &family : rules.families()) {
    std::cout << "  " << family.name << ": " << describe(family.rule) << "\n    ";
    for (const std::string &pattern : family.patterns) std::cout << ' ' << pattern;
    std::cout << '\n';
  }
  std::cout << "  text: " << describe(rules.find("text")->rule) << " (everything else)\n";
}

// Progress on standard error, for long runs on a terminal only.
Progress make_progress(size_t total) {
  if (total < progress_threshold || !::isatty(STDERR_FILENO)) return nullptr;
  auto last = std::make_shared<std::chrono::steady_clock::time_point>();
  return [last](size_t done, size_t all) {
    const auto now = std::chrono::steady_clock::now();
    if (done < all && now - *last < std::chrono::milliseconds(200)) return;
    *last = now;
    std::cerr << "\rcompared " << done << " of " << all << " parts" << (done == all ? "\n" : "")
              << std::flush;
  };
}

int run(const Options &options) {
  const Rules rules = make_rules(options);
  if (options.list_rules) {
    list_rules(rules);
    return exit_same;
  }
  for (const auto &[operand, name] :
       {std::pair{&options.before, "BEFORE"}, std::pair{&options.after, "AFTER"}}) {
    if (operand->empty()) {
      throw std::runtime_error(std::string(name) + " is required; run with --help for the options");
    }
  }
  const Side before = load_side(options.before);
  const Side after = load_side(options.after);
  check_distinct(before, after);
  // Two empty sides are most likely two wrong paths, not a successful comparison.
  if (before.entries.empty() && after.entries.empty()) {
    throw std::runtime_error("no reports in " + options.before + " nor in " + options.after +
                             ": nothing to compare");
  }
  const std::vector<PartPair> pairs = pair_sides(before, after);

  std::unique_ptr<DifferenceFile> csv;
  std::unique_ptr<DifferenceFile> jsonl;
  std::unique_ptr<HtmlPage> html;
  if (!options.csv.empty()) {
    csv = std::make_unique<DifferenceFile>(options.csv, DifferenceFile::Format::csv);
  }
  if (!options.jsonl.empty()) {
    jsonl = std::make_unique<DifferenceFile>(options.jsonl, DifferenceFile::Format::jsonl);
  }
  if (!options.html.empty()) {
    html = std::make_unique<HtmlPage>(options.html, "Report comparison");
  }
  Totals totals;
  run_comparison(
      pairs, rules, options.jobs,
      [&](const PartResult &result) {
        totals.add(result);
        if (csv) csv->add(result);
        if (jsonl) jsonl->add(result);
        if (html) html->add(result);
      },
      make_progress(pairs.size()));
  if (csv) csv->commit();
  if (jsonl) jsonl->commit();
  if (html) html->finish(options.before, options.after, rules.profile_name());

  std::cout << "Compared " << totals.total() << " parts: " << options.before << " -> "
            << options.after << " (rules: " << rules.profile_name() << ")\n";
  print_summary(std::cout, totals, options.top);
  if (csv || jsonl || html) std::cout << '\n';
  if (csv) std::cout << "Differences: " << options.csv << '\n';
  if (jsonl) std::cout << "Differences: " << options.jsonl << '\n';
  if (html) std::cout << "Page: " << options.html << '\n';
  std::cout.flush();
  if (!std::cout) throw std::runtime_error("cannot write the summary to standard output");
  return totals.all_good() ? exit_same : exit_differs;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "Compares two sets of reports part by part and gives each part a verdict:\n"
      "same, within tolerance, differs, missing, new or unreadable.\n"
      "Exit status: 0 all the same or within tolerance, 1 something differs or is\n"
      "missing, 2 the comparison could not run.",
      "vettra-compare"};
  Options options;
  define(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &help) {
    return app.exit(help);
  } catch (const CLI::ParseError &error) {
    std::cerr << "vettra-compare: " << error.what() << "\nRun with --help for the options.\n";
    return exit_cannot_run;
  }
  init_xml_library();
  try {
    return run(options);
  } catch (const std::exception &error) {
    std::cerr << "vettra-compare: " << error.what() << '\n';
    return exit_cannot_run;
  }
}
