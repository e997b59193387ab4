// Texts kept as long as their owner lives, packed into large blocks: one
// allocation serves hundreds of texts instead of one or two each, and a
// kept text never moves, so what is handed out of it stays valid.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace orvel::model {

class TextStore {
 public:
  static constexpr size_t kBlockSize = 16 * 1024;

  // Keeps a copy of `text` followed by a NUL byte; returns the copy (the
  // NUL not counted). `text` may hold NUL bytes of its own.
  std::string_view keep(std::string_view text) { return keep(text, {}, {}); }

  // Keeps `head`, then `separator` (when given) and `tail`, as one text.
  std::string_view keep(std::string_view head, std::string_view separator, std::string_view tail);

  // The blocks held now, for a look at the store's memory.
  size_t blocks_held() const { return blocks_.size(); }

 private:
  // Room for `size` bytes in the current block or a new one.
  char *room(size_t size);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char *free_ = nullptr;
  size_t left_ = 0;
};

}  // namespace orvel::model
