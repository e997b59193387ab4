#include "heap.hpp"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace orvel::cli {

namespace {

// Address space the heap takes at once: the model of a part ten times the
// bench's 1x assembly fits in it. Pages are only given as they are written.
constexpr std::size_t kReserve = std::size_t{256} << 20;
// mallopt(3)'s default growth beyond a request, put back once the reserve
// is taken, so that later growth asks for no more than it used to.
constexpr int kDefaultTopPad = 128 << 10;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
// Blocks below the C library's mmap threshold, so that they come from the
// heap, which must grow once its free top is used up.
constexpr std::size_t kStep = std::size_t{64} << 10;
constexpr int kMaxSteps = 64;

std::uintptr_t break_now() {
  return reinterpret_cast<std::uintptr_t>(sbrk(0));
}

// Takes blocks until the heap grows (by the top pad in force) and frees
// them again.
void grow_heap_once() {
  const std::uintptr_t start = break_now();
  void *blocks[kMaxSteps];
  int taken = 0;
  while (taken < kMaxSteps && break_now() == start) {
    blocks[taken] = std::malloc(kStep);
    if (blocks[taken] == nullptr) break;
    ++taken;
  }
  for (int i = 0; i < taken; ++i) std::free(blocks[i]);
}

}  // namespace

void prefer_huge_heap_pages() {
  // Freeing at the top must not give the reserve back: the heap's later
  // growth would lie in a new mapping, in small pages.
  if (mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kReserve)) == 0) return;
  const std::uintptr_t start = break_now();
  if (mallopt(M_TOP_PAD, static_cast<int>(kReserve)) != 0) {
    grow_heap_once();
    mallopt(M_TOP_PAD, kDefaultTopPad);
  }
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = break_now() & ~(kHugePage - 1);
  if (last > first) madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace orvel::cli
