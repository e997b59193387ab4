/* The run configuration and the run state: the plug-in's two process-wide
 * records. The run configuration is exported (symbol `vettra_run_config`) so
 * that a batch caller can fill it before it calls StartOfProgram; every text
 * must be NUL-terminated within its capacity. The run outcome at its end is
 * the plug-in's to fill, for the caller to read once StartOfProgram returns. */
#ifndef VETTRA_RUN_CONFIG_H
#define VETTRA_RUN_CONFIG_H

#include <stdint.h>

/* Capacities, terminating NUL included. */
#define RC_PART_LIST_FILE_SIZE 3072
#define RC_PATH_SIZE 1024
#define RC_DETAIL_OPTION_SIZE 2048
#define RC_ACTION_SIZE 2048
#define RC_CGM_FILE_SIZE 516

struct run_config {
  /* Parts to check */
  char part_list_file[RC_PART_LIST_FILE_SIZE]; /* one part spec a line; list mode if set */
  char result_file[RC_PATH_SIZE];              /* result file; none when empty */
  char outdir[RC_PATH_SIZE];                   /* directory of the report files */
  char single_part[RC_PATH_SIZE];              /* one part spec; single-part mode if set */
  /* CGM export */
  char cgm_dir[RC_PATH_SIZE];        /* CGM export directory; export only if set */
  char drawing_filter[RC_PATH_SIZE]; /* "_All_", "_with_view_" */
  /* Report selection */
  char detail_option[RC_DETAIL_OPTION_SIZE]; /* object types of the entities section */
  char action[RC_ACTION_SIZE];               /* section and import keywords */
  /* CGM import */
  char cgm_target_part[RC_PATH_SIZE]; /* part file the import saves */
  char cgm1_file[RC_CGM_FILE_SIZE];   /* first CGM file to import */
  /* Update flags */
  int32_t update_views;     /* update drawing views when not 0 */
  int32_t update_features;  /* update all features when not 0 */
  int32_t update_structure; /* synchronise the assembly structure when not 0 */
  /* CGM settings */
  char cgm2_file[RC_CGM_FILE_SIZE]; /* second CGM file to import */
  char cgm_mode[RC_CGM_FILE_SIZE];  /* "-1" old export, "3" black on white */
  /* Per-part extras */
  int32_t do_snapshot; /* drawing snapshot after each check when 1 */
  int32_t do_save;     /* save the work part after each check when 1 */
  /* Diagnostics */
  int32_t verbose;        /* numbered trace lines when not 0 */
  int32_t console_output; /* enables the gated log channels when not 0 */
  int32_t log_channel;    /* 0 listing window, 1 system log, 2 standard output */
  /* CGM import placement */
  char cgm_template_part[RC_PATH_SIZE]; /* template part opened by the import */
  int32_t cgm1_color;                   /* colour of the first file's objects, -1 none */
  int32_t cgm2_color;                   /* colour of the second file's objects */
  int32_t cgm1_layer;                   /* layer of the first file */
  int32_t cgm2_layer;                   /* layer of the second file */
  double cgm_offset_x;                  /* X shift of the second file's objects */
  double cgm_offset_y;                  /* Y shift of the second file's objects */
  /* Run outcome, set by the plug-in for the caller to read after the run */
  int32_t result_lines_lost; /* result file lines that could not be written */
  int32_t import_result;     /* the CGM import's result: 0, or -1002 when it failed */
};

#define RS_TEXT_SIZE 256
#define RS_REPORT_PATH_SIZE 516

/* Values captured for the part being checked; never cleared between parts. */
struct run_state {
  char load_start_time[RS_TEXT_SIZE];    /* timestamp before the part was loaded */
  char load_end_time[RS_TEXT_SIZE];      /* timestamp when the check run starts */
  char load_start_memory[RS_TEXT_SIZE];  /* KiB available before loading (list mode) */
  char load_end_memory[RS_TEXT_SIZE];    /* KiB available when the check starts */
  char update_start_time[RS_TEXT_SIZE];  /* timestamp before the update stage */
  char update_end_time[RS_TEXT_SIZE];    /* timestamp after the update stage */
  int32_t features_update_code;          /* host code of the feature update */
  int32_t structure_sync_code;           /* host code of the structure sync */
  int32_t views_update_code;             /* result of the drawing-views update */
  char report_path[RS_REPORT_PATH_SIZE]; /* report of the last check run */
  int32_t report_saved;                  /* 1 when that report was saved whole */
};

extern "C" {
extern struct run_config vettra_run_config;
}
extern struct run_state vettra_run_state;

#endif
