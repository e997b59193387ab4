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

#include "orvel/zk_types.h"

namespace orvel {

namespace model {
struct Object;
}

class TagTable {
 public:
  static constexpr unsigned kPageBits = 10;
  static constexpr size_t kPageSize = size_t{1} << kPageBits;

  TagTable() = default;
  ~TagTable();
  TagTable(const TagTable &) = delete;
  TagTable &operator=(const TagTable &) = delete;

  // Nearly every C API call looks a tag up, most more than once: a page not
  // held is the shared empty page rather than none, so a lookup tests only
  // the directory's bounds and the slot.
  model::Object *find(tag_t tag) const {
    const size_t page = tag >> kPageBits;
    if (page >= directory_size_) return nullptr;
    return directory_[page]->slots[tag & (kPageSize - 1)];
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
  // The page of every directory entry whose page is not held: no tag on it
  // stands for an object. Never written (insert and erase pass it by).
  // Private to the library (hidden): a second copy of the library in the
  // process keeps its own.
  __attribute__((visibility("hidden"))) static Page no_page_;
  static bool holds(const Page *page) { return page != &no_page_; }

  // The pages by number; an entry is no_page_ or a page the table owns.
  std::unique_ptr<Page *[]> directory_;
  size_t directory_size_ = 0;
};

}  // namespace orvel
