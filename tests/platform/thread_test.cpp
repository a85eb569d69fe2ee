// Threads: handle and id in place before the routine runs, join, release, thread ids.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "ortolib/platform/private/thread.h"

namespace pt::platform {
namespace {

// What a thread object of the library looks like to the layer: the fields thread_start fills.
struct thread_record {
  handle thread_handle = no_handle;
  std::uint32_t thread_id = 0;
  std::promise<bool> saw_itself;  // set by the routine
  std::uint32_t seen_id = 0;
};

unsigned check_record(void* argument) {
  auto* record = static_cast<thread_record*>(argument);
  record->seen_id = current_thread_id();
  record->saw_itself.set_value(record->thread_handle != no_handle &&
                               record->thread_id == current_thread_id());
  return 0;
}

TEST(Thread, StoresHandleAndIdBeforeTheRoutineRunsAndJoins) {
  thread_record record;
  std::future<bool> saw_itself = record.saw_itself.get_future();
  ASSERT_TRUE(thread_start(check_record, &record, record.thread_handle, record.thread_id));
  EXPECT_TRUE(saw_itself.get());
  thread_join(record.thread_handle);
  EXPECT_EQ(record.seen_id, record.thread_id);  // visible after the join
  EXPECT_NE(record.thread_id, current_thread_id());
}

// A routine that owns its record: it releases the thread and deletes the record at once.
unsigned check_and_delete(void* argument) {
  auto* record = static_cast<thread_record*>(argument);
  std::promise<bool> report = std::move(record->saw_itself);
  bool saw_itself = record->thread_handle != no_handle && record->thread_id == current_thread_id();
  thread_release(record->thread_handle);
  delete record;
  report.set_value(saw_itself);
  return 0;
}

TEST(Thread, MayDeleteItsOwnerAtOnceAndRunOnReleased) {
  for (int round = 0; round < 20; ++round) {
    auto* record = new thread_record;
    std::future<bool> saw_itself = record->saw_itself.get_future();
    // After the start the record belongs to the thread; it is not touched here again.
    ASSERT_TRUE(thread_start(check_and_delete, record, record->thread_handle, record->thread_id));
    EXPECT_TRUE(saw_itself.get());
  }
}

unsigned count_up(void* argument) {
  static_cast<std::atomic<int>*>(argument)->fetch_add(1);
  return 0;
}

TEST(Thread, JoinWaitsForEveryThread) {
  std::atomic<int> count{0};
  handle handles[8];
  std::uint32_t ids[8];
  for (int i = 0; i < 8; ++i)
    ASSERT_TRUE(thread_start(count_up, &count, handles[i], ids[i]));
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < i; ++j)
      EXPECT_NE(ids[i], ids[j]);
  }
  for (handle h : handles)
    thread_join(h);
  EXPECT_EQ(count.load(), 8);
}

}  // namespace
}  // namespace pt::platform
