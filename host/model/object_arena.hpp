// Memory for the objects a part makes in bulk (its occurrences), carved from
// blocks rather than allocated one by one. A part's first block is small and
// each next one as large as all before it, up to 64 KB: the many small parts
// of an assembly, each of which may make only a few occurrences, share pages
// instead of each taking a large block of its own. Once a part has made more
// than a few of them, the blocks are 2 MB ones that the kernel is asked to
// back with huge pages: the tens of thousands of occurrences of a large
// assembly then lie in a few pages, and a walk over them, asked between the
// writes of a report that evict the processor's caches and address
// translations, waits for memory far less often. Small parts never get a
// huge block. Memory is given back only when the arena goes; the objects in
// it are destroyed by their owner first.
#pragma once

#include <cstddef>
#include <vector>

namespace orvel::model {

class ObjectArena {
 public:
  // Blocks before the arena holds kSmallTotal are ordinary ones, from
  // kFirstBlock doubling up to kSmallBlock.
  static constexpr size_t kFirstBlock = 2 * 1024;
  static constexpr size_t kSmallBlock = 64 * 1024;
  static constexpr size_t kSmallTotal = 1024 * 1024;
  static constexpr size_t kHugeBlock = 2 * 1024 * 1024;

  ObjectArena() = default;
  ~ObjectArena();
  ObjectArena(const ObjectArena &) = delete;
  ObjectArena &operator=(const ObjectArena &) = delete;

  // Room for `size` bytes aligned to `align` (a power of two, at most 64);
  // throws std::bad_alloc when there is no memory.
  void *allocate(size_t size, size_t align);

  // The blocks held and how many of them are huge, for a look at memory.
  size_t blocks_held() const { return blocks_.size(); }
  size_t huge_blocks() const;
  // The bytes of all the blocks held.
  size_t bytes_held() const { return total_; }

 private:
  struct Block {
    void *memory;
    size_t size;
    bool mapped;  // a huge block, mapped directly; else from operator new
  };
  void add_block(size_t at_least);

  std::vector<Block> blocks_;
  char *free_ = nullptr;
  size_t left_ = 0;
  size_t total_ = 0;
};

}  // namespace orvel::model
