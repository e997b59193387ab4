// C API: assemblies (ASSEM): work part, occurrences, reference sets,
// arrangements, load options, component data and mating conditions.
#include <cstring>

#include "api/api_util.hpp"
#include "orvel/zk_assem.h"

using namespace orvel;
using orvel::api::copy_out;

namespace {

// A component occurrence below an assembly (not the root occurrence).
// Inline: the calls a check makes for every component are little more than
// this.
inline model::ComponentOcc *component(tag_t tag) {
  auto *occ = session().find_as<model::ComponentOcc>(tag, ZK_component_type);
  return occ && occ->instance ? occ : nullptr;
}

model::Arrangement *active_arrangement(const model::Part &part) {
  const model::ObjectList *list = part.of_type(ZK_arrangement_type);
  for (model::Object *o = list ? list->first() : nullptr; o; o = list->next(o)) {
    auto *a = static_cast<model::Arrangement *>(o);
    if (a->active) return a;
  }
  return nullptr;
}

}  // namespace

extern "C" {

tag_t ZK_ASSEM_ask_work_part(void) {
  return api::guard_value(__func__, NULL_TAG, [&]() -> tag_t {
    model::Part *p = session().work_part();
    return p ? p->tag : NULL_TAG;
  });
}

logical ZK_ASSEM_is_occurrence(tag_t object) {
  return api::guard_value(__func__, logical{0}, [&]() -> logical {
    model::Object *o = session().find(object);
    return o && o->occurrence ? 1 : 0;
  });
}

int ZK_ASSEM_ask_ref_set_members(tag_t reference_set, int *count, tag_t **members) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count || !members) return kInvalidArgument;
    *count = 0;
    *members = nullptr;
    auto *set = session().find_as<model::ReferenceSet>(reference_set, ZK_reference_set_type);
    if (!set) return session().find(reference_set) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(reference_set);
    // A component member appears as its occurrence in the set's part.
    session().build_occurrences(*set->part);
    std::vector<tag_t> tags;
    for (model::Object *m : set->members) {
      if (m->type == ZK_occ_instance_type) {
        model::ComponentOcc *occ = set->part->occurrence_of(static_cast<model::Instance *>(m));
        if (occ) tags.push_back(occ->tag);
      } else {
        tags.push_back(m->tag);
      }
    }
    *count = static_cast<int>(tags.size());
    *members = api::host_tags(tags);
    return kOk;
  });
}

int ZK_ASSEM_ask_assem_options(ZK_ASSEM_options_t *options) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!options) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *options = session().load_options();
    return kOk;
  });
}

int ZK_ASSEM_ask_active_arrangement(tag_t part, tag_t *arrangement) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!arrangement) return kInvalidArgument;
    *arrangement = NULL_TAG;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    if (model::Arrangement *a = active_arrangement(*p)) *arrangement = a->tag;
    return kOk;
  });
}

int ZK_ASSEM_ask_name_of_arrangement(tag_t arrangement, char **name) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!name) return kInvalidArgument;
    *name = nullptr;
    auto *a = session().find_as<model::Arrangement>(arrangement, ZK_arrangement_type);
    if (!a) return session().find(arrangement) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(arrangement);
    *name = api::host_text(a->name.value_or(""));
    return kOk;
  });
}

int ZK_ASSEM_ask_arrangements_in_part(tag_t part, int *count, tag_t **arrangements) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count || !arrangements) return kInvalidArgument;
    *count = 0;
    *arrangements = nullptr;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    std::vector<tag_t> tags;
    const model::ObjectList *list = p->of_type(ZK_arrangement_type);
    for (model::Object *o = list ? list->first() : nullptr; o; o = list->next(o)) {
      tags.push_back(o->tag);
    }
    *count = static_cast<int>(tags.size());
    *arrangements = api::host_tags(tags);
    return kOk;
  });
}

int ZK_ASSEM_ask_component_data(tag_t component_tag, char part_name[ZK_COMPONENT_FILE_BUFSIZE],
                                char refset_name[ZK_REFSET_NAME_BUFSIZE],
                                char instance_name[ZK_INSTANCE_NAME_BUFSIZE], double origin[3],
                                double csys_matrix[9], double transform[4][4]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!part_name || !refset_name || !instance_name || !origin || !csys_matrix || !transform) {
      return kInvalidArgument;
    }
    model::ComponentOcc *occ = component(component_tag);
    if (!occ) return session().find(component_tag) ? kWrongType : kInvalidTag;
    // The texts asked for and the placement lie in other objects' memory:
    // all of it is asked for at once rather than waited for piece by piece.
    __builtin_prefetch(occ->name_hint);
    const model::Instance &inst = *occ->instance;
    model::prefetch_span(&inst.instance_name, &inst.orientation[2][2]);
    model::prefetch_span(&occ->to_owner, &occ->to_owner.t.z);
    ORVEL_INJECT(component_tag);
    copy_out(part_name, ZK_COMPONENT_FILE_BUFSIZE, occ->shown ? occ->shown->full_name : inst.file);
    copy_out(refset_name, ZK_REFSET_NAME_BUFSIZE, inst.refset_name);
    copy_out(instance_name, ZK_INSTANCE_NAME_BUFSIZE, inst.instance_name);
    origin[0] = inst.origin.x;
    origin[1] = inst.origin.y;
    origin[2] = inst.origin.z;
    // The rows of the orientation, and of the rotation beside its
    // translation: whole rows copied at once.
    static_assert(sizeof inst.orientation == 9 * sizeof(double));
    std::memcpy(csys_matrix, inst.orientation, sizeof inst.orientation);
    const geom::Transform &t = occ->to_owner;
    const double translation[3] = {t.t.x, t.t.y, t.t.z};
    for (int i = 0; i < 3; ++i) {
      std::memcpy(transform[i], t.r[i], sizeof t.r[i]);
      transform[i][3] = translation[i];
      transform[3][i] = 0.0;
    }
    transform[3][3] = 1.0;
    return kOk;
  });
}

tag_t ZK_ASSEM_ask_inst_of_part_occ(tag_t component_tag) {
  return api::guard_value(__func__, NULL_TAG, [&]() -> tag_t {
    model::ComponentOcc *occ = component(component_tag);
    return occ ? occ->instance->tag : NULL_TAG;
  });
}

int ZK_ASSEM_ask_suppress_state(tag_t instance, logical *suppressed) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!suppressed) return kInvalidArgument;
    auto *inst = session().find_as<model::Instance>(instance, ZK_occ_instance_type);
    if (!inst) return session().find(instance) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(instance);
    *suppressed = inst->suppressed ? 1 : 0;
    return kOk;
  });
}

int ZK_ASSEM_ask_suppression_exp(tag_t instance, tag_t *expression) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!expression) return kInvalidArgument;
    *expression = NULL_TAG;
    auto *inst = session().find_as<model::Instance>(instance, ZK_occ_instance_type);
    if (!inst) return session().find(instance) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(instance);
    if (inst->suppression) *expression = inst->suppression->tag;
    return kOk;
  });
}

int ZK_ASSEM_count_objs_in_comp(tag_t component_tag, int *count) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count) return kInvalidArgument;
    *count = 0;
    model::ComponentOcc *occ = component(component_tag);
    if (!occ) return session().find(component_tag) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(component_tag);
    if (!occ->shown) return kOk;
    const model::Instance &inst = *occ->instance;
    if (inst.shows_entire_part()) {
      *count = occ->shown->objects_on_layers();
      return kOk;
    }
    const model::ObjectList *sets = occ->shown->of_type(ZK_reference_set_type);
    for (model::Object *o = sets ? sets->first() : nullptr; o; o = sets->next(o)) {
      if (o->name && *o->name == inst.refset_name) {
        *count = static_cast<int>(static_cast<model::ReferenceSet *>(o)->members.size());
        break;
      }
    }
    return kOk;
  });
}

tag_t ZK_ASSEM_ask_prototype_of_occ(tag_t component_tag) {
  return api::guard_value(__func__, NULL_TAG, [&]() -> tag_t {
    model::Object *o = session().find(component_tag);
    if (!o || !o->occurrence) return NULL_TAG;
    if (o->type == ZK_component_type) {
      auto *occ = static_cast<model::ComponentOcc *>(o);
      return occ->shown ? occ->shown->tag : NULL_TAG;
    }
    return o->prototype ? o->prototype->tag : NULL_TAG;
  });
}

int ZK_ASSEM_ask_parent_component(tag_t component_tag, tag_t *parent) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!parent) return kInvalidArgument;
    *parent = NULL_TAG;
    auto *occ = session().find_as<model::ComponentOcc>(component_tag, ZK_component_type);
    if (!occ) return session().find(component_tag) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(component_tag);
    if (occ->parent) *parent = occ->parent->tag;
    return kOk;
  });
}

int ZK_ASSEM_init_mc(ZK_ASSEM_mc_t *mc) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!mc) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *mc = ZK_ASSEM_mc_t{};
    return kOk;
  });
}

int ZK_ASSEM_ask_mc_data_of_compnt(tag_t component_tag, logical *mated, ZK_ASSEM_mc_t *mc) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!mated || !mc) return kInvalidArgument;
    *mated = 0;
    model::ComponentOcc *occ = component(component_tag);
    if (!occ) return session().find(component_tag) ? kWrongType : kInvalidTag;
    ORVEL_INJECT(component_tag);
    const std::optional<model::Mating> &m = occ->instance->mating;
    if (!m) return kOk;
    *mated = 1;
    // Partners are linked once all the siblings are built.
    session().build_occurrences(*occ->part);
    mc->mated_object = occ->mated ? occ->mated->tag : NULL_TAG;
    copy_out(mc->name, ZK_OBJ_NAME_BUFSIZE, m->name);
    mc->num_constraints = m->constraints;
    mc->suppressed = m->suppressed ? 1 : 0;
    return kOk;
  });
}

int ZK_ASSEM_check_mc_structure(ZK_ASSEM_mc_t *mc, int *status, int *n_errors) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!mc || !status || !n_errors) return kInvalidArgument;
    ORVEL_INJECT(mc->mated_object);
    // A rigid component has six degrees of freedom: more constraints than
    // that over-constrain it.
    constexpr int kDegreesOfFreedom = 6;
    model::Object *mated = session().find(mc->mated_object);
    if (!mated || mated->status != ZK_OBJ_ALIVE) {
      *status = 2;
      *n_errors = 1;
    } else if (mc->num_constraints > kDegreesOfFreedom) {
      *status = 1;
      *n_errors = mc->num_constraints - kDegreesOfFreedom;
    } else {
      *status = 0;
      *n_errors = 0;
    }
    return kOk;
  });
}

}  // extern "C"
