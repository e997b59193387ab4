// Texts kept as long as their owner lives, packed into blocks: one
// allocation serves hundreds of texts instead of one or two each, and a
// kept text never moves, so what is handed out of it stays valid. The first
// block is small and each next one as large as all before it, up to
// kBlockSize, so that an owner keeping a few texts holds little.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace orvel::model {

class TextStore {
 public:
  static constexpr size_t kFirstBlock = 512;
  static constexpr size_t kBlockSize = 16 * 1024;

  // Keeps a copy of `text` followed by a NUL byte; returns the copy (the
  // NUL not counted). `text` may hold NUL bytes of its own.
  std::string_view keep(std::string_view text) { return keep(text, {}, {}); }

  // Keeps `head`, then `separator` (when given) and `tail`, as one text.
  std::string_view keep(std::string_view head, std::string_view separator, std::string_view tail);

  // The blocks held now, for a look at the store's memory.
  size_t blocks_held() const { return blocks_.size(); }
  // The bytes of all the blocks held.
  size_t bytes_held() const { return held_; }

 private:
  // Room for `size` bytes in the current block or a new one.
  char *room(size_t size);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char *free_ = nullptr;
  size_t left_ = 0;
  size_t held_ = 0;
};

}  // namespace orvel::model
