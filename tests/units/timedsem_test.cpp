// Semaphores: the counts they accept and refuse.
#include "ortolib/units/timedsem.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pt
