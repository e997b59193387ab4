/* The report sections, one file each, named after the element it writes. */
#ifndef VETTRA_SECTIONS_H
#define VETTRA_SECTIONS_H

#include "orvel/zk_types.h"

int write_part_header(const char *path);
int write_model_data(const char *path);
int write_assembly_data(const char *path);

/* Reads the string attribute `title` of `object` into buffer (size bytes);
 * 4711 when the object is not alive, 0 or title missing, else the host code. */
int read_string_attribute(tag_t object, const char *title, char *buffer, unsigned long size);

#endif
