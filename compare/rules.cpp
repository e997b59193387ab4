// The built-in rule profiles and the rules file.
#include "rules.hpp"

#include <fnmatch.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace vettra::compare {
namespace {

Rule exact() {
  return Rule{RuleKind::exact, 0, 0, 0};
}
Rule ignored() {
  return Rule{RuleKind::ignored, 0, 0, 0};
}
Rule numeric(double relative, double absolute, double size_relative = 0) {
  return Rule{RuleKind::numeric, relative, absolute, size_relative};
}

// Reports print reals with six decimals: the strict profile's floor is one unit of the
// last printed digit, its relative band small enough that a changed geometry kernel shows.
constexpr double strict_relative = 1e-6;
constexpr double strict_absolute = 1e-6;

std::vector<Family> strict_families() {
  const Rule num = numeric(strict_relative, strict_absolute);
  return {
      {"dates", {"*DateTime", "*Time", "*Elapsed*"}, ignored()},
      {"memory", {"*Memory*"}, ignored()},
      {"result", {"*ReturnValue", "ResultCode", "ResultMsg"}, exact()},
      {"counts", {"*_n", "*Num", "*NumLines", "TextBlocksN", "MemberCount"}, exact()},
      {"levels", {"ComponentLevel"}, exact()},
      {"suppression", {"SuppressState", "SuppressByExpression"}, exact()},
      {"reference sets", {"RefsetCurr", "ReferenceComponent", "Refset/Name"}, exact()},
      {"volume", {"Volume"}, num},
      {"centroid", {"CentreOfGravity*/*"}, num},
      {"inertia", {"MomentOfInertia*/*"}, num},
      {"placement", {"Matrix/*", "Origin/*", "TextboxOrigin/*"}, num},
      {"view geometry",
       {"ViewReferencePoint*", "ViewAnchor*", "ViewScale", "ViewAngle", "ViewBorder*"},
       num},
      {"properties",
       {"Density", "RealValue", "TextSize", "TextAngle", "TextboxLength", "TextboxHeight"},
       num},
  };
}

// Wider bands for a host upgrade or a data migration: volumes and moments within 0.1 %,
// centres of gravity within 0.1 % of the body's size, placements and view geometry to
// the fifth decimal.
std::vector<Family> migration_families() {
  std::vector<Family> families = strict_families();
  for (Family &family : families) {
    if (family.name == "volume" || family.name == "inertia") {
      family.rule = numeric(1e-3, 1e-6);
    } else if (family.name == "centroid") {
      family.rule = numeric(1e-6, 1e-5, 1e-3);
    } else if (family.name == "placement" || family.name == "view geometry") {
      family.rule = numeric(1e-6, 1e-5);
    } else if (family.name == "properties") {
      family.rule = numeric(1e-4, 1e-6);
    }
  }
  return families;
}

std::string format_number(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

RuleKind parse_kind(const std::string &text, const std::string &where) {
  if (text == "exact") return RuleKind::exact;
  if (text == "numeric") return RuleKind::numeric;
  if (text == "ignored") return RuleKind::ignored;
  throw std::runtime_error(where + ": rule \"" + text + "\" is not one of exact, numeric, ignored");
}

double tolerance_value(const nlohmann::json &value, const std::string &where) {
  if (!value.is_number() || value.get<double>() < 0) {
    throw std::runtime_error(where + " must be a number of at least 0");
  }
  return value.get<double>();
}

void check_keys(const nlohmann::json &object, std::initializer_list<const char *> allowed,
                const std::string &where) {
  for (const auto &item : object.items()) {
    if (std::none_of(allowed.begin(), allowed.end(),
                     [&](const char *key) { return item.key() == key; })) {
      throw std::runtime_error(where + ": unknown key \"" + item.key() + "\"");
    }
  }
}

}  // namespace

std::string describe(const Rule &rule) {
  switch (rule.kind) {
    case RuleKind::exact:
      return "exact";
    case RuleKind::ignored:
      return "ignored";
    case RuleKind::numeric: {
      std::string text = "numeric (relative " + format_number(rule.relative) + ", absolute " +
                         format_number(rule.absolute);
      if (rule.size_relative > 0) text += ", size " + format_number(rule.size_relative);
      return text + ")";
    }
  }
  return "exact";
}

bool path_matches(std::string_view pattern, const std::vector<std::string_view> &names) {
  std::vector<std::string> segments;
  std::string current;
  for (char c : pattern) {
    if (c == '/') {
      segments.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  segments.push_back(current);
  if (segments.size() > names.size()) return false;
  const size_t offset = names.size() - segments.size();
  for (size_t i = 0; i < segments.size(); ++i) {
    const std::string name(names[offset + i]);
    if (fnmatch(segments[i].c_str(), name.c_str(), 0) != 0) return false;
  }
  return true;
}

Rules Rules::profile(std::string_view name) {
  Rules rules;
  rules.profile_ = std::string(name);
  if (name == "strict") {
    rules.families_ = strict_families();
  } else if (name == "migration") {
    rules.families_ = migration_families();
  } else {
    throw std::runtime_error("unknown profile \"" + std::string(name) +
                             "\" (choose strict or migration)");
  }
  return rules;
}

std::vector<std::string> Rules::profile_names() {
  return {"strict", "migration"};
}

const Family *Rules::find(std::string_view name) const {
  for (const Family &family : families_) {
    if (family.name == name) return &family;
  }
  return name == fallback_.name ? &fallback_ : nullptr;
}

Family &Rules::find_or_add(const std::string &name) {
  if (name == fallback_.name) return fallback_;
  for (Family &family : families_) {
    if (family.name == name) return family;
  }
  families_.insert(families_.begin(), Family{name, {}, exact()});
  return families_.front();
}

const Family &Rules::family_of(const std::vector<std::string_view> &names) const {
  for (const Family &family : families_) {
    for (const std::string &pattern : family.patterns) {
      if (path_matches(pattern, names)) return family;
    }
  }
  return fallback_;
}

void Rules::set_numeric(double relative, double absolute) {
  for (Family &family : families_) {
    if (family.rule.kind == RuleKind::numeric) {
      family.rule.relative = relative;
      family.rule.absolute = absolute;
    }
  }
}

void Rules::ignore(const std::string &family_or_pattern) {
  for (Family &family : families_) {
    if (family.name == family_or_pattern) {
      family.rule = ignored();
      return;
    }
  }
  if (family_or_pattern == fallback_.name) {
    fallback_.rule = ignored();
    return;
  }
  families_.insert(families_.begin(),
                   Family{"ignored " + family_or_pattern, {family_or_pattern}, ignored()});
}

void Rules::apply_json(const std::string &text, const std::string &label) {
  nlohmann::json doc;
  try {
    doc = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error &error) {
    throw std::runtime_error(label + ": not valid JSON: " + error.what());
  }
  if (!doc.is_object()) throw std::runtime_error(label + ": expected a JSON object");
  check_keys(doc, {"profile", "numeric", "families"}, label);
  if (doc.contains("profile")) {
    if (!doc["profile"].is_string()) throw std::runtime_error(label + ": profile must be text");
    try {
      *this = profile(doc["profile"].get<std::string>());
    } catch (const std::runtime_error &error) {
      throw std::runtime_error(label + ": " + error.what());
    }
  }
  if (doc.contains("numeric")) {
    const auto &numeric_doc = doc["numeric"];
    const std::string where = label + ": numeric";
    if (!numeric_doc.is_object()) throw std::runtime_error(where + " must be an object");
    check_keys(numeric_doc, {"relative", "absolute"}, where);
    set_numeric(tolerance_value(numeric_doc.value("relative", nlohmann::json(strict_relative)),
                                where + ".relative"),
                tolerance_value(numeric_doc.value("absolute", nlohmann::json(strict_absolute)),
                                where + ".absolute"));
  }
  if (!doc.contains("families")) return;
  if (!doc["families"].is_array()) throw std::runtime_error(label + ": families must be a list");
  for (size_t i = 0; i < doc["families"].size(); ++i) {
    const auto &entry = doc["families"][i];
    const std::string where = label + ": families[" + std::to_string(i) + "]";
    if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string()) {
      throw std::runtime_error(where + " needs a \"name\"");
    }
    check_keys(entry, {"name", "match", "rule", "relative", "absolute", "size"}, where);
    const std::string name = entry["name"].get<std::string>();
    if (find(name) == nullptr && !entry.contains("match")) {
      throw std::runtime_error(where + ": new family \"" + name + "\" needs \"match\"");
    }
    Family &family = find_or_add(name);
    if (entry.contains("match")) {
      if (!entry["match"].is_array() || entry["match"].empty()) {
        throw std::runtime_error(where + ": match must be a list of element paths");
      }
      family.patterns.clear();
      for (const auto &pattern : entry["match"]) {
        if (!pattern.is_string()) throw std::runtime_error(where + ": match holds a non-text");
        family.patterns.push_back(pattern.get<std::string>());
      }
    }
    if (entry.contains("rule")) {
      if (!entry["rule"].is_string()) throw std::runtime_error(where + ": rule must be text");
      family.rule.kind = parse_kind(entry["rule"].get<std::string>(), where);
    }
    if (entry.contains("relative")) {
      family.rule.relative = tolerance_value(entry["relative"], where + ".relative");
    }
    if (entry.contains("absolute")) {
      family.rule.absolute = tolerance_value(entry["absolute"], where + ".absolute");
    }
    if (entry.contains("size"))
      family.rule.size_relative = tolerance_value(entry["size"], where + ".size");
  }
}

void Rules::apply_file(const std::filesystem::path &file) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    throw std::runtime_error("cannot read rules file " + file.string() + ": Is a directory");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read rules file " + file.string());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read rules file " + file.string());
  apply_json(text, file.string());
}

}  // namespace vettra::compare
