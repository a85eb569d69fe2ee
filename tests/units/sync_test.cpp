// Semaphores and the critical section with its guard.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "ortolib/units/critsec.h"
#include "ortolib/units/timedsem.h"
#include "support/fatal_report.h"

namespace pt {
namespace {

TEST(TimedSem, AcceptsEveryCountUpToTheMaximum) {
  for (std::int32_t count : {0, 1, 65535}) {
    timedsem sem(count);
    EXPECT_NE(sem.sem_handle, platform::no_handle) << count;
  }
}

TEST(TimedSemDeathTest, RefusesCountsOutsideZeroToTheMaximum) {
  EXPECT_FATAL(timedsem sem(-1), fatal_semaphore, "Fatal \\[c0029\\]: Timed semaphore failed");
  EXPECT_FATAL(timedsem sem(65536), fatal_semaphore, "Timed semaphore failed");
}

TEST(CritSec, ExcludesOtherThreads) {
  critsec section;
  long counter = 0;  // a plain variable: only the lock keeps the increments whole
  auto add_many = [&] {
    for (int i = 0; i < 100000; ++i) {
      critsec_guard guard(section);
      counter = counter + 1;
    }
  };
  std::thread other(add_many);
  add_many();
  other.join();
  EXPECT_EQ(counter, 200000);
}

TEST(CritSec, GuardLeavesTheSectionWhenAnExceptionPassesThrough) {
  critsec section;
  try {
    critsec_guard guard(section);
    throw std::runtime_error("leaving the region");
  } catch (const std::runtime_error&) {
  }
  bool entered = false;
  std::thread other([&] {
    critsec_guard guard(section);
    entered = true;
  });
  other.join();
  EXPECT_TRUE(entered);
}

}  // namespace
}  // namespace pt
