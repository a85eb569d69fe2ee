// The critical section and its guard: exclusion between threads, and release on unwinding.
#include "ortolib/core/critsec.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace pt {
namespace {

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
