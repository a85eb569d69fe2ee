// Threads: one OS thread per object, the completion step, self-deleting threads, the single
// release of the handle, and the fatal misuses of waitfor. Threads are ordered by latches and
// atomics, never by sleeping.
#include "ortolib/units/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "ortolib/core/exception.h"
#include "ortolib/platform/private/thread.h"
#include "support/fatal_report.h"
#include "support/thread_sync.h"

namespace pt {
namespace {

// What the test threads did, kept outside them so it can be read after an autofree object has
// deleted itself.
struct trace {
  std::atomic<int> runs{0};
  std::atomic<int> runs_on_own_thread{0};  // run saw its own id already stored
  std::atomic<int> after_runs{0};
  std::atomic<int> after_runs_before_done{0};
  std::atomic<int> exceptions_deleted{0};
  std::atomic<int> deletions_after_done{0};
  std::atomic<int> deletions_on_own_thread{0};  // with the handle in place
  test::semaphore deletions;
};

class counted_exception : public exception {
 public:
  explicit counted_exception(trace& seen) : exception(string("boom")), seen(seen) {}
  ~counted_exception() override { ++seen.exceptions_deleted; }

 private:
  trace& seen;
};

class probe : public thread {
 public:
  probe(bool autofree, std::shared_ptr<trace> seen) : thread(autofree), seen(std::move(seen)) {}
  ~probe() override {
    if (atomic_read(&done) == 1)
      ++seen->deletions_after_done;
    if (is_current_thread(thread_id) && thread_handle != platform::no_handle)
      ++seen->deletions_on_own_thread;
    seen->deletions.release();
  }

  std::function<void(probe&)> body;  // set before launch
  bool throw_from_after_run = false;

 protected:
  void run() override {
    ++seen->runs;
    if (is_current_thread(thread_id))
      ++seen->runs_on_own_thread;
    if (body)
      body(*this);
  }
  void after_run() override {
    ++seen->after_runs;
    if (atomic_read(&done) == 0)
      ++seen->after_runs_before_done;
    if (throw_from_after_run)
      throw new counted_exception(*seen);
  }

 private:
  std::shared_ptr<trace> seen;  // keeps the trace alive until the object is gone
};

// A derived class that may be deleted while its thread runs, so it waits first.
class waiting_probe : public probe {
 public:
  using probe::probe;
  ~waiting_probe() override { waitfor(); }
};

void wait_until_set(const std::int32_t& flag) {
  while (atomic_read(&flag) == 0)
    std::this_thread::yield();
}

TEST(Thread, RunsItsBodyAndAfterRunOnANewThreadThatWaitforJoins) {
  auto seen = std::make_shared<trace>();
  probe t(false, seen);
  EXPECT_EQ(t.thread_id, 0u);
  EXPECT_EQ(t.thread_handle, platform::no_handle);
  EXPECT_EQ(t.autofree, 0);
  EXPECT_EQ(t.started + t.done + t.handle_released, 0);
  EXPECT_NE(t.thread_sem.sem_handle, platform::no_handle);

  t.launch();
  t.waitfor();
  EXPECT_EQ(seen->runs.load(), 1);
  EXPECT_EQ(seen->runs_on_own_thread.load(), 1);
  EXPECT_EQ(seen->after_runs_before_done.load(), 1);
  EXPECT_EQ(t.started, 1);
  EXPECT_EQ(t.done, 1);
  EXPECT_EQ(t.handle_released, 1);
  EXPECT_EQ(t.thread_handle, platform::no_handle);
  EXPECT_NE(t.thread_id, 0u);
  EXPECT_FALSE(is_current_thread(t.thread_id));
}

TEST(Thread, LaunchCreatesOneThreadHoweverOftenAndFromWhereverItIsCalled) {
  auto seen = std::make_shared<trace>();
  probe t(false, seen);
  test::latch go(1);
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i)
    callers.emplace_back([&] {
      go.wait();
      t.launch();
    });
  go.count_down();
  for (auto& caller : callers)
    caller.join();
  t.launch();
  t.waitfor();
  EXPECT_EQ(seen->runs.load(), 1);
}

TEST(Thread, WaitforOnAThreadNeverLaunchedReturnsAtOnce) {
  auto seen = std::make_shared<trace>();
  probe t(false, seen);
  t.waitfor();
  t.waitfor();
  EXPECT_EQ(t.handle_released, 1);
  EXPECT_EQ(t.started, 0);
  EXPECT_EQ(seen->runs.load(), 0);
}

TEST(Thread, OnlyTheFirstWaitforWaits) {
  auto seen = std::make_shared<trace>();
  test::latch gate(1);
  probe t(false, seen);
  t.body = [&](probe&) { gate.wait(); };
  t.launch();
  std::thread first([&] { t.waitfor(); });
  wait_until_set(t.handle_released);
  // The thread is still held at the gate: these return without waiting for it.
  t.waitfor();
  t.waitfor();
  EXPECT_EQ(atomic_read(&t.done), 0);
  gate.count_down();
  first.join();
  EXPECT_EQ(t.done, 1);
  EXPECT_EQ(t.thread_handle, platform::no_handle);
}

TEST(Thread, ConcurrentWaitforsReleaseTheHandleOnce) {
  auto seen = std::make_shared<trace>();
  for (int round = 0; round < 50; ++round) {
    probe t(false, seen);
    t.launch();
    test::latch go(1);
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
      waiters.emplace_back([&] {
        go.wait();
        t.waitfor();
      });
    go.count_down();
    t.waitfor();
    for (auto& waiter : waiters)
      waiter.join();
  }
  EXPECT_EQ(seen->runs.load(), 50);
}

TEST(Thread, AutofreeThreadsDeleteThemselvesOnTheirOwnThreadEvenWhenTheyEndAtOnce) {
  constexpr int rounds = 300;
  auto seen = std::make_shared<trace>();
  for (int round = 0; round < rounds; ++round) {
    auto* t = new probe(true, seen);
    EXPECT_EQ(t->autofree, 1);
    t->launch();  // the object belongs to its thread from here on
  }
  for (int round = 0; round < rounds; ++round)
    seen->deletions.acquire();
  EXPECT_EQ(seen->runs_on_own_thread.load(), rounds);
  EXPECT_EQ(seen->deletions_after_done.load(), rounds);
  EXPECT_EQ(seen->deletions_on_own_thread.load(), rounds);
}

TEST(Thread, ThreadEntryReturnsZero) {
  auto seen = std::make_shared<trace>();
  probe t(false, seen);
  EXPECT_EQ(thread_entry(&t), 0u);
  EXPECT_EQ(t.done, 1);
  EXPECT_EQ(seen->after_runs.load(), 1);
}

TEST(Thread, AfterRunThrowingTheLibraryExceptionStillCompletes) {
  auto seen = std::make_shared<trace>();
  {
    probe t(false, seen);
    t.throw_from_after_run = true;
    EXPECT_EQ(thread_entry(&t), 0u);
    EXPECT_EQ(t.done, 1);
    EXPECT_EQ(seen->exceptions_deleted.load(), 1);
  }
  auto* t = new probe(true, seen);
  t->throw_from_after_run = true;
  t->launch();
  seen->deletions.acquire();  // the one of the object above
  seen->deletions.acquire();
  EXPECT_EQ(seen->exceptions_deleted.load(), 2);
  EXPECT_EQ(seen->deletions_on_own_thread.load(), 1);
  EXPECT_EQ(seen->deletions_after_done.load(), 2);
}

TEST(Thread, RunThrowingTheLibraryExceptionCompletesBeforeItGoesOn) {
  auto seen = std::make_shared<trace>();
  exception* thrown = nullptr;
  auto throw_one = [&](probe&) { throw thrown = new counted_exception(*seen); };
  for (bool autofree : {false, true}) {
    int deleted_before = seen->exceptions_deleted;
    auto* t = new probe(autofree, seen);
    t->body = throw_one;
    exception* caught = nullptr;
    bool deleted_first = false;
    try {
      thread_entry(t);
    } catch (exception* error) {
      caught = error;
      // Completed (and an autofree object deleted) before the exception left thread_entry.
      deleted_first = seen->deletions.try_acquire();
      if (!autofree) {
        EXPECT_EQ(t->done, 1);
      }
    }
    EXPECT_EQ(caught, thrown);
    EXPECT_EQ(deleted_first, autofree);
    EXPECT_EQ(seen->exceptions_deleted.load(), deleted_before);  // the catcher owns it
    delete caught;
    if (!autofree) {
      delete t;
      seen->deletions.acquire();
    }
  }
  EXPECT_EQ(seen->after_runs.load(), 2);
  EXPECT_EQ(seen->deletions_after_done.load(), 2);
}

TEST(Thread, ADerivedDestructorThatWaitsBlocksUntilTheThreadHasEnded) {
  auto seen = std::make_shared<trace>();
  test::latch gate(1);
  auto* t = new waiting_probe(false, seen);
  t->body = [&](probe&) { gate.wait(); };
  t->launch();
  // Lets the thread end only once the destructor has begun to wait.
  std::thread opener([&] {
    wait_until_set(t->handle_released);
    gate.count_down();
  });
  delete t;
  opener.join();
  EXPECT_EQ(seen->after_runs.load(), 1);
  EXPECT_EQ(seen->deletions_after_done.load(), 1);
}

TEST(Thread, IsCurrentThreadComparesWithTheCallersId) {
  EXPECT_TRUE(is_current_thread(platform::current_thread_id()));
  std::uint32_t other = 0;
  std::thread([&] { other = platform::current_thread_id(); }).join();
  EXPECT_FALSE(is_current_thread(other));
  EXPECT_FALSE(is_current_thread(0));
}

// Death tests start a fresh process each: detached threads of earlier tests may still be
// ending, and a child forked from a multi-threaded process must not start threads.
class ThreadDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// The thread waits for itself; should that return, the owner would see it end and go on.
void wait_for_itself(bool autofree) {
  auto seen = std::make_shared<trace>();
  std::atomic<bool> returned{false};
  auto* t = new probe(autofree, seen);
  t->body = [&](probe& self) {
    self.waitfor();
    returned = true;
  };
  t->launch();
  while (!returned)
    std::this_thread::yield();
}

TEST_F(ThreadDeathTest, WaitforFromTheThreadItselfIsFatal) {
  EXPECT_FATAL(wait_for_itself(false), fatal_waitfor_self,
               "Fatal \\[c002f\\]: Can not waitfor\\(\\) on myself");
  // The self test comes before the autofree test.
  EXPECT_FATAL(wait_for_itself(true), fatal_waitfor_self, "Can not waitfor\\(\\) on myself");
}

void wait_for_autofree(bool launched) {
  test::latch gate(1);  // never opened: waiting would hang
  auto* t = new probe(true, std::make_shared<trace>());
  t->body = [&](probe&) { gate.wait(); };
  if (launched)
    t->launch();
  t->waitfor();
}

TEST_F(ThreadDeathTest, WaitforOnAnAutofreeThreadIsFatalBeforeAnyWaiting) {
  EXPECT_FATAL(wait_for_autofree(false), fatal_waitfor_autofree,
               "Fatal \\[c0030\\]: Can not waitfor\\(\\) on an autofree thread");
  EXPECT_FATAL(wait_for_autofree(true), fatal_waitfor_autofree,
               "Can not waitfor\\(\\) on an autofree thread");
}

}  // namespace
}  // namespace pt
