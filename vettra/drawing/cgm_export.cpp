/* The CGM export: writes each drawing of the work part as a CGM file into
 * the run's CGM directory, named after the part and the drawing, through the
 * host's legacy CGM routine (mode "-1") or its plot interface with black on
 * white (mode "3"). Failures are recorded and logged; the loop goes on. */
#include <string.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/drawing/drawing.h"
#include "vettra/text/bounded.h"

/* Line numbers handed to record_error. */
static const int LINE_CGM_PATH = 2504;
static const int LINE_CGM_OLD_MODE = 2509;
static const int LINE_ASK_JOB_OPTIONS = 2516;
static const int LINE_SET_JOB_OPTIONS = 2518;
static const int LINE_PLOT_SAVE_CGM = 2519;

static const char *const WITH_VIEW_KEYWORD = "_with_view_";
static const char *const MODE_OLD = "-1";
static const char *const MODE_PLOT = "3";
static const char *const PLOT_JOB_NAME = "Refile";
static const int OLD_MODE_ARG = 2;

/* File name and path of one CGM file. */
#define CGM_PATH_SIZE 516

/* The number table handed to the legacy routine. */
static const int CGM_NUMBERS[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

int drawing_has_view(const char *drawing_name) {
  char view_name[DRAWING_NAME_SIZE];
  memset(view_name, 0, sizeof(view_name));
  zc6499(drawing_name, view_name);
  return view_name[0] != '\0' ? 1 : 0;
}

static void export_old_mode(const char *name, const char *path) {
  log_info("CGM: old mode");
  record_error(zc6410(name, path, OLD_MODE_ARG, OLD_MODE_ARG, CGM_NUMBERS), LINE_CGM_OLD_MODE,
               SOURCE_UTILS);
  log_info("CGM: old mode --> passed");
}

static void export_plot_mode(tag_t drawing, const char *path) {
  ZK_PLOT_job_options_t options;
  memset(&options, 0, sizeof(options));
  log_info("CGM: Cgm_Def_Color_Option = ZK_PLOT_BLACK_ON_WHITE");
  record_error(ZK_PLOT_ask_session_job_options(&options), LINE_ASK_JOB_OPTIONS, SOURCE_UTILS);
  options.colors = ZK_PLOT_BLACK_ON_WHITE;
  record_error(ZK_PLOT_set_session_job_options(&options), LINE_SET_JOB_OPTIONS, SOURCE_UTILS);
  /* Recorded like the legacy routine's write: a file that was not written
   * must not leave only the "passed" line behind. */
  record_error(ZK_PLOT_save_cgm(drawing, &options, PLOT_JOB_NAME, NULL, path), LINE_PLOT_SAVE_CGM,
               SOURCE_UTILS);
  log_info("CGM: Cgm_Def_Color_Option = ZK_PLOT_BLACK_ON_WHITE --> passed");
}

/* One drawing. A name longer than the 30 characters the export's name
 * buffers hold is passed over with a warning: cut, it could name another
 * drawing or overwrite another drawing's file. So is a name with a "/":
 * the file name is the prefix and the drawing's name, and a separator in it
 * would put the file somewhere else than the CGM directory ("../x" climbs
 * out of it); replaced, it could again overwrite another drawing's file.
 * A drawing the view filter leaves out is passed over first, silently,
 * whatever its name. */
static void export_drawing(tag_t drawing, const char *cgm_dir, const char *cgm_prefix,
                           int with_view, const char *cgm_mode) {
  char full_name[ZK_OBJ_NAME_BUFSIZE] = "";
  ZK_OBJ_ask_name(drawing, full_name);
  if (with_view && drawing_has_view(full_name) == 0) return;
  if (strlen(full_name) >= DRAWING_NAME_SIZE) {
    log_info("Warning: %s not exported, drawing name longer than %d characters", full_name,
             DRAWING_NAME_SIZE - 1);
    return;
  }
  if (strchr(full_name, '/') != NULL) {
    log_info("Warning: %s not exported, drawing name holds a \"/\"", full_name);
    return;
  }
  char name[DRAWING_NAME_SIZE];
  memset(name, 0, sizeof(name));
  COPY(name, full_name);
  char file_name[CGM_PATH_SIZE];
  char path[CGM_PATH_SIZE];
  memset(path, 0, sizeof(path));
  FORMAT(file_name, "%s_%s.cgm", cgm_prefix, name);
  record_error(zc4575(cgm_dir, 0, file_name, path), LINE_CGM_PATH, SOURCE_UTILS);
  log_info("CGM: Output (%s) to [%s]", name, path);
  if (strcmp(cgm_mode, MODE_OLD) == 0) {
    export_old_mode(name, path);
  } else if (strcmp(cgm_mode, MODE_PLOT) == 0) {
    export_plot_mode(drawing, path);
  }
}

int export_each_drawing(const char *cgm_dir, const char *cgm_prefix, int with_view,
                        const char *cgm_mode) {
  tag_t part = ZK_ASSEM_ask_work_part();
  tag_t drawing = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  while (drawing != NULL_TAG) {
    export_drawing(drawing, cgm_dir, cgm_prefix, with_view, cgm_mode);
    ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  }
  return 0;
}

int export_drawings_cgm(const char *cgm_dir, const char *cgm_prefix, const char *drawing_filter,
                        const char *cgm_mode) {
  int with_view = strstr(drawing_filter, WITH_VIEW_KEYWORD) != NULL;
  return export_each_drawing(cgm_dir, cgm_prefix, with_view, cgm_mode);
}
