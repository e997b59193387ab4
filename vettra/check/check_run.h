/* The check run of one part and the result file. */
#ifndef VETTRA_CHECK_RUN_H
#define VETTRA_CHECK_RUN_H

/* Keywords of the run configuration's `action` that select report sections. */
extern const char *const ACTION_MODEL;    /* "ModelGetData" */
extern const char *const ACTION_ASSEMBLY; /* "AssemblyGetData" */
extern const char *const ACTION_DRAWING;  /* "DrawingGetData" */

/* Checks the work part and appends its record to the result file; part_spec
 * is the caller's name for the part, written as the record's first field.
 * Returns the part's result code, 0 when nothing failed. */
int check_part(const char *part_spec);

/* True when `action` selects the section of `keyword`: an empty action
 * selects every section, any other one the sections whose keyword it holds
 * (case-sensitive, anywhere in the text). */
int section_selected(const char *action, const char *keyword);

/* One report step framed by its log lines "<label>" and
 * "<label> --> passed"; the writer's result is not examined. */
void logged_step(const char *label, int (*writer)(const char *path), const char *path);

/* Result file: the header line (0, or -1 when the file cannot be created)
 * and one record appended per call (nothing when path is empty). A record
 * is a report-writer line: at most LINE_SIZE - 1 characters, cut there. */
int init_result_file(void);
int append_result(const char *path, const char *format, ...) __attribute__((format(printf, 2, 3)));

#endif
