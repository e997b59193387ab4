/* The load options block for a given options record (the frame asks the host
 * for the record and passes it here). */
#ifndef VETTRA_FRAME_H
#define VETTRA_FRAME_H

#include "orvel/zk_assem.h"

int write_load_option_values(const char *path, const ZK_ASSEM_options_t *options);

#endif
