/* Bringing the work part up to date before its report, and the drawing
 * snapshot after its check. */
#ifndef VETTRA_DRAWING_H
#define VETTRA_DRAWING_H

/* Drawing and view names of the views update: 30 characters. */
#define DRAWING_NAME_SIZE 31

/* Runs the update steps the run configuration switches on (features,
 * assembly structure, drawing views, in this order) and stores each step's
 * code in the run state. Always 0. */
int run_updates(void);
/* Sets the update-fail option and updates every feature; the host's code of
 * the feature update. */
int run_feature_update(void);
/* Synchronises the work part's assembly structure; the host's code. */
int run_structure_sync(void);
/* update_drawing_views with the run configuration's drawing filter. */
int run_views_update(void);
/* Updates the views of the drawings `filter` selects and tests each of them
 * for being still out of date. The code assigned last (a view update's code,
 * or 200 for a drawing still out of date), 0 when none was. */
int update_drawing_views(const char *filter);
/* Has the host record a drawing-compare snapshot of the work part when it
 * holds a drawing. Always 0. */
int take_drawing_snapshot(void);

/* Writes each drawing of the work part as "<cgm_prefix>_<drawing>.cgm" into
 * `cgm_dir`: "-1" through the legacy routine, "3" through the plot interface
 * black on white, any other mode writes nothing. A `drawing_filter` holding
 * "_with_view_" passes over drawings without a view. Always 0. */
int export_drawings_cgm(const char *cgm_dir, const char *cgm_prefix, const char *drawing_filter,
                        const char *cgm_mode);
int export_each_drawing(const char *cgm_dir, const char *cgm_prefix, int with_view,
                        const char *cgm_mode);
/* 1 when the drawing has at least one view, else 0. */
int drawing_has_view(const char *drawing_name);

/* Builds a new part from the template part and the two CGM files of the
 * run configuration and saves it under the target name. 0 when both imports
 * succeeded (later failures are recorded), -1002 when the template part did
 * not open or an import failed. */
int import_cgm_into_template(void);
/* Deletes every drawing of the work part; the number of failed deletions. */
int delete_all_drawings(void);

#endif
