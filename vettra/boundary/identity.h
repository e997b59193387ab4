/* The program's identity: the fixed texts printed by the start banners, the
 * report header and the syslog prefix. */
#ifndef VETTRA_IDENTITY_H
#define VETTRA_IDENTITY_H

extern const char *const PROGRAM_NAME;    /* "Vettra" */
extern const char *const PROGRAM_RELEASE; /* "V2.0.0.2 (Orvel 8) (intern)" */
extern const char *const BUILD_DATE;      /* "(Jan 30 2013)" */
extern const char *const PROGRAM_PREFIX;  /* "+++Vettra: " */

#endif
