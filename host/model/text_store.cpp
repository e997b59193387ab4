#include "model/text_store.hpp"

#include <algorithm>
#include <cstring>

namespace orvel::model {

std::string_view TextStore::keep(std::string_view head, std::string_view separator,
                                 std::string_view tail) {
  const size_t length = head.size() + separator.size() + tail.size();
  char *text = room(length + 1);
  char *at = text;
  for (std::string_view piece : {head, separator, tail}) {
    if (piece.empty()) continue;
    std::memcpy(at, piece.data(), piece.size());
    at += piece.size();
  }
  *at = '\0';
  return {text, length};
}

char *TextStore::room(size_t size) {
  if (size > left_) {
    // A text longer than a block gets a block of its own size; what was
    // left of the current one is given up (at most one text's worth).
    const size_t ordinary = std::min(kBlockSize, std::max(kFirstBlock, held_));
    const size_t block = std::max(ordinary, size);
    // Not cleared: every byte handed out is written first.
    blocks_.push_back(std::unique_ptr<char[]>(new char[block]));
    held_ += block;
    free_ = blocks_.back().get();
    left_ = block;
  }
  char *at = free_;
  free_ += size;
  left_ -= size;
  return at;
}

}  // namespace orvel::model
