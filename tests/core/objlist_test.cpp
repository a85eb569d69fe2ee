// Object lists: which items are freed, in which order, and the fatal defaults.
#include "ortolib/core/objlist.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "support/fatal_report.h"

namespace pt {
namespace {

// Records the order in which items are destroyed.
struct tracked {
  tracked(int id, std::vector<int>& log) : id(id), log(log) {}
  ~tracked() { log.push_back(id); }
  int id;
  std::vector<int>& log;
};

TEST(Objlist, ShrinkingAnOwningListFreesTheDroppedItemsInOrder) {
  std::vector<int> freed;
  tobjlist<tracked> list(true);
  for (int i = 0; i < 5; ++i)
    list.add(new tracked(i, freed));
  list.set_count(3);
  EXPECT_EQ(freed, (std::vector<int>{3, 4}));
  list.set_count(-5);
  EXPECT_EQ(freed, (std::vector<int>{3, 4, 0, 1, 2}));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.items, nullptr);
}

TEST(Objlist, RaisingTheCountAddsNullSlots) {
  tobjlist<tracked> list(true);
  list.set_count(3);
  EXPECT_EQ(list.item(0), nullptr);
  EXPECT_EQ(list.item(2), nullptr);
  list.set_count(0);
}

TEST(Objlist, NonOwningListNeverFrees) {
  std::vector<int> freed;
  tracked a(1, freed), b(2, freed);
  {
    tobjlist<tracked> list(false);
    list.add(&a);
    list.insert(0, &b);
    EXPECT_EQ(list[0], &b);
    list.set_count(1);
  }
  EXPECT_TRUE(freed.empty());
}

TEST(Objlist, DestroyingATypedListFreesEveryItem) {
  std::vector<int> freed;
  {
    tobjlist<tracked> list(true);
    list.add(new tracked(7, freed));
    list.add(new tracked(8, freed));
  }
  EXPECT_EQ(freed, (std::vector<int>{7, 8}));
}

TEST(Objlist, Flags) {
  EXPECT_EQ(_objlist(true).list_flags, own_objects);
  EXPECT_EQ(_objlist(false).list_flags, 0u);
}

using ObjlistDeathTest = testing::Test;

TEST(ObjlistDeathTest, DefaultsThatMustBeOverridden) {
  static int item;
  EXPECT_FATAL(
      {
        _objlist list(true);
        list.add(&item);
        list.set_count(0);
      },
      fatal_list_not_defined, "ptrlist::dofree\\(\\) not defined");
  EXPECT_FATAL(
      {
        _objlist list(false);
        list.compare(&item, &item);
      },
      fatal_list_not_defined, "ptrlist::compare\\(\\) not defined");
}

static_assert(std::forward_iterator<object_iterator<tracked>>);

TEST(Objlist, ARangeForGivesEachObjectToChangeInPlace) {
  std::vector<int> freed;
  tobjlist<tracked> list(true);
  for (int i = 0; i < 3; ++i)
    list.add(new tracked(i, freed));
  for (tracked* item : list)
    item->id += 10;
  std::vector<int> ids;
  for (const tracked* item : list)
    ids.push_back(item->id);
  EXPECT_EQ(ids, (std::vector<int>{10, 11, 12}));
  EXPECT_TRUE(freed.empty());
}

}  // namespace
}  // namespace pt
