/* The <Drawings> element of the report: every drawing of the work part with
 * the counts of its sheet view's dependent objects, the retained dimensions
 * so far and its member views, and for each member view its placement,
 * scale, angle, borders, type and counts. Only reads from the host; no query
 * here is checked for failure, each line carries what its query left. */
#include <string.h>

#include "orvel/zk.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"

/* The outputs of the section's queries. They are cleared once when the
 * section starts, so a query that fails leaves the value of the last one
 * that answered. */
struct drawing_outputs {
  char name[ZK_OBJ_NAME_BUFSIZE]; /* drawing or view name */
  logical out_of_date;            /* view out of date */
  double reference_point[2];      /* X, Y on the drawing */
  tag_t anchor;                   /* anchor point object, 0 for none */
  double anchor_point[3];         /* X, Y, Z of the anchor */
  int scale_kind;                 /* not shown */
  double scale;
  double angle;
  double borders[4]; /* Xmin, Ymin, Xmax, Ymax */
  int view_type;     /* view type and subtype */
  int view_subtype;
  tag_t sheet_view; /* the drawing sheet's own view */
};

/* Counts the objects that depend on `view`; with `retained` not NULL also
 * adds the retained dimensions among them to it. */
static int count_view_objects(tag_t view, int *retained) {
  int count = 0;
  tag_t object = NULL_TAG;
  ZK_VIEW_cycle_objects(view, ZK_VIEW_DEPENDENT_CYCLE, &object);
  while (object != NULL_TAG) {
    count++;
    if (retained != NULL) {
      int type = 0;
      int subtype = 0;
      ZK_OBJ_ask_type_and_subtype(object, &type, &subtype);
      if (type == ZK_dimension_type) {
        logical is_retained = 0;
        ZK_DRF_is_annotation_retained(object, &is_retained);
        if (is_retained) (*retained)++;
      }
    }
    ZK_VIEW_cycle_objects(view, ZK_VIEW_DEPENDENT_CYCLE, &object);
  }
  return count;
}

static void write_view_anchor(const char *path, tag_t view, struct drawing_outputs *out) {
  ZK_DRAW_ask_view_anchor(view, &out->anchor);
  if (out->anchor == NULL_TAG) return;
  ZK_CURVE_ask_point_data(out->anchor, out->anchor_point);
  write_fmt(path, "            <ViewAnchorX>%lf</ViewAnchorX>", out->anchor_point[0]);
  write_fmt(path, "            <ViewAnchorY>%lf</ViewAnchorY>", out->anchor_point[1]);
  write_fmt(path, "            <ViewAnchorZ>%lf</ViewAnchorZ>", out->anchor_point[2]);
}

static void write_view_geometry(const char *path, tag_t view, struct drawing_outputs *out) {
  ZK_DRAW_ask_drawing_ref_pt(view, out->reference_point);
  write_fmt(path, "            <ViewReferencePointX>%lf</ViewReferencePointX>",
            out->reference_point[0]);
  write_fmt(path, "            <ViewReferencePointY>%lf</ViewReferencePointY>",
            out->reference_point[1]);
  write_view_anchor(path, view, out);
  ZK_DRAW_ask_view_parm_scale(view, &out->scale_kind, &out->scale);
  write_fmt(path, "            <ViewScale>%lf</ViewScale>", out->scale);
  ZK_DRAW_ask_view_angle(view, &out->angle);
  write_fmt(path, "            <ViewAngle>%lf</ViewAngle>", out->angle);
  ZK_DRAW_ask_view_borders(view, out->borders);
  write_fmt(path, "            <ViewBorderXmin>%lf</ViewBorderXmin>", out->borders[0]);
  write_fmt(path, "            <ViewBorderYmin>%lf</ViewBorderYmin>", out->borders[1]);
  write_fmt(path, "            <ViewBorderXmax>%lf</ViewBorderXmax>", out->borders[2]);
  write_fmt(path, "            <ViewBorderYmax>%lf</ViewBorderYmax>", out->borders[3]);
}

static void write_view_notes(const char *path, tag_t view) {
  int count = 0;
  tag_t *notes = NULL;
  ZK_DRAW_ask_view_notes(view, &count, &notes);
  write_fmt(path, "            <ViewNotes_n>%d</ViewNotes_n>", count);
  if (count != 0) ZK_free(notes);
}

static void write_view(const char *path, tag_t view, struct drawing_outputs *out) {
  ZK_OBJ_ask_name(view, out->name);
  write_line(path, "           <View>");
  write_fmt(path, "            <Name>%s</Name>", out->name);
  ZK_DRAW_is_object_out_of_date(view, &out->out_of_date);
  write_fmt(path, "            <OutOfDateStatus>%d</OutOfDateStatus>", out->out_of_date ? 1 : 0);
  write_view_geometry(path, view, out);
  ZK_VIEW_ask_type(view, &out->view_type, &out->view_subtype);
  write_fmt(path, "            <ViewType>%d</ViewType>", out->view_type);
  write_fmt(path, "            <ViewSubType>%d</ViewSubType>", out->view_subtype);
  write_view_notes(path, view);
  write_fmt(path, "            <Displayed_Objs_n>%d</Displayed_Objs_n>",
            count_view_objects(view, NULL));
  write_line(path, "           </View>");
}

static void write_member_views(const char *path, tag_t drawing, struct drawing_outputs *out,
                               int retained) {
  int count = 0;
  tag_t *views = NULL;
  ZK_DRAW_ask_views(drawing, &count, &views);
  write_fmt(path, "          <RetainedObjects_n>%d</RetainedObjects_n>", retained);
  write_fmt(path, "          <Drawing_Views_n>%d</Drawing_Views_n>", count);
  if (count <= 0) return;
  write_line(path, "          <Views>");
  for (int i = 0; views != NULL && i < count; i++) write_view(path, views[i], out);
  ZK_free(views);
  write_line(path, "          </Views>");
}

/* `retained` is the running count of retained dimensions over the drawings
 * written so far; this drawing's are added to it. */
static void write_drawing(const char *path, tag_t drawing, struct drawing_outputs *out,
                          int *retained) {
  ZK_OBJ_ask_name(drawing, out->name);
  write_line(path, "        <Drawing>");
  write_fmt(path, "          <Name>%s</Name>", out->name);
  ZK_DRAW_ask_view_of_drawing(drawing, &out->sheet_view);
  int objects = count_view_objects(out->sheet_view, retained);
  write_fmt(path, "          <ViewDependentObjects_n>%d</ViewDependentObjects_n>", objects);
  write_member_views(path, drawing, out, *retained);
  write_line(path, "        </Drawing>");
}

int write_drawings(const char *path) {
  struct drawing_outputs out;
  memset(&out, 0, sizeof(out));
  int retained = 0;
  int sum = write_line(path, "      <Drawings>");
  tag_t part = ZK_ASSEM_ask_work_part();
  tag_t drawing = NULL_TAG;
  ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  while (drawing != NULL_TAG) {
    write_drawing(path, drawing, &out, &retained);
    ZK_OBJ_cycle_objs_in_part(part, ZK_drawing_type, &drawing);
  }
  return sum + write_line(path, "      </Drawings>");
}
