/* Orvel host SDK: the managed part store (VQMGR module, PDM mode). */
#ifndef ORVEL_ZK_VQMGR_H
#define ORVEL_ZK_VQMGR_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sets *is_active to 1 when the session runs in PDM mode, else leaves it. */
int ZK_is_vqmanager_active(logical *is_active);

/* Builds the encoded name "@DB/number/revision" (type and name empty) or
 * "@DB/number/revision/type/name" into `encoded`. A result longer than
 * ZK_VQMGR_ENCODED_BUFSIZE - 1 characters is refused: empty `encoded`,
 * non-zero code. Fails outside PDM mode or for an empty part number. */
int ZK_VQMGR_encode_part_filename(const char *part_number, const char *revision,
                                  const char *file_type, const char *file_name,
                                  char encoded[ZK_VQMGR_ENCODED_BUFSIZE]);

/* The inverse: splits an encoded name into its four fields, each cut at its
 * buffer. Fields the name does not have are emptied. Fails for a text that is
 * not an encoded name. */
int ZK_VQMGR_decode_part_filename(const char *encoded,
                                  char part_number[ZK_VQMGR_PART_NUMBER_BUFSIZE],
                                  char revision[ZK_VQMGR_REV_BUFSIZE],
                                  char file_type[ZK_VQMGR_FILE_TYPE_BUFSIZE],
                                  char file_name[ZK_VQMGR_FILE_NAME_BUFSIZE]);

/* The item of a part number, 0 and a non-zero code when the store has none. */
int ZK_VQMGR_ask_part_tag(const char *part_number, tag_t *part);
/* The configured revision of an item: its newest revision. */
int ZK_VQMGR_ask_configured_rev(tag_t part, tag_t *revision);
int ZK_VQMGR_ask_part_revision_id(tag_t revision,
                                  char revision_id[ZK_VQMGR_REVISION_ID_BUFSIZE]);

#ifdef __cplusplus
}
#endif

#endif
