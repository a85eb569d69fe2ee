// Starting the test child: arguments, exit codes, start failures, standard handles, handle
// inheritance, grandchildren and the exception codes that stand for POSIX signals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/error_numbers.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/process_settings.h"
#include "ortolib/platform/private/std_handles.h"
#include "support/child_gate.h"
#include "support/child_run.h"
#include "support/handle_probes.h"
#include "support/on_windows.h"
#include "support/open_handles.h"
#include "support/scratch_file.h"

namespace pt::platform {
namespace {

using test::on_windows;

using test::hex;
using test::hex_lines;

TEST(ProcessStart, QuotedArgumentsArriveExactly) {
  std::string high_bytes;
  for (int byte = 0x80; byte <= 0xFF; ++byte)
    high_bytes += static_cast<char>(byte);
  const std::vector<std::string> arguments = {
      "plain",   "two words",   "tab\there",        "",       "quote\"inside",
      "\"",      "back\\slash", "trailing\\",       "\\\\\"", "\\\\server\\share\\",
      "*",       "?.txt",       " lead and trail ", "%PATH%", "a'b",
      high_bytes};
  std::vector<std::string> command = {"hex-args"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  test::child_result run = test::run_test_child(command);
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.output, hex_lines(arguments));
}

TEST(ProcessStart, PassesTheCommandLineAsWritten) {
  // Not re-quoted on the way: the child reads the line by the C-runtime rules.
  std::string arguments = test::test_child_arguments({"hex-args"}) +
                          R"( a"b c"d  "" e\\"f g\"h" \\\\"i")";
  std::vector<std::string> expected = command_line_split_arguments(arguments.c_str());
  expected.erase(expected.begin());
  ASSERT_EQ(expected, (std::vector<std::string>{"ab cd", "", R"(e\f g"h)", R"(\\i)"}));

  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end));
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = arguments.c_str();
  request.std_output = request.std_error = write_end;
  process_info child;
  ASSERT_TRUE(process_start(request, child)) << "error " << last_error();
  handle_close(write_end);
  std::string output;
  EXPECT_TRUE(test::read_to_end(read_end, output));
  handle_close(read_end);
  std::uint32_t code = 1;
  EXPECT_TRUE(process_wait(child.process, code));
  EXPECT_EQ(code, 0u);
  EXPECT_GT(child.process_id, 0u);
  process_close(child.thread);
  process_close(child.process);
  EXPECT_EQ(output, hex_lines(expected));
}

TEST(ProcessWait, GivesTheExitCodeAsFarAsThePlatformPassesItOn) {
  for (std::uint32_t code : {0u, 3u, 255u, 256u + 7u, 0x12345678u}) {
    test::child_result run = test::run_test_child({"exit=" + std::to_string(code)});
    EXPECT_TRUE(run.ran);
    EXPECT_EQ(run.exit_code, code & exit_status_mask) << "exit=" << code;
  }
}

TEST(ProcessStart, JoinsStandardOutputAndErrorInOnePipeInOrder) {
  test::child_result run =
      test::run_test_child({"out=" + hex("out "), "err=" + hex("err "), "out=" + hex("end")});
  EXPECT_EQ(run.output, "out err end");

  // More than a pipe holds: the child blocks until the parent reads on.
  const std::uint32_t size = 300000;
  run = test::run_test_child({"fill=" + std::to_string(size), "exit=4"});
  EXPECT_EQ(run.exit_code, 4u);
  ASSERT_EQ(run.output.size(), size);
  for (std::uint32_t i = 0; i < size; ++i)
    ASSERT_EQ(run.output[i], "0123456789abcdef"[i % 16]) << "byte " << i;
}

TEST(ProcessStart, GivesTheChildTheStandardInputItIsHanded) {
  test::scratch_file input("input");
  input.write(std::string("line one\nline two\r\n\0\xff", 22));
  handle h = file_open(input.c_str(), file_access::read);
  ASSERT_NE(h, no_handle);
  test::child_result run = test::run_test_child({"stdin"}, h);
  handle_close(h);
  EXPECT_EQ(run.output, input.read());
}

TEST(ProcessStart, AChildWithoutStandardOutputCannotWriteElsewhere) {
  process_request request;
  std::string arguments = test::test_child_arguments({"out=" + hex("nowhere")});
  request.application = ORTO_TEST_CHILD;
  request.arguments = arguments.c_str();
  process_info child;  // every standard handle left at no_handle
  ASSERT_TRUE(process_start(request, child)) << "error " << last_error();
  std::uint32_t code = 0;
  EXPECT_TRUE(process_wait(child.process, code));
  EXPECT_EQ(code, 102u);  // the test child's "write failed"
  process_close(child.thread);
  process_close(child.process);
}

TEST(ProcessStart, FailsForAMissingExecutableAndForADirectory) {
  test::scratch_file missing("missing.exe"), folder("folder");
  ASSERT_TRUE(std::filesystem::create_directory(folder.path()));
  struct row {
    const char* application;
    int stream_error;
  };
  for (row r : {row{missing.c_str(), 2}, row{folder.c_str(), 13}}) {
    process_request request;
    request.application = r.application;
    process_info child;
    EXPECT_FALSE(process_start(request, child));
    EXPECT_EQ(stream_error_number(last_error()), r.stream_error)
        << r.application << ": error " << last_error();
    EXPECT_EQ(child.process, no_handle);
  }
  process_request without_application;  // nothing to start, nor a program name to quote
  process_info child;
  EXPECT_FALSE(process_start(without_application, child));
  EXPECT_EQ(stream_error_number(last_error()), 2);
}

TEST(ProcessStart, StandardHandlesNumberedAsEachOthersTargetsReachTheirOwn) {
  if (on_windows())
    GTEST_SKIP() << "Windows handles are not numbers a process can choose";
  // The pipe ends take the test's own 0 to 2, which are set aside meanwhile: a rotation (the
  // output on 0) and a swap (output and error).
  const handle saved[] = {std_handle_duplicate(std_handle_id::input),
                          std_handle_duplicate(std_handle_id::output),
                          std_handle_duplicate(std_handle_id::error)};
  struct row {
    handle input, output, error;
  };
  for (row r : {row{2, 0, 1}, row{0, 2, 1}}) {
    handle in_read, in_write, out_read, out_write, err_read, err_write;
    ASSERT_TRUE(pipe_create(in_read, in_write) && pipe_create(out_read, out_write) &&
                pipe_create(err_read, err_write));
    std::string arguments = test::test_child_arguments({"stdin", "err=" + hex("error")});
    process_request request;
    request.application = ORTO_TEST_CHILD;
    request.arguments = arguments.c_str();
    request.inherit_handles = false;
    request.std_input = r.input;
    request.std_output = r.output;
    request.std_error = r.error;
    process_info child;
    const bool started = test::duplicate_handle_to(in_read, r.input) &&
                         test::duplicate_handle_to(out_write, r.output) &&
                         test::duplicate_handle_to(err_write, r.error) &&
                         process_start(request, child);
    for (handle number = 0; number < 3; ++number)
      test::duplicate_handle_to(saved[number], number);
    handle_close(in_read);
    handle_close(out_write);
    handle_close(err_write);
    ASSERT_TRUE(started) << "error " << last_error();
    EXPECT_EQ(handle_write(in_write, "output", 6), 6);
    handle_close(in_write);
    std::string output, error;
    EXPECT_TRUE(test::read_to_end(out_read, output));
    EXPECT_TRUE(test::read_to_end(err_read, error));
    std::uint32_t code = 1;
    EXPECT_TRUE(process_wait(child.process, code));
    EXPECT_EQ(code, 0u);
    process_close(child.process);
    handle_close(out_read);
    handle_close(err_read);
    EXPECT_EQ(output, "output") << r.input << r.output << r.error;
    EXPECT_EQ(error, "error") << r.input << r.output << r.error;
  }
  for (handle h : saved)
    handle_close(h);
}

// Whether a child holds the read end of a pipe that is not one of its standard handles shows
// in the parent: a write to the pipe succeeds only while some reader exists. The read end is
// the library's own, or made inheritable as one the process inherited itself.
bool child_keeps_other_handle(bool made_inheritable, bool inherit_handles) {
  handle probe_read, probe_write;
  EXPECT_TRUE(pipe_create(probe_read, probe_write));
  test::child_gate gate;
  if (made_inheritable)
    test::make_inheritable(probe_read);
  std::string arguments = test::test_child_arguments({"wait-stdin"});
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = arguments.c_str();
  request.inherit_handles = inherit_handles;
  request.std_input = gate.child_end();
  process_info child;
  EXPECT_TRUE(process_start(request, child)) << "error " << last_error();
  handle_close(probe_read);
  gate.close_child_end();
  bool kept = handle_write(probe_write, "?", 1) == 1;
  EXPECT_TRUE(kept || stream_error_number(last_error()) == error_broken_pipe)
      << "error " << last_error();
  gate.open();  // lets the child end
  std::uint32_t code = 1;
  EXPECT_TRUE(process_wait(child.process, code));
  EXPECT_EQ(code, 0u);
  process_close(child.thread);
  process_close(child.process);
  handle_close(probe_write);
  return kept;
}

TEST(ProcessStart, PassesOnInheritableHandlesOnlyWhenAskedAndTheLibrarysOwnNever) {
  process_settings_apply();  // the probe write must fail, not end the test
  EXPECT_FALSE(child_keeps_other_handle(false, true));
  EXPECT_TRUE(child_keeps_other_handle(true, true));
  EXPECT_FALSE(child_keeps_other_handle(true, false));
}

TEST(ProcessStart, AChildThatClosesItsOutputEndsTheDataWhileItRuns) {
  handle out_read, out_write;
  ASSERT_TRUE(pipe_create(out_read, out_write));
  test::child_gate gate;
  std::string arguments =
      test::test_child_arguments({"out=" + hex("bye"), "close-out", "wait-stdin"});
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = arguments.c_str();
  request.std_input = gate.child_end();
  request.std_output = request.std_error = out_write;
  process_info child;
  ASSERT_TRUE(process_start(request, child)) << "error " << last_error();
  handle_close(out_write);
  gate.close_child_end();
  // The child waits for the gate, so this end of data can only come from its close.
  std::string output;
  EXPECT_TRUE(test::read_to_end(out_read, output));
  EXPECT_EQ(output, "bye");
  gate.open();
  std::uint32_t code = 1;
  EXPECT_TRUE(process_wait(child.process, code));
  EXPECT_EQ(code, 0u);
  process_close(child.thread);
  process_close(child.process);
  handle_close(out_read);
}

TEST(ProcessStart, AGrandchildHoldsTheOutputOpenUntilItEnds) {
  test::child_result run = test::run_test_child({"out=" + hex("early "), "grandchild=20"});
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.output, "early late");
}

TEST(ProcessWait, ReportsACrashAsAnAccessViolation) {
  test::child_result run = test::run_test_child({"crash"});
  EXPECT_EQ(run.exit_code, 0xC0000005u);
}

TEST(ProcessWait, ReportsPosixSignalsAsWindowsExceptionCodes) {
  if (on_windows())
    GTEST_SKIP() << "no signals on Windows";
  EXPECT_EQ(test::run_test_child({"abort"}).exit_code, 0xC0000409u);

  // The parent ignores SIGPIPE; the child gets the default back and dies of it.
  process_settings_apply();
  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end));
  handle_close(read_end);
  std::string arguments = test::test_child_arguments({"out=" + hex("x")});
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = arguments.c_str();
  request.inherit_handles = false;  // so that no copy of the read end reaches it either
  request.std_output = write_end;
  process_info child;
  ASSERT_TRUE(process_start(request, child));
  handle_close(write_end);
  std::uint32_t code = 0;
  EXPECT_TRUE(process_wait(child.process, code));
  EXPECT_EQ(code, 0xC0000001u);
}

TEST(ProcessWait, RefusesNoHandleInsteadOfWaitingForSomethingElse) {
  std::uint32_t code = 7;
  EXPECT_FALSE(process_wait(no_handle, code));
  EXPECT_EQ(code, 7u);
}

}  // namespace
}  // namespace pt::platform
