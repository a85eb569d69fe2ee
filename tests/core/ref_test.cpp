// Counted pointers: the reference each ref holds, assignment as assign_ref does it, slots.
#include "ortolib/core/ref.h"

#include <gtest/gtest.h>

#include <utility>

#include "opaque_component.h"

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

// A node that holds a ref to the next one of its own kind, incomplete where the member is
// declared.
class node : public component {
 public:
  explicit node(int* deleted) : deleted(deleted) {}
  ~node() override { ++*deleted; }
  int* deleted;
  ref<node> next;
};

TEST(Ref, ANodeHoldsARefToItsOwnKind) {
  int deleted = 0;
  ref<node> head = make_ref<node>(&deleted);
  head->next = make_ref<node>(&deleted);
  head->next->next = make_ref<node>(&deleted);
  ref<node> second = head->next;
  head = nullptr;  // the first node goes, and with it its reference to the second
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(second->refcount, 1);
  second.reset();
  EXPECT_EQ(deleted, 3);
}

// The holder's ref is copied, assigned and destroyed here, where the class it holds is only
// declared (opaque_component.h); its source file makes and reads it.
TEST(Ref, IsCopiedAndReleasedWhereItsClassIsIncomplete) {
  int deleted = 0;
  {
    test::opaque_holder first = test::make_opaque_holder(&deleted, 7);
    test::opaque_holder copy = first;
    test::opaque_holder other = test::make_opaque_holder(&deleted, 8);
    other = copy;
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(test::opaque_value(other), 7);
    EXPECT_EQ(test::opaque_count(first), 3);
    EXPECT_TRUE(other.object == first.object);
  }
  EXPECT_EQ(deleted, 2);
}

}  // namespace
}  // namespace pt
