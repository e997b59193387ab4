// The arena a part makes its occurrences in: aligned room that never
// overlaps, small blocks for a small part and huge ones past them, and
// objects in it destroyed whole by their owner.
#include "model/object_arena.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/part.hpp"

namespace orvel::model {
namespace {

TEST(ObjectArena, GivesAlignedRoomThatNeverOverlapsSmallBlocksFirst) {
  ObjectArena arena;
  struct Piece {
    char *at;
    size_t size;
  };
  std::vector<Piece> pieces;
  size_t total = 0;
  // Sizes and alignments of the kind objects have, until well past the
  // small blocks.
  for (int i = 0; total < 3 * ObjectArena::kSmallTotal + 123; ++i) {
    const size_t size = 24 + static_cast<size_t>(i % 7) * 100;
    const size_t align = size_t{1} << (i % 4 + 3);  // 8 to 64
    auto *at = static_cast<char *>(arena.allocate(size, align));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(at) % align, 0u) << i;
    std::memset(at, i & 0xff, size);
    pieces.push_back({at, size});
    total += size;
    // Padding and the ends of blocks cost some room: well below the small
    // blocks' total, no block is huge yet.
    if (total < ObjectArena::kSmallTotal / 2) {
      ASSERT_EQ(arena.huge_blocks(), 0u) << "a small part gets no huge block";
    }
  }
  EXPECT_GT(arena.huge_blocks(), 0u);
  // Every piece still holds what was written in it: none overlaps another.
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (size_t b = 0; b < pieces[i].size; ++b) {
      ASSERT_EQ(static_cast<unsigned char>(pieces[i].at[b]), i & 0xff) << i;
    }
  }
}

TEST(ObjectArena, HoldsLittleForAFewObjectsAndGrowsByDoubling) {
  ObjectArena arena;
  arena.allocate(200, 8);
  arena.allocate(300, 16);
  EXPECT_EQ(arena.bytes_held(), ObjectArena::kFirstBlock) << "a few objects take one small block";
  size_t blocks = arena.blocks_held();
  size_t held = arena.bytes_held();
  while (arena.bytes_held() < ObjectArena::kSmallTotal) {
    arena.allocate(250, 8);
    if (arena.blocks_held() == blocks) continue;
    // Each new block is as large as all before it, up to a small block's size.
    ASSERT_EQ(arena.bytes_held() - held, std::min(held, ObjectArena::kSmallBlock));
    blocks = arena.blocks_held();
    held = arena.bytes_held();
  }
  EXPECT_EQ(arena.huge_blocks(), 0u);
  EXPECT_LE(arena.blocks_held(), 6 + ObjectArena::kSmallTotal / ObjectArena::kSmallBlock);
}

TEST(ObjectArena, TakesARequestLargerThanABlock) {
  ObjectArena arena;
  const size_t big = ObjectArena::kHugeBlock + 100;
  auto *at = static_cast<char *>(arena.allocate(big, 16));
  std::memset(at, 1, big);
  auto *after = static_cast<char *>(arena.allocate(32, 16));
  std::memset(after, 2, 32);
  EXPECT_TRUE(after + 32 <= at || after >= at + big);
  EXPECT_EQ(at[big - 1], 1);
}

// Objects made in an arena are destroyed by the disposal their owner holds,
// members and all (the leak and address checkers of the sanitizer build
// watch this), and ordinary ones are deleted.
TEST(ObjectArena, LeavesNothingBehindItsObjects) {
  ObjectArena arena;
  std::vector<OwnedObject> owned;
  for (int i = 0; i < 3000; ++i) {
    auto *body = new (arena.allocate(sizeof(Body), alignof(Body))) Body();
    owned.emplace_back(body, ObjectDisposal{true});
    body->name = std::string(40, 'n');
    body->attributes.push_back({std::string(30, 't'), {}});
    body->features.resize(3);
  }
  owned.emplace_back(new Body(), ObjectDisposal{false});
  EXPECT_GT(arena.huge_blocks(), 0u);
  owned.clear();
}

}  // namespace
}  // namespace orvel::model
