/* The <AssemblyData> element of the report: the arrangements of the work part
 * and one <Component> record for every component at every depth, with its
 * file, handles, suppression, attributes, level, members, arrangement in use,
 * mating data (level 1 only) and placement. Only reads from the host. */
#include <string.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"

/* Line numbers handed to record_error; they end up in result messages. */
static const int LINE_ACTIVE_ARRANGEMENT_NAME = 1790;
static const int LINE_ARRANGEMENTS = 1797;
static const int LINE_ARRANGEMENT_NAME = 1805;
static const int LINE_COMPONENT_DATA = 1822;
static const int LINE_MEMBER_COUNT = 1873;
static const int LINE_USED_ARRANGEMENT_NAME = 1889;
static const int LINE_MATING_DATA = 1904;
static const int LINE_MATING_CHECK = 1910;

/* Component attributes the record shows. */
static const char *const REFERENCE_COMPONENT_TITLE = "REFERENCE_COMPONENT";
static const char *const VQ_GEOMETRY_TITLE = "VQ GEOMETRY";
static const char *const CALLOUT_TITLE = "CALLOUT";
static const char *const REFERENCE_WITHOUT_VALUE = "1"; /* string attribute, empty value */
static const char *const NO_INSTANCE_HANDLE = "0";

/* A parent chain longer than this is taken as broken and not followed on. */
static const int MAX_COMPONENT_LEVEL = 100000;

#define ATTRIBUTE_SIZE 256

/* Everything ZK_ASSEM_ask_component_data gives for one component. */
struct component_data {
  char file[ZK_COMPONENT_FILE_BUFSIZE];
  char refset[ZK_REFSET_NAME_BUFSIZE];
  char instance_name[ZK_INSTANCE_NAME_BUFSIZE];
  double origin[3];
  double matrix[9];
  double transform[4][4];
};

/* ---- assembly helpers ---- */

int component_level(tag_t component) {
  if (ZK_ASSEM_ask_work_part() == NULL_TAG || component == NULL_TAG) return 0;
  int level = 0;
  tag_t parent = NULL_TAG;
  ZK_ASSEM_ask_parent_component(component, &parent);
  while (parent != NULL_TAG && level < MAX_COMPONENT_LEVEL) {
    level++;
    tag_t current = parent;
    parent = NULL_TAG;
    ZK_ASSEM_ask_parent_component(current, &parent);
  }
  return level;
}

int has_components(tag_t part) {
  if (part == NULL_TAG) return 0;
  tag_t component = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(part, ZK_component_type, &component);
  return component != NULL_TAG ? 1 : 0;
}

int prototype_has_components(tag_t component) {
  if (component == NULL_TAG) return 0;
  return has_components(ZK_ASSEM_ask_prototype_of_occ(component));
}

/* ---- <PartArrangements> ---- */

/* Writes one arrangement line with the arrangement's name; a name the host
 * cannot give is written as the empty text. */
static void write_arrangement(const char *path, const char *format, tag_t arrangement, int line) {
  char *name = NULL;
  record_error(ZK_ASSEM_ask_name_of_arrangement(arrangement, &name), line, SOURCE_UTILS);
  write_fmt(path, format, name ? name : "");
  ZK_free(name);
}

static int write_part_arrangements(const char *path) {
  int sum = write_line(path, "     <PartArrangements>");
  tag_t part = ZK_ASSEM_ask_work_part();
  tag_t active = NULL_TAG;
  if (has_components(part)) ZK_ASSEM_ask_active_arrangement(part, &active);
  if (active != NULL_TAG) {
    write_arrangement(path, "          <ActiveArrangement>%s</ActiveArrangement>", active,
                      LINE_ACTIVE_ARRANGEMENT_NAME);
  }

  int count = 0;
  tag_t *arrangements = NULL;
  record_error(ZK_ASSEM_ask_arrangements_in_part(part, &count, &arrangements), LINE_ARRANGEMENTS,
               SOURCE_UTILS);
  for (int i = 0; arrangements != NULL && i < count; i++) {
    if (arrangements[i] == active) continue;
    write_arrangement(path, "          <ExistingArrangement>%s</ExistingArrangement>",
                      arrangements[i], LINE_ARRANGEMENT_NAME);
  }
  if (count != 0) ZK_free(arrangements);
  return sum + write_line(path, "     </PartArrangements>");
}

/* ---- one <Component> ---- */

static void write_suppression(const char *path, tag_t instance) {
  logical suppressed = 0;
  tag_t expression = NULL_TAG;
  ZK_ASSEM_ask_suppress_state(instance, &suppressed);
  write_fmt(path, "          <SuppressState>%d</SuppressState>", (int)suppressed);
  ZK_ASSEM_ask_suppression_exp(instance, &expression);
  if (expression == NULL_TAG) {
    write_line(path, "          <SuppressByExpression></SuppressByExpression>");
    return;
  }
  char *text = NULL;
  ZK_MODL_ask_exp_tag_string(expression, &text);
  write_fmt(path, "          <SuppressByExpression>%s</SuppressByExpression>", text ? text : "");
  ZK_free(text);
}

/* A string attribute REFERENCE_COMPONENT shows its value, or "1" when it has
 * none; a missing attribute or one of another type shows nothing. */
static void write_reference_component(const char *path, tag_t component) {
  char value[ATTRIBUTE_SIZE] = "";
  int type = 0;
  ZK_ATTR_find_attribute(component, ZK_ATTR_any, REFERENCE_COMPONENT_TITLE, &type);
  if (type == ZK_ATTR_string) {
    read_string_attribute(component, REFERENCE_COMPONENT_TITLE, value, sizeof(value));
    if (value[0] == '\0') COPY(value, REFERENCE_WITHOUT_VALUE);
  }
  write_fmt(path, "          <ReferenceComponent>%s</ReferenceComponent>", value);
}

static void write_component_arrangement(const char *path, tag_t component) {
  write_line(path, "           <ComponentArrangement>");
  if (prototype_has_components(component)) {
    tag_t active = NULL_TAG;
    ZK_ASSEM_ask_active_arrangement(ZK_ASSEM_ask_prototype_of_occ(component), &active);
    if (active != NULL_TAG) {
      write_arrangement(path, "            <UsedArrangement>%s</UsedArrangement>", active,
                        LINE_USED_ARRANGEMENT_NAME);
    }
  }
  write_line(path, "           </ComponentArrangement>");
}

/* Mating data is shown for components directly below the work part only. */
static void write_mating(const char *path, tag_t component, int level) {
  write_line(path, "          <Mating>");
  if (level == 1) {
    ZK_ASSEM_mc_t mc;
    logical mated = 0;
    memset(&mc, 0, sizeof(mc));
    ZK_ASSEM_init_mc(&mc);
    mc.override_state = 0;
    record_error(ZK_ASSEM_ask_mc_data_of_compnt(component, &mated, &mc), LINE_MATING_DATA,
                 SOURCE_UTILS);
    write_fmt(path, "           <IsMated>%d</IsMated>", (int)mated);
    if (mated) {
      int status = 0;
      int n_errors = 0;
      record_error(ZK_ASSEM_check_mc_structure(&mc, &status, &n_errors), LINE_MATING_CHECK,
                   SOURCE_UTILS);
      char name[ZK_OBJ_NAME_BUFSIZE] = "";
      COPY(name, mc.name); /* the record's text need not be terminated */
      write_fmt(path, "           <MatingName>%s</MatingName>", name);
      write_fmt(path, "           <MatingStatus>%d</MatingStatus>", status);
    }
  }
  write_line(path, "          </Mating>");
}

static void write_placement(const char *path, const component_data *data) {
  static const char *const axes[9] = {"X1", "Y1", "Z1", "X2", "Y2", "Z2", "X3", "Y3", "Z3"};
  write_line(path, "          <Matrix>");
  for (int i = 0; i < 9; i++) {
    write_fmt(path, "            <%s>%lf</%s>", axes[i], data->matrix[i], axes[i]);
  }
  write_fmt(path, "            <originX>%lf</originX>", data->origin[0]);
  write_fmt(path, "            <originY>%lf</originY>", data->origin[1]);
  write_fmt(path, "            <originZ>%lf</originZ>", data->origin[2]);
  write_line(path, "          </Matrix>");
}

/* One <Component> record. Every host output starts cleared for each
 * component, so a failed query never shows the previous component's value. */
static void write_component(const char *path, tag_t component) {
  component_data data;
  memset(&data, 0, sizeof(data));
  char attribute[ATTRIBUTE_SIZE] = "";
  int members = 0;

  write_line(path, "        <Component>");
  record_error(ZK_ASSEM_ask_component_data(component, data.file, data.refset, data.instance_name,
                                           data.origin, data.matrix, data.transform),
               LINE_COMPONENT_DATA, SOURCE_UTILS);
  data.file[sizeof(data.file) - 1] = '\0';
  data.refset[sizeof(data.refset) - 1] = '\0';
  data.instance_name[sizeof(data.instance_name) - 1] = '\0';
  write_fmt(path, "          <File>%s</File>", data.file);
  const char *handle = ZK_TAG_ask_handle_of_tag(component);
  write_fmt(path, "          <Handle>%s</Handle>", handle ? handle : "");
  tag_t instance = ZK_ASSEM_ask_inst_of_part_occ(component);
  const char *instance_handle =
      instance != NULL_TAG ? ZK_TAG_ask_handle_of_tag(instance) : NO_INSTANCE_HANDLE;
  write_fmt(path, "          <InstanceHandle>%s</InstanceHandle>",
            instance_handle ? instance_handle : "");
  write_suppression(path, instance);
  write_reference_component(path, component);
  read_string_attribute(component, VQ_GEOMETRY_TITLE, attribute, sizeof(attribute));
  write_fmt(path, "          <VQ_Geometry>%s</VQ_Geometry>", attribute);
  write_fmt(path, "          <RefsetCurr>%s</RefsetCurr>", data.refset);
  write_fmt(path, "          <InstanceName>%s</InstanceName>", data.instance_name);
  int level = component_level(component);
  write_fmt(path, "          <ComponentLevel>%d</ComponentLevel>", level);
  read_string_attribute(component, CALLOUT_TITLE, attribute, sizeof(attribute));
  write_fmt(path, "          <Callout>%s</Callout>", attribute);
  record_error(ZK_ASSEM_count_objs_in_comp(component, &members), LINE_MEMBER_COUNT, SOURCE_UTILS);
  write_fmt(path, "          <MemberCount>%d</MemberCount>", members);
  write_component_arrangement(path, component);
  write_mating(path, component, level);
  write_placement(path, &data);
  write_line(path, "        </Component>");
}

/* ---- the section ---- */

int write_assembly_data(const char *path) {
  int sum = write_line(path, "    <AssemblyData>");
  sum += write_part_arrangements(path);
  sum += write_line(path, "      <Components>");
  tag_t component = NULL_TAG;
  do {
    ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_component_type, &component);
    if (component != NULL_TAG) write_component(path, component);
  } while (component != NULL_TAG);
  sum += write_line(path, "      </Components>");
  return sum + write_line(path, "    </AssemblyData>");
}
