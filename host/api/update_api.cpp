// C API: bringing the work part up to date: feature updates (MODL) and the
// assembly structure synchronisation (FLTR).
#include <fstream>
#include <sstream>
#include <unordered_set>

#include "api/api_util.hpp"
#include "orvel/zk_assem.h"
#include "orvel/zk_modl.h"
#include "partfile/part_file.hpp"

using namespace orvel;

namespace {

// The first component part below `part` whose file no longer holds the text
// it was loaded from: the code and a message naming the file, or 0.
int check_components(const model::Part &part, std::unordered_set<const model::Part *> &seen) {
  const model::ObjectList *instances = part.of_type(ZK_occ_instance_type);
  for (const model::Object *o = instances ? instances->first() : nullptr; o;
       o = instances->next(o)) {
    const auto &instance = static_cast<const model::Instance &>(*o);
    const model::Part *child = instance.child;
    if (!child && !instance.load_failure.empty()) {
      session().set_failure_detail(kComponentMissing, std::string(code_message(kComponentMissing)) +
                                                          ": " + instance.load_failure);
      return kComponentMissing;
    }
    if (!child || !seen.insert(child).second) continue;
    std::ifstream in(child->file_path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
      session().set_failure_detail(kComponentMissing, std::string(code_message(kComponentMissing)) +
                                                          ": " + child->file_path +
                                                          ": the file has vanished");
      return kComponentMissing;
    }
    if (partfile::text_digest(text.str()) != child->loaded_digest) {
      session().set_failure_detail(kComponentChanged, std::string(code_message(kComponentChanged)) +
                                                          ": " + child->file_path);
      return kComponentChanged;
    }
    if (int code = check_components(*child, seen)) return code;
  }
  return kOk;
}

}  // namespace

extern "C" {

int ZK_MODL_set_update_fail_option(int option) {
  ORVEL_INJECT(NULL_TAG);
  if (option != ZK_MODL_UPDATE_STOP && option != ZK_MODL_UPDATE_ACCEPT) return kInvalidArgument;
  session().update_fail_option = option;
  return kOk;
}

int ZK_MODL_update_all_features(void) {
  model::Part *work = session().work_part();
  if (!work) return kNoWorkPart;
  ORVEL_INJECT(NULL_TAG);
  int first = kOk;
  const model::ObjectList *features = work->of_type(ZK_feature_type);
  for (const model::Object *o = features ? features->first() : nullptr; o; o = features->next(o)) {
    const auto &f = static_cast<const model::Feature &>(*o);
    if (f.suppressed || f.update_failure == 0) continue;
    if (first == kOk) first = f.update_failure;
    if (session().update_fail_option == ZK_MODL_UPDATE_STOP) break;
  }
  return first;
}

int ZK_FLTR_update_structure(tag_t part) {
  model::Part *p = session().find_part(part);
  if (!p) return kInvalidTag;
  ORVEL_INJECT(part);
  std::unordered_set<const model::Part *> seen;
  return check_components(*p, seen);
}

}  // extern "C"
