/* Orvel host SDK: objects (OBJ, TAG, LAYER modules) and attributes (ATTR). */
#ifndef ORVEL_ZK_OBJ_H
#define ORVEL_ZK_OBJ_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Cycles the objects of `type` in `part`: start with *object 0; each call sets
 * *object to the next one, and to 0 after the last. O(1) per step. */
int ZK_OBJ_cycle_objs_in_part(tag_t part, int type, tag_t *object);

/* The object of `part` after `object` (0 starts the cycle), 0 at the end. */
tag_t ZK_OBJ_cycle_all(tag_t part, tag_t object);

int ZK_OBJ_ask_type_and_subtype(tag_t object, int *type, int *subtype);

/* ZK_OBJ_DELETED (also for an unknown tag), TEMPORARY, CONDEMNED or ALIVE. */
int ZK_OBJ_ask_status(tag_t object);

/* Writes the object's name (ZK_OBJ_NAME_BUFSIZE bytes); an object without a
 * name gives the empty text and a non-zero code. */
int ZK_OBJ_ask_name(tag_t object, char name[ZK_OBJ_NAME_BUFSIZE]);

typedef struct ZK_OBJ_disp_props_s {
  int layer;
  int color;
  int blank_status;
  int line_width;
  int font;
  int highlight_status;
} ZK_OBJ_disp_props_t;
int ZK_OBJ_ask_display_properties(tag_t object, ZK_OBJ_disp_props_t *props);

/* Sets *displayable to 1 when the object can be displayed, else 0. */
int ZK_OBJ_is_displayable(tag_t object, logical *displayable);

/* Sets *transferable to 1 when the object is carried over when its part's
 * data is transferred to another part, else 0. */
int ZK_OBJ_is_transferable(tag_t object, logical *transferable);

/* The persistent handle text of an object. The text belongs to the host and
 * lives until ZK_PART_close_all closes the parts (copy it to keep it longer);
 * never release it. An unknown tag gives "". */
const char *ZK_TAG_ask_handle_of_tag(tag_t object);

/* Cycles the objects of the work part on `layer` (0 to ZK_LAYER_MAX) as
 * ZK_OBJ_cycle_objs_in_part does. */
int ZK_LAYER_cycle_by_layer(int layer, tag_t *object);

/* Layer status ZK_LAYER_WORK makes `layer` (1 to ZK_LAYER_MAX) the work layer
 * of the work part, where created objects go; statuses 0, 2 and 3 are
 * accepted for any other layer. The work layer is 1 when a part opens. */
#define ZK_LAYER_WORK 1
int ZK_LAYER_set_status(int layer, int status);

/* Sets the colour (0 to 255) of an object of a part. */
int ZK_OBJ_set_color(tag_t object, int color);

/* An attribute value. For a string attribute read by ZK_ATTR_read_value the
 * caller points `string` at a buffer of ZK_ATTR_STRING_BUFSIZE bytes; for
 * ZK_ATTR_cycle the host points it at its own copy, valid until the next
 * ZK_ATTR_cycle call (never release it). */
typedef struct ZK_ATTR_value_s {
  int type; /* ZK_ATTR_integer, real, time or string */
  union {
    int integer;
    double real;
    int time[2]; /* date and time: day number and minutes */
    char *string;
  } value;
} ZK_ATTR_value_t;

/* Number of attributes of `type` (ZK_ATTR_any for all) on `object`. */
int ZK_ATTR_count_attributes(tag_t object, int type, int *count);

/* Next attribute of `type` on `object`: start with *index 0; each call
 * writes the title (ZK_ATTR_TITLE_BUFSIZE bytes) and value of one attribute
 * and advances *index, which comes back 0 after the last one. */
int ZK_ATTR_cycle(tag_t object, int *index, int type, char title[ZK_ATTR_TITLE_BUFSIZE],
                  ZK_ATTR_value_t *value);

/* Sets *found_type to the type of the attribute `title` (searched among
 * attributes of `type`, ZK_ATTR_any for all), 0 when there is none. */
int ZK_ATTR_find_attribute(tag_t object, int type, const char *title, int *found_type);

/* Reads the attribute `title` of `type` into `value`. For ZK_ATTR_string the
 * text is written into value->value.string. An object without an attribute
 * of that title is no failure: the call returns 0, sets value->type to 0 and
 * leaves the string buffer untouched. It fails when the attribute exists
 * with another type. */
int ZK_ATTR_read_value(tag_t object, const char *title, int type, ZK_ATTR_value_t *value);

#ifdef __cplusplus
}
#endif

#endif
