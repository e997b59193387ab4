// Report reading with libxml2. The plug-in writes some values unescaped by design, so a
// report may be ill-formed; it is then read in the parser's recovery mode and marked.
#include "report_tree.hpp"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <unordered_map>

namespace vettra::compare {
namespace {

// First error the parser met, and how many there were.
struct ParseErrors {
  int count = 0;
  std::string first;
};

void collect_error(void *data, xmlErrorPtr error) {
  auto *ctxt = static_cast<xmlParserCtxtPtr>(data);
  auto *errors = static_cast<ParseErrors *>(ctxt->_private);
  if (errors == nullptr || error == nullptr || error->level == XML_ERR_WARNING) return;
  if (errors->count++ == 0) {
    std::string message = error->message ? error->message : "parse error";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
      message.pop_back();
    }
    errors->first = "line " + std::to_string(error->line) + ": " + message;
  }
}

struct CtxtFree {
  void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

std::string_view trim_right(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool is_blank(std::string_view text) {
  return trim_right(text).empty();
}

std::string to_text(const xmlChar *text) {
  return text ? std::string(reinterpret_cast<const char *>(text)) : std::string();
}

// The value a record is known by: its Handle, else its Name, else its Titel.
const Node *identity_child(const Node &node) {
  for (const char *name : {"Handle", "Name", "Titel"}) {
    for (const Node &child : node.children) {
      if (child.leaf && child.name == name) return &child;
    }
  }
  return nullptr;
}

bool is_number(const std::string &text) {
  if (text.empty()) return false;
  char *end = nullptr;
  std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

// Keys the children of `node`: records by identity, repeated names (a set) by value,
// other repeated elements and repeated numbers by position; a key met twice gets "#2".
void assign_keys(Node &node) {
  std::unordered_map<std::string, int> name_count;
  for (const Node &child : node.children) ++name_count[child.name];
  std::unordered_map<std::string, int> position;
  std::unordered_map<std::string, int> seen;
  for (Node &child : node.children) {
    const int nth = ++position[child.name];
    if (const Node *id = child.leaf ? nullptr : identity_child(child)) {
      child.key = child.name + "[" + id->text + "]";
    } else if (name_count[child.name] > 1) {
      const bool by_value = child.leaf && !is_number(child.text);
      child.key = child.name + "[" + (by_value ? child.text : std::to_string(nth)) + "]";
    } else {
      child.key = child.name;
    }
    const int again = ++seen[child.key];
    if (again > 1) child.key += "#" + std::to_string(again);
  }
}

Node build_node(xmlNodePtr element) {
  Node node;
  node.name = to_text(element->name);
  if (element->ns != nullptr && element->ns->prefix != nullptr) {
    node.name = to_text(element->ns->prefix) + ":" + node.name;
  }
  for (xmlAttrPtr attr = element->properties; attr != nullptr; attr = attr->next) {
    Node leaf;
    leaf.name = "@";
    if (attr->ns != nullptr && attr->ns->prefix != nullptr) {
      leaf.name += to_text(attr->ns->prefix) + ":";
    }
    leaf.name += to_text(attr->name);
    xmlChar *value = xmlNodeListGetString(element->doc, attr->children, 1);
    leaf.text = to_text(value);
    xmlFree(value);
    leaf.leaf = true;
    node.children.push_back(std::move(leaf));
  }
  std::string text;
  bool has_elements = false;
  for (xmlNodePtr child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      has_elements = true;
      node.children.push_back(build_node(child));
    } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      text += to_text(child->content);
    }
  }
  if (!has_elements) {
    node.leaf = node.children.empty();
    node.text = std::move(text);
    if (!node.leaf) {  // an element with attributes and a value: the value is a leaf too
      Node value;
      value.name = "#text";
      value.text = node.text;
      value.leaf = true;
      node.children.push_back(std::move(value));
    }
  }
  assign_keys(node);
  return node;
}

// Reports nest a dozen levels; a file nested far deeper is not one, and reading it
// recursively would exhaust the stack.
constexpr int deepest_report = 256;

// How deeply elements nest below `root`, counted without recursion and given up past
// `limit`.
int element_depth(xmlNodePtr root, int limit) {
  int depth = 1;
  int deepest = 1;
  xmlNodePtr node = root;
  while (node != nullptr) {
    xmlNodePtr child = node->children;
    while (child != nullptr && child->type != XML_ELEMENT_NODE) child = child->next;
    if (child != nullptr) {
      node = child;
      deepest = std::max(deepest, ++depth);
      if (deepest > limit) return deepest;
      continue;
    }
    // No element below: the next element sibling here or of an ancestor.
    while (node != nullptr && node != root) {
      xmlNodePtr next = node->next;
      while (next != nullptr && next->type != XML_ELEMENT_NODE) next = next->next;
      if (next != nullptr) {
        node = next;
        break;
      }
      node = node->parent;
      --depth;
    }
    if (node == root) break;
  }
  return deepest;
}

Report unreadable(std::string message) {
  Report report;
  report.state = ReadState::unreadable;
  report.message = std::move(message);
  return report;
}

}  // namespace

void init_xml_library() {
  xmlInitParser();
}

Report parse_report(std::string_view content, const std::string &name) {
  if (is_blank(content)) return unreadable("empty file");
  if (content.find('\0') != std::string_view::npos) {
    return unreadable("binary file, not a report");
  }
  if (content.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    return unreadable("too large to be a report (" + std::to_string(content.size()) + " bytes)");
  }
  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt) return unreadable("out of memory while reading");
  ParseErrors errors;
  ctxt->_private = &errors;
  ctxt->sax->serror = collect_error;
  const int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR |
                      XML_PARSE_NOWARNING | XML_PARSE_HUGE;
  std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), content.data(),
                                                         static_cast<int>(content.size()),
                                                         name.c_str(), nullptr, options));
  xmlNodePtr root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr) {
    return unreadable("not XML" + (errors.first.empty() ? "" : " (" + errors.first + ")"));
  }
  const std::string root_name = to_text(root->name);
  if (root_name != report_root) {
    return unreadable("not a Vettra report: its root element is <" + root_name + ">");
  }
  const std::string end_tag = "</" + std::string(report_root) + ">";
  const std::string_view body = trim_right(content);
  if (body.size() < end_tag.size() || body.substr(body.size() - end_tag.size()) != end_tag) {
    return unreadable("truncated report: it does not end with " + end_tag);
  }
  if (element_depth(root, deepest_report) > deepest_report) {
    return unreadable("not a Vettra report: elements nested more than " +
                      std::to_string(deepest_report) + " deep");
  }
  Report report;
  report.bytes = content.size();
  report.root = build_node(root);
  report.root.key = report.root.name;
  if (ctxt->wellFormed) {
    report.state = ReadState::ok;
  } else {
    report.state = ReadState::recovered;
    report.message = "read with recovery (" + std::to_string(errors.count) +
                     (errors.count == 1 ? " error, " : " errors, first ") + errors.first + ")";
  }
  return report;
}

Report read_report(const std::filesystem::path &file) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    return unreadable("cannot read " + file.string() + ": Is a directory");
  }
  std::string content;
  try {
    std::ifstream in(file, std::ios::binary);
    if (!in) return unreadable("cannot read " + file.string() + ": " + std::strerror(errno));
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return unreadable("cannot read " + file.string() + ": " + std::strerror(errno));
  } catch (const std::exception &failure) {  // a read error inside the stream buffer
    return unreadable("cannot read " + file.string() + ": " + failure.what());
  }
  Report report = parse_report(content, file.string());
  report.bytes = content.size();
  return report;
}

}  // namespace vettra::compare
