// The run configuration and load option tables, and the checks that keep a
// value within its field: a text longer than its field is refused, never cut.
#include "fields.hpp"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "boundary/run_config.h"

namespace orvel::cli {

namespace {

#define RC_TEXT(opt, member, help)                                                                \
  Field {                                                                                         \
    opt, #member, FieldKind::Text, offsetof(run_config, member), sizeof(run_config::member), help \
  }
#define RC_INT(opt, member, help)                                       \
  Field {                                                               \
    opt, #member, FieldKind::Int, offsetof(run_config, member), 0, help \
  }
#define RC_DOUBLE(opt, member, help)                                       \
  Field {                                                                  \
    opt, #member, FieldKind::Double, offsetof(run_config, member), 0, help \
  }
#define LOAD_INT(opt, member, help)                                             \
  Field {                                                                       \
    opt, #member, FieldKind::Int, offsetof(ZK_ASSEM_options_t, member), 0, help \
  }

// Plain decimal notation only: an optional "-", digits, optionally a
// fraction and (for numbers) an exponent. strtoll and strtod take more (white
// space, "+", hexadecimal, "nan", "inf"), which a setting must not be.
size_t skip_digits(const std::string &text, size_t at) {
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

bool is_decimal_integer(const std::string &text) {
  size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
  size_t end = skip_digits(text, at);
  return end > at && end == text.size();
}

bool is_decimal_number(const std::string &text) {
  size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
  size_t end = skip_digits(text, at);
  size_t digits = end - at;
  if (end < text.size() && text[end] == '.') {
    size_t fraction = skip_digits(text, end + 1);
    digits += fraction - end - 1;
    end = fraction;
  }
  if (digits == 0) return false;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
    end = skip_digits(text, exponent);
    if (end == exponent) return false;
  }
  return end == text.size();
}

bool parse_int(const std::string &text, int32_t &value) {
  if (!is_decimal_integer(text)) return false;
  errno = 0;
  char *end = nullptr;
  long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

bool parse_double(const std::string &text, double &value) {
  if (!is_decimal_number(text)) return false;
  errno = 0;
  char *end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && *end == '\0' && std::isfinite(value);
}

}  // namespace

const std::vector<Field> &run_config_fields() {
  static const std::vector<Field> fields = {
      RC_TEXT("part-list", part_list_file, "file naming one part to check per line"),
      RC_TEXT("result-file", result_file, "result file, one record per part"),
      RC_TEXT("outdir", outdir, "directory of the report files"),
      RC_TEXT("single-part", single_part, "the one part to check"),
      RC_TEXT("cgm-dir", cgm_dir, "directory of the CGM export (export only when set)"),
      RC_TEXT("drawing-filter", drawing_filter,
              "drawings the views update and the CGM export work on: empty or without _All_ means "
              "every drawing; a text holding _All_ means only the drawing named by the whole text"),
      RC_TEXT("detail-option", detail_option,
              "object type numbers for the entities section, comma-separated (e.g. 25,26); empty: "
              "no entities section"),
      RC_TEXT("action", action,
              "report sections to write: ModelGetData, AssemblyGetData, DrawingGetData in any "
              "combination (empty: all), or CgmImportToOrvelPartFile"),
      RC_TEXT("cgm-target-part", cgm_target_part, "part file the CGM import saves"),
      RC_TEXT("cgm1-file", cgm1_file, "first CGM file to import"),
      RC_INT("update-views", update_views,
             "update the views of the drawings before the report when not 0"),
      RC_INT("update-features", update_features,
             "update all features of the part before the report when not 0"),
      RC_INT("update-structure", update_structure,
             "synchronise the assembly structure before the report when not 0"),
      RC_TEXT("cgm2-file", cgm2_file, "second CGM file to import"),
      RC_TEXT("cgm-mode", cgm_mode, "CGM export mode: -1 old export, 3 black on white"),
      RC_INT("snapshot", do_snapshot,
             "take a drawing snapshot after each check when 1 (any other value: none)"),
      RC_INT("save", do_save,
             "save each checked part back to its part file when 1 (any other value: no save)"),
      RC_INT("verbose", verbose, "numbered trace lines when not 0"),
      RC_INT("console-output", console_output, "enable the gated log channels when not 0"),
      RC_INT("log-channel", log_channel, "0 listing window, 1 system log, 2 standard output"),
      RC_TEXT("cgm-template-part", cgm_template_part, "template part of the CGM import"),
      RC_INT("cgm1-color", cgm1_color, "colour of the first CGM file's objects"),
      RC_INT("cgm2-color", cgm2_color, "colour of the second CGM file's objects"),
      RC_INT("cgm1-layer", cgm1_layer, "layer of the first CGM file"),
      RC_INT("cgm2-layer", cgm2_layer, "layer of the second CGM file"),
      RC_DOUBLE("cgm-offset-x", cgm_offset_x, "X shift of the second CGM file's objects"),
      RC_DOUBLE("cgm-offset-y", cgm_offset_y, "Y shift of the second CGM file's objects"),
  };
  return fields;
}

const std::vector<Field> &load_option_fields() {
  static const std::vector<Field> fields = {
      LOAD_INT("load-options", load_options,
               "where components load from: 0 directory, 1 search dirs, 2 as saved"),
      LOAD_INT("parts-list", parts_list, "parts list"),
      LOAD_INT("update", update, "0 no update report, 1 update report"),
      LOAD_INT("emphasize", emphasize, "0 or 1: emphasize the work part"),
      LOAD_INT("emphasize-color", emphasize_color, "colour of the emphasis"),
      LOAD_INT("failure-action", failure_action, "0 abort on failure, 1 do not abort"),
      LOAD_INT("maintain-work-part", maintain_work_part, "0 or 1"),
      LOAD_INT("load-latest", load_latest, "0 exact version, 1 latest version"),
      LOAD_INT("load-components", load_components, "0 none, 1 all, 2 last set, 3/4 filters"),
      LOAD_INT("load-fully", load_fully, "0 partially, 1 fully"),
      LOAD_INT("load-substitution", load_substitution, "0 or 1: allow substitution"),
      LOAD_INT("apply-to-all-levels", apply_to_all_levels, "0 or 1"),
      LOAD_INT("load-wave-data", load_wave_data, "0 default, 1 load wave data"),
      LOAD_INT("load-wave-parents", load_wave_parents, "0 none, 1 immediate, 2 all"),
  };
  return fields;
}

const Field *find_field(const std::vector<Field> &fields, const std::string &name) {
  for (const Field &field : fields) {
    if (name == field.option || name == field.member) return &field;
  }
  return nullptr;
}

std::string check_value(const Field &field, const std::string &value) {
  std::string option = std::string("--") + field.option;
  switch (field.kind) {
    case FieldKind::Text:
      if (value.size() >= field.capacity) {
        return option + ": value of " + std::to_string(value.size()) +
               " characters refused: the field holds at most " +
               std::to_string(field.capacity - 1) + " characters";
      }
      if (value.find('\0') != std::string::npos) return option + ": value holds a NUL character";
      return "";
    case FieldKind::Int: {
      int32_t parsed;
      if (!parse_int(value, parsed)) {
        return option + ": '" + value + "' is not a 32-bit integer";
      }
      return "";
    }
    case FieldKind::Double: {
      double parsed;
      if (!parse_double(value, parsed)) return option + ": '" + value + "' is not a number";
      return "";
    }
  }
  return option + ": unknown field kind";
}

void FieldValues::set(const std::string &name, const std::string &value) {
  const Field *field = find_field(*fields_, name);
  if (!field) throw std::invalid_argument("unknown setting '" + name + "'");
  std::string complaint = check_value(*field, value);
  if (!complaint.empty()) throw std::invalid_argument(complaint);
  values_[field->option] = value;
}

std::string FieldValues::get(const std::string &name) const {
  const Field *field = find_field(*fields_, name);
  if (!field) return "";
  auto found = values_.find(field->option);
  return found == values_.end() ? "" : found->second;
}

void FieldValues::apply(void *record) const {
  char *base = static_cast<char *>(record);
  for (const auto &[name, value] : values_) {
    const Field &field = *find_field(*fields_, name);
    char *target = base + field.offset;
    switch (field.kind) {
      case FieldKind::Text:
        // check_value has made sure the text and its NUL fit.
        std::memset(target, 0, field.capacity);
        std::memcpy(target, value.c_str(), value.size());
        break;
      case FieldKind::Int: {
        int32_t parsed = 0;
        parse_int(value, parsed);
        std::memcpy(target, &parsed, sizeof parsed);
        break;
      }
      case FieldKind::Double: {
        double parsed = 0;
        parse_double(value, parsed);
        std::memcpy(target, &parsed, sizeof parsed);
        break;
      }
    }
  }
}

}  // namespace orvel::cli
