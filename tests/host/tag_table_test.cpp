// The session's tag table: lookups across pages, tags that stand for
// nothing, and pages given back once their tags are gone.
#include "session/tag_table.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/object.hpp"

namespace orvel {
namespace {

TEST(TagTable, FindsWhatWasEnteredAndForgetsWhatWasErased) {
  TagTable table;
  std::vector<std::unique_ptr<model::Object>> objects;
  // Tags on both sides of page boundaries, and one far beyond the others.
  const std::vector<tag_t> tags = {1, 1023, 1024, 1025, 5000, 0xFFFFFFFFu};
  for (tag_t tag : tags) {
    objects.push_back(std::make_unique<model::Object>(ZK_line_type, 0));
    table.insert(tag, objects.back().get());
  }
  for (size_t i = 0; i < tags.size(); ++i) EXPECT_EQ(table.find(tags[i]), objects[i].get());
  EXPECT_EQ(table.find(0), nullptr);
  EXPECT_EQ(table.find(2), nullptr);
  EXPECT_EQ(table.find(1026), nullptr);
  EXPECT_EQ(table.find(7000), nullptr) << "past the last page";

  model::Object other(ZK_line_type, 0);
  table.insert(1024, &other);
  EXPECT_EQ(table.find(1024), objects[2].get()) << "an entered tag keeps its object";

  table.erase(1024);
  table.erase(1024);
  table.erase(2);
  table.erase(9999);
  EXPECT_EQ(table.find(1024), nullptr);
  EXPECT_EQ(table.find(1025), objects[3].get()) << "the page's other tags stay";
  EXPECT_EQ(table.find(1023), objects[1].get());
}

// Pages not held all read as one shared empty page: entering a tag, on a
// page never held or on one given back, must not show through on another.
TEST(TagTable, AnEmptyPageStaysEmptyWhateverIsEnteredElsewhere) {
  TagTable table;
  model::Object a(ZK_line_type, 0);
  model::Object b(ZK_line_type, 0);
  const tag_t far = 40 * TagTable::kPageSize + 7;
  table.insert(far, &a);
  for (tag_t page = 0; page < 64; ++page) {
    if (page == 40) continue;
    EXPECT_EQ(table.find(page * TagTable::kPageSize + 7), nullptr) << "page " << page;
  }
  table.erase(far);
  EXPECT_EQ(table.pages_held(), 0u);
  EXPECT_EQ(table.find(far), nullptr);
  table.insert(far + 1, &b);
  EXPECT_EQ(table.find(far + 1), &b) << "a page given back is held again";
  EXPECT_EQ(table.find(far), nullptr);
  EXPECT_EQ(table.find(TagTable::kPageSize + 8), nullptr);
  EXPECT_EQ(table.pages_held(), 1u);
  table.insert(3, nullptr);
  EXPECT_EQ(table.pages_held(), 1u) << "no object, no page";
}

TEST(TagTable, GivesPagesBackOverALongRunOfParts) {
  TagTable table;
  model::Object object(ZK_line_type, 0);
  tag_t next = 0;
  for (int part = 0; part < 1000; ++part) {
    std::vector<tag_t> issued;
    for (int i = 0; i < 700; ++i) {
      issued.push_back(++next);
      table.insert(issued.back(), &object);
    }
    EXPECT_LE(table.pages_held(), 2u);
    for (tag_t tag : issued) table.erase(tag);
    EXPECT_EQ(table.pages_held(), 0u) << "after part " << part;
  }
  EXPECT_EQ(table.find(next), nullptr);
}

}  // namespace
}  // namespace orvel
