#include "model/object_arena.hpp"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace orvel::model {

namespace {

// A block of kHugeBlock bytes aligned to its size, so that the kernel can
// back it with one huge page; none when the mapping fails.
void *map_huge_block() {
  const size_t size = ObjectArena::kHugeBlock;
  void *raw = mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + size - 1) & ~(std::uintptr_t{size} - 1);
  // The unaligned ends go back at once.
  if (aligned > start) munmap(raw, aligned - start);
  const std::uintptr_t end = start + 2 * size;
  if (end > aligned + size) munmap(reinterpret_cast<void *>(aligned + size), end - aligned - size);
  void *block = reinterpret_cast<void *>(aligned);
  // Only advice: without huge pages the block works as well, only slower.
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

}  // namespace

ObjectArena::~ObjectArena() {
  for (const Block &block : blocks_) {
    if (block.mapped) {
      munmap(block.memory, block.size);
    } else {
      ::operator delete(block.memory);
    }
  }
}

size_t ObjectArena::huge_blocks() const {
  size_t huge = 0;
  for (const Block &block : blocks_) huge += block.mapped ? 1 : 0;
  return huge;
}

void ObjectArena::add_block(size_t at_least) {
  // Room in the list first, so that a block is never made and then lost.
  if (blocks_.size() == blocks_.capacity()) blocks_.reserve(2 * blocks_.size() + 4);
  Block block{nullptr, 0, false};
  if (total_ >= kSmallTotal && at_least <= kHugeBlock) {
    block.memory = map_huge_block();
    block.size = kHugeBlock;
    block.mapped = block.memory != nullptr;
  }
  if (!block.memory) {
    const size_t doubled = total_ < kFirstBlock ? kFirstBlock : total_;
    const size_t ordinary = doubled < kSmallBlock ? doubled : kSmallBlock;
    block.size = at_least > ordinary ? at_least : ordinary;
    block.memory = ::operator new(block.size);
  }
  blocks_.push_back(block);
  free_ = static_cast<char *>(block.memory);
  left_ = block.size;
  total_ += block.size;
}

void *ObjectArena::allocate(size_t size, size_t align) {
  auto padding = [&] {
    const auto at = reinterpret_cast<std::uintptr_t>(free_);
    return static_cast<size_t>((align - at % align) % align);
  };
  if (!free_ || padding() + size > left_) add_block(size + align);
  const size_t pad = padding();
  char *at = free_ + pad;
  free_ = at + size;
  left_ -= pad + size;
  return at;
}

}  // namespace orvel::model
