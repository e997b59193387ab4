// The VQMGR calls: PDM mode, encoded part names and the items and revisions
// of the session's managed part store.
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "api/api_util.hpp"
#include "orvel/zk_vqmgr.h"
#include "pdm/store.hpp"

using orvel::api::copy_out;

namespace {

using orvel::pdm::EncodedName;

std::function<tag_t()> tag_allocator() {
  return [] { return orvel::session().new_tag(); };
}

// Store queries run SQL; a store that fails underneath them (locked by
// another process, damaged or changed while the session runs) gives this
// code, with the store's text (naming the store and the cause) as the
// failure's detail.
template <typename Query>
int guarded(Query query) {
  try {
    return query();
  } catch (const orvel::pdm::StoreError &e) {
    orvel::session().set_failure_detail(
        orvel::kPdmStoreFailed,
        std::string(orvel::code_message(orvel::kPdmStoreFailed)) + ": " + e.what());
    return orvel::kPdmStoreFailed;
  }
}

}  // namespace

extern "C" {

int ZK_is_vqmanager_active(logical *is_active) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!is_active) return orvel::kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    if (orvel::session().pdm()) *is_active = 1;
    return orvel::kOk;
  });
}

int ZK_VQMGR_encode_part_filename(const char *part_number, const char *revision,
                                  const char *file_type, const char *file_name,
                                  char encoded[ZK_VQMGR_ENCODED_BUFSIZE]) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!encoded) return orvel::kInvalidArgument;
    encoded[0] = '\0';
    if (!part_number || !revision || !file_type || !file_name) return orvel::kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    if (!orvel::session().pdm()) return orvel::kPdmNotActive;
    std::string text;
    try {
      text = orvel::pdm::encode_name(EncodedName{part_number, revision, file_type, file_name});
    } catch (const std::invalid_argument &) {
      return orvel::kInvalidArgument;
    }
    if (text.size() > ZK_VQMGR_ENCODED_BUFSIZE - 1) return orvel::kNameTooLong;
    copy_out(encoded, ZK_VQMGR_ENCODED_BUFSIZE, text);
    return orvel::kOk;
  });
}

int ZK_VQMGR_decode_part_filename(const char *encoded,
                                  char part_number[ZK_VQMGR_PART_NUMBER_BUFSIZE],
                                  char revision[ZK_VQMGR_REV_BUFSIZE],
                                  char file_type[ZK_VQMGR_FILE_TYPE_BUFSIZE],
                                  char file_name[ZK_VQMGR_FILE_NAME_BUFSIZE]) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!part_number || !revision || !file_type || !file_name) return orvel::kInvalidArgument;
    part_number[0] = revision[0] = file_type[0] = file_name[0] = '\0';
    if (!encoded) return orvel::kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    std::optional<EncodedName> name = orvel::pdm::decode_name(encoded);
    if (!name) return orvel::kInvalidArgument;
    copy_out(part_number, ZK_VQMGR_PART_NUMBER_BUFSIZE, name->part_number);
    copy_out(revision, ZK_VQMGR_REV_BUFSIZE, name->revision);
    copy_out(file_type, ZK_VQMGR_FILE_TYPE_BUFSIZE, name->file_type);
    copy_out(file_name, ZK_VQMGR_FILE_NAME_BUFSIZE, name->file_name);
    return orvel::kOk;
  });
}

int ZK_VQMGR_ask_part_tag(const char *part_number, tag_t *part) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!part) return orvel::kInvalidArgument;
    *part = NULL_TAG;
    if (!part_number) return orvel::kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    orvel::pdm::Store *store = orvel::session().pdm();
    if (!store) return orvel::kPdmNotActive;
    return guarded([&] {
      *part = store->item_tag(part_number, tag_allocator());
      return *part == NULL_TAG ? orvel::kManagedPartUnknown : orvel::kOk;
    });
  });
}

int ZK_VQMGR_ask_configured_rev(tag_t part, tag_t *revision) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!revision) return orvel::kInvalidArgument;
    *revision = NULL_TAG;
    ORVEL_INJECT(part);
    orvel::pdm::Store *store = orvel::session().pdm();
    if (!store) return orvel::kPdmNotActive;
    std::optional<std::string> number = store->item_of(part);
    if (!number) return orvel::kInvalidTag;
    return guarded([&] {
      std::optional<std::string> configured = store->configured_revision(*number);
      if (!configured) return orvel::kNotFound;
      *revision = store->revision_tag(*number, *configured, tag_allocator());
      return orvel::kOk;
    });
  });
}

int ZK_VQMGR_ask_part_revision_id(tag_t revision, char revision_id[ZK_VQMGR_REVISION_ID_BUFSIZE]) {
  return orvel::api::guard(__func__, orvel::kHostFault, [&]() -> int {
    if (!revision_id) return orvel::kInvalidArgument;
    revision_id[0] = '\0';
    ORVEL_INJECT(revision);
    orvel::pdm::Store *store = orvel::session().pdm();
    if (!store) return orvel::kPdmNotActive;
    auto found = store->revision_of(revision);
    if (!found) return orvel::kInvalidTag;
    copy_out(revision_id, ZK_VQMGR_REVISION_ID_BUFSIZE, found->second);
    return orvel::kOk;
  });
}

}  // extern "C"
