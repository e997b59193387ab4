/* Text tools for part names and file names, the PDM name builder and query. */
#ifndef VETTRA_NAMES_H
#define VETTRA_NAMES_H

#include <stddef.h>

int sanitize_file_name(char *text, size_t size);
int replace_first(char *text, const char *pattern, const char *replacement, char *out,
                  size_t out_size);
int nth_field(const char *text, int index, char delimiter, char *out, size_t out_size);
int after_nth_delimiter(const char *text, int n, char delimiter, char *out, size_t out_size);
void remove_spaces(char *text);
#define VQMGR_NAME_SIZE 257
int build_vqmgr_part_name(const char *spec, char out[VQMGR_NAME_SIZE]);
int is_pdm_active(void);

#endif
