// Semaphores refuse the counts Windows refuses; critical sections exclude other threads.
#include <gtest/gtest.h>

#include <thread>

#include "ortolib/platform/private/sync.h"

namespace pt::platform {
namespace {

TEST(Semaphore, AcceptsCountsWithinTheMaximumOnly) {
  struct row {
    std::int32_t initial, maximum;
    bool accepted;
  };
  for (row r :
       {row{0, 65535, true}, row{65535, 65535, true}, row{1, 1, true}, row{-1, 65535, false},
        row{65536, 65535, false}, row{0, 0, false}, row{0, -5, false}}) {
    handle semaphore = semaphore_create(r.initial, r.maximum);
    EXPECT_EQ(semaphore != no_handle, r.accepted) << r.initial << " of " << r.maximum;
    semaphore_close(semaphore);
  }
}

TEST(CriticalSection, LetsOneThreadAtATimeIn) {
  critical_section section;
  critical_section_init(section);
  long counter = 0;  // deliberately not atomic: only the section protects it
  auto count = [&] {
    for (int i = 0; i < 100000; ++i) {
      critical_section_enter(section);
      counter = counter + 1;
      critical_section_leave(section);
    }
  };
  std::thread other(count);
  count();
  other.join();
  EXPECT_EQ(counter, 200000);
  critical_section_destroy(section);
}

TEST(CriticalSection, MayBeEnteredAgainByItsOwner) {
  critical_section section;
  critical_section_init(section);
  critical_section_enter(section);
  critical_section_enter(section);
  critical_section_leave(section);
  critical_section_leave(section);
  bool entered_elsewhere = false;  // only once the owner has left as often as it entered
  std::thread([&] {
    critical_section_enter(section);
    entered_elsewhere = true;
    critical_section_leave(section);
  }).join();
  EXPECT_TRUE(entered_elsewhere);
  critical_section_destroy(section);
}

}  // namespace
}  // namespace pt::platform
