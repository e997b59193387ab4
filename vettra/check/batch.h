/* The batch driver's part opener. StartOfProgram itself is declared with the
 * other entry points (vettra/boundary/entry_points.h). */
#ifndef VETTRA_BATCH_H
#define VETTRA_BATCH_H

/* Opens the part `name` as the work part; the host's code, 0 when open. A
 * failure is recorded with the error recorder. */
int open_part(const char *name);

#endif
