// The values the orvel command hands on: the plug-in's run configuration
// fields (batch runs) and the host's assembly load options. Each field is
// named once here, with the option that sets it, its kind and its place in
// the record, so that options, job files and help texts share one table.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "orvel/zk_assem.h"

struct run_config;

namespace orvel::cli {

enum class FieldKind { Text, Int, Double };

struct Field {
  const char *option;  // option name without "--", also the job file name
  const char *member;  // the record's member
  FieldKind kind;
  std::size_t offset;    // of the member in its record
  std::size_t capacity;  // bytes of a text member, terminating NUL included
  const char *help;
};

// The run configuration fields, in the record's order.
const std::vector<Field> &run_config_fields();
// The assembly load option fields, in the record's order.
const std::vector<Field> &load_option_fields();

// Looks a field up by its option name or its member name ("single-part" or
// "single_part"); nullptr when there is none.
const Field *find_field(const std::vector<Field> &fields, const std::string &name);

// Checks that `value` fits `field`: a text within its capacity, an integer
// within 32 bits, a number. Returns the complaint, empty when it fits; the
// complaint names the option as "--name".
std::string check_value(const Field &field, const std::string &value);

// Field values collected from job files and options, by option name; a later
// value replaces an earlier one.
class FieldValues {
 public:
  explicit FieldValues(const std::vector<Field> &fields) : fields_(&fields) {}
  // Sets a value after checking it; throws std::invalid_argument with the
  // complaint when it does not fit or the name is unknown.
  void set(const std::string &name, const std::string &value);
  bool empty() const { return values_.empty(); }
  // The value set for the field named `name`, empty when none was set.
  std::string get(const std::string &name) const;
  // Writes every value into the record at `record` (bounded copies).
  void apply(void *record) const;

 private:
  const std::vector<Field> *fields_;
  std::map<std::string, std::string> values_;
};

}  // namespace orvel::cli
