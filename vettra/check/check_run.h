/* The check run of one part and the result file. */
#ifndef VETTRA_CHECK_RUN_H
#define VETTRA_CHECK_RUN_H

/* Keywords of the run configuration's `action` that select report sections. */
extern const char *const ACTION_MODEL;    /* "ModelGetData" */
extern const char *const ACTION_ASSEMBLY; /* "AssemblyGetData" */
extern const char *const ACTION_DRAWING;  /* "DrawingGetData" */

/* Checks the work part and appends its record to the result file; part_spec
 * is the caller's name for the part, written as the record's first field.
 * Returns the part's result code, 0 when nothing failed. A report that is
 * missing or incomplete gives its own code (-1020 to -1023) over any host
 * failure. */
int check_part(const char *part_spec);

/* True when `action` selects the section of `keyword`: an empty action
 * selects every section, any other one the sections whose keyword it holds
 * (case-sensitive, anywhere in the text). */
int section_selected(const char *action, const char *keyword);

/* One report step framed by its log lines "Info: <name>" and
 * "Info: <name> --> passed", or "Error: <name> --> N lines lost" when lines
 * were lost; returns the number of lines lost. */
unsigned long logged_step(const char *name, int (*writer)(const char *path), const char *path);

/* Result file: the header line (0, or -1 when the file cannot be created or
 * the header is lost) and one record appended per call (nothing when path is
 * empty; 0, or -1 when the record is lost). A record is a report-writer
 * line, written whole. Every lost line is logged and counted in the run
 * configuration's `result_lines_lost`. */
int init_result_file(void);
int append_result(const char *path, const char *format, ...) __attribute__((format(printf, 2, 3)));

#endif
