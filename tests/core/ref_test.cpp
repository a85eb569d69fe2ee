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
    EXPECT_EQ(first->refcount, 1);
    ref<counted> copy = first;
    EXPECT_EQ(first->refcount, 2);
    ref<counted> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(moved->refcount, 2);
    moved = nullptr;
    EXPECT_EQ(first->refcount, 1);
    EXPECT_EQ(deleted, 0);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(Ref, AssignmentTakesTheNewReferenceBeforeReleasingTheOld) {
  int deleted = 0;
  ref<counted> only = make_ref<counted>(&deleted);
  only = only;  // the only reference: released only after it was taken again
  only.reset(only.get());
  EXPECT_EQ(deleted, 0);
  EXPECT_EQ(only->refcount, 1);

  ref<counted> other = make_ref<derived>(&deleted);  // from a ref to a derived class
  only = other;
  EXPECT_EQ(deleted, 1);
  EXPECT_TRUE(only == other);
  EXPECT_EQ(other->refcount, 2);
}

TEST(Ref, PutsItsObjectIntoACountedSlot) {
  int deleted = 0;
  component* slot = nullptr;
  {
    ref<counted> held = make_ref<counted>(&deleted);
    assign_ref(slot, held);
    EXPECT_EQ(held->refcount, 2);
  }
  EXPECT_EQ(deleted, 0);  // the slot's reference keeps it
  assign_ref(slot, static_cast<component*>(nullptr));
  EXPECT_EQ(deleted, 1);
}

}  // namespace
}  // namespace pt
