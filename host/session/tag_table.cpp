#include "session/tag_table.hpp"

namespace orvel {

void TagTable::insert(tag_t tag, model::Object *object) {
  if (!object) return;
  const size_t page = tag >> kPageBits;
  if (page >= pages_.size()) pages_.resize(page + 1);
  if (!pages_[page]) pages_[page] = std::make_unique<Page>();
  model::Object *&slot = pages_[page]->slots[tag & (kPageSize - 1)];
  if (slot) return;
  slot = object;
  ++pages_[page]->used;
}

void TagTable::erase(tag_t tag) {
  const size_t page = tag >> kPageBits;
  if (page >= pages_.size() || !pages_[page]) return;
  model::Object *&slot = pages_[page]->slots[tag & (kPageSize - 1)];
  if (!slot) return;
  slot = nullptr;
  if (--pages_[page]->used == 0) pages_[page].reset();
}

size_t TagTable::pages_held() const {
  size_t held = 0;
  for (const auto &page : pages_) held += page ? 1 : 0;
  return held;
}

}  // namespace orvel
