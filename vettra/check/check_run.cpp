/* The check run of one part: load figures, the report file's name, the
 * report itself, the part's result and its record in the result file. The
 * part is open as the work part; opening and closing it is the caller's. */
#include "vettra/check/check_run.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/run_config.h"
#include "vettra/drawing/drawing.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"
#include "vettra/text/names.h"

const char *const ACTION_MODEL = "ModelGetData";
const char *const ACTION_ASSEMBLY = "AssemblyGetData";
const char *const ACTION_DRAWING = "DrawingGetData";

static const char *const RULE_LINE =
    "=============================================================================================="
    "====";
static const char *const SEPARATOR_LINE = "---------------------------";
static const char *const START_LABEL = "Start Check at ";
static const char *const FINISH_LABEL = "Finished checking at ";
static const char *const RESULT_HEADER = "ObjectCLI;ResultCode;ResultMsg;xml_filename";
static const char *const RESULT_RECORD = "%s;%d;%s;%s";

/* Trace lines (written when `verbose` is set) with their line numbers. */
static const int TRACE_PART_NAME = 496;
static const int TRACE_DECODED = 502;
static const int TRACE_REPAIRING_FNAME = 513;
static const int TRACE_DONE_FNAME = 515;
static const int TRACE_REPAIRING_PREFIX = 516;
static const int TRACE_DONE_PREFIX = 518;
static const int TRACE_XML_FILE = 537;
static const int TRACE_DO_UPDATE = 541;
static const int TRACE_DONE_UPDATE = 543;

/* Result codes of a report that is missing or incomplete. They take the
 * part's result over any host failure: the record names the report, and a
 * reader must learn first that it is not there. */
static const int REPORT_NOT_CREATED = -1020;
static const int REPORT_INCOMPLETE = -1021;
static const int REPORT_NOT_RENAMED = -1022;
static const int REPORT_NO_PATH = -1023;
static const char *const NOT_CREATED_TEXT = "report missing: cannot be created (%s)";
static const char *const INCOMPLETE_TEXT = "report incomplete (%lu lines lost), not saved";
static const char *const NOT_RENAMED_TEXT = "report missing: cannot be renamed to its name (%s)";
static const char *const NO_PATH_TEXT = "report missing: no path for %s in the output directory";

#define NAME_SIZE 516
/* A report is written under its name with this suffix and renamed to its
 * name once whole, so its name only ever holds a whole report. */
#define TEMP_SUFFIX ".tmp"
#define TEMP_NAME_SIZE (NAME_SIZE + sizeof(TEMP_SUFFIX) - 1)

/* The names one check run derives from the work part. */
struct report_names {
  char part_name[NAME_SIZE];                      /* full name of the work part */
  char part_number[ZK_VQMGR_PART_NUMBER_BUFSIZE]; /* PDM fields */
  char rev_id[ZK_VQMGR_REV_BUFSIZE];
  char part_file_type[ZK_VQMGR_FILE_TYPE_BUFSIZE];
  char part_file_name[ZK_VQMGR_FILE_NAME_BUFSIZE];
  char stem[NAME_SIZE];           /* native file name without directory and extension */
  char fname2[NAME_SIZE];         /* report file name */
  char cgm_prefix[NAME_SIZE];     /* stem of the CGM file names */
  char xml_file[NAME_SIZE];       /* report file path */
  char temp_file[TEMP_NAME_SIZE]; /* where the report is written until it is whole */
};

/* What became of the report file: 0 when it was saved whole under its name,
 * else one of the report codes above with its message. */
struct report_outcome {
  int code;
  char message[ERROR_TEXT_SIZE];
};

int section_selected(const char *action, const char *keyword) {
  return action[0] == '\0' || strstr(action, keyword) != NULL;
}

unsigned long logged_step(const char *name, int (*writer)(const char *path), const char *path) {
  log_info("Info: %s", name);
  unsigned long before = lost_line_count();
  writer(path);
  unsigned long lost = lost_line_count() - before;
  if (lost == 0) {
    log_info("Info: %s --> passed", name);
  } else {
    log_info("Error: %s --> %lu lines lost", name, lost);
  }
  return lost;
}

/* A result line that cannot be written is logged and counted in the run
 * configuration, where the batch caller finds it after the run. */
static void count_lost_result_line(const char *path) {
  log_info("Error: a line of the result file %s is lost", path);
  vettra_run_config.result_lines_lost++;
}

int init_result_file(void) {
  const char *path = vettra_run_config.result_file;
  if (path[0] == '\0') return -1;
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 || close(fd) != 0) {
    log_info("Error: cannot create the result file %s (%s)", path, strerror(errno));
    count_lost_result_line(path);
    return -1;
  }
  if (write_line(path, RESULT_HEADER) != 0) {
    count_lost_result_line(path);
    return -1;
  }
  return 0;
}

int append_result(const char *path, const char *format, ...) {
  if (path == NULL || path[0] == '\0') return 0;
  va_list args;
  va_start(args, format);
  int written = vwrite_fmt(path, format, args);
  va_end(args);
  if (written != 0) {
    count_lost_result_line(path);
    return -1;
  }
  return 0;
}

static int verbose(void) {
  return vettra_run_config.verbose != 0;
}

static void capture_load_figures(void) {
  timestamp_text(vettra_run_state.load_end_time);
  memory_snapshot(vettra_run_state.load_end_memory);
  log_info("\n");
  log_info("%s", RULE_LINE);
  log_timestamp(START_LABEL);
}

static void name_managed_part(struct report_names *n) {
  ZK_VQMGR_decode_part_filename(n->part_name, n->part_number, n->rev_id, n->part_file_type,
                                n->part_file_name);
  if (verbose()) log_info("[%d] decoded = #%s#", TRACE_DECODED, n->part_file_name);
  if (n->part_file_name[0] != '\0') {
    FORMAT(n->fname2, "%s_%s_%s_%s.xml", n->part_number, n->rev_id, n->part_file_type,
           n->part_file_name);
    FORMAT(n->cgm_prefix, "%s_%s_%s_%s", n->part_number, n->rev_id, n->part_file_type,
           n->part_file_name);
  } else {
    FORMAT(n->fname2, "%s_%s_%s.xml", n->part_number, n->rev_id, n->part_file_type);
    FORMAT(n->cgm_prefix, "%s_%s_%s", n->part_number, n->rev_id, n->part_file_type);
  }
  if (verbose()) log_info("[%d] repairing fname2 = #%s#", TRACE_REPAIRING_FNAME, n->fname2);
  sanitize_file_name(n->fname2, sizeof(n->fname2));
  if (verbose()) {
    log_info("[%d] done fname2 = #%s#", TRACE_DONE_FNAME, n->fname2);
    log_info("[%d] repairing cgm_prefix = #%s#", TRACE_REPAIRING_PREFIX, n->cgm_prefix);
  }
  sanitize_file_name(n->cgm_prefix, sizeof(n->cgm_prefix));
  if (verbose()) log_info("[%d] done cgm_prefix = #%s#", TRACE_DONE_PREFIX, n->cgm_prefix);
  zc4575(vettra_run_config.outdir, 0, n->fname2, n->xml_file);
  log_info("Info: Part = %s/%s/%s/%s", n->part_number, n->rev_id, n->part_file_type,
           n->part_file_name);
  log_info("Info: xml_file = %s", n->xml_file);
}

static void name_native_part(struct report_names *n) {
  zc4574(n->part_name, 2, n->stem);
  int cut = FORMAT(n->fname2, "%s.xml", n->stem);
  COPY(n->cgm_prefix, n->stem);
  sanitize_file_name(n->fname2, sizeof(n->fname2));
  sanitize_file_name(n->cgm_prefix, sizeof(n->cgm_prefix));
  zc4575(vettra_run_config.outdir, 0, n->fname2, n->xml_file);
  if (cut) n->xml_file[0] = '\0'; /* a name cut before its extension gets no path */
  log_info("Info: Part = %s", n->part_name);
  log_info("Info: xml_file = %s", n->xml_file);
}

/* Names longer than their buffers are cut there; the host refuses a joined
 * path it cannot hold, which leaves the report path empty, and so does a
 * report name that loses its extension to the cut: such a part gets no
 * report. */
static void name_report_file(struct report_names *n) {
  ZK_PART_ask_part_name(ZK_ASSEM_ask_work_part(), n->part_name);
  if (verbose()) log_info("[%d] partname = #%s#", TRACE_PART_NAME, n->part_name);
  if (is_pdm_active()) {
    name_managed_part(n);
  } else {
    name_native_part(n);
  }
  if (n->xml_file[0] != '\0') FORMAT(n->temp_file, "%s%s", n->xml_file, TEMP_SUFFIX);
  COPY(vettra_run_state.report_path, n->xml_file);
  if (verbose()) log_info("[%d] xmlfile = #%s#", TRACE_XML_FILE, vettra_run_state.report_path);
}

/* The update stage runs between the two update timestamps. */
static void update_stage(void) {
  log_info("%s", SEPARATOR_LINE);
  timestamp_text(vettra_run_state.update_start_time);
  if (verbose()) log_info("[%d] do the update", TRACE_DO_UPDATE);
  run_updates();
  if (verbose()) log_info("[%d] done the update", TRACE_DONE_UPDATE);
  timestamp_text(vettra_run_state.update_end_time);
  log_info("%s", SEPARATOR_LINE);
}

static int write_selected_entities(const char *path) {
  return write_entities(path, vettra_run_config.detail_option);
}

static void fail_report(struct report_outcome *out, int code, const char *format,
                        const char *value) {
  out->code = code;
  format_text(out->message, sizeof(out->message), format, value);
}

/* Creates the report under its temporary name; a report that cannot be
 * created is logged with the reason and gets no sections. */
static int start_report(const struct report_names *n, struct report_outcome *out) {
  log_info("Info: init_xml_file");
  if (n->xml_file[0] == '\0') {
    log_info("Error: init_xml_file --> no path for %s in the output directory", n->fname2);
    fail_report(out, REPORT_NO_PATH, NO_PATH_TEXT, n->fname2);
    return -1;
  }
  if (init_xml_file(n->temp_file) != 0) {
    const char *reason = strerror(errno);
    log_info("Error: init_xml_file --> cannot create %s (%s)", n->temp_file, reason);
    fail_report(out, REPORT_NOT_CREATED, NOT_CREATED_TEXT, reason);
    return -1;
  }
  log_info("Info: init_xml_file --> passed");
  return 0;
}

/* Gives a whole report its name; a report that lost lines is removed, so
 * the name keeps the previous whole report, if any. */
static void finish_report(const struct report_names *n, unsigned long lost,
                          struct report_outcome *out) {
  if (lost != 0) {
    unlink(n->temp_file);
    log_info("Error: report %s incomplete (%lu lines lost), not saved", n->xml_file, lost);
    out->code = REPORT_INCOMPLETE;
    format_text(out->message, sizeof(out->message), INCOMPLETE_TEXT, lost);
    return;
  }
  if (rename(n->temp_file, n->xml_file) != 0) {
    const char *reason = strerror(errno);
    log_info("Error: cannot rename %s to %s (%s)", n->temp_file, n->xml_file, reason);
    unlink(n->temp_file);
    fail_report(out, REPORT_NOT_RENAMED, NOT_RENAMED_TEXT, reason);
  }
}

/* The report: frame start, the sections in report order, frame end, each
 * step counting the lines it lost. */
static void write_report(const struct report_names *n, struct report_outcome *out) {
  if (start_report(n, out) != 0) return;
  const char *path = n->temp_file;
  unsigned long lost = logged_step("write_xml_header", write_xml_header, path);
  lost += logged_step("Part Header Section", write_part_header, path);
  const char *action = vettra_run_config.action;
  if (section_selected(action, ACTION_MODEL)) {
    lost += logged_step("Check_Model Section", write_model_data, path);
  }
  if (section_selected(action, ACTION_ASSEMBLY)) {
    lost += logged_step("Check_Assembly Section", write_assembly_data, path);
  }
  if (section_selected(action, ACTION_DRAWING)) {
    lost += logged_step("Check_Drawing Section", write_drawings, path);
  }
  if (vettra_run_config.detail_option[0] != '\0') {
    lost += logged_step("Check_Entities Section", write_selected_entities, path);
  }
  lost += logged_step("write_xml_end Section", write_xml_end, path);
  finish_report(n, lost, out);
}

static void finish_check(void) {
  log_timestamp(FINISH_LABEL);
  log_info("%s", RULE_LINE);
  log_info("\n");
}

int check_part(const char *part_spec) {
  struct report_names names = {};
  capture_load_figures();
  reset_errors();
  name_report_file(&names);
  update_stage();
  struct report_outcome report = {};
  write_report(&names, &report);
  vettra_run_state.report_saved = report.code == 0;
  int result_code = 0;
  char result_message[ERROR_TEXT_SIZE];
  fetch_result(&result_code, result_message);
  if (report.code != 0) {
    result_code = report.code;
    COPY(result_message, report.message);
  }
  if (vettra_run_config.cgm_dir[0] != '\0') {
    export_drawings_cgm(vettra_run_config.cgm_dir, names.cgm_prefix,
                        vettra_run_config.drawing_filter, vettra_run_config.cgm_mode);
  }
  append_result(vettra_run_config.result_file, RESULT_RECORD, part_spec, result_code,
                result_message, names.xml_file);
  finish_check();
  return result_code;
}
