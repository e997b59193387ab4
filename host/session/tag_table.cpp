#include "session/tag_table.hpp"

#include <algorithm>

namespace orvel {

TagTable::Page TagTable::no_page_;

TagTable::~TagTable() {
  for (size_t i = 0; i < directory_size_; ++i) {
    if (holds(directory_[i])) delete directory_[i];
  }
}

void TagTable::insert(tag_t tag, model::Object *object) {
  if (!object) return;
  const size_t page = tag >> kPageBits;
  if (page >= directory_size_) {
    // Grown by doubling: tags are issued in rising order, one page at a time.
    const size_t size = std::max(page + 1, 2 * directory_size_);
    auto grown = std::make_unique<Page *[]>(size);
    std::copy_n(directory_.get(), directory_size_, grown.get());
    std::fill(grown.get() + directory_size_, grown.get() + size, &no_page_);
    directory_ = std::move(grown);
    directory_size_ = size;
  }
  if (!holds(directory_[page])) directory_[page] = new Page();
  Page &held = *directory_[page];
  model::Object *&slot = held.slots[tag & (kPageSize - 1)];
  if (slot) return;
  slot = object;
  ++held.used;
}

void TagTable::erase(tag_t tag) {
  const size_t page = tag >> kPageBits;
  if (page >= directory_size_ || !holds(directory_[page])) return;
  Page &held = *directory_[page];
  model::Object *&slot = held.slots[tag & (kPageSize - 1)];
  if (!slot) return;
  slot = nullptr;
  if (--held.used == 0) {
    delete &held;
    directory_[page] = &no_page_;
  }
}

size_t TagTable::pages_held() const {
  return static_cast<size_t>(std::count_if(directory_.get(), directory_.get() + directory_size_,
                                           [](const Page *page) { return holds(page); }));
}

}  // namespace orvel
