/* Environment settings read through the host. */
#ifndef VETTRA_ENVIRONMENT_H
#define VETTRA_ENVIRONMENT_H

#include <stddef.h>

/* Sets out to the variable's value as the host translates it, cut at `size`
 * bytes, or to the empty text when it is not set. 0, or 1 when the value was
 * cut. */
int translate_env(const char *name, char *out, size_t size);

#endif
