// cmdwrap's exit status and what it leaves in the argument file, row by row: too few
// arguments, unreadable and unwritable argument files, missing and unstartable executables,
// the child's own codes, 259, exception codes, and a failure that reaches the entry.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cmdwrap_run.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "support/child_run.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

const std::uint32_t failed = status_of(-1);

// Only where an exit status keeps all 32 bits can a child end with 259 or an exception code
// of its own choosing.
bool full_exit_codes() { return pt::exit_status_mask == 0xFFFFFFFFu; }

std::string note(const char* code) {
  return std::string("Returned Win32 exception 0x") + code + "\r\n";
}

TEST(ExitStatus, FewerThanTwoArgumentsFailWithTheUsageAndTouchNothing) {
  scratch_file arguments("args");
  arguments.write("hex-args\nkept\n");
  for (auto given : {std::vector<std::string>{}, std::vector<std::string>{arguments.path()}}) {
    wrapper_run run = run_cmdwrap(given);
    EXPECT_EQ(run.status, failed);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Usage: cmdwrap <executable> <argument-file>\n");
  }
  EXPECT_EQ(arguments.read(), "hex-args\nkept\n");
}

TEST(ExitStatus, AnArgumentFileThatCannotBeReadFailsBeforeTheChild) {
  scratch_file missing("missing-args");
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, missing.path()});
  EXPECT_EQ(run.status, failed);
  // ENOENT and ERROR_FILE_NOT_FOUND alike.
  EXPECT_EQ(run.err, "Error: Couldn't read '" + missing.path() + "' error 2\n");
  EXPECT_FALSE(std::filesystem::exists(missing.path()));  // not created either

  scratch_file folder("args-folder");
  std::filesystem::create_directory(folder.path());
  run = run_cmdwrap({ORTO_TEST_CHILD, folder.path()});
  EXPECT_EQ(run.status, failed);
  expect_error_number_line(run.err, "Error: Couldn't read '" + folder.path() + "' error ");
  EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
}

// A file that can be read but not opened for writing, whoever the tests run as: a program
// while it runs (ETXTBSY on Linux, a sharing violation on Windows). It runs until the object
// is destroyed.
class running_program {
 public:
  running_program() : copy_("busy-folder", "busy-") {
    EXPECT_TRUE(platform::pipe_create(gate_read_, gate_write_));
    platform::process_request request;
    request.application = copy_.c_str();
    request.arguments = " wait-stdin";
    request.std_input = gate_read_;
    started_ = platform::process_start(request, child_);
    EXPECT_TRUE(started_) << "error " << platform::last_error();
  }
  ~running_program() {
    // The child holds a copy of the gate's write end too: it passes on a byte, not on the end.
    if (started_) {
      platform::handle_write(gate_write_, "g", 1);
      std::uint32_t code = 0;
      EXPECT_TRUE(platform::process_wait(child_.process, code));
      platform::process_close(child_.thread);
      platform::process_close(child_.process);
    }
    platform::handle_close(gate_read_);
    platform::handle_close(gate_write_);
  }
  running_program(const running_program&) = delete;
  running_program& operator=(const running_program&) = delete;

  const child_copy& file() const { return copy_; }

 private:
  child_copy copy_;
  platform::handle gate_read_ = platform::no_handle, gate_write_ = platform::no_handle;
  platform::process_info child_;
  bool started_ = false;
};

TEST(ExitStatus, AnArgumentFileThatCannotBeWrittenFailsAndStaysAsItWas) {
  running_program program;
  std::string before = program.file().read();
  ASSERT_FALSE(before.empty());
  if (std::FILE* probe = std::fopen(program.file().c_str(), "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "this system lets a running program be opened for writing";
  }
  wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, program.file().path()});
  EXPECT_EQ(run.status, failed);
  // ETXTBSY, or a sharing violation; the child was not started.
  expect_error_number_line(run.err, "Error: Couldn't write '" + program.file().path() + "' error ");
  EXPECT_EQ(program.file().read(), before);
}

TEST(ExitStatus, AnExecutableNamedAsItsOwnArgumentFileIsLeftWhole) {
  child_copy program("victim-folder", "victim-");
  const std::string before = program.read();
  const std::filesystem::path path = program.path();
  const std::string hard_link = path.string() + "-link";
  std::filesystem::create_hard_link(path, hard_link);
  // The same path, another spelling of it, and another name of the same file.
  const std::string other_spelling = (path.parent_path() / "." / path.filename()).string();
  for (const std::string& argument_file : {path.string(), other_spelling, hard_link}) {
    wrapper_run run = run_cmdwrap({program.path(), argument_file});
    EXPECT_EQ(run.status, failed) << argument_file;
    EXPECT_EQ(run.err, "Error: Couldn't use '" + argument_file +
                           "' - the argument file is the executable\n");
    EXPECT_TRUE(program.read() == before) << argument_file;
  }
  std::filesystem::remove(hard_link);
}

TEST(ExitStatus, AMissingExecutableLeavesTheNoteAndAnErrorLine) {
  scratch_file missing("no-such-program");
  auto result = run_child_through_wrapper("hex-args\nx\n", {}, missing.path());
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, note("ffffffff"));
  EXPECT_EQ(result.run.err, "Error: Couldn't run '" + missing.path() + "' - missing executable\n");
}

// The start-failure line: the path, then the OS error number in decimal.
void expect_start_failure(const std::string& err, const std::string& path) {
  expect_error_number_line(err, "Error: Couldn't run '" + path + "' error ");
}

TEST(ExitStatus, ADirectoryAsTheExecutableCannotBeStarted) {
  scratch_file folder("program-folder");
  std::filesystem::create_directory(folder.path());
  auto result = run_child_through_wrapper("x\n", {}, folder.path());
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, note("ffffffff"));
  expect_start_failure(result.run.err, folder.path());
}

// The line of a start refused for a command line too long: E2BIG or, on Windows, 206.
std::string too_long_error() {
  return "Error: Couldn't run '" + std::string(ORTO_TEST_CHILD) + "' error " +
         std::to_string(platform::command_line_too_long) + "\n";
}

TEST(ExitStatus, ACommandLineTooLongIsAStartFailureNeverACutList) {
  // More than a Windows command line (32767) or one Linux argument (128 KiB) holds. (wine
  // would start the child on a line cut to the length modulo 32768.)
  auto result =
      run_child_through_wrapper(hex_args_file({"short", std::string(200000, 'a'), "after"}));
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, note("ffffffff"));
  EXPECT_EQ(result.run.err, too_long_error());
}

TEST(ExitStatus, AnArgumentFilePastItsBoundEndsAsACommandLineTooLong) {
  // 16 MiB are read at most: this file's lines would fit, but not its empty ones.
  const std::string beyond(std::size_t{17} << 20, '\n');
  auto result = run_child_through_wrapper("exit=3\n" + beyond);
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, note("ffffffff"));
  EXPECT_EQ(result.run.err, too_long_error());
}

TEST(ExitStatus, AnExecutableOnALongPathRunsOrIsReportedWithTheOsError) {
  // Deeper than MAX_PATH (260 characters), which the plain file-status query on Windows
  // cannot reach: the file is there all the same, so it is never a missing executable.
  const deep_path program(std::filesystem::path(ORTO_TEST_CHILD).filename().string(), 340);
  std::filesystem::copy_file(ORTO_TEST_CHILD, program.path());
  auto result = run_child_through_wrapper("exit=5\n", {}, program.path());
  if (result.run.status != 5u) {  // Windows starts no program from such a path
    EXPECT_EQ(result.file, note("ffffffff"));
    expect_start_failure(result.run.err, program.path());
  }
}

TEST(ExitStatus, AChildMissingADllEndsWithItsExceptionCodeNotADialog) {
  if (std::string(ORTO_NEEDS_ABSENT_DLL).empty())
    GTEST_SKIP() << "a Windows loader failure: the program exists in the Windows build only";
  auto result = run_child_through_wrapper("x\n", {}, ORTO_NEEDS_ABSENT_DLL);
  EXPECT_EQ(result.run.status, failed);
  EXPECT_TRUE(result.file.ends_with(note("c0000135"))) << result.file;  // DLL not found
  EXPECT_EQ(result.run.err, "");
}

TEST(ExitStatus, TheChildsOwnCodeWithItsOutput) {
  auto result = run_child_through_wrapper("out=" + hex("hello\n") + "\nexit=3\n");
  EXPECT_EQ(result.run.status, 3u);
  EXPECT_EQ(result.file, "hello\r\n");
  EXPECT_EQ(result.run.err, "");

  result = run_child_through_wrapper("exit=0\n");
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, "");

  result = run_child_through_wrapper("exit=200\n");
  EXPECT_EQ(result.run.status, 200u);
}

TEST(ExitStatus, Code259IsNeverRecorded) {
  auto result = run_child_through_wrapper("out=" + hex("still") + "\nexit=259\n");
  if (full_exit_codes()) {
    EXPECT_EQ(result.run.status, failed);
    EXPECT_EQ(result.file, "still\r\n" + note("ffffffff"));
  } else {  // the child's status keeps only the low 8 bits: 3
    EXPECT_EQ(result.run.status, 3u);
    EXPECT_EQ(result.file, "still");
  }
  EXPECT_EQ(result.run.err, "");
}

TEST(ExitStatus, ACrashGivesTheNoteWithItsExceptionCode) {
  auto result = run_child_through_wrapper("out=" + hex("partial\n") + "\ncrash\n");
  EXPECT_EQ(result.run.status, failed);
  // Under wine the crash reporter may write its own text between the two.
  EXPECT_EQ(result.file.substr(0, 9), "partial\r\n");
  std::string tail = "\r\n" + note("c0000005");
  ASSERT_GE(result.file.size(), 9 + tail.size());
  EXPECT_EQ(result.file.substr(result.file.size() - tail.size()), tail);
  EXPECT_EQ(result.run.err, "");
}

TEST(ExitStatus, ExceptionCodesAndMinusOneFromTheChildItself) {
  if (!full_exit_codes())
    GTEST_SKIP() << "a POSIX exit status has 8 bits: no child ends with such a code";
  auto result = run_child_through_wrapper("exit=3221225477\n");  // 0xC0000005
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, note("c0000005"));

  result = run_child_through_wrapper("out=" + hex("x") + "\nexit=4294967295\n");  // -1
  EXPECT_EQ(result.run.status, failed);
  EXPECT_EQ(result.file, "x\r\n" + note("ffffffff"));
  EXPECT_EQ(result.run.err, "");  // only the error line tells a failed start apart

  result = run_child_through_wrapper("exit=3221225471\n");  // 0xBFFFFFFF: no note
  EXPECT_EQ(result.run.status, 0xBFFFFFFFu);
  EXPECT_EQ(result.file, "");
}

}  // namespace
}  // namespace pt::test
