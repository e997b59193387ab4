/* The <PartHeader> element of the report: the work part's command-line name,
 * save history, units, description, attributes and expressions. Also the
 * reader of a string attribute that the assembly section uses. Everything is
 * only read from the host. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* Line numbers handed to record_error; they end up in result messages. */
static const int LINE_READ_ATTRIBUTE = 1059;
static const int LINE_CREATE_HISTORY = 1272;
static const int LINE_CLEAR_HISTORY = 1273;
static const int LINE_ASK_HISTORY = 1274;
static const int LINE_COUNT_HISTORY = 1275;

static const int ATTRIBUTE_NOT_READ = 4711; /* object not alive or argument missing */

#define NAME_SIZE 256        /* part name, managed name fields, expression parts */
#define CLI_NAME_SIZE 516    /* "@DB/..." command-line name */
#define HISTORY_TIME_SIZE 21 /* "30 Jan 13 09:05" */

static const char *const INDENT_6 = "      ";
static const char *const INDENT_10 = "          ";
static const char EXPRESSION_DELIMITER = '='; /* name "=" value text */

/* ---- command-line name ---- */

int write_cli_name(const char *path) {
  char part_name[NAME_SIZE] = "";
  char part_number[NAME_SIZE] = "";
  char rev_id[NAME_SIZE] = "";
  char part_file_type[NAME_SIZE] = "";
  char part_file_name[NAME_SIZE] = "";
  char cli_name[CLI_NAME_SIZE] = "";

  ZK_PART_ask_part_name(ZK_ASSEM_ask_work_part(), part_name);
  if (is_pdm_active()) {
    ZK_VQMGR_decode_part_filename(part_name, part_number, rev_id, part_file_type, part_file_name);
    FORMAT(cli_name, "@DB/%s/%s/%s/%s", part_number, rev_id, part_file_type, part_file_name);
  } else {
    COPY(cli_name, part_name);
  }
  return write_fmt(path, "      <CliName>[%s]</CliName>", cli_name);
}

/* ---- save history ---- */

/* Renders a save time as "30 Jan 13 09:05" in local time. */
static void format_history_time(int seconds, char out[HISTORY_TIME_SIZE]) {
  time_t when = (time_t)seconds;
  struct tm local;
  out[0] = '\0';
  if (localtime_r(&when, &local) == NULL) return;
  if (strftime(out, HISTORY_TIME_SIZE, "%d %b %y %H:%M", &local) == 0) out[0] = '\0';
}

/* Writes entry `index` (from 0) as the element PartHistory_<index + 1>. An
 * entry the host cannot give is written with empty texts and number 0, so the
 * elements always match PartHistoryNum. Each text is released exactly once:
 * the pointers start as none for every entry. */
static void write_history_entry(const char *path, ZK_history_list_t list, int index) {
  char *program = NULL;
  char *user = NULL;
  char *machine = NULL;
  int version = 0;
  int seconds = 0;
  char time_text[HISTORY_TIME_SIZE] = "";
  char element[NAME_SIZE] = "";

  if (ZK_PART_ask_nth_history(list, index, &program, &user, &machine, &version, &seconds) == 0) {
    format_history_time(seconds, time_text);
  } else {
    version = 0;
  }
  FORMAT(element, "PartHistory_%d", index + 1);
  write_element(path, INDENT_6, element, "%d %s %s %s %s", version, time_text,
                machine ? machine : "", user ? user : "", program ? program : "");
  ZK_free(program);
  ZK_free(user);
  ZK_free(machine);
}

int write_part_history(const char *path) {
  ZK_history_list_t list = NULL;
  int count = 0;
  tag_t part = ZK_ASSEM_ask_work_part();

  record_error(ZK_PART_create_history_list(&list), LINE_CREATE_HISTORY, SOURCE_UTILS);
  record_error(ZK_PART_clear_history_list(list), LINE_CLEAR_HISTORY, SOURCE_UTILS);
  record_error(ZK_PART_ask_part_history(part, list), LINE_ASK_HISTORY, SOURCE_UTILS);
  if (record_error(ZK_PART_ask_num_histories(list, &count), LINE_COUNT_HISTORY, SOURCE_UTILS) !=
          0 ||
      count < 0) {
    count = 0;
  }
  write_fmt(path, "      <PartHistoryNum>%d</PartHistoryNum>", count);
  for (int i = 0; i < count; i++) write_history_entry(path, list, i);
  if (list != NULL) ZK_PART_delete_history_list(list);
  return 0;
}

/* ---- units and description ---- */

int write_units(const char *path) {
  int units = 0;
  ZK_PART_ask_units(ZK_ASSEM_ask_work_part(), &units);
  if (units == ZK_PART_METRIC) return write_fmt(path, "      <Units>%s</Units>", "METRIC");
  if (units == ZK_PART_ENGLISH) return write_fmt(path, "      <Units>%s</Units>", "ENGLISH");
  return write_fmt(path, "      <Units>%d</Units>", units);
}

int write_description(const char *path) {
  char *description = NULL;
  ZK_PART_ask_description(ZK_ASSEM_ask_work_part(), &description);
  if (description == NULL) {
    return write_fmt(path, "      <PartDescription>%s</PartDescription>", "No_description");
  }
  write_fmt(path, "      <PartDescription>%s</PartDescription>", description);
  ZK_free(description);
  return 0;
}

/* ---- attributes ---- */

/* Writes the "Value" element of one attribute by its type; other types have
 * no value line. */
static void write_attribute_value(const char *path, const ZK_ATTR_value_t *value) {
  switch (value->type) {
    case ZK_ATTR_string:
      write_element(path, INDENT_10, "Value", "%s", value->value.string ? value->value.string : "");
      break;
    case ZK_ATTR_real:
      write_element(path, INDENT_10, "Value", "%lf", value->value.real);
      break;
    case ZK_ATTR_integer:
      write_element(path, INDENT_10, "Value", "%d", value->value.integer);
      break;
    case ZK_ATTR_time:
      write_element(path, INDENT_10, "Value", "%d %d", value->value.time[0], value->value.time[1]);
      break;
    default:
      break;
  }
}

int write_attributes(const char *path) {
  int sum = write_line(path, "      <Attributes>");
  tag_t part = ZK_ASSEM_ask_work_part();
  int count = 0;

  if (part != NULL_TAG) ZK_ATTR_count_attributes(part, ZK_ATTR_any, &count);
  /* The count bounds the cycle, so a host that never returns index 0 cannot
   * keep the section writing. */
  int index = 0;
  for (int seen = 0; part != NULL_TAG && seen < count; seen++) {
    char title[ZK_ATTR_TITLE_BUFSIZE] = "";
    ZK_ATTR_value_t value;
    memset(&value, 0, sizeof(value));
    ZK_ATTR_cycle(part, &index, ZK_ATTR_any, title, &value);
    if (index == 0) break;
    write_line(path, "        <Attribute>");
    write_element(path, INDENT_10, "Titel", "%s", title);
    write_attribute_value(path, &value);
    write_line(path, "        </Attribute>");
  }
  return sum + write_line(path, "      </Attributes>");
}

/* ---- expressions ---- */

/* Writes one <Expression> block: the name before the first "=", the value
 * text up to a second "=", and the numeric value. */
static void write_expression(const char *path, tag_t expression) {
  char *text = NULL;
  char name[NAME_SIZE] = "";
  char value_text[NAME_SIZE] = "";
  double value = 0.0;

  ZK_MODL_ask_exp_tag_string(expression, &text);
  nth_field(text ? text : "", 0, EXPRESSION_DELIMITER, name, sizeof(name));
  nth_field(text ? text : "", 1, EXPRESSION_DELIMITER, value_text, sizeof(value_text));
  write_line(path, "        <Expression>");
  write_fmt(path, "          <Name>%s</Name>", name);
  write_element(path, INDENT_10, "Value", "%s", value_text);
  ZK_free(text);
  ZK_MODL_ask_exp_tag_value(expression, &value);
  write_fmt(path, "          <RealValue>%lf</RealValue>", value);
  write_line(path, "        </Expression>");
}

int write_expressions(const char *path) {
  int sum = write_line(path, "      <Expressions>");
  int count = 0;
  tag_t *expressions = NULL;

  ZK_MODL_ask_exps_of_part(ZK_ASSEM_ask_work_part(), &count, &expressions);
  if (expressions != NULL) {
    for (int i = 0; i < count; i++) write_expression(path, expressions[i]);
    ZK_free(expressions);
  }
  return sum + write_line(path, "      </Expressions>");
}

/* ---- the section ---- */

int write_part_header(const char *path) {
  int sum = write_line(path, "    <PartHeader>");
  sum += write_cli_name(path);
  sum += write_part_history(path);
  sum += write_units(path);
  sum += write_description(path);
  sum += write_attributes(path);
  sum += write_expressions(path);
  return sum + write_line(path, "    </PartHeader>");
}

/* ---- string attribute reader ---- */

int read_string_attribute(tag_t object, const char *title, char *buffer, unsigned long size) {
  if (buffer != NULL && size > 0) buffer[0] = '\0';
  if (ZK_OBJ_ask_status(object) != ZK_OBJ_ALIVE || object == NULL_TAG || title == NULL ||
      buffer == NULL || size == 0) {
    return ATTRIBUTE_NOT_READ;
  }
  /* The host writes up to its own capacity; read into a buffer of that size
   * and hand the caller what fits. */
  char text[ZK_ATTR_STRING_BUFSIZE] = "";
  ZK_ATTR_value_t value;
  memset(&value, 0, sizeof(value));
  value.type = ZK_ATTR_string;
  value.value.string = text;
  int code = ZK_ATTR_read_value(object, title, ZK_ATTR_string, &value);
  record_error(code, LINE_READ_ATTRIBUTE, SOURCE_UTILS);
  copy_text(buffer, size, text);
  return code;
}
