/* The report sections, one file each, named after the element it writes. */
#ifndef VETTRA_SECTIONS_H
#define VETTRA_SECTIONS_H

#include "orvel/zk_types.h"

int write_part_header(const char *path);
int write_model_data(const char *path);
int write_assembly_data(const char *path);
int write_drawings(const char *path);
/* The objects of the types listed in detail_option (type numbers 1 to 999,
 * separated by commas). */
int write_entities(const char *path, const char *detail_option);
int write_entity_details(const char *path, int type, int subtype, tag_t object);
/* Occurrences of `delimiter` in text plus 1. */
int count_fields(const char *text, char delimiter);

/* Reads the string attribute `title` of `object` into buffer (size bytes);
 * 4711 when the object is not alive, 0 or title missing, else the host code. */
int read_string_attribute(tag_t object, const char *title, char *buffer, unsigned long size);

/* The small writers of <PartHeader>, in the order write_part_header calls them. */
int write_cli_name(const char *path);
int write_part_history(const char *path);
int write_units(const char *path);
int write_description(const char *path);
int write_attributes(const char *path);
int write_expressions(const char *path);

/* The blocks of <ModelData>. */
int write_entire_part_mass(const char *path);
int write_refset_mass(const char *path, tag_t reference_set);
int write_bodies(const char *path);

/* Assembly helpers of <AssemblyData>. */
int component_level(tag_t component);          /* parents met up the chain, 0 for none */
int has_components(tag_t part);                /* 1 when the part holds a component */
int prototype_has_components(tag_t component); /* 1 when the component's part does */

#endif
