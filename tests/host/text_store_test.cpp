// The packed store of handle texts: what it keeps comes back whole and in
// place, whatever is kept after it.
#include "model/text_store.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvel::model {
namespace {

TEST(TextStore, KeepsJoinedTextsInPlaceAcrossBlocks) {
  TextStore store;
  EXPECT_EQ(store.blocks_held(), 0u) << "nothing is allocated before a text is kept";
  std::vector<std::string> expected;
  std::vector<std::string_view> kept;
  // Enough texts for several blocks, of lengths that do not divide a block.
  for (int i = 0; i < 2000; ++i) {
    const std::string head = "#/c" + std::to_string(i);
    const std::string tail = std::string(static_cast<size_t>(i % 37), 'x') + "b";
    expected.push_back(head + ":" + tail);
    kept.push_back(store.keep(head, ":", tail));
  }
  EXPECT_GT(store.blocks_held(), 1u);
  for (size_t i = 0; i < kept.size(); ++i) {
    ASSERT_EQ(std::string(kept[i]), expected[i]) << i;
    // Handed out as a C text: the NUL right after it.
    ASSERT_EQ(kept[i].data()[kept[i].size()], '\0') << i;
  }
}

TEST(TextStore, KeepsNulBytesEmptyTextsAndTextsLongerThanABlock) {
  TextStore store;
  const std::string with_nul("a\0b", 3);
  std::string_view nul = store.keep(with_nul, "/", "c");
  EXPECT_EQ(std::string(nul), std::string("a\0b/c", 5));
  std::string_view empty = store.keep("");
  EXPECT_EQ(empty.size(), 0u);
  ASSERT_NE(empty.data(), nullptr) << "a kept empty text is still a text";
  EXPECT_EQ(empty.data()[0], '\0');

  const std::string huge(TextStore::kBlockSize * 2 + 5, 'h');
  std::string_view big = store.keep(huge, "", "!");
  EXPECT_EQ(std::string(big), huge + "!");
  // Texts kept after the long one are whole, and the earlier ones untouched.
  std::string_view after = store.keep("next");
  EXPECT_EQ(std::string(after), "next");
  EXPECT_EQ(std::string(nul), std::string("a\0b/c", 5));
  EXPECT_EQ(std::string(big), huge + "!");
}

TEST(TextStore, HoldsLittleForAFewTextsAndGrowsByDoubling) {
  TextStore store;
  store.keep("#/a/b");
  EXPECT_EQ(store.bytes_held(), TextStore::kFirstBlock) << "a few texts take one small block";
  // Each new block is as large as all before it, up to a full block: the
  // blocks stay few however many texts are kept.
  size_t blocks = store.blocks_held();
  size_t held = store.bytes_held();
  for (int i = 0; i < 20000; ++i) {
    store.keep("#/c" + std::to_string(i));
    if (store.blocks_held() == blocks) continue;
    const size_t block = store.bytes_held() - held;
    ASSERT_EQ(block, std::min(held, TextStore::kBlockSize)) << i;
    blocks = store.blocks_held();
    held = store.bytes_held();
  }
  EXPECT_GE(store.bytes_held(), 20000u * 6);
  EXPECT_LE(store.blocks_held(), 6 + store.bytes_held() / TextStore::kBlockSize);
}

}  // namespace
}  // namespace orvel::model
