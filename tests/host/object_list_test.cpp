// The ordered object lists behind every cycle: removal anywhere keeps the
// order and the ends right.
#include "model/object_list.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace orvel::model {
namespace {

std::vector<int> colors(const ObjectList &list) {
  std::vector<int> result;
  for (const Object *o = list.first(); o; o = list.next(o)) result.push_back(o->color);
  return result;
}

class ObjectLists : public ::testing::TestWithParam<std::vector<int>> {};

TEST_P(ObjectLists, KeepTheirOrderWhenObjectsLeave) {
  std::vector<std::unique_ptr<Object>> objects;
  ObjectList list(kLayerList);
  for (int i = 0; i < 5; ++i) {
    objects.push_back(std::make_unique<Object>(ZK_line_type, 0));
    objects.back()->color = i;
    list.append(objects.back().get());
  }
  std::vector<int> expected = {0, 1, 2, 3, 4};
  for (int leaving : GetParam()) {
    list.remove(objects[static_cast<size_t>(leaving)].get());
    expected.erase(std::find(expected.begin(), expected.end(), leaving));
    EXPECT_EQ(colors(list), expected);
    EXPECT_EQ(list.size(), expected.size());
  }
  int back = GetParam().front();
  list.append(objects[static_cast<size_t>(back)].get());
  expected.push_back(back);
  EXPECT_EQ(colors(list), expected) << "a removed object can join again at the end";
}

INSTANTIATE_TEST_SUITE_P(RemovalOrders, ObjectLists,
                         ::testing::Values(std::vector<int>{0, 1}, std::vector<int>{4, 3},
                                           std::vector<int>{2, 0, 4},
                                           std::vector<int>{1, 3, 2, 4}));

}  // namespace
}  // namespace orvel::model
