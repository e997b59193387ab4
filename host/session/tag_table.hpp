// The session's tag table: the object each live tag stands for. Tags are
// handed out in rising order and never reused, so the table is a list of
// fixed pages indexed by the tag itself: a lookup is two loads, with no
// hashing. A page is released once every tag on it is gone, which keeps the
// table as small as the objects alive over a long batch of parts; only the
// page directory grows with the tags ever issued (one pointer per page).
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

#include "orvel/zk_types.h"

namespace orvel {

namespace model {
struct Object;
}

class TagTable {
 public:
  static constexpr unsigned kPageBits = 10;
  static constexpr size_t kPageSize = size_t{1} << kPageBits;

  model::Object *find(tag_t tag) const {
    const size_t page = tag >> kPageBits;
    if (page >= pages_.size() || !pages_[page]) return nullptr;
    return pages_[page]->slots[tag & (kPageSize - 1)];
  }

  // Enters `object` under `tag` unless the tag already stands for one.
  void insert(tag_t tag, model::Object *object);
  // Forgets `tag`; nothing happens for a tag that stands for nothing.
  void erase(tag_t tag);

  // The pages held now, for a look at the table's memory.
  size_t pages_held() const;

 private:
  struct Page {
    std::array<model::Object *, kPageSize> slots{};
    size_t used = 0;
  };
  std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace orvel
