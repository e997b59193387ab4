// The managed part store behind PDM mode: items (part numbers), revisions
// (the configured revision of an item is its newest) and datasets (file type
// and file name) mapped to part files. Kept in an SQLite database.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvel/zk_types.h"

namespace orvel::pdm {

// A store that fails under a query after it was opened (locked by another
// process, damaged, its tables changed). The text names the store and the
// cause.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct EncodedName {
  std::string part_number;
  std::string revision;
  std::string file_type;  // empty for the revision's master part
  std::string file_name;  // empty for the revision's master part
};

// "@DB/number/revision" or "@DB/number/revision/type/name"; encode and
// decode are inverse. decode returns nothing for a text without the marker.
std::string encode_name(const EncodedName &name);
std::optional<EncodedName> decode_name(const std::string &encoded);
// Why a name cannot be opened as a managed part: a field longer than the
// plug-in's field for it holds (stores written by other tools or by older
// versions may hold such names). Nothing when every field fits.
std::optional<std::string> overlong_field(const EncodedName &name);

class Store {
 public:
  // Opens (creating when `create`) the store at `path`; throws
  // std::runtime_error with a message naming the file on failure. Every
  // later call throws StoreError when the database fails under it.
  static std::unique_ptr<Store> open(const std::string &path, bool create);
  ~Store();

  // Registration, used by `orvel pdm`. A revision's master part is the
  // dataset with empty type and name. Paths are stored as given, relative
  // paths relative to the store's directory.
  void add_item(const std::string &part_number, const std::string &description);
  void add_revision(const std::string &part_number, const std::string &revision);
  void add_dataset(const std::string &part_number, const std::string &revision,
                   const std::string &file_type, const std::string &file_name,
                   const std::string &part_file);

  // Runs `work` as one transaction: everything it adds stays, or, when it
  // throws, nothing does (the exception is passed on).
  void transaction(const std::function<void()> &work);

  // Queries, used by the VQMGR calls and by part opening.
  bool has_item(const std::string &part_number) const;
  // The newest revision of an item, nothing for an unknown item or none.
  std::optional<std::string> configured_revision(const std::string &part_number) const;
  // The part file of an encoded name, nothing when the store has none.
  std::optional<std::string> resolve(const EncodedName &name) const;
  // Every dataset as its encoded name and part file, for listings.
  std::vector<std::pair<std::string, std::string>> datasets() const;

  // Handles of items and revisions for the VQMGR calls. Each is drawn once
  // from `new_tag` (the session's allocator) and then kept, so asking again
  // gives the same tag. Nothing (0) for an item or revision the store lacks.
  tag_t item_tag(const std::string &part_number, const std::function<tag_t()> &new_tag);
  tag_t revision_tag(const std::string &part_number, const std::string &revision,
                     const std::function<tag_t()> &new_tag);
  // What a handle stands for: the part number of an item tag; the part number
  // and revision of a revision tag. Nothing for any other tag.
  std::optional<std::string> item_of(tag_t item) const;
  std::optional<std::pair<std::string, std::string>> revision_of(tag_t revision) const;

 private:
  struct Impl;
  explicit Store(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvel::pdm
