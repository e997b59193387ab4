/* The check run of one part: load figures, the report file's name, the
 * report itself, the part's result and its record in the result file. The
 * part is open as the work part; opening and closing it is the caller's. */
#include "vettra/check/check_run.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

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

#define NAME_SIZE 516

/* The names one check run derives from the work part. */
struct report_names {
  char part_name[NAME_SIZE];                      /* full name of the work part */
  char part_number[ZK_VQMGR_PART_NUMBER_BUFSIZE]; /* PDM fields */
  char rev_id[ZK_VQMGR_REV_BUFSIZE];
  char part_file_type[ZK_VQMGR_FILE_TYPE_BUFSIZE];
  char part_file_name[ZK_VQMGR_FILE_NAME_BUFSIZE];
  char stem[NAME_SIZE];       /* native file name without directory and extension */
  char fname2[NAME_SIZE];     /* report file name */
  char cgm_prefix[NAME_SIZE]; /* stem of the CGM file names */
  char xml_file[NAME_SIZE];   /* report file path */
};

int section_selected(const char *action, const char *keyword) {
  return action[0] == '\0' || strstr(action, keyword) != NULL;
}

void logged_step(const char *label, int (*writer)(const char *path), const char *path) {
  log_info("%s", label);
  writer(path);
  log_info("%s --> passed", label);
}

int init_result_file(void) {
  const char *path = vettra_run_config.result_file;
  if (path[0] == '\0') return -1;
  FILE *file = fopen(path, "w");
  if (file == NULL) return -1;
  fclose(file);
  return write_line(path, RESULT_HEADER);
}

int append_result(const char *path, const char *format, ...) {
  if (path == NULL || path[0] == '\0') return 0;
  va_list args;
  va_start(args, format);
  vwrite_fmt(path, format, args);
  va_end(args);
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
  FORMAT(n->fname2, "%s.xml", n->stem);
  COPY(n->cgm_prefix, n->stem);
  sanitize_file_name(n->fname2, sizeof(n->fname2));
  sanitize_file_name(n->cgm_prefix, sizeof(n->cgm_prefix));
  zc4575(vettra_run_config.outdir, 0, n->fname2, n->xml_file);
  log_info("Info: Part = %s", n->part_name);
  log_info("Info: xml_file = %s", n->xml_file);
}

/* Names longer than their buffers are cut there; the host refuses a joined
 * path it cannot hold, which leaves the report path empty. */
static void name_report_file(struct report_names *n) {
  ZK_PART_ask_part_name(ZK_ASSEM_ask_work_part(), n->part_name);
  if (verbose()) log_info("[%d] partname = #%s#", TRACE_PART_NAME, n->part_name);
  if (is_pdm_active()) {
    name_managed_part(n);
  } else {
    name_native_part(n);
  }
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

/* The report: frame start, the sections in report order, frame end. */
static void write_report(const char *xml_file) {
  logged_step("Info: init_xml_file", init_xml_file, xml_file);
  logged_step("Info: write_xml_header", write_xml_header, xml_file);
  logged_step("Info: Part Header Section", write_part_header, xml_file);
  const char *action = vettra_run_config.action;
  if (section_selected(action, ACTION_MODEL)) {
    logged_step("Info: Check_Model Section", write_model_data, xml_file);
  }
  if (section_selected(action, ACTION_ASSEMBLY)) {
    logged_step("Info: Check_Assembly Section", write_assembly_data, xml_file);
  }
  if (section_selected(action, ACTION_DRAWING)) {
    logged_step("Info: Check_Drawing Section", write_drawings, xml_file);
  }
  if (vettra_run_config.detail_option[0] != '\0') {
    logged_step("Info: Check_Entities Section", write_selected_entities, xml_file);
  }
  logged_step("Info: write_xml_end Section", write_xml_end, xml_file);
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
  write_report(names.xml_file);
  int result_code = 0;
  char result_message[ERROR_TEXT_SIZE];
  fetch_result(&result_code, result_message);
  if (vettra_run_config.cgm_dir[0] != '\0') {
    export_drawings_cgm(vettra_run_config.cgm_dir, names.cgm_prefix,
                        vettra_run_config.drawing_filter, vettra_run_config.cgm_mode);
  }
  append_result(vettra_run_config.result_file, RESULT_RECORD, part_spec, result_code,
                result_message, names.xml_file);
  finish_check();
  return result_code;
}
