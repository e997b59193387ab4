/* The functions the host calls: the interactive entries, the housekeeping
 * entries and the batch entry. These and the run configuration record are the
 * only symbols the library exports. */
#ifndef VETTRA_ENTRY_POINTS_H
#define VETTRA_ENTRY_POINTS_H

#include <stddef.h>

#define VETTRA_EXPORT __attribute__((visibility("default")))

extern "C" {
/* The host's interactive entry; its arguments are not read. Returns the value
 * of ZK_terminate. */
VETTRA_EXPORT int zkusr(char *parameter, int *return_code, int parameter_length);
VETTRA_EXPORT void zkusr_cleanup(void);
/* Vettra's answer to the host's unload query: always 1. */
VETTRA_EXPORT int zkusr_ask_unload(void);
/* Checks the work part and runs the post command on its report. */
VETTRA_EXPORT void Vettra_Interactive_Entry(void);
/* The batch entry: checks the parts the run configuration names. */
VETTRA_EXPORT int StartOfProgram(void);
}

/* Capacity of the post command and of the command line built from it. */
#define POST_COMMAND_SIZE 516
#define POST_COMMAND_LINE_SIZE 1024

/* Builds "<command> '<path>' " into line (size bytes): the path goes to the
 * shell as one word, each ' in it written as '\''. 0, or 1 when the line does
 * not fit; line is then empty. */
int build_post_command(const char *command, const char *path, char *line, size_t size);

#endif
