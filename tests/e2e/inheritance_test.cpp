// What cmdwrap's child inherits: its standard handles and what cmdwrap's caller passed on, none
// of cmdwrap's own (pipe ends, the result file, duplicates of its standard handles), and the
// signal settings cmdwrap was started with.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/file.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/startup.h"
#include "support/child_run.h"
#include "support/handle_probes.h"
#include "support/line_ends.h"
#include "support/on_windows.h"
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

TEST(Inheritance, AChildThatOutlivesCmdwrapHoldsNothingOfItsAndEndsOnABrokenPipe) {
  platform::process_startup();  // a write to the gate without a reader must fail, not end us
  // The child marks that it runs, waits at a gate (cmdwrap's standard input), then writes
  // more than a pipe holds.
  scratch_file arguments("args"), mark("child-runs");
  arguments.write("replace=" + hex(mark.path()) + "\nwait-stdin\nfill=1000000\n");
  platform::handle gate_read, gate_write, out_read, out_write;
  ASSERT_TRUE(platform::pipe_create(gate_read, gate_write));
  ASSERT_TRUE(platform::pipe_create(out_read, out_write));
  const std::string command = test_child_arguments({ORTO_TEST_CHILD, arguments.path()});
  platform::process_request request;
  request.application = ORTO_CMDWRAP;
  request.arguments = command.c_str();
  request.std_input = gate_read;
  request.std_output = request.std_error = out_write;
  platform::process_info wrapper;
  ASSERT_TRUE(platform::process_start(request, wrapper)) << "error " << platform::last_error();
  platform::handle_close(gate_read);
  platform::handle_close(out_write);
  EXPECT_TRUE(eventually([&] { return std::filesystem::exists(mark.path()); }));

  // A caller that gives up on cmdwrap (a timeout) while the child waits at its gate.
  process_kill(wrapper.process);
  std::uint32_t status = 0;
  EXPECT_TRUE(platform::process_wait(wrapper.process, status));
  platform::process_close(wrapper.thread);
  platform::process_close(wrapper.process);
  // The caller reading cmdwrap's output to its end is not held by the child, nor is the
  // argument file (Windows refuses to remove a file that a process holds open).
  EXPECT_TRUE(eventually([&] { return !pipe_has_writer(out_read); }))
      << "the child holds cmdwrap's standard output";
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(arguments.path(), error)) << error.message();

  // Through the gate, the child writes into a pipe that nobody reads any more: it must fail
  // and end, not block for ever. It has ended once the gate has no reader left. (It may have
  // ended already: its report of the replace follows the mark, and meets the same broken pipe
  // when cmdwrap was killed in between; a child that held its own pipe's reader would not.)
  (void)platform::handle_write(gate_write, "!", 1);
  EXPECT_TRUE(eventually([&] { return platform::handle_write(gate_write, "?", 1) != 1; }))
      << "the child still runs";
  platform::handle_close(gate_write);
  platform::handle_close(out_read);
}

// Whether the helper child's list of descriptors names fd.
bool lists(const std::string& descriptors, platform::handle fd) {
  std::istringstream numbers(descriptors);
  for (platform::handle listed; numbers >> listed;)
    if (listed == fd)
      return true;
  return false;
}

TEST(Inheritance, TheChildHoldsItsStandardDescriptorsAndWhatTheCallerPassedOn) {
  if (on_windows())
    GTEST_SKIP() << "only POSIX lists a process's descriptors";
  if (under_launcher())
    GTEST_SKIP() << "the launcher must inherit its log";
  // cmdwrap started with its standard descriptors alone: its child has those and nothing else.
  wrapper_options alone;
  alone.inherit_handles = false;
  auto result = run_child_through_wrapper("descriptors\n", alone);
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, "0 1 2\r\n");

  // What the caller passes on reaches the child, as if the caller ran it (a make jobserver).
  platform::handle probe_read, probe_write;
  ASSERT_TRUE(platform::pipe_create(probe_read, probe_write));
  make_inheritable(probe_write);
  result = run_child_through_wrapper("descriptors\n");
  EXPECT_TRUE(lists(result.file, probe_write)) << result.file;
  EXPECT_FALSE(lists(result.file, probe_read)) << result.file;
  platform::handle_close(probe_read);
  platform::handle_close(probe_write);
}

// What the helper child reports of its signals when the caller starts it directly.
std::string signals_when_run_directly(const signal_setup& signals) {
  platform::handle read_end, write_end;
  EXPECT_TRUE(platform::pipe_create(read_end, write_end));
  platform::process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = " signals";
  request.std_output = write_end;
  platform::process_info child;
  EXPECT_EQ(start_limited(request, {}, child, signals), 0u);
  platform::handle_close(write_end);
  std::string report;
  EXPECT_TRUE(read_to_end(read_end, report));
  platform::handle_close(read_end);
  std::uint32_t code = 1;
  EXPECT_TRUE(platform::process_wait(child.process, code));
  return report;
}

TEST(Inheritance, TheChildRunsUnderTheSignalSettingsCmdwrapWasStartedWith) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  if (under_launcher())
    GTEST_SKIP() << "the settings would apply to the launcher";
  // A daemon's child (SIGCHLD ignored: waiting must still give the status), a child under
  // nohup or in the background (SIGHUP, SIGINT ignored), a blocked signal; then a caller that
  // ignores SIGPIPE and SIGXFSZ, which cmdwrap ignores for itself anyway.
  const signal_setup setups[] = {
      {{test_signal::child, test_signal::hangup, test_signal::interrupt}, {test_signal::user1}},
      {{test_signal::pipe, test_signal::file_size}, {test_signal::quit}},
  };
  for (const signal_setup& setup : setups) {
    const std::string direct = signals_when_run_directly(setup);
    ASSERT_NE(direct.find("=ignored"), std::string::npos) << direct;
    wrapper_options options;
    options.signals = setup;
    auto result = run_child_through_wrapper("signals\nexit=3\n", options);
    EXPECT_EQ(result.run.status, 3u);
    EXPECT_EQ(result.file, with_crlf(direct));
  }
}

}  // namespace
}  // namespace pt::test
