// Comparison rules: each element of a report belongs to a family (found by its element
// path), and each family has one rule: compare the text exactly, compare as numbers
// within a tolerance, or ignore. Two built-in profiles; a rules file adjusts them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vettra::compare {

enum class RuleKind { exact, numeric, ignored };

struct Rule {
  RuleKind kind = RuleKind::exact;
  double relative = 0;       // tolerance relative to the larger of the two values
  double absolute = 0;       // floor of the tolerance near zero
  double size_relative = 0;  // tolerance as a share of the record's size (cube root of its
                             // Volume), for positions such as centres of gravity
};

struct Family {
  std::string name;
  // Element path patterns, matched against the last segments of an element's path
  // (element names only, "/"-separated, each segment a shell pattern): "Matrix/*".
  std::vector<std::string> patterns;
  Rule rule;
};

class Rules {
 public:
  // The built-in profiles: "strict" (the default) and "migration".
  static Rules profile(std::string_view name);
  static std::vector<std::string> profile_names();

  // Applies a rules file (JSON, see docs/compare.md); throws std::runtime_error with a
  // message naming the file and the problem.
  void apply_file(const std::filesystem::path &file);
  void apply_json(const std::string &text, const std::string &label);

  // Sets the relative tolerance and absolute floor of every numeric family.
  void set_numeric(double relative, double absolute);
  // Puts a family (or a new one holding one element pattern) on the ignored rule.
  void ignore(const std::string &family_or_pattern);

  // The family of an element given by its element names from below the root; the
  // catch-all family "text" (exact) when no pattern matches.
  const Family &family_of(const std::vector<std::string_view> &names) const;
  const Family *find(std::string_view name) const;
  const std::vector<Family> &families() const { return families_; }
  const std::string &profile_name() const { return profile_; }

 private:
  Family &find_or_add(const std::string &name);
  std::string profile_;
  std::vector<Family> families_;  // first match wins
  Family fallback_{"text", {}, {}};
};

// "numeric (relative 1e-06, absolute 1e-06)" and the like.
std::string describe(const Rule &rule);

// Whether `pattern` matches the tail of `names`.
bool path_matches(std::string_view pattern, const std::vector<std::string_view> &names);

}  // namespace vettra::compare
