/* The <ModelData> element of the report: mass properties of the whole part and
 * of each reference set, feature statistics, one record per body and the
 * number of objects on each layer. Only the optional normalised mass
 * computation touches the part: it sets body densities to 1 for one
 * computation and puts every one it changed back afterwards. */
#include <string.h>
#include <strings.h>

#include <vector>

#include "orvel/zk.h"
#include "vettra/boundary/diagnostics.h"
#include "vettra/boundary/environment.h"
#include "vettra/report/sections.h"
#include "vettra/report/writer.h"
#include "vettra/text/bounded.h"

/* Line numbers handed to record_error; they end up in result messages. */
static const int LINE_PART_BODY_FEATURES = 1387;
static const int LINE_PART_MASS = 1415;
static const int LINE_PART_MASS_NORMALISED = 1442;
static const int LINE_REFSET_BODY_FEATURES = 1574;

static const char *const NORMALISED_OPTION = "VETR_ANALYZE_NORMALIZED_MASS_PROPS";
static const char *const NORMALISED_OPTION_ON = "true"; /* compared without case */
static const char *const ENTIRE_PART_NAME = "Entire Part";
#define OPTION_SIZE 256

/* Arguments of the mass computation. */
static const int MASS_TYPE_SOLIDS = 1;
static const int MASS_UNITS = 3;
static const double MASS_DENSITY_UNUSED = 0.0;
static const int MASS_ACCURACY_MODE = 1;
static const double PART_ACCURACY = 0.01;
static const double REFSET_ACCURACY = 0.1;
static const int DENSITY_UNITS = 3;
static const double UNIT_DENSITY = 1.0;

/* Entries of the mass result that the report shows. */
enum { MASS_VOLUME = 1, MASS_CENTRE_X = 3, MASS_INERTIA_X = 9 };

/* Bodies collected for one mass computation, with the counters that go with
 * them. The list grows as needed: no body is ever left out. */
struct mass_list {
  std::vector<tag_t> bodies; /* in the order they were met */
  int features;              /* features of the non-occurrence bodies */
};

/* ---- helpers ---- */

/* Adds the number of features of a non-occurrence body to list->features. */
static void count_body_features(tag_t body, mass_list *list, int line) {
  zk_list_t features = NULL;
  int count = 0;
  record_error(ZK_MODL_ask_body_feats(body, &features), line, SOURCE_UTILS);
  if (features == NULL) return;
  ZK_MODL_ask_list_count(features, &count);
  list->features += count;
  ZK_MODL_delete_list(&features);
}

/* Appends a body to the list; its features count unless it is an occurrence. */
static void add_body(tag_t body, mass_list *list, int line) {
  list->bodies.push_back(body);
  if (!ZK_ASSEM_is_occurrence(body)) count_body_features(body, list, line);
}

/* Runs the mass computation over the list into result (cleared first). */
static int compute_mass(const mass_list *list, double accuracy,
                        double result[ZK_MODL_MASS_PROPS_N]) {
  double accuracy_values[ZK_MODL_MASS_ACCURACY_N] = {0};
  double statistics[ZK_MODL_MASS_STATS_N] = {0};
  accuracy_values[0] = accuracy;
  memset(result, 0, sizeof(double) * ZK_MODL_MASS_PROPS_N);
  return ZK_MODL_ask_mass_props_3d(list->bodies.data(), (int)list->bodies.size(), MASS_TYPE_SOLIDS,
                                   MASS_UNITS, MASS_DENSITY_UNUSED, MASS_ACCURACY_MODE,
                                   accuracy_values, result, statistics);
}

/* Writes an X/Y/Z block from three consecutive entries of the mass result. */
static void write_xyz(const char *path, const char *element, const double *xyz) {
  write_fmt(path, "          <%s>", element);
  write_fmt(path, "            <X>%lf</X>", xyz[0]);
  write_fmt(path, "            <Y>%lf</Y>", xyz[1]);
  write_fmt(path, "            <Z>%lf</Z>", xyz[2]);
  write_fmt(path, "          </%s>", element);
}

/* The eleven lines of a mass block: volume, counts, centre and inertia. */
static void write_mass_lines(const char *path, const mass_list *list,
                             const double result[ZK_MODL_MASS_PROPS_N]) {
  write_fmt(path, "          <Volume>%lf</Volume>", result[MASS_VOLUME]);
  write_fmt(path, "          <VolumeBodies_n>%d</VolumeBodies_n>", (int)list->bodies.size());
  write_fmt(path, "          <Feature3D_n>%d</Feature3D_n>", list->features);
  write_xyz(path, "CentreOfGravity", &result[MASS_CENTRE_X]);
  write_xyz(path, "MomentOfInertia", &result[MASS_INERTIA_X]);
}

static bool normalised_mass_wanted(void) {
  char option[OPTION_SIZE] = "";
  translate_env(NORMALISED_OPTION, option, sizeof(option));
  return strcasecmp(option, NORMALISED_OPTION_ON) == 0;
}

/* Computes the mass properties with every body at density 1 and writes the
 * N1 blocks. Densities are saved first and given back in reverse list order:
 * occurrences of one component body share its density, so a later one saves
 * the 1 set through an earlier one, and the first save, which holds the real
 * value, must be put back last. A body whose density cannot be read is left
 * as it is, so it is never given a value it did not have. */
static void write_normalised_mass(const char *path, const mass_list *list) {
  double result[ZK_MODL_MASS_PROPS_N] = {0};
  size_t n = list->bodies.size();
  std::vector<double> saved(n, 0.0);
  std::vector<char> changed(n, 0);

  for (size_t i = 0; i < n; i++) {
    if (ZK_MODL_ask_body_density(list->bodies[i], DENSITY_UNITS, &saved[i]) != 0) continue;
    changed[i] = ZK_MODL_set_body_density(list->bodies[i], DENSITY_UNITS, UNIT_DENSITY) == 0;
  }
  record_error(compute_mass(list, PART_ACCURACY, result), LINE_PART_MASS_NORMALISED, SOURCE_UTILS);
  write_xyz(path, "CentreOfGravityN1", &result[MASS_CENTRE_X]);
  write_xyz(path, "MomentOfInertiaN1", &result[MASS_INERTIA_X]);
  for (size_t i = n; i-- > 0;) {
    if (changed[i]) ZK_MODL_set_body_density(list->bodies[i], DENSITY_UNITS, saved[i]);
  }
}

/* ---- mass blocks ---- */

/* The body after `body` in the work part's cycle of solid objects (0 starts
 * it): the next object of type 70 and subtype 0, 0 at the end. Faces and
 * edges share the type and are passed over. */
static tag_t next_body(tag_t body) {
  for (;;) {
    ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_solid_type, &body);
    if (body == NULL_TAG) return NULL_TAG;
    int type = 0;
    int subtype = -1;
    ZK_OBJ_ask_type_and_subtype(body, &type, &subtype);
    if (type == ZK_solid_type && subtype == ZK_solid_body_subtype) return body;
  }
}

int write_entire_part_mass(const char *path) {
  bool normalised = normalised_mass_wanted();
  mass_list list = {{}, 0};
  int sheets = 0;
  int unknown = 0;
  for (tag_t body = next_body(NULL_TAG); body != NULL_TAG; body = next_body(body)) {
    int body_type = 0;
    ZK_MODL_ask_body_type(body, &body_type);
    if (body_type == ZK_MODL_SHEET_BODY) {
      sheets++;
    } else if (body_type != ZK_MODL_SOLID_BODY) {
      unknown++;
    } else {
      add_body(body, &list, LINE_PART_BODY_FEATURES);
    }
  }

  if (!list.bodies.empty()) {
    double result[ZK_MODL_MASS_PROPS_N] = {0};
    record_error(compute_mass(&list, PART_ACCURACY, result), LINE_PART_MASS, SOURCE_UTILS);
    write_mass_lines(path, &list, result);
    if (normalised) write_normalised_mass(path, &list);
  }
  if (sheets != 0) write_fmt(path, "          <SheetBodies_n>%d</SheetBodies_n>", sheets);
  if (unknown != 0) write_fmt(path, "          <UnknownBodies_n>%d</UnknownBodies_n>", unknown);
  return 0;
}

int write_refset_mass(const char *path, tag_t reference_set) {
  int count = 0;
  tag_t *members = NULL;
  mass_list list = {{}, 0};
  int components = 0;
  int others = 0;

  ZK_ASSEM_ask_ref_set_members(reference_set, &count, &members);
  if (members == NULL) return 0;
  for (int i = 0; i < count; i++) {
    int type = 0;
    int subtype = -1;
    ZK_OBJ_ask_type_and_subtype(members[i], &type, &subtype);
    if (type == ZK_solid_type) {
      if (subtype == ZK_solid_body_subtype) add_body(members[i], &list, LINE_REFSET_BODY_FEATURES);
    } else if (type == ZK_component_type) {
      components++;
    } else {
      others++;
    }
  }
  ZK_free(members);

  if (!list.bodies.empty()) {
    double result[ZK_MODL_MASS_PROPS_N] = {0};
    compute_mass(&list, REFSET_ACCURACY, result); /* not recorded: a sheet body may refuse */
    write_mass_lines(path, &list, result);
  }
  write_fmt(path, "          <ObjectsComps_n>%d</ObjectsComps_n>", components);
  write_fmt(path, "          <ObjectsWire_n>%d</ObjectsWire_n>", others);
  return 0;
}

/* ---- <Refsets> ---- */

static int write_refset(const char *path, const char *name, tag_t reference_set) {
  int sum = write_line(path, "        <Refset>");
  write_fmt(path, "         <Name>%s</Name>", name);
  if (reference_set == NULL_TAG) {
    write_entire_part_mass(path);
  } else {
    write_refset_mass(path, reference_set);
  }
  return sum + write_line(path, "        </Refset>");
}

static int write_refsets(const char *path) {
  int sum = write_line(path, "      <Refsets>");
  sum += write_refset(path, ENTIRE_PART_NAME, NULL_TAG);
  tag_t reference_set = NULL_TAG;
  do {
    ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_reference_set_type, &reference_set);
    if (reference_set == NULL_TAG) break;
    char name[ZK_OBJ_NAME_BUFSIZE] = "";
    ZK_OBJ_ask_name(reference_set, name);
    sum += write_refset(path, name, reference_set);
  } while (reference_set != NULL_TAG);
  return sum + write_line(path, "      </Refsets>");
}

/* ---- <Features> ---- */

struct feature_counts {
  int total, alive, suppressed, condemned, deleted, temporary;
};

static void count_feature(tag_t feature, feature_counts *counts) {
  int suppressed = 0;
  counts->total++;
  ZK_MODL_ask_suppress_feature(feature, &suppressed);
  if (suppressed != 0) counts->suppressed++;
  switch (ZK_OBJ_ask_status(feature)) {
    case ZK_OBJ_ALIVE:
      counts->alive++;
      break;
    case ZK_OBJ_CONDEMNED:
      counts->condemned++;
      break;
    case ZK_OBJ_DELETED:
      counts->deleted++;
      break;
    case ZK_OBJ_TEMPORARY:
      counts->temporary++;
      break;
    default:
      break;
  }
}

static int write_features(const char *path) {
  feature_counts counts = {0, 0, 0, 0, 0, 0};
  tag_t feature = NULL_TAG;
  do {
    ZK_OBJ_cycle_objs_in_part(ZK_ASSEM_ask_work_part(), ZK_feature_type, &feature);
    if (feature != NULL_TAG) count_feature(feature, &counts);
  } while (feature != NULL_TAG);

  int sum = write_line(path, "       <Features>");
  write_fmt(path, "        <TotalFeatures_n>%d</TotalFeatures_n>", counts.total);
  write_fmt(path, "        <AliveFeatures_n>%d</AliveFeatures_n>", counts.alive);
  write_fmt(path, "        <SuppressedFeatures_n>%d</SuppressedFeatures_n>", counts.suppressed);
  write_fmt(path, "        <CondemnedFeatures_n>%d</CondemnedFeatures_n>", counts.condemned);
  write_fmt(path, "        <DeletedFeatures_n>%d</DeletedFeatures_n>", counts.deleted);
  write_fmt(path, "        <TemporaryFeatures_n>%d</TemporaryFeatures_n>", counts.temporary);
  return sum + write_line(path, "       </Features>");
}

/* ---- <Bodies> ---- */

/* One <Body> record; every value starts cleared, so a failed query shows as
 * 0 or empty rather than the previous body's value. */
static void write_body(const char *path, tag_t body) {
  double density = 0.0;
  tag_t material = NULL_TAG;
  char material_name[ZK_OBJ_NAME_BUFSIZE] = "";
  ZK_OBJ_disp_props_t props;
  memset(&props, 0, sizeof(props));

  const char *handle = ZK_TAG_ask_handle_of_tag(body);
  write_line(path, "         <Body>");
  write_fmt(path, "         <Handle>%s</Handle>", handle ? handle : "");
  ZK_MODL_ask_body_density(body, DENSITY_UNITS, &density);
  write_fmt(path, "          <Density>%lf</Density>", density);
  ZK_SF_locate_material(body, &material);
  if (material != NULL_TAG) {
    ZK_OBJ_ask_name(material, material_name);
    write_fmt(path, "          <Material>%s</Material>", material_name);
  } else {
    write_line(path, "          <Material></Material>");
  }
  ZK_OBJ_ask_display_properties(body, &props);
  write_fmt(path, "          <Color>%d</Color>", props.color);
  write_fmt(path, "          <Font>%d</Font>", props.font);
  write_line(path, "         </Body>");
}

int write_bodies(const char *path) {
  for (tag_t body = next_body(NULL_TAG); body != NULL_TAG; body = next_body(body)) {
    if (!ZK_ASSEM_is_occurrence(body)) write_body(path, body);
  }
  return 0;
}

/* ---- <Layers> ---- */

static int write_layers(const char *path) {
  int sum = write_line(path, "      <Layers>");
  for (int layer = 0; layer <= ZK_LAYER_MAX; layer++) {
    tag_t object = NULL_TAG;
    int count = 0;
    ZK_LAYER_cycle_by_layer(layer, &object);
    while (object != NULL_TAG) {
      count++;
      ZK_LAYER_cycle_by_layer(layer, &object);
    }
    if (count == 0) continue;
    write_line(path, "        <Layer>");
    write_fmt(path, "          <Name>%d</Name>", layer);
    write_fmt(path, "          <Objects_n>%d</Objects_n>", count);
    write_line(path, "        </Layer>");
  }
  return sum + write_line(path, "      </Layers>");
}

/* ---- the section ---- */

int write_model_data(const char *path) {
  int sum = write_line(path, "    <ModelData>");
  sum += write_refsets(path);
  sum += write_line(path, "      <ModelDataBase>");
  sum += write_features(path);
  sum += write_line(path, "       <Bodies>");
  write_bodies(path);
  sum += write_line(path, "       </Bodies>");
  sum += write_line(path, "      </ModelDataBase>");
  sum += write_layers(path);
  return sum + write_line(path, "    </ModelData>");
}
