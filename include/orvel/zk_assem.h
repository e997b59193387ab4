/* Orvel host SDK: assemblies (ASSEM module): work part, components,
 * occurrences, reference sets, arrangements, load options and mating. */
#ifndef ORVEL_ZK_ASSEM_H
#define ORVEL_ZK_ASSEM_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The work part, 0 when no part is open. */
tag_t ZK_ASSEM_ask_work_part(void);

/* True when `object` is an occurrence: the appearance of a component's object
 * in an assembly (component occurrences included). */
logical ZK_ASSEM_is_occurrence(tag_t object);

/* Sets *count and *members to a host-allocated array of the members of the
 * reference set (release with ZK_free); NULL and 0 for an empty one. */
int ZK_ASSEM_ask_ref_set_members(tag_t reference_set, int *count, tag_t **members);

/* Assembly load options. Values of the enumerated fields: */
enum {
  ZK_ASSEM_load_from_directory = 0,
  ZK_ASSEM_load_from_search_dirs = 1,
  ZK_ASSEM_load_as_saved = 2
};
enum { ZK_ASSEM_no_update_report = 0, ZK_ASSEM_update_report = 1 };
enum { ZK_ASSEM_do_not_emphasize_wp = 0, ZK_ASSEM_emphasize_wp = 1 };
enum { ZK_ASSEM_do_abort_on_failure = 0, ZK_ASSEM_dont_abort_on_failure = 1 };
enum { ZK_ASSEM_dont_maintain_work_part = 0, ZK_ASSEM_do_maintain_work_part = 1 };
enum { ZK_ASSEM_load_exact_version = 0, ZK_ASSEM_load_latest_version = 1 };
enum {
  ZK_ASSEM_dont_load_components = 0,
  ZK_ASSEM_do_load_components = 1,
  ZK_ASSEM_use_last_component_set = 2,
  ZK_ASSEM_use_last_filter = 3,
  ZK_ASSEM_specify_filter = 4
};
enum { ZK_ASSEM_load_components_partially = 0, ZK_ASSEM_load_components_fully = 1 };
enum { ZK_ASSEM_dont_allow_substitution = 0, ZK_ASSEM_do_allow_substitution = 1 };
enum { ZK_ASSEM_dont_apply_to_all_levels = 0, ZK_ASSEM_do_apply_to_all_levels = 1 };
enum { ZK_ASSEM_default_load_behaviour = 0, ZK_ASSEM_load_wave_data = 1 };
enum { ZK_ASSEM_none = 0, ZK_ASSEM_immediate = 1, ZK_ASSEM_all = 2 };

typedef struct ZK_ASSEM_options_s {
  int load_options;
  int parts_list;
  int update;
  int emphasize;
  int emphasize_color;
  int failure_action;
  int maintain_work_part;
  int load_latest;
  int load_components;
  int load_fully;
  int load_substitution;
  int apply_to_all_levels;
  int load_wave_data;
  int load_wave_parents;
} ZK_ASSEM_options_t;

/* Fills `options` with the session's assembly load options. */
int ZK_ASSEM_ask_assem_options(ZK_ASSEM_options_t *options);

/* Arrangements. */
int ZK_ASSEM_ask_active_arrangement(tag_t part, tag_t *arrangement);
/* Sets *name to a host-allocated name (release with ZK_free). */
int ZK_ASSEM_ask_name_of_arrangement(tag_t arrangement, char **name);
/* Sets *count and *arrangements to a host-allocated array (release with
 * ZK_free when the count is not 0); NULL for none. */
int ZK_ASSEM_ask_arrangements_in_part(tag_t part, int *count, tag_t **arrangements);

/* Data of a component: its part's full name, the reference set in use, the
 * instance name, the origin, the 3x3 orientation (rows X, Y, Z axes) and the
 * 4x4 transform from the component's part into the work part. */
int ZK_ASSEM_ask_component_data(tag_t component, char part_name[ZK_COMPONENT_FILE_BUFSIZE],
                                char refset_name[ZK_REFSET_NAME_BUFSIZE],
                                char instance_name[ZK_INSTANCE_NAME_BUFSIZE], double origin[3],
                                double csys_matrix[9], double transform[4][4]);

/* The instance of a component, 0 when none. */
tag_t ZK_ASSEM_ask_inst_of_part_occ(tag_t component);
int ZK_ASSEM_ask_suppress_state(tag_t instance, logical *suppressed);
/* Sets *expression to the suppression expression of the instance, 0 if none. */
int ZK_ASSEM_ask_suppression_exp(tag_t instance, tag_t *expression);
/* Number of objects in the component (its part's objects as seen through
 * the component's reference set). */
int ZK_ASSEM_count_objs_in_comp(tag_t component, int *count);
/* The part a component (occurrence) shows, 0 when not an occurrence. */
tag_t ZK_ASSEM_ask_prototype_of_occ(tag_t component);
/* The component one level up, 0 above the top. A component directly below
 * the work part has the work part's root occurrence as its parent. */
int ZK_ASSEM_ask_parent_component(tag_t component, tag_t *parent);

/* Mating conditions of one component. */
typedef struct ZK_ASSEM_mc_s {
  tag_t mated_object;             /* the mated component */
  char name[ZK_OBJ_NAME_BUFSIZE]; /* name of the mating condition */
  int num_constraints;            /* number of constraints */
  int suppressed;                 /* non-zero when suppressed */
  int override_state;             /* 0 unless the caller overrides */
} ZK_ASSEM_mc_t;
/* Empties the record. */
int ZK_ASSEM_init_mc(ZK_ASSEM_mc_t *mc);
int ZK_ASSEM_ask_mc_data_of_compnt(tag_t component, logical *mated, ZK_ASSEM_mc_t *mc);
/* Checks the record: *status 0 when the conditions are solved and
 * consistent, 1 when over-constrained, 2 when a mated object is missing;
 * *n_errors counts the faulty constraints. */
int ZK_ASSEM_check_mc_structure(ZK_ASSEM_mc_t *mc, int *status, int *n_errors);

/* Synchronises the assembly structure of `part` with its component part
 * files: every component part below it, at any depth, is checked against the
 * file it was loaded from. Fails with a code (and changes nothing) when a
 * component's part file has vanished or changed since it was loaded; 0 when
 * every component is current. Fails for a part that is not open. */
int ZK_FLTR_update_structure(tag_t part);

#ifdef __cplusplus
}
#endif

#endif
