// What cmdwrap's child inherits: its standard handles and what cmdwrap's caller passed on, none
// of cmdwrap's own (pipe ends, the result file, duplicates of its standard handles), and the
// signal settings cmdwrap was started with.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "support/child_run.h"
#include "support/handle_probes.h"
#include "support/line_ends.h"
#include "support/on_windows.h"

namespace pt::test {
namespace {

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
