// Plain lists: the growth rule, count and capacity changes, slot insertion, misuse.
#include "ortolib/core/podlist.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fatal_report.h"

namespace pt {
namespace {

TEST(Podlist, CapacityGrowsByHalfFromFour) {
  tpodlist<std::int32_t> list;
  EXPECT_EQ(list.items, nullptr);
  std::vector<std::int32_t> capacities;
  for (std::int32_t i = 0; i < 420; ++i) {
    list.add(i);
    if (capacities.empty() || capacities.back() != list.capacity)
      capacities.push_back(list.capacity);
  }
  EXPECT_EQ(capacities,
            (std::vector<std::int32_t>{4, 6, 9, 15, 24, 36, 54, 81, 123, 186, 279, 420}));
  for (std::int32_t i = 0; i < 420; ++i)
    ASSERT_EQ(list[i], i);
}

TEST(Podlist, SetCountRaisesExactlyAndShrinksToNothing) {
  tpodlist<std::int64_t, true> zeroed;
  zeroed.set_count(10);
  EXPECT_EQ(zeroed.capacity, 10);  // exactly, not a growth-rule value
  for (std::int32_t i = 0; i < 10; ++i)
    EXPECT_EQ(zeroed[i], 0);

  tpodlist<char> list;
  list.add('a');
  list.add('b');
  list.add('c');
  list.set_count(2);
  EXPECT_EQ(list.count, 2);
  EXPECT_NE(list.items, nullptr);
  list.set_count(-5);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.capacity, 0);
  EXPECT_EQ(list.items, nullptr);
}

TEST(Podlist, InsertSlotMovesTheItemsAbove) {
  tpodlist<std::int16_t> list;
  for (std::int16_t i = 1; i <= 5; ++i)
    list.insert(list.count, i);  // at count: appends
  auto* first = static_cast<std::int16_t*>(list.insert_slot(0));
  EXPECT_EQ(first, &list[0]);
  *first = 0;
  list.insert(3, 99);
  std::vector<std::int16_t> seen(&list[0], &list[0] + list.count);
  EXPECT_EQ(seen, (std::vector<std::int16_t>{0, 1, 2, 99, 3, 4, 5}));
}

TEST(Podlist, CapacityOfAnEmptyListIsGivenBack) {
  // Nothing but the leak checker sees the storage of a list that never held an item.
  _podlist list(3);
  list.set_capacity(10);
  EXPECT_EQ(list.capacity, 10);
  list.set_capacity(10);
  EXPECT_EQ(list.count, 0);
}

using PodlistDeathTest = testing::Test;

TEST(PodlistDeathTest, Misuse) {
  EXPECT_FATAL(_podlist(0), fatal_list_item_size, "Invalid item size for podlist");
  EXPECT_FATAL(_podlist(256), fatal_list_item_size, "Invalid item size for podlist");
  EXPECT_FATAL(
      {
        tpodlist<int> list;
        list.set_count(3);
        list.set_capacity(2);
      },
      fatal_list_capacity, "List capacity can't be smaller than count");
}

TEST(Podlist, ARangeForChangesItemsInPlace) {
  tpodlist<std::int32_t> list;
  EXPECT_EQ(list.begin(), list.end());  // no storage yet
  for (std::int32_t i = 1; i <= 5; ++i)
    list.add(i);
  for (std::int32_t& item : list)
    item *= 10;
  EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.end()),
            (std::vector<std::int32_t>{10, 20, 30, 40, 50}));
}

}  // namespace
}  // namespace pt
