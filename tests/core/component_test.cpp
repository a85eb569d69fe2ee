// Reference counting of components, counted slots and deletion notices.
#include "ortolib/core/component.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ortolib/core/objlist.h"

namespace pt {
namespace {

// Counts its own destruction and the notices it receives.
class probe : public component {
 public:
  explicit probe(int* deleted = nullptr) : deleted(deleted) {}
  ~probe() override {
    if (deleted != nullptr)
      ++*deleted;
  }
  void deletion_notice(component* being_destroyed) override { noticed.push_back(being_destroyed); }
  std::int32_t kind_code() override { return 0x10101; }

  int* deleted;
  std::vector<component*> noticed;
};

TEST(Component, NullPointers) {
  EXPECT_TRUE(release(nullptr));
  EXPECT_EQ(addref(static_cast<component*>(nullptr)), nullptr);
  component* slot = nullptr;
  assign_ref(slot, static_cast<component*>(nullptr));
  EXPECT_EQ(slot, nullptr);
}

TEST(Component, ReleaseDeletesWithTheLastReference) {
  int deleted = 0;
  auto* object = new probe(&deleted);
  EXPECT_EQ(object->refcount, 0);
  EXPECT_EQ(addref(object), object);
  addref(object);
  EXPECT_FALSE(release(object));
  EXPECT_EQ(object->refcount, 1);
  EXPECT_EQ(deleted, 0);
  EXPECT_TRUE(release(object));
  EXPECT_EQ(deleted, 1);
}

TEST(Component, CountedSlots) {
  int deleted = 0;
  probe* slot = nullptr;
  assign_ref(slot, new probe(&deleted));
  EXPECT_EQ(slot->refcount, 1);

  assign_ref(slot, slot);  // the only reference, assigned again: the object survives
  EXPECT_EQ(slot->refcount, 1);
  EXPECT_EQ(deleted, 0);

  component* base_slot = nullptr;
  EXPECT_EQ(&assign_ref(base_slot, slot), &base_slot);
  EXPECT_EQ(slot->refcount, 2);
  assign_ref(base_slot, static_cast<component*>(nullptr));
  assign_ref(slot, static_cast<probe*>(nullptr));
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(deleted, 1);
}

TEST(Component, APermanentReferenceKeepsAStaticObjectAlive) {
  static probe permanent;
  addref(&permanent);
  probe* slot = nullptr;
  for (int i = 0; i < 3; ++i) {
    assign_ref(slot, &permanent);
    assign_ref(slot, static_cast<probe*>(nullptr));
  }
  EXPECT_EQ(permanent.refcount, 1);
}

TEST(Component, KindCodes) {
  component plain;
  EXPECT_EQ(plain.kind_code(), 0);
  probe file_like;
  component& as_base = file_like;
  EXPECT_EQ(as_base.kind_code() & kind_family_and_device, 0x101);
}

TEST(Component, ReceiversAreToldAndTheirListIsDeleted) {
  probe first, second;
  auto* watched = new probe;
  watched->deletion_receivers = new _objlist(false);
  watched->deletion_receivers->add(&first);
  watched->deletion_receivers->add(&second);
  delete watched;  // the list goes with it (the leak checker would tell)
  ASSERT_EQ(first.noticed.size(), 1u);
  EXPECT_EQ(first.noticed[0], watched);
  EXPECT_EQ(second.noticed.size(), 1u);
}

TEST(Component, ConcurrentSlotAssignmentsReleaseExactlyWhatTheyDisplace) {
  int deleted = 0;
  auto* a = new probe(&deleted);
  auto* b = new probe(&deleted);
  addref(a);
  addref(b);
  probe* slot = nullptr;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20000; ++i)
        assign_ref(slot, (i + t) % 2 == 0 ? a : b);
    });
  }
  for (auto& thread : threads)
    thread.join();
  assign_ref(slot, static_cast<probe*>(nullptr));
  EXPECT_EQ(a->refcount, 1);
  EXPECT_EQ(b->refcount, 1);
  EXPECT_EQ(deleted, 0);
  release(a);
  release(b);
  EXPECT_EQ(deleted, 2);
}

}  // namespace
}  // namespace pt
