// C API: parts (PART): opening, saving, closing, names, units, description
// and save history.
#include "api/api_util.hpp"
#include "orvel/zk_part.h"

using namespace orvel;
using orvel::api::copy_out;
using orvel::api::host_text;

// A history list handed to the caller.
struct ZK_history_list_s {
  std::vector<model::HistoryEntry> entries;
};

namespace {

ZK_history_list_s *tracked_list(ZK_history_list_t list) {
  return session().tracked<ZK_history_list_s>(list);
}

int open_part(const char *name, tag_t *part, ZK_PART_load_status_t *status) {
  if (part) *part = NULL_TAG;
  if (status) *status = ZK_PART_load_status_t{0, 0};
  if (!name || !part) return kInvalidArgument;
  OpenResult result = session().open_part(name);
  if (result.code != kOk) {
    if (status) *status = ZK_PART_load_status_t{1, 1};
    return result.code;
  }
  *part = result.part->tag;
  if (status) {
    const bool partial = result.failed_parts > 0 || !result.warnings.empty();
    *status = ZK_PART_load_status_t{partial ? 1 : 0, result.failed_parts};
  }
  return kOk;
}

}  // namespace

extern "C" {

int ZK_PART_open(const char *name, tag_t *part, ZK_PART_load_status_t *status) {
  return api::guard(__func__, kPartFileUnreadable, [&]() -> int {
    int code = open_part(name, part, status);
    if (session().part_open_observer) session().part_open_observer(name ? name : "", code);
    return code;
  });
}

int ZK_PART_save_work_only(void) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    const model::Part *work = session().work_part();
    return api::kept_if_unsaved(work ? work->file_path : "(no work part)", [&]() -> int {
      ORVEL_INJECT(NULL_TAG);
      return session().save_work_part();
    });
  });
}

int ZK_PART_close_all(void) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    ORVEL_INJECT(NULL_TAG);
    session().close_all();
    return kOk;
  });
}

tag_t ZK_PART_ask_display_part(void) {
  return api::guard_value(__func__, NULL_TAG, [&]() -> tag_t {
    model::Part *p = session().display_part();
    return p ? p->tag : NULL_TAG;
  });
}

int ZK_PART_ask_part_name(tag_t part, char name[ZK_FSPEC_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!name) return kInvalidArgument;
    name[0] = '\0';
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    copy_out(name, ZK_FSPEC_BUFSIZE, p->full_name);
    return kOk;
  });
}

int ZK_PART_ask_units(tag_t part, int *units) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!units) return kInvalidArgument;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    *units = p->units;
    return kOk;
  });
}

int ZK_PART_ask_description(tag_t part, char **description) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!description) return kInvalidArgument;
    *description = nullptr;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    if (p->description) *description = host_text(*p->description);
    return kOk;
  });
}

int ZK_PART_create_history_list(ZK_history_list_t *list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!list) return kInvalidArgument;
    *list = nullptr;
    ORVEL_INJECT(NULL_TAG);
    *list = session().track(std::make_unique<ZK_history_list_s>());
    return kOk;
  });
}

int ZK_PART_clear_history_list(ZK_history_list_t list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    ZK_history_list_s *l = tracked_list(list);
    if (!l) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    l->entries.clear();
    return kOk;
  });
}

int ZK_PART_ask_part_history(tag_t part, ZK_history_list_t list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    ZK_history_list_s *l = tracked_list(list);
    if (!l) return kInvalidArgument;
    model::Part *p = session().find_part(part);
    if (!p) return kInvalidTag;
    ORVEL_INJECT(part);
    l->entries = p->history;
    return kOk;
  });
}

int ZK_PART_ask_num_histories(ZK_history_list_t list, int *count) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count) return kInvalidArgument;
    ZK_history_list_s *l = tracked_list(list);
    if (!l) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *count = static_cast<int>(l->entries.size());
    return kOk;
  });
}

int ZK_PART_ask_nth_history(ZK_history_list_t list, int index, char **program, char **user,
                            char **machine, int *version, int *time) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!program || !user || !machine || !version || !time) return kInvalidArgument;
    *program = *user = *machine = nullptr;
    ZK_history_list_s *l = tracked_list(list);
    if (!l) return kInvalidArgument;
    if (index < 0 || static_cast<size_t>(index) >= l->entries.size()) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    const model::HistoryEntry &e = l->entries[static_cast<size_t>(index)];
    *program = host_text(e.program);
    *user = host_text(e.user);
    *machine = host_text(e.machine);
    *version = e.version;
    *time = e.time;
    return kOk;
  });
}

int ZK_PART_delete_history_list(ZK_history_list_t list) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!tracked_list(list)) return kInvalidArgument;
    session().release(list);
    return kOk;
  });
}

}  // extern "C"
