// Faults around a cmdwrap run: exhausted memory, a full disk, an argument file removed,
// replaced or made read-only while the child runs, standard handles cmdwrap is started
// without, a child that closes its output early, and a thousand runs that leak no handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "cmdwrap_run.h"
#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/process.h"
#include "support/exit_status.h"
#include "support/on_windows.h"
#include "support/open_handles.h"
#include "support/process_limits.h"
#include "support/sanitizers.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

const std::uint32_t failed = status_of(-1);

// What the helper child's fill=<count> writes.
std::string fill_pattern(std::size_t count) {
  std::string bytes;
  bytes.reserve(count);
  while (bytes.size() < count)
    bytes.append("0123456789abcdef", std::min<std::size_t>(16, count - bytes.size()));
  return bytes;
}

// Why cmdwrap cannot be run under a process limit here; empty when it can.
std::string why_no_limits() {
  if (!process_limits_supported())
    return "this platform sets no such limit on a process";
  if (under_launcher())
    return "a limit would apply to the launcher, not to cmdwrap";
  return "";
}

// Address space enough for cmdwrap to start and run, far less than its child floods.
constexpr std::uint64_t small_address_space = std::uint64_t{32} << 20;

TEST(Faults, ExhaustedMemoryIsTheFatalErrorNeverACrash) {
  if (std::string why = why_no_limits(); !why.empty())
    GTEST_SKIP() << why;
  if (sanitized_build)
    GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
  wrapper_options options;
  options.limits.address_space = small_address_space;
  // Near 4 GB of output: the memory stream runs out of room long before the child ends.
  auto result = run_child_through_wrapper("fill=4000000000\n", options);
  EXPECT_EQ(result.run.status, static_cast<std::uint32_t>(visible_status(fatal_out_of_memory)));
  EXPECT_EQ(result.run.err, "Internal error: Fatal [c0005]: Not enough memory\n");
  EXPECT_EQ(result.file, "");  // emptied before the child started, never written
}

TEST(Faults, AnArgumentFileLargerThanMemoryIsReadOnlyAsFarAsACommandLineHolds) {
  if (std::string why = why_no_limits(); !why.empty())
    GTEST_SKIP() << why;
  if (sanitized_build)
    GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
  scratch_file arguments("huge-args");
  arguments.write("hex-args\n" + std::string(small_address_space + (16 << 20), 'a'));
  wrapper_options options;
  options.limits.address_space = small_address_space;
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()}, options);
  EXPECT_EQ(run.status, failed);
  EXPECT_EQ(run.err, "Error: Couldn't run '" + std::string(ORTO_TEST_CHILD) + "' error " +
                         std::to_string(platform::command_line_too_long) + "\n");
  EXPECT_EQ(arguments.read(), "Returned Win32 exception 0xffffffff\r\n");
}

TEST(Faults, MemoryExhaustedInCmdwrapsOwnContainersIsTheFatalReport) {
  if (std::string why = why_no_limits(); !why.empty())
    GTEST_SKIP() << why;
  if (sanitized_build)
    GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
  // A line that a NUL cuts short on the command line is still read whole, to the 16 MiB
  // bound: more than the reader's string can grow to in this address space.
  scratch_file arguments("nul-args");
  const std::string bytes = "hex-args\nx" + std::string(1, '\0') + std::string(15 << 20, 'y');
  arguments.write(bytes);
  wrapper_options options;
  options.limits.address_space = std::uint64_t{20} << 20;
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()}, options);
  EXPECT_EQ(run.status, static_cast<std::uint32_t>(visible_status(fatal_out_of_memory)));
  EXPECT_EQ(run.err, "Internal error: Fatal [c0005]: Not enough memory\n");
  EXPECT_TRUE(arguments.read() == bytes) << "the argument file changed";
}

TEST(Faults, AFullDiskIsAFailureNeverASilentSuccess) {
  if (std::string why = why_no_limits(); !why.empty())
    GTEST_SKIP() << why;
  // The file-size limit makes every write past 64 KiB fail as on a full disk (POSIX: EFBIG).
  wrapper_options options;
  options.limits.file_size = 64 << 10;
  auto result = run_child_through_wrapper("fill=1000000\n", options);
  EXPECT_EQ(result.run.status, failed);
  EXPECT_TRUE(result.file == fill_pattern(64 << 10))  // what fitted stays
      << result.file.size() << " bytes";
  expect_error_number_line(result.run.err,
                           "Error: Couldn't write '" + result.argument_file + "' error ");

  // Output that fits in memory as it came but not on disk once every LF is CR LF.
  result = run_child_through_wrapper("out=" + hex(std::string(34000, '\n')) + "\n", options);
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file.size(), std::size_t{64} << 10);

  // The limit alone fails nothing: output that fits is written whole.
  result = run_child_through_wrapper("fill=60000\nexit=9\n", options);
  EXPECT_EQ(result.run.status, 9u);
  EXPECT_TRUE(result.file == fill_pattern(60000)) << result.file.size() << " bytes";
}

// The argument file is emptied and held open for writing before the child starts; what the
// child does to the file's name afterwards does not reach the open file.

TEST(Faults, AnArgumentFileRemovedWhileTheChildRuns) {
  scratch_file arguments("args");
  arguments.write("remove=" + hex(arguments.path()) + "\nout=" + hex("done\n") + "\nexit=6\n");
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()});
  EXPECT_EQ(run.status, 6u);
  if (on_windows()) {
    // A file open in cmdwrap cannot be deleted: the output arrives.
    EXPECT_EQ(arguments.read(), "kept\r\ndone\r\n");
  } else {
    // The name goes at once; the output goes into the file cmdwrap holds, which vanishes with
    // its last descriptor. The status is the child's: the caller finds no file.
    EXPECT_FALSE(std::filesystem::exists(arguments.path()));
  }
}

TEST(Faults, AnArgumentFileReplacedWhileTheChildRuns) {
  scratch_file arguments("args"), replacement("args-new");
  arguments.write("replace=" + hex(arguments.path()) + "\nout=" + hex("done\n") + "\nexit=6\n");
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()});
  EXPECT_EQ(run.status, 6u);
  if (on_windows()) {
    // An open file cannot be renamed over: the output arrives.
    EXPECT_EQ(arguments.read(), "kept\r\ndone\r\n");
  } else {
    // The path names the new file; the output went into the old one, which is gone.
    EXPECT_EQ(arguments.read(), "replacement");
  }
  std::filesystem::remove(arguments.path() + ".new");
}

TEST(Faults, AnArgumentFileMadeReadOnlyWhileTheChildRunsStillGetsTheOutput) {
  scratch_file arguments("args");
  arguments.write("read-only=" + hex(arguments.path()) + "\nout=" + hex("done\n") + "\nexit=6\n");
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()});
  EXPECT_EQ(run.status, 6u);
  EXPECT_EQ(arguments.read(), "read-only\r\ndone\r\n");  // the open file keeps its access
  std::filesystem::permissions(arguments.path(), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);  // so that it can go
}

TEST(Faults, WithoutAStandardHandleTheChildStillRunsAndItsOutputComesBack) {
  for (standard_handle unusable :
       {standard_handle::input, standard_handle::output, standard_handle::error}) {
    SCOPED_TRACE("unusable standard handle " + std::to_string(static_cast<int>(unusable) - 1));
    wrapper_options options;
    options.unusable = unusable;
    auto result = run_child_through_wrapper(
        "out=" + hex("ran\n") + "\nerr=" + hex("to error\n") + "\nexit=7\n", options);
    EXPECT_EQ(result.run.status, 7u);
    EXPECT_EQ(result.file, "ran\r\nto error\r\n");
    EXPECT_EQ(result.run.err, "");
  }
  // cmdwrap passes its own standard input on, unusable as it is: the child's read fails (the
  // helper child ends with 103 then).
  wrapper_options options;
  options.unusable = standard_handle::input;
  auto result = run_child_through_wrapper("out=" + hex("before\n") + "\nstdin\n", options);
  EXPECT_EQ(result.run.status, 103u);
  EXPECT_EQ(result.file, "before\r\n");
}

// With no descriptor to spare for copies of the standard handles, standard error still tells
// why the run fails, and the file keeps its arguments.
TEST(Faults, TooFewDescriptorsStillGiveTheErrorLine) {
  if (std::string why = why_no_limits(); !why.empty())
    GTEST_SKIP() << why;
  if (sanitized_build)
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own";
  for (std::uint64_t descriptors : {4, 5}) {
    wrapper_options options;
    options.limits.open_files = descriptors;
    options.inherit_handles = false;  // what the tests' runner passes on would fill the limit
    auto result = run_child_through_wrapper("out=" + hex("x") + "\n", options);
    EXPECT_EQ(result.run.status, failed);
    EXPECT_EQ(result.run.err.rfind("Error: Couldn't read '", 0), 0u) << result.run.err;
    EXPECT_EQ(result.file, "out=" + hex("x") + "\n");
  }
}

TEST(Faults, AnErrorLineThatCannotBeWrittenChangesNothingElse) {
  // Without a usable standard error, or on a full one, the "Error: " line fails; the run still
  // ends as with a working one: the note for "no exit code" and -1.
  scratch_file missing("no-such-program");
  wrapper_options closed;
  closed.unusable = standard_handle::error;
  wrapper_options full;
  full.error_path = "/dev/full";
  for (const wrapper_options* options : {&closed, &full}) {
    if (options == &full && (on_windows() || !std::filesystem::exists("/dev/full")))
      continue;
    auto result = run_child_through_wrapper("hex-args\nx\n", *options, missing.path());
    EXPECT_EQ(result.run.status, failed);
    EXPECT_EQ(result.file, "Returned Win32 exception 0xffffffff\r\n");
  }
}

TEST(Faults, AChildThatClosesItsOutputEarlyAndRunsOn) {
  // cmdwrap sees the end of data while the child runs, then waits for it: every byte written
  // before the close arrives, and the status is the one the child ends with later.
  auto result = run_child_through_wrapper("fill=300000\nout=" + hex(" end") +
                                          "\nclose-out\nsleep=300\nexit=4\n");
  EXPECT_EQ(result.run.status, 4u);
  EXPECT_TRUE(result.file == fill_pattern(300000) + " end") << result.file.size() << " bytes";
  EXPECT_EQ(result.run.err, "");
}

TEST(Faults, AThousandRunsLeakNoHandle) {
  if (open_handle_count() < 0)
    GTEST_SKIP() << "this platform gives no count of a process's handles";
  // Under a launcher each run takes a second, under wine a tenth of one (1000 runs would take
  // most of the Windows stage), under a sanitizer on a loaded machine 1000 runs took longer
  // than the test's time limit; fewer runs still show a steady leak.
  const int runs = under_launcher() ? 20 : on_windows() || sanitized_build ? 250 : 1000;
  run_child_through_wrapper("exit=0\n");  // anything opened once, on first use, is open now
  const std::int64_t before = open_handle_count();
  for (int run = 0; run < runs; ++run) {
    const std::string text = std::to_string(run);
    auto result = run_child_through_wrapper("out=" + hex(text) +
                                            "\nexit=" + std::to_string(run % 200) + "\n");
    ASSERT_EQ(result.run.status, static_cast<std::uint32_t>(run % 200)) << "run " << run;
    ASSERT_EQ(result.file, text) << "run " << run;
  }
  EXPECT_EQ(open_handle_count(), before) << "after " << runs << " runs";
}

}  // namespace
}  // namespace pt::test
