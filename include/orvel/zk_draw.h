/* Orvel host SDK: drawings and views (DRAW, VIEW modules), drafting objects
 * and dimensions (DRF), point curves (CURVE) and sketch dimensions (SKET).
 *
 * A drawing (ZK_drawing_type) has a sheet view of its own and an ordered list
 * of member views (ZK_view_type). Drafting entities (ZK_drafting_entity_type)
 * and dimensions (ZK_dimension_type) depend on a view or on none. */
#ifndef ORVEL_ZK_DRAW_H
#define ORVEL_ZK_DRAW_H

#include <stddef.h>

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Capacities of caller buffers (bytes, terminating NUL included). */
#define ZK_VIEW_CYCLE_NAME_BUFSIZE 31  /* view names of zc6499 (30 characters) */
#define ZK_VIEW_DEPENDENCY_BUFSIZE 256 /* text of zc6409 (255 characters) */
#define ZK_SKET_DIM_TEXT_BUFSIZE 256   /* text of ZK_SKET_ask_dim_status */

/* ---- Drawings and views ------------------------------------------------ */

/* Sets *view to the view of the drawing sheet itself, 0 when it has none. */
int ZK_DRAW_ask_view_of_drawing(tag_t drawing, tag_t *view);

/* Sets *count to the number of member views of `drawing` and *views to a
 * host-allocated array of their tags in drawing order (release with ZK_free
 * when the count is not 0); NULL and 0 for a drawing without member views. */
int ZK_DRAW_ask_views(tag_t drawing, int *count, tag_t **views);

/* Sets *out_of_date to 1 when the view or drawing needs an update, else 0.
 * A drawing is out of date while one of its views is, or while it is marked
 * so itself. */
int ZK_DRAW_is_object_out_of_date(tag_t object, logical *out_of_date);

/* The view's reference point on its drawing: X and Y. */
int ZK_DRAW_ask_drawing_ref_pt(tag_t view, double reference_point[2]);

/* Sets *anchor to the point object anchoring the view, 0 when it has none. */
int ZK_DRAW_ask_view_anchor(tag_t view, tag_t *anchor);

/* The view's scale: *scale is the scale factor; *scale_kind is 1 for a scale
 * given as a factor (the only kind the host keeps). */
int ZK_DRAW_ask_view_parm_scale(tag_t view, int *scale_kind, double *scale);

/* The view's angle in degrees. */
int ZK_DRAW_ask_view_angle(tag_t view, double *angle);

/* The view's borders on the drawing, in order Xmin, Ymin, Xmax, Ymax. */
int ZK_DRAW_ask_view_borders(tag_t view, double borders[4]);

/* Sets *count to the number of notes of the view and *notes to a
 * host-allocated array of their tags (release with ZK_free when the count is
 * not 0); NULL and 0 for a view without notes. */
int ZK_DRAW_ask_view_notes(tag_t view, int *count, tag_t **notes);

/* Updates `view`, a member view of `drawing`. A view that updates is no
 * longer out of date; a drawing whose views are all up to date is up to date
 * unless it cannot be brought up to date by its views. Fails for a view that
 * is not a member of the drawing. */
int ZK_DRAW_update_one_view(tag_t drawing, tag_t view);

/* The view's type and subtype. */
int ZK_VIEW_ask_type(tag_t view, int *type, int *subtype);

/* Cycle mode of ZK_VIEW_cycle_objects: the objects that depend on the view.
 * It is the only mode the host offers. */
#define ZK_VIEW_DEPENDENT_CYCLE 2

/* Cycles the objects that depend on `view`, in the order they were made
 * dependent: start with *object 0; each call sets *object to the next one, and
 * to 0 after the last. O(1) per step. */
int ZK_VIEW_cycle_objects(tag_t view, int mode, tag_t *object);

/* Sets *view to the tag of the view named `name` among the drawings of the
 * work part (the first such view in the order of the part's drawings and
 * their views, a drawing's sheet view last), 0 when there is none. A name of
 * exactly ZK_VIEW_CYCLE_NAME_BUFSIZE - 1 characters also names a view whose
 * longer name begins with it, as zc6499 hands out such names cut. */
int ZK_VIEW_ask_tag_of_view_name(const char *name, tag_t *view);

/* zc6499: the view-name cycle of the work part's drawing `drawing_name`.
 * Given an empty `view_name` it writes the name of the drawing's first member
 * view; given the name of a member view it writes the name of the next one;
 * it writes the empty name after the last view, for a drawing without views,
 * for an unknown drawing and for a name that is not one of its views. Names
 * are cut to ZK_VIEW_CYCLE_NAME_BUFSIZE - 1 characters; a view whose name (as
 * cut) was already handed out earlier in the cycle is passed over, so that
 * the cycle always ends. */
int zc6499(const char *drawing_name, char view_name[ZK_VIEW_CYCLE_NAME_BUFSIZE]);

/* zc6409: what the host says about the object's view dependency. Sets
 * *view_dependent to 1 when the object depends on a view, else 0, and writes
 * (ZK_VIEW_DEPENDENCY_BUFSIZE bytes) the name of that view, or the text
 * "model" for an object that depends on none. */
int zc6409(tag_t object, int *view_dependent, char text[ZK_VIEW_DEPENDENCY_BUFSIZE]);

/* ---- Points -------------------------------------------------------------- */

/* X, Y and Z of a point object. */
int ZK_CURVE_ask_point_data(tag_t point, double coordinates[3]);

/* ---- Drafting objects and dimensions ------------------------------------- */

/* Sets *retained to 1 when the drafting object or dimension is a retained
 * annotation (its associated geometry is gone), else 0. */
int ZK_DRF_is_annotation_retained(tag_t object, logical *retained);

/* The origin X, Y, Z of a drafting object or dimension. */
int ZK_DRF_ask_origin(tag_t object, double origin[3]);

/* Sets *count to the number of objects the drafting object or dimension is
 * associated with and *objects to a host-allocated array of their tags
 * (release with ZK_free when the count is not 0); NULL and 0 when there are
 * none. The array always holds at least two tags when the count is not 0;
 * words beyond the count are 0. An associated object may since have been
 * deleted: ask ZK_OBJ_ask_status. */
int ZK_DRF_ask_associativity_data(tag_t object, int *count, tag_t **objects);

/* One line of a text block. 160 bytes; the layout is fixed. */
typedef struct ZK_DRF_text_line_s {
  int n_chars;        /* 0: characters in the line */
  int reserved_flags; /* 4 */
  double height;      /* 8: height of the line */
  double width;       /* 16: width of the line */
  char reserved[128]; /* 24 to 151 */
  char *text;         /* 152: the line, 8-bit and NUL-terminated */
} ZK_DRF_text_line_t;

/* One text block of a drafting object. 112 bytes; the layout is fixed. */
typedef struct ZK_DRF_draft_aid_text_s {
  int text_type;             /* 0 */
  int text_font;             /* 4 */
  double text_size;          /* 8 */
  double text_angle;         /* 16 */
  double origin[3];          /* 24: origin of the block */
  double reserved[6];        /* 48 to 95 */
  int num_lines;             /* 96: number of text lines */
  int reserved_int;          /* 100 */
  ZK_DRF_text_line_t *lines; /* 104: the block's lines */
} ZK_DRF_draft_aid_text_t;

#ifdef __cplusplus
#define ZK_DRAW_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define ZK_DRAW_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif
ZK_DRAW_STATIC_ASSERT(sizeof(void *) == 8, "text records need 64-bit pointers");
ZK_DRAW_STATIC_ASSERT(sizeof(ZK_DRF_text_line_t) == 160, "text line record is 160 bytes");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_text_line_t, text) == 152, "line text pointer at 152");
ZK_DRAW_STATIC_ASSERT(sizeof(ZK_DRF_draft_aid_text_t) == 112, "text block record is 112 bytes");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, text_type) == 0, "text type at 0");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, text_font) == 4, "text font at 4");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, text_size) == 8, "text size at 8");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, text_angle) == 16, "text angle at 16");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, num_lines) == 96, "line count at 96");
ZK_DRAW_STATIC_ASSERT(offsetof(ZK_DRF_draft_aid_text_t, lines) == 104, "lines pointer at 104");
#undef ZK_DRAW_STATIC_ASSERT

/* Sets *count to the number of text blocks of a drafting object or dimension
 * and *blocks to a host-allocated array of them, each with its lines; NULL
 * and 0 for an object without text. Release the whole with ZK_DRF_free_text,
 * never with ZK_free. */
int ZK_DRF_ask_draft_aid_text_info(tag_t object, int *count, ZK_DRF_draft_aid_text_t **blocks);

/* Releases text blocks handed out by ZK_DRF_ask_draft_aid_text_info, their
 * lines and texts, and sets *blocks to NULL. `count` must be the count handed
 * out with them; an array the host did not hand out, or one already released,
 * is refused with a non-zero code and left alone. */
int ZK_DRF_free_text(int count, ZK_DRF_draft_aid_text_t **blocks);

/* ---- Sketch dimensions --------------------------------------------------- */

/* For a dimension that belongs to a sketch: returns 0 and gives its
 * constraint status (1 driving), its expression text ("name=value",
 * ZK_SKET_DIM_TEXT_BUFSIZE bytes), its value and the index of its sketch
 * (0 for the first). For any other object it returns a non-zero code and
 * leaves the outputs as they were. */
int ZK_SKET_ask_dim_status(tag_t dimension, int *status, char text[ZK_SKET_DIM_TEXT_BUFSIZE],
                           double *value, int *sketch);

/* ---- CGM import and the treatment of its objects ------------------------- */

#define ZK_CGM_MESSAGE_BUFSIZE 256 /* message of zc6411 (255 characters) */
#define ZK_TRANSFORM_MOVE 1        /* zk5947 mode: move the objects themselves */

/* Reads the binary CGM file `file` and creates its lines, polylines (one
 * line per segment), arcs, circles and texts (notes) in the work part, on the
 * work layer and as objects of the work view (ZK_VIEW_ask_work_view), sized
 * in part units so that the picture keeps its size in millimetres. Returns 0,
 * or a non-zero code with a message naming the file and what is wrong with
 * it (ZK_CGM_MESSAGE_BUFSIZE bytes, cut to fit); nothing is created then. */
int zc6411(const char *file, char message[ZK_CGM_MESSAGE_BUFSIZE]);

/* Fills `matrix` (16 doubles, rows of a 4x4 matrix) with the translation by
 * `vector`: identity rotation, the vector in elements 3, 7 and 11. */
void zk5943(const double vector[3], double matrix[16]);

/* Applies `matrix` to the `count` objects: with mode ZK_TRANSFORM_MOVE and
 * layer option 0 the objects themselves move and keep their layers. Points,
 * lines, arcs, drafting objects and components can be moved; the matrix must
 * be a translation. The trace option is accepted and not used. *copies and
 * *trace_group are set to 0; *status is 0, or the code of the failure (no
 * object moves when an argument or an object is refused up front). */
void zk5947(const double matrix[16], const tag_t *objects, const int *count, const int *mode,
            const int *layer_option, const int *trace_option, tag_t *copies, tag_t *trace_group,
            int *status);

/* The work view of the work part: objects created in the part depend on it.
 * It is the sheet view of the part's first drawing (else that drawing's first
 * view); 0 when the part has no drawing, created objects being model objects. */
int ZK_VIEW_ask_work_view(tag_t *view);

/* Makes `object`, an object of `view`, a model object. An object that is a
 * model object already is left as it is (0); an object of another view is
 * refused. */
int ZK_VIEW_convert_to_model(tag_t view, tag_t object);

/* Deletes `drawing` with its views and every object that depends on them;
 * their tags are no longer valid and a save no longer writes them. */
int ZK_DRAW_delete_drawing(tag_t drawing);

#ifdef __cplusplus
}
#endif

#endif
