/* The update stage of the check run: brings the work part up to date before
 * its report is written, in a fixed order (features, assembly structure,
 * drawing views), each step switched on by its own flag. Every failure goes
 * to the error recorder; no failure stops a loop or skips a later step. */
#include <string.h>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/run_config.h"
#include "vettra/drawing/drawing.h"
#include "vettra/text/bounded.h"

/* Line numbers handed to record_error; they end up in result messages. */
static const int LINE_UPDATE_FAIL_OPTION = 2399;
static const int LINE_UPDATE_FEATURES = 2400;
static const int LINE_UPDATE_STRUCTURE = 2417;
static const int LINE_UPDATE_VIEW = 2445;
static const int LINE_OUT_OF_DATE = 2454;

/* The update-fail option set before the feature update. */
static const int UPDATE_FAIL_OPTION = 5;
/* Code recorded for a drawing that is still out of date after its update. */
static const int DRAWING_OUT_OF_DATE = 200;
/* A drawing filter holding this keyword selects only the drawing named by
 * the whole filter text. */
static const char *const FILTER_ALL = "_All_";

int run_feature_update(void) {
  record_error(ZK_MODL_set_update_fail_option(UPDATE_FAIL_OPTION), LINE_UPDATE_FAIL_OPTION,
               SOURCE_UTILS);
  return record_error(ZK_MODL_update_all_features(), LINE_UPDATE_FEATURES, SOURCE_UTILS);
}

int run_structure_sync(void) {
  return record_error(ZK_FLTR_update_structure(ZK_ASSEM_ask_work_part()), LINE_UPDATE_STRUCTURE,
                      SOURCE_UTILS);
}

int run_views_update(void) {
  return update_drawing_views(vettra_run_config.drawing_filter);
}

static int drawing_selected(const char *filter, const char *name) {
  return strstr(filter, FILTER_ALL) == NULL || strcmp(name, filter) == 0;
}

/* Updates every view the view-name cycle gives for the drawing; `result` is
 * the code of the last update. */
static void update_views_of(tag_t drawing, const char *drawing_name, int *result) {
  char view_name[DRAWING_NAME_SIZE];
  memset(view_name, 0, sizeof(view_name));
  zc6499(drawing_name, view_name);
  while (view_name[0] != '\0') {
    tag_t view = NULL_TAG;
    ZK_VIEW_ask_tag_of_view_name(view_name, &view);
    log_info("Update: %s (%s)", view_name, drawing_name);
    *result = record_error(ZK_DRAW_update_one_view(drawing, view), LINE_UPDATE_VIEW, SOURCE_UTILS);
    zc6499(drawing_name, view_name);
  }
}

static void test_out_of_date(tag_t drawing, int *result) {
  logical out_of_date = 0;
  ZK_DRAW_is_object_out_of_date(drawing, &out_of_date);
  if (!out_of_date) return;
  char name[ZK_OBJ_NAME_BUFSIZE] = "";
  ZK_OBJ_ask_name(drawing, name);
  log_info("Error: %s out of date", name);
  *result = DRAWING_OUT_OF_DATE;
  record_error(DRAWING_OUT_OF_DATE, LINE_OUT_OF_DATE, SOURCE_UTILS);
}

/* The views update works with names of at most 30 characters. A selected
 * drawing whose name is longer is passed over with a warning: a cut name
 * would name no drawing, or another one. */
static void update_drawing(tag_t drawing, const char *filter, int *result) {
  char full_name[ZK_OBJ_NAME_BUFSIZE] = "";
  ZK_OBJ_ask_name(drawing, full_name);
  if (!drawing_selected(filter, full_name)) return;
  if (strlen(full_name) >= DRAWING_NAME_SIZE) {
    log_info("Warning: %s not updated, drawing name longer than %d characters", full_name,
             DRAWING_NAME_SIZE - 1);
    return;
  }
  char drawing_name[DRAWING_NAME_SIZE];
  memset(drawing_name, 0, sizeof(drawing_name));
  COPY(drawing_name, full_name);
  update_views_of(drawing, drawing_name, result);
  test_out_of_date(drawing, result);
}

int update_drawing_views(const char *filter) {
  int result = 0;
  tag_t part = ZK_ASSEM_ask_work_part();
  tag_t drawing = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  while (drawing != NULL_TAG) {
    update_drawing(drawing, filter != NULL ? filter : "", &result);
    ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  }
  return result;
}

int run_updates(void) {
  if (vettra_run_config.update_features != 0) {
    log_info("Update: All Features");
    vettra_run_state.features_update_code = run_feature_update();
    log_info("Update: All Features ---> passed");
  }
  if (vettra_run_config.update_structure != 0) {
    log_info("Update: Structure Sync");
    vettra_run_state.structure_sync_code = run_structure_sync();
    log_info("Update: Structure Sync ---> passed");
  }
  if (vettra_run_config.update_views != 0) {
    log_info("Update: Drawing views");
    vettra_run_state.views_update_code = run_views_update();
    log_info("Update: Drawing views ---> passed");
  }
  return 0;
}
