// Units: synchronous and asynchronous runs, the "Error: " report, the state a finished run
// leaves, chains of three units that transform data through their links, and the fatal
// misuses. Nothing here waits on time: threads are ordered by joins and pipes.
#include "ortolib/units/unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <latch>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ortolib/core/exception.h"
#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/thread.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/outmemory.h"
#include "ortolib/streams/standard_streams.h"
#include "ortolib/units/unit_thread.h"
#include "support/captured_log.h"
#include "support/fatal_report.h"

namespace pt {
namespace {

using test::captured_std_error;
using test::occurrences;

// A unit that records how it was run. Its behaviour is set before the run.
class probe_unit : public unit {
 public:
  // Read after the run is finished, which joins the thread that wrote them.
  int works = 0;
  int after_works = 0;
  std::uint32_t work_thread = 0;
  const char* throw_from_work = nullptr;        // message of an exception work throws
  const char* throw_from_after_work = nullptr;  // the same for after_work
  const char* throw_standard = nullptr;         // what() of a std::runtime_error work throws
  bool throw_int = false;                       // work throws 7

  using unit::finish_run;
  using unit::perform_run;

 protected:
  void work() override {
    ++works;
    work_thread = platform::current_thread_id();
    if (throw_from_work != nullptr)
      throw new exception(throw_from_work);
    if (throw_standard != nullptr)
      throw std::runtime_error(throw_standard);
    if (throw_int)
      throw 7;
  }
  void after_work() override {
    ++after_works;
    if (throw_from_after_work != nullptr)
      throw new exception(throw_from_after_work);
  }
};

// Writes its lines to its output, then ends.
class producer : public probe_unit {
 public:
  std::vector<std::string> lines;

 protected:
  void work() override {
    probe_unit::work();
    for (const std::string& line : lines)
      output_stream->write_block(line.data(), static_cast<std::int32_t>(line.size()));
  }
};

// Copies its input to its output with letters in upper case. With fail_after set it stops
// passing data on once it has passed that many bytes and throws "boom": after reading the
// rest of its input, or at once when stop_reading is set.
class upper_case : public probe_unit {
 public:
  long fail_after = -1;
  bool stop_reading = false;

 protected:
  void work() override {
    probe_unit::work();
    long passed = 0;
    char chunk[100];
    for (;;) {
      bool failing = fail_after >= 0 && passed >= fail_after;
      if (failing && stop_reading)
        throw new exception("boom");
      std::int32_t got = input_stream->read_block(chunk, sizeof chunk);
      if (got <= 0)
        break;
      if (failing)
        continue;
      std::transform(chunk, chunk + got, chunk, [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      });
      output_stream->write_block(chunk, got);
      passed += got;
    }
    if (fail_after >= 0)
      throw new exception("boom");
  }
};

// Copies its input to its output unchanged.
class copier : public probe_unit {
 protected:
  void work() override {
    probe_unit::work();
    char chunk[64];
    for (std::int32_t got; (got = input_stream->read_block(chunk, sizeof chunk)) > 0;)
      output_stream->write_block(chunk, got);
  }
};

// Counted objects made with new, each held by one reference of the test's own.
template <class T>
T* make_held() {
  return addref(new T);
}

void expect_idle_with_standard_streams(unit& u) {
  EXPECT_EQ(u.running, 0);
  EXPECT_EQ(u.worker, nullptr);
  EXPECT_EQ(u.next_unit, nullptr);
  EXPECT_EQ(u.input_stream, &std_input);
  EXPECT_EQ(u.output_stream, &std_output);
}

TEST(Unit, NewUnitIsIdleWithTheStandardStreams) {
  probe_unit* u = make_held<probe_unit>();
  expect_idle_with_standard_streams(*u);
  EXPECT_EQ(u->kind_code(), kind_unit);
  release(u);
}

TEST(Unit, SynchronousRunOfAPlainUnitCallsTheVirtualsOnTheCallersThread) {
  probe_unit* u = make_held<probe_unit>();
  u->run_unit(false);
  EXPECT_EQ(u->works, 1);
  EXPECT_EQ(u->after_works, 1);
  EXPECT_EQ(u->work_thread, platform::current_thread_id());
  expect_idle_with_standard_streams(*u);
  EXPECT_TRUE(std_output.is_active);
  EXPECT_TRUE(std_input.is_active);

  u->run_unit(false);  // a finished run can be repeated
  EXPECT_EQ(u->works, 2);
  release(u);
}

TEST(Unit, LibraryExceptionsAreReportedOnceEachAndTheRunCompletes) {
  captured_std_error errors;
  probe_unit* u = make_held<probe_unit>();
  u->throw_from_work = "boom";
  u->run_unit(false);
  EXPECT_EQ(errors.text(), "Error: boom\n");
  EXPECT_EQ(u->after_works, 1);
  expect_idle_with_standard_streams(*u);

  EXPECT_TRUE(u->failed());
  EXPECT_EQ(u->last_error(), "boom");

  u->throw_from_after_work = "after";
  u->run_unit(false);
  EXPECT_EQ(errors.text(), "Error: boom\nError: boom\nError: after\n");
  EXPECT_EQ(u->last_error(), "after");  // the last failure of the run

  u->throw_from_work = u->throw_from_after_work = nullptr;
  u->run_unit(false);
  EXPECT_FALSE(u->failed());  // reset when a run starts
  EXPECT_TRUE(u->last_error().is_empty());
  release(u);
}

// Takes the reports itself, so std_error gets none.
class quiet_unit : public probe_unit {
 public:
  std::vector<std::string> reports;

 protected:
  void report_error(const string& message) override {
    reports.emplace_back(std::string_view(message));
  }
};

TEST(Unit, AProgramCanRouteTheReportsElsewhere) {
  captured_std_error errors;
  quiet_unit* u = make_held<quiet_unit>();
  u->throw_from_work = "routed";
  u->run_unit(true);
  u->wait_run();
  EXPECT_EQ(u->reports, std::vector<std::string>{"routed"});
  EXPECT_EQ(errors.text(), "");
  release(u);
}

// A report on a std_error that cannot be written is dropped; the runs, synchronous and on a
// worker, end as they would with a working one, and the unit can run again.
TEST(Unit, AReportThatCannotBeWrittenChangesNothingElse) {
  captured_std_error restored_afterwards;
  std_error.attach_handle(platform::unusable_handle);
  std_error.open_stream();
  probe_unit* u = make_held<probe_unit>();
  u->throw_from_work = "unreported";
  for (bool asynchronous : {false, true, false}) {
    u->run_unit(asynchronous);
    u->wait_run();
    expect_idle_with_standard_streams(*u);
    EXPECT_EQ(u->last_error(), "unreported");
  }
  EXPECT_EQ(u->works, 3);
  EXPECT_EQ(u->after_works, 3);
  release(u);
}

TEST(Unit, AStreamThatCannotBeOpenedIsReportedAndWorkIsSkipped) {
  captured_std_error errors;
  test::scratch_file missing("missing-input");
  probe_unit* u = make_held<probe_unit>();
  assign_ref(u->input_stream, new infile(string(missing.c_str())));
  u->run_unit(false);
  EXPECT_EQ(u->works, 0);
  EXPECT_EQ(u->after_works, 1);
  EXPECT_EQ(errors.text(), "Error: No such file or directory [" + missing.path() + "]\n");
  // The input the creator left stays; only the output slot is reset.
  EXPECT_NE(u->input_stream, &std_input);
  EXPECT_EQ(u->output_stream, &std_output);
  release(u);
}

// An exception that is not the library's is a failure of the unit all the same, on the
// calling thread and on a worker: kept, reported, the run finished, and the unit runs again.
TEST(Unit, AnExceptionOfAnyTypeIsAFailureOfTheUnit) {
  for (bool asynchronous : {false, true}) {
    SCOPED_TRACE(asynchronous ? "on a worker" : "on the calling thread");
    captured_std_error errors;
    probe_unit* u = make_held<probe_unit>();
    u->throw_standard = "standard";
    u->run_unit(asynchronous);
    u->wait_run();
    EXPECT_EQ(u->last_error(), "standard");
    EXPECT_EQ(u->after_works, 1);
    expect_idle_with_standard_streams(*u);
    u->throw_standard = nullptr;
    u->throw_int = true;
    u->run_unit(asynchronous);
    u->wait_run();
    EXPECT_EQ(u->works, 2);
    EXPECT_EQ(u->last_error(), "Unknown exception");
    EXPECT_EQ(errors.text(), "Error: standard\nError: Unknown exception\n");
    EXPECT_TRUE(u->chain_failed());
    release(u);
  }
}

TEST(Unit, AReplacedOutputIsOpenedWrittenFlushedAndReleasedByTheRun) {
  outmemory* memory = make_held<outmemory>();
  producer* u = make_held<producer>();
  u->lines = {"one\n", "two\n"};
  assign_ref(u->output_stream, memory);
  EXPECT_EQ(memory->refcount, 2);
  u->run_unit(false);
  EXPECT_EQ(u->output_stream, &std_output);
  EXPECT_EQ(memory->refcount, 1);  // only the test's reference is left
  ASSERT_TRUE(memory->is_active);  // the last unit of a run does not close its output
  EXPECT_STREQ(memory->collected_text().text(), "one\ntwo\n");
  release(u);
  release(memory);
}

TEST(Unit, AsynchronousRunStaysUnfinishedUntilWaitRun) {
  outmemory* memory = make_held<outmemory>();
  producer* u = make_held<producer>();
  u->lines = {"async\n"};
  assign_ref(u->output_stream, memory);
  u->run_unit(true);
  EXPECT_EQ(u->running, 1);
  EXPECT_NE(u->worker, nullptr);
  u->run_unit(true);   // ignored: the run is not finished
  u->run_unit(false);  // ignored as well
  u->wait_run();
  EXPECT_EQ(u->works, 1);
  EXPECT_NE(u->work_thread, platform::current_thread_id());
  expect_idle_with_standard_streams(*u);
  EXPECT_STREQ(memory->collected_text().text(), "async\n");
  u->wait_run();  // nothing left to finish
  EXPECT_EQ(u->running, 0);
  release(u);
  release(memory);
}

// A chain producer -> upper_case -> copier -> memory, and what each stage was.
struct chain {
  producer* head = make_held<producer>();
  upper_case* middle = make_held<upper_case>();
  copier* tail = make_held<copier>();
  outmemory* memory = make_held<outmemory>();
  std::string expected;

  explicit chain(int line_count) {
    for (int i = 0; i < line_count; ++i) {
      std::string line = "line " + std::to_string(i) + " of the chain\n";
      head->lines.push_back(line);
      for (char& c : line)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      expected += line;
    }
    middle->name = "middle";
    assign_ref(tail->output_stream, memory);
    head->connect(middle);
    middle->connect(tail);
  }
  ~chain() {
    release(head);
    release(middle);
    release(tail);
    release(memory);
  }

  std::string collected() {
    string text = memory->collected_text();
    return std::string(text.text(), static_cast<std::size_t>(text.length()));
  }

  void expect_unlinked_and_idle() {
    for (unit* u : std::initializer_list<unit*>{head, middle, tail}) {
      EXPECT_EQ(u->running, 0);
      EXPECT_EQ(u->worker, nullptr);
      EXPECT_EQ(u->next_unit, nullptr);
      EXPECT_EQ(u->output_stream, &std_output);
    }
    EXPECT_EQ(middle->input_stream, &std_input);
    EXPECT_EQ(tail->input_stream, &std_input);
    EXPECT_EQ(memory->refcount, 1);
  }
};

TEST(UnitChain, ConnectJoinsOutputToTheNextInputThroughAPipe) {
  chain c(1);
  EXPECT_EQ(c.head->next_unit, c.middle);
  EXPECT_EQ(c.middle->next_unit, c.tail);
  EXPECT_EQ(c.tail->next_unit, nullptr);
  auto* writer = dynamic_cast<outfile*>(c.head->output_stream);
  auto* reader = dynamic_cast<infile*>(c.middle->input_stream);
  ASSERT_NE(writer, nullptr);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(writer->pipe_peer_handle, reader->os_handle);
  EXPECT_EQ(reader->pipe_peer_handle, writer->os_handle);
  EXPECT_EQ(writer->buffer_size, 0);  // every write reaches the reader at once
  c.head->connect(nullptr);           // changes nothing
  EXPECT_EQ(c.head->next_unit, c.middle);
}

TEST(UnitChain, SynchronousHeadRunsTheChainEndToEnd) {
  captured_std_error errors;
  chain c(2000);  // far more than a pipe holds, so the stages really run side by side
  c.head->run_unit(false);
  EXPECT_EQ(c.collected(), c.expected);
  EXPECT_EQ(errors.text(), "");
  EXPECT_EQ(c.head->work_thread, platform::current_thread_id());
  EXPECT_NE(c.middle->work_thread, platform::current_thread_id());
  EXPECT_NE(c.tail->work_thread, platform::current_thread_id());
  EXPECT_NE(c.middle->work_thread, c.tail->work_thread);
  c.expect_unlinked_and_idle();
}

TEST(UnitChain, AsynchronousHeadIsFinishedByWaitRun) {
  captured_std_error errors;
  chain c(2000);
  c.head->run_unit(true);
  EXPECT_EQ(c.head->running, 1);
  c.head->wait_run();
  EXPECT_EQ(c.collected(), c.expected);
  EXPECT_EQ(errors.text(), "");
  EXPECT_NE(c.head->work_thread, platform::current_thread_id());
  c.expect_unlinked_and_idle();
}

TEST(UnitChain, ARunChainIsUnlinkedSoTheHeadRunsAloneAfterwards) {
  chain c(3);
  c.head->run_unit(false);
  outmemory* second = make_held<outmemory>();
  assign_ref(c.head->output_stream, second);
  c.head->run_unit(false);
  EXPECT_EQ(c.head->works, 2);
  EXPECT_EQ(c.middle->works, 1);
  EXPECT_STREQ(second->collected_text().text(),
               "line 0 of the chain\nline 1 of the chain\n"
               "line 2 of the chain\n");
  release(second);
}

// The middle stage fails after it has passed on part of the data and read the rest of its
// input; the tail still ends with what came through, and the error is reported once.
TEST(UnitChain, AMiddleUnitThatThrowsIsReportedOnceAndTheChainStillEnds) {
  for (bool asynchronous : {false, true}) {
    SCOPED_TRACE(asynchronous ? "asynchronous head" : "synchronous head");
    captured_std_error errors;
    chain c(50);
    c.middle->fail_after = 200;
    c.head->run_unit(asynchronous);
    c.head->wait_run();
    EXPECT_EQ(errors.text(), "Error: boom\n");
    EXPECT_EQ(c.middle->after_works, 1);
    EXPECT_EQ(c.tail->works, 1);
    EXPECT_EQ(c.collected(), c.expected.substr(0, 200));
    c.expect_unlinked_and_idle();
    // The head itself did not fail; its chain did, in the middle.
    EXPECT_FALSE(c.head->failed());
    EXPECT_TRUE(c.head->chain_failed());
    EXPECT_EQ(c.head->first_error(), "boom");
    EXPECT_EQ(c.head->first_failed_unit(), "middle");
  }
}

// A head that throws what is not the library's still closes its output: the units behind see
// the end of their data and end, and the chain is finished before run_unit returns.
TEST(UnitChain, AHeadThatThrowsAStandardExceptionEndsTheChain) {
  captured_std_error errors;
  chain c(50);
  c.head->name = "head";
  c.head->throw_standard = "head failed";
  c.head->run_unit(false);
  EXPECT_EQ(errors.text(), "Error: head failed\n");
  EXPECT_EQ(c.tail->works, 1);
  EXPECT_EQ(c.collected(), "");
  c.expect_unlinked_and_idle();
  EXPECT_EQ(c.head->first_failed_unit(), "head");
  EXPECT_EQ(c.head->first_error(), "head failed");
}

// The middle stage fails before reading anything while the head still has more to write than
// a pipe holds: closing the failed stage's input breaks the head's pipe instead of leaving
// the head waiting for a reader forever.
TEST(UnitChain, AMiddleUnitThatStopsReadingEndsTheHeadWithABrokenPipe) {
  captured_std_error errors;
  chain c(0);
  c.head->lines.assign(1, std::string(4 << 20, 'x'));  // four times what a pipe holds
  c.middle->fail_after = 0;
  c.middle->stop_reading = true;
  c.head->run_unit(false);
  std::string report = errors.text();
  EXPECT_EQ(occurrences(report, "Error: boom\n"), 1) << report;
  EXPECT_EQ(occurrences(report, "Error: "), 2) << report;  // the head's failed write
  EXPECT_EQ(c.collected(), "");
  c.expect_unlinked_and_idle();
  // The failed write names the head's end of the link by the head's class.
  std::string head_error(std::string_view(c.head->last_error()));
  EXPECT_EQ(head_error.rfind("Broken pipe [output of ", 0), 0u) << head_error;
  EXPECT_EQ(head_error.substr(head_error.size() - 9), "producer]") << head_error;
  EXPECT_EQ(occurrences(report, "Error: " + head_error + "\n"), 1) << report;
  // The middle failed first; the head's broken pipe followed from it.
  EXPECT_EQ(c.head->first_failed_unit(), "middle");
  EXPECT_EQ(c.head->first_error(), "boom");
}

class UnitDeathTest : public testing::Test {};

// A run that was not finished, even one whose work has ended, may not be destroyed.
TEST_F(UnitDeathTest, DestroyingAUnitWhoseRunIsNotFinishedIsFatalAndNamesIt) {
  probe_unit* u = make_held<probe_unit>();
  u->name = "doomed";
  EXPECT_FATAL(
      {
        u->run_unit(true);
        u->worker->waitfor();  // the work is over: nothing runs while the process ends
        release(u);
      },
      fatal_unit_running, "Fatal \\[c003c\\]: Unit destroyed while running \\[doomed\\]");
  release(u);
}

TEST_F(UnitDeathTest, AWorkerWithoutARunningFlagIsFatal) {
  probe_unit* u = make_held<probe_unit>();
  EXPECT_FATAL(
      {
        u->run_unit(true);
        u->worker->waitfor();  // the work is over: nothing runs while the process ends
        u->running = 0;
        u->run_unit(false);
      },
      fatal_unit_running, "Fatal \\[c003c\\]: Unit already running");
  release(u);
}

// A unit whose work waits for its own run, once the run has stored its worker. (A spin on an
// atomic, not std::latch: the mingw runtime's atomic waits can miss a wake-up.)
class self_waiting_unit : public unit {
 public:
  std::atomic<bool> worker_stored{false};

 protected:
  void work() override {
    while (!worker_stored.load())
      std::this_thread::yield();
    wait_run();
  }
};

TEST_F(UnitDeathTest, WaitRunFromTheUnitsOwnWorkerIsFatal) {
  auto* u = make_held<self_waiting_unit>();
  EXPECT_FATAL(
      {
        u->run_unit(true);
        u->worker_stored = true;
        std::latch never(1);  // the worker ends the process
        never.wait();
      },
      fatal_waitfor_self, "Fatal \\[c002f\\]: Can not waitfor\\(\\) on myself");
  release(u);
}

}  // namespace
}  // namespace pt
