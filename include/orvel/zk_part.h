/* Orvel host SDK: parts (PART module) and the work and display part. */
#ifndef ORVEL_ZK_PART_H
#define ORVEL_ZK_PART_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Outcome of loading a part and its components. */
typedef struct ZK_PART_load_status_s {
  int failed;  /* non-zero when some part could not be loaded, or was loaded
                * only in part (an exchange file with unreadable entities,
                * which the system log names) */
  int n_parts; /* number of part files that failed to load */
} ZK_PART_load_status_t;

/* Opens the part file `name` (a native file spec or, in PDM mode, an encoded
 * name "@DB/number/revision[/type/name]") with its components, following the
 * assembly load options. On success *part is the part's tag and the part is
 * the work part and the displayed part. A part that is already open is made
 * the work part again. On failure nothing stays loaded and the code's message
 * names the file and the problem. */
int ZK_PART_open(const char *name, tag_t *part, ZK_PART_load_status_t *status);

/* Saves the work part to its file (atomically) in the part file format. */
int ZK_PART_save_work_only(void);

/* Saves the work part (atomically) as the part file `name`; the part is
 * known by that name and saved to it from then on. A name that another open
 * part has is refused. */
int ZK_PART_save_as(const char *name);

/* Closes every open part; there is no work or displayed part afterwards. */
int ZK_PART_close_all(void);

/* The displayed part, 0 when none. */
tag_t ZK_PART_ask_display_part(void);

/* Writes the full name of `part` (ZK_FSPEC_BUFSIZE bytes). */
int ZK_PART_ask_part_name(tag_t part, char name[ZK_FSPEC_BUFSIZE]);

/* Units of `part`: ZK_PART_METRIC or ZK_PART_ENGLISH. */
int ZK_PART_ask_units(tag_t part, int *units);

/* Sets *description to a host-allocated copy of the part's description
 * (release with ZK_free), or to NULL when the part has none. */
int ZK_PART_ask_description(tag_t part, char **description);

/* History lists. A list is created empty, filled by ZK_PART_ask_part_history
 * and released by ZK_PART_delete_history_list. */
typedef struct ZK_history_list_s *ZK_history_list_t;
int ZK_PART_create_history_list(ZK_history_list_t *list);
int ZK_PART_clear_history_list(ZK_history_list_t list);
int ZK_PART_ask_part_history(tag_t part, ZK_history_list_t list);
int ZK_PART_ask_num_histories(ZK_history_list_t list, int *count);
/* Entry `index` (from 0): three host-allocated texts (release each with
 * ZK_free), the version number and the save time in seconds since 1970. On
 * failure the three texts are set to NULL. */
int ZK_PART_ask_nth_history(ZK_history_list_t list, int index, char **program, char **user,
                            char **machine, int *version, int *time);
int ZK_PART_delete_history_list(ZK_history_list_t list);

#ifdef __cplusplus
}
#endif

#endif
