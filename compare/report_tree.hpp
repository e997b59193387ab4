// Reads one report into a tree of keyed elements: records that carry an identity
// (a Handle, Name or Titel child) are keyed by it, so that two reports can be matched
// element by element whatever the order of their records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vettra::compare {

// One element (or attribute, name starting with "@") of a report.
struct Node {
  std::string name;  // element name, "@" + name for an attribute
  std::string key;   // name plus identity in brackets, unique among its siblings
  std::string text;  // the value of a leaf
  bool leaf = false;
  std::vector<Node> children;
};

enum class ReadState { ok, recovered, unreadable };

struct Report {
  ReadState state = ReadState::unreadable;
  std::string message;  // why it is unreadable, or what the recovery repaired
  Node root;
  std::uintmax_t bytes = 0;
};

// The root element every report has.
inline constexpr std::string_view report_root = "Trellum_VettraData";

// Parses a report held in memory. `name` only labels the messages.
Report parse_report(std::string_view content, const std::string &name);

// Reads and parses the report at `file`; never throws for bad input.
Report read_report(const std::filesystem::path &file);

// Prepares the XML library for use from several threads; call once from main.
void init_xml_library();

}  // namespace vettra::compare
