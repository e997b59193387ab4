/* The <Entities> element of the report: every object of the work part whose
 * type number the run configuration's detail option lists, with its handle,
 * name, type and status, its general properties and, for dimensions and
 * drafting entities, its origin, associated objects and text blocks line by
 * line. Only reads from the host. */
#include <stdio.h>
#include <string.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* Line numbers handed to record_error; they end up in result messages. */
static const int LINE_ASSOCIATIVITY = 2211;
static const int LINE_FREE_TEXT = 2301;

/* Type numbers the detail option can select. */
#define TYPE_TABLE_SIZE 1000
static const int FIRST_SELECTABLE_TYPE = 1;
static const int LAST_SELECTABLE_TYPE = 999;

/* A drafting entity of this subtype gets only the general properties. */
static const int PLAIN_DRAFTING_SUBTYPE = 37;

#define FIELD_SIZE 256 /* one field of the detail option */
#define NAME_SIZE 256  /* object name */

static const char DETAIL_DELIMITER = ',';
static const char *const NO_OBJECT = "(null)";
static const char *const TEXT_INDENT = "                ";

int count_fields(const char *text, char delimiter) {
  int count = 1;
  for (const char *p = text; p != NULL && *p != '\0'; p++) {
    if (*p == delimiter) count++;
  }
  return count;
}

/* Length of field `index` of text, counted to the next delimiter. */
static size_t field_length(const char *text, int index, char delimiter) {
  const char *p = text;
  for (int i = 0; i < index && p != NULL; i++) {
    p = strchr(p, delimiter);
    if (p != NULL) p++;
  }
  if (p == NULL) return 0;
  const char *end = strchr(p, delimiter);
  return end != NULL ? (size_t)(end - p) : strlen(p);
}

/* Sets the flags of the type numbers listed in `detail_option`. A field that
 * is empty, does not read as a number or lies outside 1 to 999 selects
 * nothing; so does a field too long for the field buffer, since a cut field
 * could read as another number. */
static void select_types(const char *detail_option, char selected[TYPE_TABLE_SIZE]) {
  memset(selected, 0, TYPE_TABLE_SIZE);
  int fields = count_fields(detail_option, DETAIL_DELIMITER);
  for (int i = 0; i < fields; i++) {
    char field[FIELD_SIZE] = "";
    if (field_length(detail_option, i, DETAIL_DELIMITER) >= sizeof(field)) continue;
    nth_field(detail_option, i, DETAIL_DELIMITER, field, sizeof(field));
    int value = 0;
    if (field[0] == '\0' || sscanf(field, "%d", &value) != 1) continue;
    if (value >= FIRST_SELECTABLE_TYPE && value <= LAST_SELECTABLE_TYPE) selected[value] = 1;
  }
}

static int is_selected(const char selected[TYPE_TABLE_SIZE], int type) {
  return type >= FIRST_SELECTABLE_TYPE && type <= LAST_SELECTABLE_TYPE && selected[type];
}

static void write_coordinates(const char *path, const double xyz[3]) {
  write_fmt(path, "            <X>%lf</X>", xyz[0]);
  write_fmt(path, "            <Y>%lf</Y>", xyz[1]);
  write_fmt(path, "            <Z>%lf</Z>", xyz[2]);
}

static void write_origin(const char *path, tag_t object) {
  double origin[3] = {0.0, 0.0, 0.0};
  ZK_DRF_ask_origin(object, origin);
  write_line(path, "            <Origin>");
  write_coordinates(path, origin);
  write_line(path, "            </Origin>");
  write_line(path, "            <TextboxOrigin>");
  write_coordinates(path, origin);
  write_line(path, "            </TextboxOrigin>");
  write_fmt(path, "            <TextboxLength>%lf</TextboxLength>", 0.0);
  write_fmt(path, "            <TextboxHeight>%lf</TextboxHeight>", 0.0);
}

/* An associated object that is no longer alive shows as "(null)". */
static void write_associated(const char *path, const char *format, tag_t object) {
  if (ZK_OBJ_ask_status(object) <= ZK_OBJ_DELETED) {
    write_fmt(path, format, NO_OBJECT);
  } else {
    write_fmt(path, format, ZK_TAG_ask_handle_of_tag(object));
  }
}

static void write_associativity(const char *path, tag_t object) {
  int count = 0;
  tag_t *data = NULL;
  record_error(ZK_DRF_ask_associativity_data(object, &count, &data), LINE_ASSOCIATIVITY,
               SOURCE_UTILS);
  write_fmt(path, "            <AssociativesNum>%d</AssociativesNum>", count);
  if (count == 0) return;
  /* The host hands out at least two words whenever the count is not 0. */
  write_associated(path, "             <AssocEnt1>%s</AssocEnt1>", data ? data[0] : NULL_TAG);
  write_associated(path, "             <AssocEnt2>%s</AssocEnt2>", data ? data[1] : NULL_TAG);
  ZK_free(data);
}

/* One text line: a sketch dimension shows its value, anything else the
 * line's own text. */
static void write_drafting_text(const char *path, tag_t object, const char *text) {
  int dim_kind = 0;
  char dim_text[ZK_SKET_DIM_TEXT_BUFSIZE] = "";
  double dim_value = 0.0;
  int dim_state = -1;
  if (ZK_SKET_ask_dim_status(object, &dim_kind, dim_text, &dim_value, &dim_state) == 0) {
    write_element(path, TEXT_INDENT, "Text", "%lf", dim_value);
  } else {
    write_element(path, TEXT_INDENT, "Text", "%s", text != NULL ? text : "");
  }
}

static void write_text_block(const char *path, tag_t object, const ZK_DRF_draft_aid_text_t *block) {
  write_line(path, "              <TextInfo>");
  write_fmt(path, "               <TextType>%d</TextType>", block->text_type);
  write_fmt(path, "               <TextFont>%d</TextFont>", block->text_font);
  write_fmt(path, "               <TextSize>%lf</TextSize>", block->text_size);
  write_fmt(path, "               <TextAngle>%lf</TextAngle>", block->text_angle);
  write_fmt(path, "               <TextNumLines>%d</TextNumLines>", block->num_lines);
  write_line(path, "               <Texts>");
  for (int i = 0; block->lines != NULL && i < block->num_lines; i++) {
    write_drafting_text(path, object, block->lines[i].text);
  }
  write_line(path, "               </Texts>");
  write_line(path, "              </TextInfo>");
}

static void write_text_blocks(const char *path, tag_t object) {
  int count = 0;
  ZK_DRF_draft_aid_text_t *blocks = NULL;
  ZK_DRF_ask_draft_aid_text_info(object, &count, &blocks);
  write_fmt(path, "             <TextBlocksN>%d</TextBlocksN>", count);
  if (count == 0) return;
  for (int i = 0; blocks != NULL && i < count; i++) write_text_block(path, object, &blocks[i]);
  record_error(ZK_DRF_free_text(count, &blocks), LINE_FREE_TEXT, SOURCE_UTILS);
}

static int has_drafting_details(int type, int subtype) {
  return type == ZK_dimension_type ||
         (type == ZK_drafting_entity_type && subtype != PLAIN_DRAFTING_SUBTYPE);
}

int write_entity_details(const char *path, int type, int subtype, tag_t object) {
  logical displayable = 0;
  logical transferable = 0;
  ZK_OBJ_is_displayable(object, &displayable);
  write_fmt(path, "            <Displayable>%d</Displayable>", (int)displayable);
  ZK_OBJ_is_transferable(object, &transferable);
  write_fmt(path, "            <Tansferable>%d</Tansferable>", (int)transferable);
  int dependency = 0;
  char view_dependency[ZK_VIEW_DEPENDENCY_BUFSIZE] = "";
  zc6409(object, &dependency, view_dependency);
  write_fmt(path, "            <ViewDependent>%s</ViewDependent>", view_dependency);
  if (!has_drafting_details(type, subtype)) return 0;
  write_origin(path, object);
  write_associativity(path, object);
  write_text_blocks(path, object);
  return 0;
}

/* `name` is the section's name buffer: cleared once, so an object whose name
 * cannot be read shows the last name read. */
static void write_entity(const char *path, tag_t object, int type, int subtype, char *name) {
  write_fmt(path, "         <Entity xsi:type=\"Entity_Type%d_SubType%d\">", type, subtype);
  write_fmt(path, "          <Handle>%s</Handle>", ZK_TAG_ask_handle_of_tag(object));
  ZK_OBJ_ask_name(object, name);
  write_fmt(path, "          <Name>%s</Name>", name);
  write_fmt(path, "          <Type>%d</Type>", type);
  write_fmt(path, "          <Subtype>%d</Subtype>", subtype);
  write_fmt(path, "          <Status>%d</Status>", ZK_OBJ_ask_status(object));
  if (ZK_OBJ_ask_status(object) >= 0) write_entity_details(path, type, subtype, object);
  write_line(path, "         </Entity>");
}

int write_entities(const char *path, const char *detail_option) {
  char selected[TYPE_TABLE_SIZE];
  char name[NAME_SIZE] = "";
  select_types(detail_option, selected);
  write_line(path, "        <Entities>");
  tag_t part = ZK_ASSEM_ask_work_part();
  for (tag_t object = ZK_OBJ_cycle_all(part, NULL_TAG); object != NULL_TAG;
       object = ZK_OBJ_cycle_all(part, object)) {
    if (ZK_ASSEM_is_occurrence(object)) continue;
    int type = 0;
    int subtype = 0;
    ZK_OBJ_ask_type_and_subtype(object, &type, &subtype);
    if (!is_selected(selected, type)) continue;
    write_entity(path, object, type, subtype, name);
  }
  write_line(path, "       </Entities>");
  return 0;
}
