/* The batch entry: checks the single part and then every part of the list
 * file that the caller put into the run configuration, writing the result
 * file as it goes, and frames the run with its start and end lines. */
#include "vettra/check/batch.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/entry_points.h"
#include "vettra/boundary/identity.h"
#include "vettra/boundary/run_config.h"
#include "vettra/check/check_run.h"
#include "vettra/drawing/drawing.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

/* Return codes of StartOfProgram. */
static const int RUN_OK = 0;
static const int SINGLE_PART_NOT_LOADED_PDM = -1001;
static const int SINGLE_PART_NOT_LOADED = -1002;
static const int PART_LIST_NOT_OPENED = -1010;

static const int LINE_OPEN_PART = 467;

static const char *const START_LINE = "######## Start of: %s %s <Build: %s> at %s\n";
static const char *const END_LINE = "\n######## End of: %s Real Time = %lf\n";
static const char *const CHANNEL_END_LINE = "\nEnd of: %s Real Time = %lf\n";
static const char *const START_OF_WORK = "Start of Work\n";
static const char *const END_OF_WORK = "End of Work\n";
static const char *const SEPARATOR_LINE = "---------------------------";
static const char *const NOT_LOADED_RECORD = "%s;-1001;error loading part;N.N";
static const char *const SINGLE_NOT_LOADED_PDM = "Error: error loading part %s\n";
static const char *const SINGLE_NOT_LOADED = "Error: error loading part %s";
static const char *const LIST_NOT_OPENED = "Error: Could not open %s\n";
static const char *const LIST_NOT_READ = "Error: Could not read %s (%s)\n";
static const char *const LIST_PART_NOT_LOADED = "Error: Could not load the part %s\n";
static const char *const IMPORT_ACTION = "CgmImportToOrvelPartFile";

/* Trace lines (written when `verbose` is set) with their line numbers. */
static const int TRACE_RESULT_FILE = 677;
static const int TRACE_SINGLE_PART = 680;
static const int TRACE_BUILD_NAME = 684;
static const int TRACE_CURRENT_TIME = 686;
static const int TRACE_LOADING_PDM = 688;
static const int TRACE_CHECKS_PDM = 697;
static const int TRACE_LOADING_NATIVE = 721;
static const int TRACE_LOADING_LIST = 779;
static const int TRACE_CHECKS_LIST = 782;
static const int TRACE_CLOSE_ALL = 799;
static const int TRACE_CLOSED_ALL = 801;

/* A list file is read in pieces of at most 1023 characters; the name to open
 * holds at most 515. */
#define LIST_LINE_SIZE 1024
#define OPEN_NAME_SIZE 516
#define CTIME_SIZE 64

static int verbose(void) {
  return vettra_run_config.verbose != 0;
}

int open_part(const char *name) {
  tag_t part = NULL_TAG;
  ZK_PART_load_status_t status = {0, 0};
  int code = ZK_PART_open(name, &part, &status);
  if (code != 0) record_error(code, LINE_OPEN_PART, SOURCE_UTILS);
  return code;
}

static void save_block(void) {
  if (vettra_run_config.do_save != 1) return;
  log_info("Save: Saving Workpart");
  ZK_PART_save_work_only();
  log_info("Save: Saving Workpart ---> passed");
}

/* The drawing snapshot after a check, the same wherever the part came from. */
static void snapshot_block(void) {
  if (vettra_run_config.do_snapshot != 1) return;
  log_info("%s", SEPARATOR_LINE);
  log_info("Snapshot: Creating Snapshot");
  take_drawing_snapshot();
  log_info("Snapshot: Creating Snapshot ---> passed");
}

static int check_single_part_pdm(char name[OPEN_NAME_SIZE]) {
  const char *spec = vettra_run_config.single_part;
  if (verbose()) log_info("[%d] build_vqmgr_part_name", TRACE_BUILD_NAME);
  char encoded[VQMGR_NAME_SIZE] = "";
  build_vqmgr_part_name(spec, encoded);
  copy_text(name, OPEN_NAME_SIZE, encoded);
  if (verbose()) log_info("[%d] get_current_time", TRACE_CURRENT_TIME);
  timestamp_text(vettra_run_state.load_start_time);
  if (verbose()) log_info("[%d] loading part", TRACE_LOADING_PDM);
  if (open_part(name) != 0) {
    log_info(SINGLE_NOT_LOADED_PDM, spec);
    append_result(vettra_run_config.result_file, NOT_LOADED_RECORD, spec);
    return SINGLE_PART_NOT_LOADED_PDM;
  }
  if (verbose()) log_info("[%d] do the checks", TRACE_CHECKS_PDM);
  check_part(spec);
  snapshot_block();
  if (vettra_run_config.do_save == 1) {
    log_info("%s", SEPARATOR_LINE);
    save_block();
  }
  return RUN_OK;
}

static int check_single_part_native(void) {
  const char *spec = vettra_run_config.single_part;
  timestamp_text(vettra_run_state.load_start_time);
  if (verbose()) log_info("[%d] loading part", TRACE_LOADING_NATIVE);
  if (open_part(spec) != 0) {
    log_info(SINGLE_NOT_LOADED, spec);
    append_result(vettra_run_config.result_file, NOT_LOADED_RECORD, spec);
    return SINGLE_PART_NOT_LOADED;
  }
  check_part(spec);
  snapshot_block();
  if (vettra_run_config.do_save == 1) {
    log_info("%s", SEPARATOR_LINE);
    save_block();
    log_info("%s", SEPARATOR_LINE);
  }
  return RUN_OK;
}

/* The single part stays open after its check. */
static int check_single_part(char name[OPEN_NAME_SIZE]) {
  if (verbose())
    log_info("[%d] single_part = #%s#", TRACE_SINGLE_PART, vettra_run_config.single_part);
  return is_pdm_active() ? check_single_part_pdm(name) : check_single_part_native();
}

/* Drops the line feed that ends a line read from the list, and a carriage
 * return before it (a list written with CR LF line ends). */
static void end_line(char *line) {
  size_t length = strlen(line);
  if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
  if (length > 0 && line[length - 1] == '\r') line[--length] = '\0';
}

/* The name to open for a list line. In PDM mode it is the encoded name; a
 * line that does not fit the name outside PDM mode is refused (0), since a
 * cut name could open another part. */
static int list_open_name(const char *line, char name[OPEN_NAME_SIZE]) {
  if (is_pdm_active()) {
    char encoded[VQMGR_NAME_SIZE] = "";
    build_vqmgr_part_name(line, encoded);
    copy_text(name, OPEN_NAME_SIZE, encoded);
    return 1;
  }
  return copy_text(name, OPEN_NAME_SIZE, line) == 0;
}

static void check_list_line(const char *line, char name[OPEN_NAME_SIZE]) {
  int usable = list_open_name(line, name);
  timestamp_text(vettra_run_state.load_start_time);
  memory_snapshot(vettra_run_state.load_start_memory);
  if (verbose()) log_info("[%d] loading part", TRACE_LOADING_LIST);
  if (!usable || open_part(name) != 0) {
    log_info(LIST_PART_NOT_LOADED, line);
    append_result(vettra_run_config.result_file, NOT_LOADED_RECORD, line);
    return;
  }
  if (verbose()) log_info("[%d] do the checks", TRACE_CHECKS_LIST);
  check_part(line);
  snapshot_block();
  save_block();
  if (verbose()) log_info("[%d] close all parts", TRACE_CLOSE_ALL);
  ZK_PART_close_all();
  if (verbose()) log_info("[%d] done close all parts", TRACE_CLOSED_ALL);
}

/* Every part of the list is closed again after its check. */
static int check_part_list(char name[OPEN_NAME_SIZE]) {
  FILE *list = fopen(vettra_run_config.part_list_file, "r");
  if (list == NULL) {
    log_info(LIST_NOT_OPENED, vettra_run_config.part_list_file);
    return PART_LIST_NOT_OPENED;
  }
  char line[LIST_LINE_SIZE];
  while (fgets(line, sizeof(line), list) != NULL) {
    if (line[0] == '\0') continue;
    end_line(line);
    check_list_line(line, name);
  }
  /* A list that fails to read (a directory, an I/O error) is not a short
   * list: the parts after the fault were never checked. */
  int failed = ferror(list);
  int read_errno = errno;
  fclose(list);
  if (failed) {
    log_info(LIST_NOT_READ, vettra_run_config.part_list_file, strerror(read_errno));
    return PART_LIST_NOT_OPENED;
  }
  return RUN_OK;
}

static void log_start_line(void) {
  time_t now = time(NULL);
  char ctime_text[CTIME_SIZE] = "";
  if (ctime_r(&now, ctime_text) == NULL) ctime_text[0] = '\0';
  log_syslog(START_LINE, PROGRAM_NAME, PROGRAM_RELEASE, BUILD_DATE, ctime_text);
}

static int check_parts(void) {
  char name[OPEN_NAME_SIZE] = "";
  init_result_file();
  if (verbose()) log_info("[%d] doune init program result file ", TRACE_RESULT_FILE);
  if (vettra_run_config.single_part[0] != '\0') {
    int code = check_single_part(name);
    if (code != RUN_OK) return code;
  }
  if (vettra_run_config.part_list_file[0] != '\0') return check_part_list(name);
  return RUN_OK;
}

/* The action "CgmImportToOrvelPartFile" builds a part from CGM files
 * instead of checking parts: no result file is written then. */
int StartOfProgram(void) {
  vettra_run_config.result_lines_lost = 0;
  vettra_run_config.import_result = 0;
  log_start_line();
  set_syslog_prefix();
  ZK_timer_t timer = 0;
  ZK_begin_timer(&timer);
  log_syslog_gated("%s", START_OF_WORK);
  if (strcmp(vettra_run_config.action, IMPORT_ACTION) == 0) {
    /* Its failures are in the log and the error recorder; the run still
     * ends normally, and the caller learns from import_result that nothing
     * was built. */
    vettra_run_config.import_result = import_cgm_into_template();
  } else {
    int code = check_parts();
    if (code != RUN_OK) return code; /* an early end leaves the prefix armed */
  }
  log_syslog_gated("%s", END_OF_WORK);
  ZK_timer_values_t values = {0.0, 0.0};
  ZK_end_timer(timer, &values);
  log_to_channel(CHANNEL_END_LINE, PROGRAM_NAME, values.real_time);
  clear_syslog_prefix();
  log_syslog(END_LINE, PROGRAM_NAME, values.real_time);
  return RUN_OK;
}
