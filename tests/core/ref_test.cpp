// Counted pointers: the reference each ref holds, assignment as assign_ref does it, slots.
#include "ortolib/core/ref.h"

#include <gtest/gtest.h>

#include <utility>

namespace pt {
namespace {

class counted : public component {
 public:
  explicit counted(int* deleted) : deleted(deleted) {}
  ~counted() override { ++*deleted; }
  int* deleted;
};

class derived : public counted {
 public:
  using counted::counted;
};

TEST(Ref, HoldsOneReferencePerHolderAndDeletesWithTheLast) {
  int deleted = 0;
  {
    ref<counted> first(new counted(&deleted));
    ref<counted> copy = first;
    ref<counted> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(first->refcount, 2);
    moved = nullptr;
    EXPECT_EQ(first->refcount, 1);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(Ref, AssignsAsAssignRefDoesAndFillsCountedSlots) {
  int deleted = 0;
  component* slot = nullptr;
  {
    ref<counted> only = make_ref<counted>(&deleted);
    only.reset(only.get());  // its only reference: taken again before it is released
    EXPECT_EQ(only->refcount, 1);
    ref<counted> other = make_ref<derived>(&deleted);  // from a ref to a derived class
    only = other;
    EXPECT_EQ(deleted, 1);
    assign_ref(slot, other);
    EXPECT_EQ(other->refcount, 3);
  }
  EXPECT_EQ(deleted, 1);  // the slot's reference keeps it
  assign_ref(slot, static_cast<component*>(nullptr));
  EXPECT_EQ(deleted, 2);
}

}  // namespace
}  // namespace pt
