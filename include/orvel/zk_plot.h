/* Orvel host SDK: plotting drawings to CGM files (PLOT) and the legacy CGM
 * export routine zc6410. */
#ifndef ORVEL_ZK_PLOT_H
#define ORVEL_ZK_PLOT_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Colour options of a plot job. */
#define ZK_PLOT_COLORS_AS_DISPLAYED 1 /* each curve and text in its own colour */
#define ZK_PLOT_BLACK_ON_WHITE 3      /* everything black on a white sheet */

/* Plot job options. The first field is the colour option. */
typedef struct ZK_PLOT_job_options_s {
  int colors; /* ZK_PLOT_COLORS_AS_DISPLAYED or ZK_PLOT_BLACK_ON_WHITE */
  int copies; /* copies of a printed job; not used by CGM output */
} ZK_PLOT_job_options_t;

/* Fills `options` with the session's plot job options. 0, or
 * an error code for a null pointer. */
int ZK_PLOT_ask_session_job_options(ZK_PLOT_job_options_t *options);

/* Makes `options` the session's plot job options (they stay until set
 * again). 0, or an error code for a null pointer or an unknown colour
 * option. */
int ZK_PLOT_set_session_job_options(const ZK_PLOT_job_options_t *options);

/* Writes drawing `drawing` of the work part as a binary CGM file at `path`
 * (replacing it atomically), black on white when options->colors is
 * ZK_PLOT_BLACK_ON_WHITE. `job_name` names the plot job; `reserved` must be
 * NULL. 0, or an error code (unknown drawing, file not writable). */
int ZK_PLOT_save_cgm(tag_t drawing, const ZK_PLOT_job_options_t *options, const char *job_name,
                     const void *reserved, const char *path);

/* zc6410: the legacy CGM export. Writes the work part's drawing named
 * `drawing_name` as a binary CGM file at `path`, each curve in its colour.
 * `mode`, `size` and `numbers` (15 integers) are accepted as given. 0, or an
 * error code (no such drawing, file not writable). */
int zc6410(const char *drawing_name, const char *path, int mode, int size, const int numbers[15]);

#ifdef __cplusplus
}
#endif

#endif
