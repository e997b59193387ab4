/* Orvel host SDK: basic types, object type numbers and capacities.
 *
 * Every text the host writes into a caller's buffer fits the capacity named
 * here (terminating NUL included); the host never writes past it. Texts that
 * the host allocates for the caller are released with ZK_free. */
#ifndef ORVEL_ZK_TYPES_H
#define ORVEL_ZK_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Handle of a host object. Never reused within a session; 0 means none. */
typedef uint32_t tag_t;
#define NULL_TAG ((tag_t)0)

/* A one-byte truth value. */
typedef unsigned char logical;

/* Capacities of caller buffers (bytes, terminating NUL included). */
#define ZK_MAX_FSPEC_SIZE 255          /* longest part name / file spec */
#define ZK_FSPEC_BUFSIZE 256           /* buffer for a part name */
#define ZK_PATH_BUFSIZE 516            /* buffer for a joined path (zc4575) */
#define ZK_OBJ_NAME_BUFSIZE 133        /* object names (132 characters) */
#define ZK_REFSET_NAME_BUFSIZE 31      /* reference set names (30 characters) */
#define ZK_INSTANCE_NAME_BUFSIZE 129   /* instance names (128 characters) */
#define ZK_COMPONENT_FILE_BUFSIZE 257  /* component part file in component data */
#define ZK_ATTR_TITLE_BUFSIZE 256      /* attribute titles (255 characters) */
#define ZK_ATTR_STRING_BUFSIZE 256     /* string attribute values (255 characters) */
#define ZK_FAIL_MESSAGE_BUFSIZE 133    /* ZK_get_fail_message text (132 characters) */
#define ZK_VQMGR_PART_NUMBER_BUFSIZE 129
#define ZK_VQMGR_REV_BUFSIZE 33
#define ZK_VQMGR_FILE_TYPE_BUFSIZE 43
#define ZK_VQMGR_FILE_NAME_BUFSIZE 129
#define ZK_VQMGR_REVISION_ID_BUFSIZE 129 /* ZK_VQMGR_ask_part_revision_id */
#define ZK_VQMGR_ENCODED_BUFSIZE 257     /* ZK_VQMGR_encode_part_filename */

/* Object types. */
#define ZK_part_type 1
#define ZK_point_type 2
#define ZK_line_type 3
#define ZK_circle_type 5
#define ZK_conic_type 6
#define ZK_spline_type 9
#define ZK_pattern_type 10
#define ZK_drafting_entity_type 25
#define ZK_dimension_type 26
#define ZK_view_type 60
#define ZK_drawing_type 62
#define ZK_component_type 63
#define ZK_reference_set_type 64
#define ZK_occ_instance_type 65 /* an instance of a part in an assembly */
#define ZK_solid_type 70        /* bodies, faces and edges */
#define ZK_expression_type 80
#define ZK_material_type 81
#define ZK_arrangement_type 82
#define ZK_feature_type 205

/* Subtypes of ZK_solid_type. */
#define ZK_solid_body_subtype 0
#define ZK_solid_face_subtype 2
#define ZK_solid_edge_subtype 3

/* Body types (ZK_MODL_ask_body_type). */
#define ZK_MODL_SOLID_BODY 5601
#define ZK_MODL_SHEET_BODY 5602

/* Object status (ZK_OBJ_ask_status). */
#define ZK_OBJ_DELETED 0
#define ZK_OBJ_TEMPORARY 1
#define ZK_OBJ_CONDEMNED 2
#define ZK_OBJ_ALIVE 3

/* Attribute value types. */
#define ZK_ATTR_integer 1
#define ZK_ATTR_real 2
#define ZK_ATTR_time 3
#define ZK_ATTR_string 5
#define ZK_ATTR_any 6

/* Layers run from 0 to ZK_LAYER_MAX. */
#define ZK_LAYER_MAX 256

/* Part units. */
#define ZK_PART_METRIC 1
#define ZK_PART_ENGLISH 2

#ifdef __cplusplus
}
#endif

#endif
