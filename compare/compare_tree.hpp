// Compares two report trees element by element under the rules.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report_tree.hpp"
#include "rules.hpp"

namespace vettra::compare {

enum class Change { changed, added, removed };

struct Difference {
  std::string path;  // element path in the report, records shown with their identity
  Change change = Change::changed;
  std::string before;   // the value before ("" when added)
  std::string after;    // the value after ("" when removed)
  std::string family;   // the family whose rule judged it
  std::string rule;     // that rule, described
  bool within = false;  // a numeric difference inside the tolerance
  double relative = std::numeric_limits<double>::quiet_NaN();  // numeric: |a-b| / max(|a|,|b|)
};

const char *change_name(Change change);

// Compares trees; keeps a cache of element paths to families, so one comparer per thread.
class TreeComparer {
 public:
  explicit TreeComparer(const Rules &rules) : rules_(rules) {}
  explicit TreeComparer(Rules &&) = delete;  // the rules must outlive the comparer

  // Appends the differences between `before` and `after` (two report roots).
  void compare(const Node &before, const Node &after, std::vector<Difference> &out);

  // Judges one value pair under a rule; used for every leaf and for result records.
  static bool judge(const Rule &rule, const std::string &before, const std::string &after,
                    double size, Difference &difference);

 private:
  struct Walk {
    std::vector<std::string_view> names;  // element names from below the root
    std::string path;                     // keyed path from below the root
  };
  const Family &family(const Walk &walk);
  void compare_nodes(const Node &a, const Node &b, Walk &walk, double size,
                     std::vector<Difference> &out);
  void one_sided(const Node &node, Change change, Walk &walk, std::vector<Difference> &out);
  void compare_leaves(const Node &a, const Node &b, Walk &walk, double size,
                      std::vector<Difference> &out);

  const Rules &rules_;
  std::unordered_map<std::string, const Family *> cache_;
};

// Parses a whole text as a finite real number.
bool parse_real(std::string_view text, double &value);

}  // namespace vettra::compare
