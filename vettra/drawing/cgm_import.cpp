/* The CGM import: builds a new part from a template part and two CGM files.
 * The objects the first file puts on its layer become model objects of its
 * colour; those of the second file likewise, and they are also moved by the
 * configured offset. Every drawing of the part is then deleted, and the part
 * is saved under the target name and closed with every other part. */
#include <string.h>

#include <vector>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/run_config.h"
#include "vettra/check/batch.h"
#include "vettra/drawing/drawing.h"

/* Result of import_cgm_into_template. */
static const int IMPORT_OK = 0;
static const int IMPORT_FAILED = -1002;

/* Line numbers handed to record_error. */
static const int LINE_IMPORT_CGM1 = 411;
static const int LINE_IMPORT_CGM2 = 435;
static const int LINE_SAVE_TARGET = 462;
static const int LINE_CLOSE_ALL = 463;
static const int LINE_DELETE_DRAWING = 2564;

/* Source names of this step's records: the import itself, and the drawing
 * deletion among the utilities. */
static const char *const SOURCE_IMPORT = SOURCE_MAIN;          /* "..\SOURCE_FILES\Vettra" */
static const char *const SOURCE_DRAWING_DELETE = SOURCE_UTILS; /* "..\SOURCE_FILES\vettra_utils" */

/* Arguments of the move, the same for every object. */
static const int MOVE_COUNT = 1;
static const int MOVE_MODE = 1;
static const int MOVE_LAYER_OPTION = 0;
static const int MOVE_TRACE_OPTION = 2;
static const int LAYER_STATUS_WORK = 1;

/* The import message handed to both imports, and the drawing name buffer. */
#define IMPORT_MESSAGE_SIZE 256
#define DELETE_NAME_SIZE 256

static const char *const TEMPLATE_NOT_LOADED = "Error: error loading cgm template part %s";
static const char *const CGM1_START = "Info: Import Cgm1_File %s to Layer [%d]";
static const char *const CGM1_FAILED = "CGM_Error: importing Cgm1_File %s (%s)";
static const char *const CGM1_PASSED = "Info: Import Cgm1_File (%d objects) --> passed";
static const char *const CGM2_START = "Info: Import Cgm2_File %s to Layer [%d]";
static const char *const CGM2_FAILED = "CGM_Error: importing Cgm2_File %s (%s)";
static const char *const CGM2_PASSED = "Info: Import Cgm2_File (%d objects) --> passed";
static const char *const MOVE_FAILED = "Error: %d  = %s transforming Obj";
static const char *const DELETING = "Info: %d.) Deleting %s";
static const char *const DELETE_FAILED = "Error:   Deleting %s";
static const char *const DELETE_PASSED = "Info: %d.) Deleting %s --> passed";

/* Imports one file onto `layer` made the work layer; the host's code. */
static int import_file(const char *file, int layer, char message[IMPORT_MESSAGE_SIZE], int line) {
  ZK_LAYER_set_status(layer, LAYER_STATUS_WORK);
  int code = zc6411(file, message);
  record_error(code, line, SOURCE_IMPORT);
  return code;
}

/* Moves one object by the matrix; a failure is logged with the host's
 * message for the status and the import goes on. */
static void move_object(tag_t object, double matrix[16]) {
  tag_t objects[1] = {object};
  int count = MOVE_COUNT, mode = MOVE_MODE, layer_option = MOVE_LAYER_OPTION;
  int trace_option = MOVE_TRACE_OPTION;
  tag_t copies = NULL_TAG, trace_group = NULL_TAG;
  int status = 0;
  zk5947(matrix, objects, &count, &mode, &layer_option, &trace_option, &copies, &trace_group,
         &status);
  if (status == 0) return;
  char message[ZK_FAIL_MESSAGE_BUFSIZE] = "";
  ZK_get_fail_message(status, message);
  log_info(MOVE_FAILED, status, message);
}

/* Makes every object on `layer` a model object of `color`, moving it by
 * `matrix` when one is given; the number of objects met. */
static int treat_layer_objects(int layer, int color, double *matrix) {
  tag_t view = NULL_TAG;
  ZK_VIEW_ask_work_view(&view);
  int count = 0;
  tag_t object = NULL_TAG;
  ZK_LAYER_cycle_by_layer(layer, &object);
  while (object != NULL_TAG) {
    ZK_VIEW_convert_to_model(view, object);
    ZK_OBJ_set_color(object, color);
    if (matrix != NULL) move_object(object, matrix);
    ++count;
    ZK_LAYER_cycle_by_layer(layer, &object);
  }
  return count;
}

/* The drawings are collected first and deleted afterwards, so that the
 * deletions do not disturb the cycle. The list grows with the part: a part
 * of any number of drawings loses all of them. */
int delete_all_drawings(void) {
  std::vector<tag_t> drawings;
  tag_t part = ZK_ASSEM_ask_work_part();
  tag_t drawing = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  while (drawing != NULL_TAG) {
    drawings.push_back(drawing);
    ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  }
  int failures = 0;
  char name[DELETE_NAME_SIZE];
  for (size_t i = 0; i < drawings.size(); ++i) {
    int number = (int)i + 1;
    memset(name, 0, sizeof(name));
    ZK_OBJ_ask_name(drawings[i], name);
    log_info(DELETING, number, name);
    int code = ZK_DRAW_delete_drawing(drawings[i]);
    record_error(code, LINE_DELETE_DRAWING, SOURCE_DRAWING_DELETE);
    if (code != 0) {
      log_info(DELETE_FAILED, name);
      ++failures;
    } else {
      log_info(DELETE_PASSED, number, name);
    }
  }
  log_info("\n");
  return failures;
}

int import_cgm_into_template(void) {
  const run_config &config = vettra_run_config;
  if (open_part(config.cgm_template_part) != 0) {
    log_info(TEMPLATE_NOT_LOADED, config.cgm_template_part);
    return IMPORT_FAILED;
  }
  double vector[3] = {config.cgm_offset_x, config.cgm_offset_y, 0.0};
  double matrix[16];
  memset(matrix, 0, sizeof(matrix));
  zk5943(vector, matrix);
  char message[IMPORT_MESSAGE_SIZE];
  memset(message, 0, sizeof(message));

  log_info(CGM1_START, config.cgm1_file, config.cgm1_layer);
  if (import_file(config.cgm1_file, config.cgm1_layer, message, LINE_IMPORT_CGM1) != 0) {
    log_info(CGM1_FAILED, config.cgm1_file, message);
    return IMPORT_FAILED;
  }
  log_info(CGM1_PASSED, treat_layer_objects(config.cgm1_layer, config.cgm1_color, NULL));

  log_info(CGM2_START, config.cgm2_file, config.cgm2_layer);
  if (import_file(config.cgm2_file, config.cgm2_layer, message, LINE_IMPORT_CGM2) != 0) {
    log_info(CGM2_FAILED, config.cgm2_file, message);
    return IMPORT_FAILED;
  }
  log_info(CGM2_PASSED, treat_layer_objects(config.cgm2_layer, config.cgm2_color, matrix));

  delete_all_drawings();
  record_error(ZK_PART_save_as(config.cgm_target_part), LINE_SAVE_TARGET, SOURCE_IMPORT);
  record_error(ZK_PART_close_all(), LINE_CLOSE_ALL, SOURCE_IMPORT);
  return IMPORT_OK;
}
