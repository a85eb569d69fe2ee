// A caller that stops cmdwrap: a stop signal reaches the child's whole tree and the output so
// far is kept, at any moment of the run; an interrupt meant for the child leaves the run alone,
// also at a terminal, and a cmdwrap killed outright leaves no child behind; a run that nobody
// stops leaves what the child started on purpose running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "support/child_gate.h"
#include "support/child_run.h"
#include "support/eventually.h"
#include "support/handle_probes.h"
#include "support/on_windows.h"
#include "support/process_limits.h"
#include "support/sanitizers.h"
#include "support/scratch_file.h"
#include "support/terminal.h"

namespace pt::test {
namespace {

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

  // Starts cmdwrap on an argument file of these lines, with these signal settings, by the
  // command before it when there is one (its program first).
  void start(const std::vector<std::string>& lines, signal_setup signals = {},
             const std::vector<std::string>& before = {}) {
    std::string file;
    for (const std::string& line : lines)
      file += line + "\n";
    arguments_.write(file);
    std::vector<std::string> words = before;
    words.insert(words.end(), {ORTO_CMDWRAP, ORTO_TEST_CHILD, arguments_.path()});
    const std::string command =
        test_child_arguments(std::vector<std::string>(words.begin() + 1, words.end()));
    platform::process_request request;
    request.application = words.front().c_str();
    request.arguments = command.c_str();
    request.std_input = gate_.child_end();
    request.std_output = request.std_error = output_write_;
    // A caller without a terminal, as a build tool or a service is, wherever the tests run.
    signals.new_session = !on_windows();
    started_ = signals.new_session ? start_limited(request, {}, wrapper_, signals) == 0
                                   : platform::process_start(request, wrapper_);
    ASSERT_TRUE(started_) << "error " << platform::last_error();
    gate_.close_child_end();
    for (platform::handle* end : {&probe_write_, &output_write_}) {
      platform::handle_close(*end);
      *end = platform::no_handle;
    }
  }

  // The size of the argument file, which cmdwrap empties and then writes its result into.
  std::uintmax_t file_size() const { return std::filesystem::file_size(arguments_.path()); }

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
  // Whether some process still holds cmdwrap's standard output, which none of what it starts
  // inherits: whether cmdwrap still runs.
  bool output_held() const { return pipe_has_writer(output_read_); }
  // Whether something cmdwrap started still runs.
  bool probe_held() const { return pipe_has_writer(probe_read_); }

 private:
  scratch_file arguments_, mark_;
  child_gate gate_;
  platform::handle probe_read_ = platform::no_handle, probe_write_ = platform::no_handle;
  platform::handle output_read_ = platform::no_handle, output_write_ = platform::no_handle;
  platform::process_info wrapper_;
  bool started_ = false, waited_ = false;
};

TEST(Stopping, SigtermOrSighupReachesTheChildsWholeTreeAndTheOutputSoFarIsKept) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  for (test_signal stop : {test_signal::terminate, test_signal::hangup}) {
    gated_run run;
    // The grandchild holds the output for a minute: only the end of the tree ends the run.
    run.start({"out=" + hex("started\n"), "grandchild=60000", run.gate(),
               "out=" + hex("passed the gate\n")});
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

// Right after cmdwrap has emptied the argument file the child may not exist yet: a stop then
// keeps it from starting, or reaches it as soon as it exists. Either way the file holds a
// well-formed result, never nothing.
TEST(Stopping, ASigtermJustAfterTheFileIsEmptiedLeavesAWellFormedResult) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  for (int i = 0; i < 30; ++i) {
    gated_run run;
    run.start({"sleep=60000"});
    ASSERT_TRUE(eventually([&] { return run.file_size() == 0; }));
    ASSERT_TRUE(process_signal(run.process(), test_signal::terminate));
    EXPECT_EQ(run.wait(), status_of(-1));
    const std::string file = run.file();
    EXPECT_TRUE(file == "Returned Win32 exception 0xffffffff\r\n" ||
                file == "Returned Win32 exception 0xc0000001\r\n")
        << file;
  }
}

// The result is written whole once the child has ended, whatever arrives meanwhile.
TEST(Stopping, ASigtermOrSighupWhileTheResultIsWrittenLetsTheWriteFinish) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  constexpr std::uintmax_t size = std::uintmax_t{128} << 20;
  for (test_signal stop : {test_signal::terminate, test_signal::hangup}) {
    gated_run run;
    run.start({"fill=" + std::to_string(size)});
    ASSERT_TRUE(eventually([&] { return run.file_size() > (1u << 20); }));  // being written
    ASSERT_TRUE(process_signal(run.process(), stop));
    EXPECT_EQ(run.wait(), 0u);
    EXPECT_EQ(std::filesystem::file_size(run.argument_file()), size);
  }
}

// A grandchild that left the tree on purpose and holds the output cannot keep a stopped run
// open: once the child has ended, cmdwrap reads on for a grace only.
TEST(Stopping, AStoppedRunEndsWhenWhatHoldsTheOutputLeftTheTree) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  gated_run run;
  run.start({"out=" + hex("started\n"), "escapee=" + hex(" wait-stdin"), run.gate()});
  ASSERT_TRUE(run.child_at_gate());
  ASSERT_TRUE(process_signal(run.process(), test_signal::terminate));
  EXPECT_TRUE(eventually([&] { return !run.output_held(); })) << "cmdwrap waits for the escapee";
  EXPECT_TRUE(run.probe_held()) << "the escapee ended with the tree";
  EXPECT_EQ(run.wait(), status_of(-1));
  EXPECT_EQ(run.file(), "started\r\n\r\nReturned Win32 exception 0xc0000001\r\n");
}

// timeout in the foreground sends its stop to cmdwrap alone and kills it 2 s later: the stop
// must end the tree and the run before that.
TEST(Stopping, TimeoutInTheForegroundGetsTheResultAndLeavesNothingRunning) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  if (!std::filesystem::exists("/usr/bin/timeout"))
    GTEST_SKIP() << "no /usr/bin/timeout";
  gated_run run;
  run.start({"out=" + hex("started\n"), "grandchild=60000", run.gate()}, {},
            {"/usr/bin/timeout", "--foreground", "-k", "2", "1"});
  EXPECT_EQ(run.wait(), 124u);  // the command ended on the stop, not on the kill
  EXPECT_TRUE(run.all_ended());
  EXPECT_EQ(run.file(), "started\r\n\r\nReturned Win32 exception 0xc0000001\r\n");
}

// A stopped child acts on a stop only once it runs again: cmdwrap sends SIGCONT after it.
TEST(Stopping, ASigtermReachesAStoppedChild) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (handlers_deferred)
    GTEST_SKIP() << "cmdwrap's handler would run only once its read of the output returns";
  scratch_file pid_file("child-pid");
  gated_run run;
  run.start({"pid=" + hex(pid_file.path()), run.gate()});
  ASSERT_TRUE(run.child_at_gate());
  std::uint32_t child = 0;
  ASSERT_TRUE(std::ifstream(pid_file.path()) >> child);
  ASSERT_TRUE(process_signal(child, test_signal::stop));
  ASSERT_TRUE(process_signal(run.process(), test_signal::terminate));
  EXPECT_TRUE(run.all_ended()) << "the child stays stopped";
  EXPECT_EQ(run.wait(), status_of(-1));
}

// At a terminal cmdwrap and its child are one job, as any command a shell runs: Ctrl+C reaches
// the child, which ends on it, and cmdwrap writes the result.
TEST(Stopping, CtrlCAtATerminalStillReachesTheChild) {
  scratch_file arguments("terminal-args"), started("terminal-started");
  arguments.write("mark=" + hex(started.path()) + "\nsleep=60000\n");
  const std::string command = test_child_arguments({ORTO_TEST_CHILD, arguments.path()});
  platform::process_request request;
  request.application = ORTO_CMDWRAP;
  request.arguments = command.c_str();
  test_terminal terminal;
  platform::process_info wrapper;
  if (!terminal.start(request, wrapper))
    GTEST_SKIP() << "no terminal to type at";
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(started.path()); }));
  terminal.type("\x03");
  std::uint32_t status = 0;
  ASSERT_TRUE(platform::process_wait(wrapper.process, status));
  EXPECT_EQ(status, status_of(-1));
  EXPECT_EQ(arguments.read(), "Returned Win32 exception 0xc000013a\r\n");
}

}  // namespace
}  // namespace pt::test
