/* The frame of a report file: its creation, the header with the program, run
 * and host data and the assembly load options, and the end. */
#include "vettra/report/frame.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/identity.h"
#include "vettra/boundary/run_config.h"
#include "vettra/report/writer.h"

static const char *const XML_DECLARATION = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
static const char *const ROOT_START =
    "<Trellum_VettraData xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">";
static const char *const ROOT_END = "</Trellum_VettraData>";
static const char *const CUSTOM_LICENSE = "unknown";

int init_xml_file(const char *path) {
  if (path == NULL || path[0] == '\0') {
    errno = ENOENT;
    return -1;
  }
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  return close(fd) == 0 ? 0 : -1;
}

static void write_program_data(const char *path) {
  write_line(path, " <ProgramData>");
  write_fmt(path, "  <ProgramName>%s</ProgramName>", PROGRAM_NAME);
  write_fmt(path, "  <ProgramRelease>%s</ProgramRelease>", PROGRAM_RELEASE);
  write_fmt(path, "  <BuildDate>%s</BuildDate>", BUILD_DATE);
  write_fmt(path, "  <CustomLicense>%s</CustomLicense>", CUSTOM_LICENSE);
  write_line(path, " </ProgramData>");
}

static void write_run_data(const char *path) {
  const struct run_state *state = &vettra_run_state;
  write_line(path, " <RunData>");
  write_fmt(path, "  <StartLoadPartDateTime>%s</StartLoadPartDateTime>", state->load_start_time);
  write_fmt(path, "  <EndLoadPartDateTime>%s</EndLoadPartDateTime>", state->load_end_time);
  write_fmt(path, "  <StartLoadPartMemoryAllocation>%s</StartLoadPartMemoryAllocation>",
            state->load_start_memory);
  write_fmt(path, "  <EndLoadPartMemoryAllocation>%s</EndLoadPartMemoryAllocation>",
            state->load_end_memory);
  write_fmt(path, "  <Action>%s</Action>", vettra_run_config.action);
  write_fmt(path, "  <DetailOption>%s</DetailOption>", vettra_run_config.detail_option);
  write_fmt(path, "  <StartUpdateDateTime>%s</StartUpdateDateTime>", state->update_start_time);
  write_fmt(path, "  <UpdateAllFeaturesReturnValue>%d</UpdateAllFeaturesReturnValue>",
            state->features_update_code);
  write_fmt(path, "  <StructureSyncReturnValue>%d</StructureSyncReturnValue>",
            state->structure_sync_code);
  write_fmt(path, "  <UpdateAllViewsReturnValue>%d</UpdateAllViewsReturnValue>",
            state->views_update_code);
  write_fmt(path, "  <EndUpdateDateTime>%s</EndUpdateDateTime>", state->update_end_time);
  char now[TIME_TEXT_SIZE];
  timestamp_text(now);
  write_fmt(path, "  <StartDateTime>%s</StartDateTime>", now);
  write_line(path, " </RunData>");
}

static void write_orvel_data(const char *path) {
  write_line(path, " <OrvelData>");
  char *release = NULL;
  ZK_get_release(&release);
  if (release != NULL) {
    write_fmt(path, "   <OrvelRelease>%s</OrvelRelease>", release);
    ZK_free(release);
  }
  int minor = -1;
  int major = host_release(&minor);
  write_fmt(path, "   <OrvelVersion>%d.%d</OrvelVersion>", major, minor);
  write_load_options(path);
  write_line(path, " </OrvelData>");
}

int write_xml_header(const char *path) {
  write_line(path, XML_DECLARATION);
  write_line(path, ROOT_START);
  write_program_data(path);
  write_run_data(path);
  write_orvel_data(path);
  write_line(path, " <VettraData>");
  return 0;
}

/* Option names by value. Entries without a name are empty texts. */
#define OPTION_TABLE_SIZE 5
#define COMPONENT_TABLE_SIZE 10
struct option_names {
  const char *load_options[OPTION_TABLE_SIZE];
  const char *update[OPTION_TABLE_SIZE];
  const char *emphasize[OPTION_TABLE_SIZE];
  const char *failure_action[OPTION_TABLE_SIZE];
  const char *maintain_work_part[OPTION_TABLE_SIZE];
  const char *load_latest[OPTION_TABLE_SIZE];
  const char *load_components[COMPONENT_TABLE_SIZE];
  const char *load_fully[OPTION_TABLE_SIZE];
  const char *load_substitution[OPTION_TABLE_SIZE];
  const char *apply_to_all_levels[OPTION_TABLE_SIZE];
  const char *load_wave_data[OPTION_TABLE_SIZE];
  const char *load_wave_parents[OPTION_TABLE_SIZE];
};

static void build_option_names(struct option_names *names) {
  *names = {
      {"ZK_ASSEM_load_from_directory", "ZK_ASSEM_load_from_search_dirs", "ZK_ASSEM_load_as_saved",
       "", ""},
      {"ZK_ASSEM_no_update_report", "ZK_ASSEM_update_report", "", "", ""},
      {"ZK_ASSEM_do_not_emphasize_wp", "ZK_ASSEM_emphasize_wp", "", "", ""},
      {"ZK_ASSEM_do_abort_on_failure", "ZK_ASSEM_dont_abort_on_failure", "", "", ""},
      {"ZK_ASSEM_dont_maintain_work_part", "ZK_ASSEM_do_maintain_work_part", "", "", ""},
      {"ZK_ASSEM_load_exact_version", "ZK_ASSEM_load_latest_version", "", "", ""},
      {"ZK_ASSEM_dont_load_components", "ZK_ASSEM_do_load_components",
       "ZK_ASSEM_use_last_component_set", "ZK_ASSEM_use_last_filter", "ZK_ASSEM_specify_filter", "",
       "", "", "", ""},
      {"ZK_ASSEM_load_components_partially", "ZK_ASSEM_load_components_fully", "", "", ""},
      {"ZK_ASSEM_dont_allow_substitution", "ZK_ASSEM_do_allow_substitution", "", "", ""},
      {"ZK_ASSEM_dont_apply_to_all_levels", "ZK_ASSEM_do_apply_to_all_levels", "", "", ""},
      {"ZK_ASSEM_default_load_behaviour", "ZK_ASSEM_load_wave_data", "", "", ""},
      {"ZK_ASSEM_none", "ZK_ASSEM_immediate", "ZK_ASSEM_all", "", ""},
  };
}

/* A value outside its table has no name: its brackets stay empty. */
static const char *option_name(const char *const *table, int count, int value) {
  return value >= 0 && value < count ? table[value] : "";
}
#define NAME_OF(table, value) \
  option_name((table), (int)(sizeof(table) / sizeof((table)[0])), (value))

/* When the host cannot give the options, every field shows -1 (no name). */
static void ask_load_options(ZK_ASSEM_options_t *options) {
  *options = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  ZK_ASSEM_ask_assem_options(options);
}

int write_load_option_values(const char *path, const ZK_ASSEM_options_t *options) {
  struct option_names names;
  build_option_names(&names);
  const ZK_ASSEM_options_t &o = *options;
  write_line(path, "   <AssemblyLoadOptions>");
  write_fmt(path, "    <load_options>%d [%s]</load_options>", o.load_options,
            NAME_OF(names.load_options, o.load_options));
  write_fmt(path, "    <parts_list>%d</parts_list>", o.parts_list);
  write_fmt(path, "    <update>%d [%s]</update>", o.update, NAME_OF(names.update, o.update));
  write_fmt(path, "    <emphasize>%d [%s]</emphasize>", o.emphasize,
            NAME_OF(names.emphasize, o.emphasize));
  write_fmt(path, "    <emphasize_color>%d</emphasize_color>", o.emphasize_color);
  write_fmt(path, "    <failure_action>%d [%s]</failure_action>", o.failure_action,
            NAME_OF(names.failure_action, o.failure_action));
  write_fmt(path, "    <maintain_work_part>%d [%s]</maintain_work_part>", o.maintain_work_part,
            NAME_OF(names.maintain_work_part, o.maintain_work_part));
  write_fmt(path, "    <load_latest>%d [%s]</load_latest>", o.load_latest,
            NAME_OF(names.load_latest, o.load_latest));
  write_fmt(path, "    <load_components>%d [%s]</load_components>", o.load_components,
            NAME_OF(names.load_components, o.load_components));
  write_fmt(path, "    <load_fully>%d [%s]</load_fully>", o.load_fully,
            NAME_OF(names.load_fully, o.load_fully));
  write_fmt(path, "    <load_substitution>%d [%s]</load_substitution>", o.load_substitution,
            NAME_OF(names.load_substitution, o.load_substitution));
  write_fmt(path, "    <apply_to_all_levels>%d [%s]</apply_to_all_levels>", o.apply_to_all_levels,
            NAME_OF(names.apply_to_all_levels, o.apply_to_all_levels));
  write_fmt(path, "    <load_wave_data>%d [%s]</load_wave_data>", o.load_wave_data,
            NAME_OF(names.load_wave_data, o.load_wave_data));
  write_fmt(path, "    <load_wave_parents>%d [%s]</load_wave_parents>", o.load_wave_parents,
            NAME_OF(names.load_wave_parents, o.load_wave_parents));
  write_line(path, "   </AssemblyLoadOptions>");
  return 0;
}

int write_load_options(const char *path) {
  ZK_ASSEM_options_t options;
  ask_load_options(&options);
  return write_load_option_values(path, &options);
}

int write_xml_end(const char *path) {
  write_line(path, " </VettraData>");
  write_line(path, " <RunDataPerformance>");
  char now[TIME_TEXT_SIZE];
  timestamp_text(now);
  write_fmt(path, "  <EndDateTime>%s</EndDateTime>", now);
  write_line(path, " </RunDataPerformance>");
  write_line(path, ROOT_END);
  return 0;
}
