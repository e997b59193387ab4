// C API: modelling (MODL): bodies, features, densities, mass properties,
// expressions; materials (SF).
#include <cmath>

#include "api/api_util.hpp"
#include "orvel/zk_modl.h"

using namespace orvel;

// A tag list handed to the caller.
struct ZK_list_s {
  std::vector<tag_t> tags;
};

namespace {

// Inline: the calls a check makes for every body are little more than this.
inline model::Body *body(tag_t tag) {
  model::Object *o = session().find(tag);
  if (!o || o->type != ZK_solid_type || o->subtype != ZK_solid_body_subtype) return nullptr;
  return static_cast<model::Body *>(o);
}

int missing(tag_t tag) {
  return session().find(tag) ? kWrongType : kInvalidTag;
}

constexpr int kPartDensityUnits = 3;

// The bodies of a large assembly lie all over memory, and a mass computation
// reads each once: the object a few places ahead in the list starts coming
// while this one is read.
constexpr int kMassLookahead = 8;

// What the loop reads of a body ahead: its head, and where its prototype
// is, which may lie past the head's two lines. Always inline: a call of a
// function that only prefetches counts as having no effect, and the
// compiler drops it.
inline __attribute__((always_inline)) void prefetch_mass_body(const model::Object *object) {
  if (!object) return;
  model::prefetch_head(object);
  __builtin_prefetch(&object->prototype);
}

}  // namespace

extern "C" {

int ZK_MODL_ask_body_type(tag_t body_tag, int *body_type) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!body_type) return kInvalidArgument;
    model::Body *b = body(body_tag);
    if (!b) return missing(body_tag);
    ORVEL_INJECT(body_tag);
    *body_type = b->body_type;
    return kOk;
  });
}

int ZK_MODL_ask_body_feats(tag_t body_tag, zk_list_t *list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!list) return kInvalidArgument;
    *list = nullptr;
    model::Body *b = body(body_tag);
    if (!b) return missing(body_tag);
    ORVEL_INJECT(body_tag);
    auto features = std::make_unique<ZK_list_s>();
    const std::vector<model::Feature *> &of_body = b->source()->features;
    features->tags.reserve(of_body.size());
    for (const model::Feature *f : of_body) features->tags.push_back(f->tag);
    *list = session().track(std::move(features));
    return kOk;
  });
}

int ZK_MODL_ask_list_count(zk_list_t list, int *count) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count) return kInvalidArgument;
    ZK_list_s *l = session().tracked<ZK_list_s>(list);
    if (!l) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *count = static_cast<int>(l->tags.size());
    return kOk;
  });
}

int ZK_MODL_delete_list(zk_list_t *list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!list || !session().tracked<ZK_list_s>(*list)) return kInvalidArgument;
    session().release(*list);
    *list = nullptr;
    return kOk;
  });
}

int ZK_MODL_ask_suppress_feature(tag_t feature, int *suppressed) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!suppressed) return kInvalidArgument;
    auto *f = session().find_as<model::Feature>(feature, ZK_feature_type);
    if (!f) return missing(feature);
    ORVEL_INJECT(feature);
    *suppressed = f->suppressed ? 1 : 0;
    return kOk;
  });
}

int ZK_MODL_ask_body_density(tag_t body_tag, int units, double *density) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!density) return kInvalidArgument;
    model::Body *b = body(body_tag);
    if (!b) return missing(body_tag);
    if (units != kPartDensityUnits) return kUnitsNotSupported;
    ORVEL_INJECT(body_tag);
    *density = b->source()->density;
    return kOk;
  });
}

int ZK_MODL_set_body_density(tag_t body_tag, int units, double density) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    model::Body *b = body(body_tag);
    if (!b) return missing(body_tag);
    if (units != kPartDensityUnits) return kUnitsNotSupported;
    if (!std::isfinite(density) || density < 0) return kInvalidArgument;
    ORVEL_INJECT(body_tag);
    b->source()->density = density;
    return kOk;
  });
}

int ZK_MODL_ask_mass_props_3d(const tag_t *bodies, int n, int type, int units, double /*density*/,
                              int accuracy, const double acc_value[ZK_MODL_MASS_ACCURACY_N],
                              double mass_props[ZK_MODL_MASS_PROPS_N],
                              double statistics[ZK_MODL_MASS_STATS_N]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!bodies || n <= 0 || !acc_value || !mass_props || !statistics) return kInvalidArgument;
    if (type != 1 || accuracy != 1) return kInvalidArgument;
    if (units != kPartDensityUnits) return kUnitsNotSupported;
    ORVEL_INJECT(bodies[0]);
    std::vector<geom::MassBody> list;
    list.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      if (i + kMassLookahead < n) prefetch_mass_body(session().find(bodies[i + kMassLookahead]));
      model::Body *b = body(bodies[i]);
      if (!b) return missing(bodies[i]);
      const model::Body *source = b->source();
      // A sheet body counts when its shape encloses a volume.
      if (source->body_type != ZK_MODL_SOLID_BODY && geom::validate(source->shape, true)) {
        return kNoVolume;
      }
      // Filled in place: a whole entry built aside and copied in is written
      // in halves and read back whole, a stall for every body.
      geom::MassBody &entry = list.emplace_back();
      entry.shape = &source->shape;
      entry.placement = &b->placement;
      entry.density = source->density;
    }
    std::array<double, geom::mass_result_size> result = geom::mass_properties(list);
    for (double value : result) {
      if (std::isfinite(value)) continue;
      session().set_failure_detail(
          kMassNotFinite, std::string(code_message(kMassNotFinite)) +
                              ": the sizes, placements or densities of the bodies are too large");
      for (int i = 0; i < ZK_MODL_MASS_PROPS_N; ++i) mass_props[i] = 0.0;
      for (int i = 0; i < ZK_MODL_MASS_STATS_N; ++i) statistics[i] = 0.0;
      return kMassNotFinite;
    }
    for (int i = 0; i < ZK_MODL_MASS_PROPS_N; ++i) mass_props[i] = result[static_cast<size_t>(i)];
    for (int i = 0; i < ZK_MODL_MASS_STATS_N; ++i) statistics[i] = 0.0;
    statistics[0] = n;
    return kOk;
  });
}

int ZK_MODL_ask_exps_of_part(tag_t part, int *count, tag_t **expressions) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count || !expressions) return kInvalidArgument;
    *count = 0;
    *expressions = nullptr;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    std::vector<tag_t> tags;
    const model::ObjectList *list = p->of_type(ZK_expression_type);
    for (model::Object *o = list ? list->first() : nullptr; o; o = list->next(o)) {
      tags.push_back(o->tag);
    }
    *count = static_cast<int>(tags.size());
    *expressions = api::host_tags(tags);
    return kOk;
  });
}

int ZK_MODL_ask_exp_tag_string(tag_t expression, char **text) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!text) return kInvalidArgument;
    *text = nullptr;
    auto *x = session().find_as<model::Expression>(expression, ZK_expression_type);
    if (!x) return missing(expression);
    ORVEL_INJECT(expression);
    *text = api::host_text(x->name.value_or("") + "=" + x->formula);
    return kOk;
  });
}

int ZK_MODL_ask_exp_tag_value(tag_t expression, double *value) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!value) return kInvalidArgument;
    auto *x = session().find_as<model::Expression>(expression, ZK_expression_type);
    if (!x) return missing(expression);
    ORVEL_INJECT(expression);
    *value = x->value;
    return kOk;
  });
}

int ZK_SF_locate_material(tag_t body_tag, tag_t *material) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!material) return kInvalidArgument;
    *material = NULL_TAG;
    model::Body *b = body(body_tag);
    if (!b) return missing(body_tag);
    ORVEL_INJECT(body_tag);
    if (const model::Material *m = b->source()->material) *material = m->tag;
    return kOk;
  });
}

}  // extern "C"
