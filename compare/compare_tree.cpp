// Element-by-element comparison: children are matched by key (identity), so an inserted
// or removed record is one difference, and the order of records does not matter.
#include "compare_tree.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vettra::compare {
namespace {

constexpr size_t linear_search_limit = 16;

const Node *find_child(const Node &parent, const std::string &key,
                       const std::unordered_map<std::string_view, const Node *> &index) {
  if (index.empty()) {
    for (const Node &child : parent.children) {
      if (child.key == key) return &child;
    }
    return nullptr;
  }
  auto found = index.find(key);
  return found == index.end() ? nullptr : found->second;
}

// The size of a record that holds a Volume: the edge of a cube of that volume.
double record_size(const Node &node, double inherited) {
  for (const Node &child : node.children) {
    double volume = 0;
    if (child.leaf && child.name == "Volume" && parse_real(child.text, volume)) {
      return std::cbrt(std::fabs(volume));
    }
  }
  return inherited;
}

// What an added or removed element shows: its value, or the identity of a record.
std::string presence_text(const Node &node) {
  if (node.leaf) return node.text;
  const auto open = node.key.find('[');
  if (open != std::string::npos && node.key.back() == ']') {
    return node.key.substr(open + 1, node.key.size() - open - 2);
  }
  return "(" + node.name + ")";
}

}  // namespace

const char *change_name(Change change) {
  switch (change) {
    case Change::changed:
      return "changed";
    case Change::added:
      return "added";
    case Change::removed:
      return "removed";
  }
  return "changed";
}

bool parse_real(std::string_view text, double &value) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 64) return false;
  const std::string copy(text);
  char *end = nullptr;
  errno = 0;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(value);
}

bool TreeComparer::judge(const Rule &rule, const std::string &before, const std::string &after,
                         double size, Difference &difference) {
  if (rule.kind == RuleKind::ignored || before == after) return false;
  difference.before = before;
  difference.after = after;
  difference.rule = describe(rule);
  double a = 0;
  double b = 0;
  if (rule.kind == RuleKind::numeric && parse_real(before, a) && parse_real(after, b)) {
    const double delta = std::fabs(a - b);
    const double scale = std::max(std::fabs(a), std::fabs(b));
    difference.relative = scale > 0 ? delta / scale : 0;
    const double tolerance =
        std::max({rule.relative * scale, rule.absolute, rule.size_relative * size});
    difference.within = delta <= tolerance;
  }
  return true;
}

const Family &TreeComparer::family(const Walk &walk) {
  std::string plain;
  for (std::string_view name : walk.names) {
    plain += name;
    plain += '/';
  }
  auto found = cache_.find(plain);
  if (found != cache_.end()) return *found->second;
  const Family &family = rules_.family_of(walk.names);
  cache_.emplace(std::move(plain), &family);
  return family;
}

void TreeComparer::compare(const Node &before, const Node &after, std::vector<Difference> &out) {
  Walk walk;
  compare_nodes(before, after, walk, 0, out);
}

void TreeComparer::compare_leaves(const Node &a, const Node &b, Walk &walk, double size,
                                  std::vector<Difference> &out) {
  const Family &fam = family(walk);
  Difference difference;
  if (a.leaf != b.leaf) {  // a value on one side, an element with content on the other
    if (fam.rule.kind == RuleKind::ignored) return;
    difference.before = a.leaf ? a.text : "(" + std::to_string(a.children.size()) + " elements)";
    difference.after = b.leaf ? b.text : "(" + std::to_string(b.children.size()) + " elements)";
    difference.rule = describe(fam.rule);
  } else if (!judge(fam.rule, a.text, b.text, size, difference)) {
    return;
  }
  difference.path = walk.path;
  difference.family = fam.name;
  out.push_back(std::move(difference));
}

void TreeComparer::one_sided(const Node &node, Change change, Walk &walk,
                             std::vector<Difference> &out) {
  const Family &fam = family(walk);
  if (fam.rule.kind == RuleKind::ignored) return;
  Difference difference;
  difference.path = walk.path;
  difference.change = change;
  (change == Change::added ? difference.after : difference.before) = presence_text(node);
  // A whole record is judged by its identity; a single value by its family's rule.
  difference.family = node.leaf ? fam.name : "records";
  difference.rule = node.leaf ? describe(fam.rule) : "matched by identity";
  out.push_back(std::move(difference));
}

void TreeComparer::compare_nodes(const Node &a, const Node &b, Walk &walk, double size,
                                 std::vector<Difference> &out) {
  if (a.leaf || b.leaf) {
    compare_leaves(a, b, walk, size, out);
    return;
  }
  size = std::max(record_size(a, size), record_size(b, size));
  std::unordered_map<std::string_view, const Node *> index;
  if (b.children.size() > linear_search_limit) {
    index.reserve(b.children.size());
    for (const Node &child : b.children) index.emplace(child.key, &child);
  }
  std::unordered_map<std::string_view, bool> in_before;
  if (a.children.size() > linear_search_limit) {
    in_before.reserve(a.children.size());
    for (const Node &child : a.children) in_before.emplace(child.key, true);
  }
  const size_t path_length = walk.path.size();
  auto enter = [&](const Node &child) {
    walk.names.push_back(child.name);
    if (!walk.path.empty()) walk.path += '/';
    walk.path += child.key;
  };
  auto leave = [&] {
    walk.names.pop_back();
    walk.path.resize(path_length);
  };
  for (const Node &child : a.children) {
    enter(child);
    if (const Node *match = find_child(b, child.key, index)) {
      compare_nodes(child, *match, walk, size, out);
    } else {
      one_sided(child, Change::removed, walk, out);
    }
    leave();
  }
  for (const Node &child : b.children) {
    const bool known = in_before.empty()
                           ? std::any_of(a.children.begin(), a.children.end(),
                                         [&](const Node &other) { return other.key == child.key; })
                           : in_before.count(child.key) > 0;
    if (known) continue;
    enter(child);
    one_sided(child, Change::added, walk, out);
    leave();
  }
}

}  // namespace vettra::compare
