// The atomic primitives: results, and indivisibility under concurrent use.
#include "ortolib/core/atomic.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace pt {
namespace {

TEST(Atomic, ResultsAreTheNewOrOldValues) {
  std::int32_t counter = 5;
  EXPECT_EQ(atomic_increment(&counter), 6);
  EXPECT_EQ(atomic_decrement(&counter), 5);
  EXPECT_EQ(atomic_exchange(&counter, 42), 5);
  EXPECT_EQ(counter, 42);

  std::int32_t top = INT32_MAX;  // wraps like the hardware operation
  EXPECT_EQ(atomic_increment(&top), INT32_MIN);

  int a = 0, b = 0;
  int* slot = &a;
  EXPECT_EQ(atomic_exchange(&slot, &b), &a);
  EXPECT_EQ(slot, &b);
}

TEST(Atomic, ConcurrentChangesAreNeverLost) {
  std::int32_t counter = 0;
  std::int32_t flag = 0;
  std::int32_t winners = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50000; ++i) {
        atomic_increment(&counter);
        atomic_increment(&counter);
        atomic_decrement(&counter);
      }
      if (atomic_exchange(&flag, 1) == 0)
        atomic_increment(&winners);
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(counter, 8 * 50000);
  EXPECT_EQ(winners, 1);  // exactly one thread saw the flag clear
}

}  // namespace
}  // namespace pt
