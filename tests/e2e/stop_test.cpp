// A caller that stops cmdwrap while its child runs: a stop signal reaches the child and the
// output so far is kept, an interrupt meant for the child leaves the run alone, and a cmdwrap
// killed outright leaves no child behind; a run that nobody stops leaves what the child started
// on purpose running.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "support/child_gate.h"
#include "support/child_run.h"
#include "support/handle_probes.h"
#include "support/on_windows.h"
#include "support/process_limits.h"
#include "support/sanitizers.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

// Checks done() every 10 ms for up to 30 s: a guard that turns a hang into a failure, never a
// measure of speed.
template <class condition>
bool eventually(condition done) {
  for (int i = 0; i < 3000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// cmdwrap started on the helper child, its standard input a gate pipe that the test holds
// open: a child at gate() marks its arrival and waits there. Everything cmdwrap starts also
// holds, inherited, the write end of a probe pipe, so the test sees when the last of them has
// ended without touching the gate. cmdwrap's standard output and error are a pipe as well.
class gated_run {
 public:
  gated_run() : arguments_("args"), mark_("at-gate") {
    EXPECT_TRUE(platform::pipe_create(probe_read_, probe_write_));
    EXPECT_TRUE(platform::pipe_create(output_read_, output_write_));
    make_inheritable(probe_write_);
  }
  ~gated_run() {
    open_gate();
    if (started_ && !waited_)
      wait();
    platform::handle_close(probe_read_);
    platform::handle_close(output_read_);
  }
  gated_run(const gated_run&) = delete;
  gated_run& operator=(const gated_run&) = delete;

  std::string gate() const { return "mark=" + hex(mark_.path()) + "\nwait-stdin"; }

  // Starts cmdwrap on an argument file of these lines, with these signal settings.
  void start(const std::vector<std::string>& lines, const signal_setup& signals = {}) {
    std::string file;
    for (const std::string& line : lines)
      file += line + "\n";
    arguments_.write(file);
    const std::string command = test_child_arguments({ORTO_TEST_CHILD, arguments_.path()});
    platform::process_request request;
    request.application = ORTO_CMDWRAP;
    request.arguments = command.c_str();
    request.std_input = gate_.child_end();
    request.std_output = request.std_error = output_write_;
    const bool limited = !signals.ignored.empty() || !signals.blocked.empty();
    started_ = limited ? start_limited(request, {}, wrapper_, signals) == 0
                       : platform::process_start(request, wrapper_);
    ASSERT_TRUE(started_) << "error " << platform::last_error();
    gate_.close_child_end();
    for (platform::handle* end : {&probe_write_, &output_write_}) {
      platform::handle_close(*end);
      *end = platform::no_handle;
    }
  }

  bool child_at_gate() const {
    return eventually([&] { return std::filesystem::exists(mark_.path()); });
  }
  // Whether cmdwrap and everything it started have ended (the child without passing its gate).
  bool all_ended() const {
    return eventually([&] { return !pipe_has_writer(probe_read_); });
  }
  void open_gate() { gate_.open(); }
  // cmdwrap's exit status, once it has ended (the test makes sure it will).
  std::uint32_t wait() {
    std::uint32_t status = 0;
    EXPECT_TRUE(platform::process_wait(wrapper_.process, status));
    platform::process_close(wrapper_.thread);
    platform::process_close(wrapper_.process);
    waited_ = true;
    return status;
  }
  platform::handle process() const { return wrapper_.process; }
  std::string file() const { return arguments_.read(); }
  const std::string& argument_file() const { return arguments_.path(); }
  // Whether some process still holds cmdwrap's standard output.
  bool output_held() const { return pipe_has_writer(output_read_); }

 private:
  scratch_file arguments_, mark_;
  child_gate gate_;
  platform::handle probe_read_ = platform::no_handle, probe_write_ = platform::no_handle;
  platform::handle output_read_ = platform::no_handle, output_write_ = platform::no_handle;
  platform::process_info wrapper_;
  bool started_ = false, waited_ = false;
};

TEST(Stopping, SigtermOrSighupReachesTheChildAndTheOutputSoFarIsKept) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  for (test_signal stop : {test_signal::terminate, test_signal::hangup}) {
    gated_run run;
    run.start({"out=" + hex("started\n"), run.gate(), "out=" + hex("passed the gate\n")});
    ASSERT_TRUE(run.child_at_gate());
    ASSERT_TRUE(process_signal(run.process(), stop));
    EXPECT_TRUE(run.all_ended()) << "the child still waits at its gate";
    run.open_gate();
    EXPECT_EQ(run.wait(), status_of(-1));
    EXPECT_EQ(run.file(), "started\r\n\r\nReturned Win32 exception 0xc0000001\r\n");
  }
}

TEST(Stopping, SigintAndSigquitToCmdwrapAloneLeaveTheRunToTheChild) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  gated_run run;
  run.start({"out=" + hex("started\n"), run.gate(), "out=" + hex("done\n"), "exit=3"});
  ASSERT_TRUE(run.child_at_gate());
  // Pending or acted on before kill returns: cmdwrap cannot end normally without meeting them.
  ASSERT_TRUE(process_signal(run.process(), test_signal::interrupt));
  ASSERT_TRUE(process_signal(run.process(), test_signal::quit));
  run.open_gate();
  EXPECT_EQ(run.wait(), 3u);
  EXPECT_EQ(run.file(), "started\r\ndone\r\n");
}

TEST(Stopping, ASignalTheCallerIgnoredStaysIgnoredForCmdwrapAndItsChild) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (under_launcher())
    GTEST_SKIP() << "the settings would apply to the launcher";
  gated_run run;
  run.start({run.gate(), "signals", "exit=3"}, {{test_signal::hangup}, {}});
  ASSERT_TRUE(run.child_at_gate());
  ASSERT_TRUE(process_signal(run.process(), test_signal::hangup));
  run.open_gate();
  EXPECT_EQ(run.wait(), 3u);
  EXPECT_NE(run.file().find("HUP=ignored INT=default QUIT=default"), std::string::npos)
      << run.file();
}

TEST(Stopping, ACmdwrapKilledOutrightLeavesNoChild) {
  gated_run run;
  run.start({"out=" + hex("started\n"), run.gate()});
  ASSERT_TRUE(run.child_at_gate());
  process_kill(run.process());  // SIGKILL, TerminateProcess
  EXPECT_TRUE(run.all_ended()) << "the child outlives cmdwrap";
}

TEST(Stopping, InACallersJobARunGoesAsUsualAndAKilledCmdwrapLeavesNoChild) {
  if (!join_new_job())
    GTEST_SKIP() << "no jobs outside Windows";
  gated_run normal;
  normal.start({"out=" + hex("started\n"), normal.gate(), "exit=3"});
  ASSERT_TRUE(normal.child_at_gate());
  normal.open_gate();
  EXPECT_EQ(normal.wait(), 3u);
  EXPECT_EQ(normal.file(), "started\r\n");

  gated_run killed;
  killed.start({killed.gate()});
  ASSERT_TRUE(killed.child_at_gate());
  process_kill(killed.process());
  EXPECT_TRUE(killed.all_ended()) << "the child outlives cmdwrap";
}

TEST(Stopping, ANormalEndLeavesADetachedGrandchildRunningThatHoldsNothingOfCmdwraps) {
  scratch_file released("grandchild-released");
  gated_run run;
  // The grandchild waits at the gate, which the test opens only once cmdwrap has ended.
  run.start({"detached=" + hex(" wait-stdin mark=" + hex(released.path())), "exit=5"});
  EXPECT_EQ(run.wait(), 5u);
  EXPECT_EQ(run.file(), "");
  // What the caller reads to its end is not held by it, nor is the argument file (Windows
  // refuses to remove a file that a process holds open).
  EXPECT_FALSE(run.output_held()) << "the grandchild holds cmdwrap's standard output";
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(run.argument_file(), error)) << error.message();
  run.open_gate();
  EXPECT_TRUE(eventually([&] { return std::filesystem::exists(released.path()); }))
      << "the grandchild ended with cmdwrap";
}

}  // namespace
}  // namespace pt::test
