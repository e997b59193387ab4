/* Orvel host SDK: modelling (MODL module): bodies, features, expressions,
 * mass properties, and materials (SF module). */
#ifndef ORVEL_ZK_MODL_H
#define ORVEL_ZK_MODL_H

#include "orvel/zk_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ZK_MODL_SOLID_BODY or ZK_MODL_SHEET_BODY. */
int ZK_MODL_ask_body_type(tag_t body, int *body_type);

/* Host lists of tags. */
typedef struct ZK_list_s *zk_list_t;
/* Sets *list to a new list of the features that own `body` (release with
 * ZK_MODL_delete_list). */
int ZK_MODL_ask_body_feats(tag_t body, zk_list_t *list);
int ZK_MODL_ask_list_count(zk_list_t list, int *count);
/* Releases the list and sets *list to NULL. */
int ZK_MODL_delete_list(zk_list_t *list);

/* Sets *suppressed to 1 when the feature is suppressed, else 0. */
int ZK_MODL_ask_suppress_feature(tag_t feature, int *suppressed);

/* Density of a body. Units code 3 is the part's own density unit (mass per
 * cubic part unit); it is the only code the host accepts. */
int ZK_MODL_ask_body_density(tag_t body, int units, double *density);
int ZK_MODL_set_body_density(tag_t body, int units, double density);

/* Number of values of a mass result and of accuracy values. */
#define ZK_MODL_MASS_PROPS_N 47
#define ZK_MODL_MASS_ACCURACY_N 11
#define ZK_MODL_MASS_STATS_N 13

/* Mass properties of `n` bodies, each with its own density, computed from
 * their geometry at their placed position. `type` 1 (solid bodies), `units`
 * 3, `density` not used (each body's own is), `accuracy` 1 with `acc_value`
 * as given. Fills the 47 values of `mass_props` (entries are described in the
 * host's documentation: 1 volume, 3 to 5 centre of gravity, 9 to 11 moments
 * of inertia about the absolute X, Y and Z axes) and `statistics`. Fails for
 * a body without volume, such as a sheet body. */
int ZK_MODL_ask_mass_props_3d(const tag_t *bodies, int n, int type, int units, double density,
                              int accuracy, const double acc_value[ZK_MODL_MASS_ACCURACY_N],
                              double mass_props[ZK_MODL_MASS_PROPS_N],
                              double statistics[ZK_MODL_MASS_STATS_N]);

/* Sets *count and *expressions to a host-allocated array of the expressions
 * of `part` (release with ZK_free); NULL when the part has none. */
int ZK_MODL_ask_exps_of_part(tag_t part, int *count, tag_t **expressions);
/* Sets *text to a host-allocated "name=formula" text (release with ZK_free). */
int ZK_MODL_ask_exp_tag_string(tag_t expression, char **text);
int ZK_MODL_ask_exp_tag_value(tag_t expression, double *value);

/* What ZK_MODL_update_all_features does with a feature that fails to
 * update. Either way the failing feature keeps its state before the update. */
#define ZK_MODL_UPDATE_STOP 1   /* stop at the first failing feature */
#define ZK_MODL_UPDATE_ACCEPT 5 /* go on with the remaining features */
/* Sets the update-fail option for the session (one of the two above; any
 * other value is refused and leaves the option as it was). The session
 * starts with ZK_MODL_UPDATE_STOP. */
int ZK_MODL_set_update_fail_option(int option);

/* Updates every feature of the work part, in part order. Returns 0 when all
 * updated, else the code of the first feature that failed to update (after
 * going on or stopping as the update-fail option says). Fails with a code
 * when there is no work part. */
int ZK_MODL_update_all_features(void);

/* Sets *material to the material of `body`, 0 when it has none. */
int ZK_SF_locate_material(tag_t body, tag_t *material);

#ifdef __cplusplus
}
#endif

#endif
