/* Orvel host SDK: the session, its services and the numbered file-name routines.
 *
 * Every call returns a host return code unless it says otherwise: 0 is success,
 * any other value has a message (ZK_get_fail_message). */
#ifndef ORVEL_ZK_SESSION_H
#define ORVEL_ZK_SESSION_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the host interface ready for the calls that follow. Calling it again
 * while ready is harmless. */
int ZK_initialize(void);

/* Ends the use of the host interface. Returns 0. */
int ZK_terminate(void);

/* Writes the message of `code` into `message`, which holds
 * ZK_FAIL_MESSAGE_BUFSIZE bytes. An unknown code gets a message that says so
 * and the call returns a non-zero code. Code 0 gives "No error". */
int ZK_get_fail_message(int code, char message[ZK_FAIL_MESSAGE_BUFSIZE]);

/* Appends `text` unchanged to the host's system log (standard error, or the
 * file named when the host was started). `flush` is not used. */
int ZK_print_syslog(const char *text, int flush);

/* Listing window: the host writes it to its standard output. */
int ZK_UI_is_listing_window_open(logical *open);
int ZK_UI_open_listing_window(void);
/* Writes `text` unchanged to the listing window; fails when it is not open. */
int ZK_UI_write_listing_window(const char *text);

/* Sets *value to the value of the environment variable `name`, or to NULL when
 * it is not set. The text belongs to the host: never release it. */
int ZK_translate_variable(const char *name, char **value);

/* Sets *release to a host-allocated release text such as "V8.0.3.5" (release
 * with ZK_free), or to NULL when the host has none. */
int ZK_get_release(char **release);

/* Releases memory the host allocated for the caller. NULL is allowed. */
void ZK_free(void *memory);

/* Timers: CPU and real time since ZK_begin_timer. */
typedef int ZK_timer_t;
typedef struct ZK_timer_values_s {
  double cpu_time;  /* seconds of processor time */
  double real_time; /* seconds of wall-clock time */
} ZK_timer_values_t;
int ZK_begin_timer(ZK_timer_t *timer);
int ZK_end_timer(ZK_timer_t timer, ZK_timer_values_t *values);

/* zc4574: derives a name from the file spec `fspec`. Mode 2 writes the file
 * name without directory and without extension into `out`
 * (ZK_FSPEC_BUFSIZE bytes); "d:\parts\bracket.prt" and "/p/bracket.prt" both
 * give "bracket". Other modes: 1 the name with extension, 3 the directory. */
int zc4574(const char *fspec, int mode, char out[ZK_FSPEC_BUFSIZE]);

/* zc4575: joins directory `dir` and file name `fname` into `path`
 * (ZK_PATH_BUFSIZE bytes) with one "/" between them; an empty `dir` gives the
 * bare file name. `type` is not used. A result longer than
 * ZK_PATH_BUFSIZE - 1 characters is refused: `path` is emptied and a non-zero
 * code returned. */
int zc4575(const char *dir, int type, const char *fname, char path[ZK_PATH_BUFSIZE]);

#ifdef __cplusplus
}
#endif

#endif
