// The process unit with the helper child: the command line, output through the pipe and the
// copy loop, exit codes, start failures, streams with their own OS handles, the input pipe,
// background mode and a failing destination.
#include "ortolib/units/uexec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ortolib/core/exception.h"
#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/inmemory.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/outmemory.h"
#include "ortolib/streams/standard_streams.h"
#include "ortolib/units/unit_thread.h"
#include "support/captured_log.h"
#include "support/child_run.h"
#include "support/eventually.h"
#include "support/fatal_report.h"
#include "support/handle_probes.h"
#include "support/line_ends.h"
#include "support/on_windows.h"
#include "support/process_limits.h"
#include "support/scratch_file.h"
#include "support/signal_report.h"

namespace pt {
namespace {

using test::captured_std_error;
using test::hex;
using test::scratch_file;

std::string text_of(const string& s) {
  return std::string(s.text(), static_cast<std::size_t>(s.length()));
}

// Records the unit's streams after work, so a test can see what work left in the slots.
class observed_exec : public uexec {
 public:
  instm* input_after_work = nullptr;
  outstm* output_after_work = nullptr;

 protected:
  void after_work() override {
    input_after_work = input_stream;
    output_after_work = output_stream;
  }
};

// A unit for the helper child with these commands (each added with add_argument), its
// output collected in memory unless the test gives it another stream (collect false).
struct child_exec {
  observed_exec* unit = addref(new observed_exec);
  outmemory* memory = addref(new outmemory(-1));
  bool collect = true;

  explicit child_exec(const std::vector<std::string>& commands,
                      const char* path = ORTO_TEST_CHILD) {
    unit->path = path;
    for (const std::string& command : commands)
      unit->add_argument(string(command.data(), static_cast<std::int32_t>(command.size())));
  }
  ~child_exec() {
    release(unit);
    release(memory);
  }
  child_exec(const child_exec&) = delete;
  child_exec& operator=(const child_exec&) = delete;

  // Runs the unit; the text in the memory stream afterwards. The memory stream stays open
  // between runs, so a second run adds to the first one's text.
  std::string run() {
    if (collect)
      assign_ref(unit->output_stream, memory);
    unit->run_unit(false);
    return collect ? text_of(memory->collected_text()) : std::string();
  }
};

TEST(Uexec, NewUnitHasItsDefaults) {
  uexec* u = addref(new uexec);
  EXPECT_TRUE(u->path.is_empty());
  EXPECT_EQ(u->args.tag, tag_none);
  EXPECT_EQ(u->exit_code, -1);
  EXPECT_EQ(u->process_handle, platform::no_handle);
  EXPECT_FALSE(u->background);
  EXPECT_TRUE(u->inherit_handles);
  EXPECT_EQ(u->process_id, -1);
  EXPECT_EQ(u->kind_code(), kind_uexec);
  EXPECT_EQ(kind_uexec, 3);
  EXPECT_EQ(u->input_stream, &std_input);
  EXPECT_EQ(u->output_stream, &std_output);
  release(u);
}

TEST(Uexec, CommandLineIsThePathThenEveryItemAfterASpace) {
  uexec* u = addref(new uexec);
  u->path = "/bin/prog";
  EXPECT_STREQ(u->command_line().text(), "/bin/prog");  // args never filled
  array_add(u->args, variant("\"one\""));
  array_add(u->args, variant(""));
  array_add(u->args, variant(42));
  EXPECT_STREQ(u->command_line().text(), "/bin/prog \"one\"  42");
  u->args = variant("not an array");  // counts as an empty list
  EXPECT_STREQ(u->command_line().text(), "/bin/prog");
  release(u);
}

TEST(Uexec, AddArgumentMakesEachArgumentOneQuotedItem) {
  uexec* u = addref(new uexec);
  u->path = "/bin/sh";
  u->add_argument("-c");
  u->add_argument("echo hi; exit 3");
  u->add_argument(string("a\\\0b", 4));  // cut at the NUL, the trailing backslash doubled
  EXPECT_EQ(array_length(u->args), 3);
  EXPECT_STREQ(u->command_line().text(), R"(/bin/sh "-c" "echo hi; exit 3" "a\\")");
  release(u);
}

TEST(Uexec, APathWithBlanksOrQuotesIsQuotedAtTheHead) {
  uexec* u = addref(new uexec);
  struct row {
    const char* path;
    const char* head;
  };
  for (row r : {row{"C:\\Program Files\\x.exe", "\"C:\\Program Files\\x.exe\""},
                row{"/a\tb/c", "\"/a\tb/c\""}, row{"/odd\"name", "\"/odd\"\"name\""},
                row{"C:\\plain\\x.exe", "C:\\plain\\x.exe"}}) {
    u->path = r.path;
    EXPECT_STREQ(u->command_line().text(), r.head);
    // The program-name rule of the C runtime reads the head back as the path, without the
    // quote that a path (never one on Windows) may hold.
    std::string expected = r.path;
    std::erase(expected, '"');
    EXPECT_EQ(command_line_split(r.head), std::vector<std::string>{expected});
  }
  release(u);
}

TEST(Uexec, CollectsStandardOutputAndStandardErrorInOrder) {
  child_exec child({"out=" + hex("to out\n"), "err=" + hex("to err\n"), "out=" + hex("end")});
  EXPECT_EQ(child.run(), "to out\nto err\nend");
  EXPECT_EQ(child.unit->exit_code, 0);
  EXPECT_EQ(child.unit->process_handle, platform::no_handle);
  EXPECT_EQ(child.unit->process_id, -1);
  // work put the memory stream back; the finished run then gave the slot std_output.
  EXPECT_EQ(child.unit->output_after_work, child.memory);
  EXPECT_EQ(child.unit->input_after_work, &std_input);
  EXPECT_EQ(child.unit->output_stream, &std_output);
  EXPECT_EQ(child.memory->refcount, 1);
}

TEST(Uexec, ArgumentsArriveByteForByte) {
  std::vector<std::string> arguments = {
      "two  words", "say \"hi\"", "C:\\dir\\", "a\\\\\"b", std::string("\x80\xff\t\x01", 4),
      " ",          "*?"};
  std::vector<std::string> commands = {"hex-args"};
  commands.insert(commands.end(), arguments.begin(), arguments.end());
  child_exec child(commands);
  EXPECT_EQ(child.run(), test::hex_lines(arguments));
}

TEST(Uexec, AChildThatWritesNothingGivesEmptyOutputAndItsCode) {
  child_exec child({"exit=3"});
  EXPECT_EQ(child.run(), "");
  EXPECT_EQ(child.unit->exit_code, 3);
}

TEST(Uexec, BinaryAndLargeOutputPassesUnchanged) {
  std::string binary("\0\r\n\x1a\xff", 5);
  child_exec child({"out=" + hex(binary), "fill=300000", "err=" + hex(binary)});
  std::string output = child.run();
  ASSERT_EQ(output.size(), 300010u);
  EXPECT_EQ(output.substr(0, 5), binary);
  EXPECT_EQ(output.substr(300005), binary);
  for (std::size_t i = 0; i < 300000; ++i)
    ASSERT_EQ(output[5 + i], "0123456789abcdef"[i % 16]) << i;
}

TEST(Uexec, AMemoryStreamWithALimitKeepsItsFirstBytesAndTheRunSaysItWasCut) {
  // Past the limit the pipe is still read to its end, so a child that writes more than the
  // stream keeps, and more than a pipe holds, is not left blocked.
  captured_std_error errors;
  child_exec child({"fill=300000", "exit=4"});
  release(child.memory);
  child.memory = addref(new outmemory(100001));
  const std::string output = child.run();
  ASSERT_EQ(output.size(), 100001u);
  for (std::size_t i = 0; i < output.size(); ++i)
    ASSERT_EQ(output[i], "0123456789abcdef"[i % 16]) << i;
  EXPECT_EQ(child.unit->exit_code, 4);
  const std::string message = "Output cut at its limit of 100001 bytes (199999 more bytes dropped)";
  EXPECT_TRUE(child.unit->failed());
  EXPECT_EQ(text_of(child.unit->last_error()), message);
  EXPECT_EQ(errors.text(), "Error: " + message + "\n");
  // Up to the limit exactly is no cut.
  child_exec exact({"fill=300"});
  release(exact.memory);
  exact.memory = addref(new outmemory(300));
  EXPECT_EQ(exact.run().size(), 300u);
  EXPECT_FALSE(exact.unit->failed());
}

TEST(Uexec, ExceptionCodesAreRecordedAnd259NeverIs) {
  child_exec crashed({"out=" + hex("partial"), "crash"});
  // Under wine the crash reporter may add its own text on the child's standard error.
  EXPECT_EQ(crashed.run().substr(0, 7), "partial");
  EXPECT_EQ(crashed.unit->exit_code, -1073741819);  // 0xC0000005

  child_exec still_active({"exit=259"});
  still_active.run();
  // Only where an exit status keeps all 32 bits can a child end with 259.
  EXPECT_EQ(still_active.unit->exit_code,
            pt::exit_status_mask == 0xFFFFFFFFu ? -1 : static_cast<int>(259 & 0xFF));
}

TEST(Uexec, TheSameUnitRunsItsCommandAgain) {
  child_exec child({"out=" + hex("again")});
  EXPECT_EQ(child.run(), "again");
  EXPECT_EQ(child.run(), "againagain");
  EXPECT_EQ(child.unit->exit_code, 0);
}

TEST(Uexec, AFailedStartKeepsNoExitCodeFromTheRunBefore) {
  captured_std_error errors;
  scratch_file missing("no-such-program"), folder("folder");
  std::filesystem::create_directory(folder.path());
  child_exec child({"exit=7"});
  for (const scratch_file* failing : {&missing, &folder}) {
    child.unit->path = ORTO_TEST_CHILD;
    child.run();
    ASSERT_EQ(child.unit->exit_code, 7);
    child.unit->path = failing->c_str();
    child.run();
    EXPECT_EQ(child.unit->exit_code, -1) << failing->path();
  }
}

TEST(Uexec, OutputEndsOnlyWhenTheGrandchildHasClosedThePipe) {
  child_exec child({"grandchild=50", "out=" + hex("child\n")});
  EXPECT_EQ(child.run(), "child\nlate");
  EXPECT_EQ(child.unit->exit_code, 0);
}

TEST(Uexec, AMissingExecutableIsReportedAndNothingIsReplaced) {
  captured_std_error errors;
  scratch_file missing("no-such-program");
  child_exec child({"out=" + hex("x")}, missing.c_str());
  EXPECT_EQ(child.run(), "");
  EXPECT_EQ(child.unit->exit_code, -1);
  EXPECT_EQ(errors.text(), "Error: Couldn't run '" + missing.path() + "' - missing executable\n");
  EXPECT_EQ(child.unit->output_after_work, child.memory);
}

TEST(Uexec, ADirectoryPassesTheStatusQueryAndFailsToStart) {
  captured_std_error errors;
  scratch_file folder("folder");
  std::filesystem::create_directory(folder.path());
  child_exec child({}, folder.c_str());
  child.run();
  EXPECT_EQ(child.unit->exit_code, -1);
  EXPECT_EQ(child.unit->process_handle, platform::no_handle);
  EXPECT_EQ(child.unit->output_after_work, child.memory);  // put back after the failure
  EXPECT_TRUE(child.memory->is_active);
  EXPECT_EQ(child.memory->refcount, 1);
  std::string prefix = "Error: Couldn't run '" + folder.path() + "' error ";
  std::string report = errors.text();
  ASSERT_EQ(report.substr(0, prefix.size()), prefix) << report;
  std::string number = report.substr(prefix.size());
  ASSERT_GE(number.size(), 2u);
  EXPECT_EQ(number.back(), '\n');
  number.pop_back();
  EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
  EXPECT_NE(number[0], '0');
}

TEST(Uexec, ACommandLineTooLongForTheOsIsAStartFailureNotACutList) {
  captured_std_error errors;
  // Beyond what Windows takes on a command line (32767) and what Linux takes in one argument
  // (128 KiB).
  child_exec child({"hex-args", std::string(300000, 'a'), "after"});
  EXPECT_EQ(child.run(), "");
  EXPECT_EQ(child.unit->exit_code, -1);
  EXPECT_EQ(errors.text().rfind("Error: Couldn't run '" ORTO_TEST_CHILD "' error ", 0), 0u)
      << errors.text();
}

TEST(Uexec, PathWithSpacesStartsTheRightProgramWithItsArguments) {
  scratch_file folder("folder with  spaces");
  std::filesystem::create_directory(folder.path());
  std::filesystem::path copy =
      std::filesystem::path(folder.path()) /
      ("test child " + std::filesystem::path(ORTO_TEST_CHILD).filename().string());
  std::filesystem::copy_file(ORTO_TEST_CHILD, copy);
  std::string output;
  {
    // The grandchild is started from the child's argv[0], so it runs only if argv[0] is the
    // whole path.
    child_exec child({"grandchild=0", "hex-args", "first", "x y"}, copy.string().c_str());
    output = child.run();
    EXPECT_EQ(child.unit->exit_code, 0);
  }
  std::filesystem::remove(copy);
  std::string lines = hex("first") + "\n" + hex("x y") + "\n";
  EXPECT_TRUE(test::inserted_between_lines(output, lines, "late")) << output;
}

TEST(Uexec, AnOutputFileIsGivenToTheChildDirectly) {
  scratch_file target("child-output");
  outfile* file = addref(new outfile(string(target.c_str())));
  child_exec child({"out=" + hex("direct\n"), "err=" + hex("also\n")});
  child.collect = false;
  assign_ref(child.unit->output_stream, file);
  child.run();
  EXPECT_EQ(child.unit->output_after_work, file);
  EXPECT_TRUE(file->is_active);  // not a pipe end: the parent keeps its handle open
  EXPECT_EQ(child.unit->exit_code, 0);
  file->close_stream();
  EXPECT_EQ(target.read(), "direct\nalso\n");
  release(file);
}

TEST(Uexec, TheDefaultStreamsAreGivenToTheChildAndStayOpen) {
  test::captured_log output(std_output, platform::std_handle_id::output);
  uexec* u = addref(new uexec);
  u->path = ORTO_TEST_CHILD;
  array_add(u->args, variant(("out=" + hex("on standard output\n")).c_str()));
  u->run_unit(false);
  EXPECT_EQ(u->exit_code, 0);
  EXPECT_TRUE(std_output.is_active);  // a log file is no pipe end: never closed by the run
  EXPECT_TRUE(std_input.is_active);
  EXPECT_EQ(output.text(), "on standard output\n");
  release(u);
}

TEST(Uexec, AnInputFileIsTheChildsStandardInput) {
  scratch_file source("child-input");
  source.write("from a file\n");
  infile* file = addref(new infile(string(source.c_str())));
  child_exec child({"stdin"});
  assign_ref(child.unit->input_stream, file);
  EXPECT_EQ(child.run(), "from a file\n");
  EXPECT_EQ(child.unit->input_after_work, file);
  release(file);
}

// Input without an OS handle: a memory text read through the stream machinery.
class text_input : public instm {
 public:
  std::string data;
  std::size_t offset = 0;
  int device_reads = 0;

  explicit text_input(std::string data) : instm(-1), data(std::move(data)) {}
  ~text_input() override { close_stream(); }

 protected:
  void device_open() override { offset = 0; }
  string stream_name() override { return "text"; }
  std::int32_t device_read(void* destination, std::int32_t count) override {
    ++device_reads;
    auto n = static_cast<std::int32_t>(std::min<std::size_t>(count, data.size() - offset));
    std::copy_n(data.data() + offset, n, static_cast<char*>(destination));
    offset += static_cast<std::size_t>(n);
    return n;
  }
};

TEST(Uexec, AnInputWithoutHandleIsFedThroughAPipe) {
  text_input* input = addref(new text_input("g"));
  // The child holds the pipe's write end too, so its input never ends while it runs: the
  // gate opens only when the fed byte arrives.
  child_exec child({"wait-stdin", "out=" + hex("through")});
  assign_ref(child.unit->input_stream, input);
  EXPECT_EQ(child.run(), "through");
  EXPECT_GE(input->device_reads, 1);
  EXPECT_EQ(child.unit->input_after_work, input);
  EXPECT_EQ(child.unit->exit_code, 0);
  EXPECT_EQ(input->refcount, 2);  // the test's and the unit's
  release(input);
}

// Both sides through pipes with far more than the pipes hold: a child that copies its input,
// one that writes twice what it reads, and one that never reads it, whose output is still
// collected and whose unread input is no failure.
TEST(Uexec, FeedingAndCollectingNeverWaitOnEachOther) {
  std::string input(std::size_t{8} << 20, '\0');
  for (std::size_t i = 0; i < input.size(); ++i)
    input[i] = static_cast<char>('a' + i % 26);
  std::string doubled;
  for (char c : input)
    doubled.append(2, c);
  const struct {
    const char* command;
    const std::string& expected;
  } rows[] = {{"stdin", input}, {"stdin-doubled", doubled}, {"fill=16", "0123456789abcdef"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    captured_std_error errors;
    text_input* source = addref(new text_input(input));
    child_exec child({row.command});
    assign_ref(child.unit->input_stream, source);
    const std::string output = child.run();
    EXPECT_EQ(output.size(), row.expected.size());
    EXPECT_TRUE(output == row.expected);
    EXPECT_EQ(child.unit->exit_code, 0);
    EXPECT_EQ(errors.text(), "");
    EXPECT_EQ(child.unit->input_after_work, source);
    release(source);
  }
}

// A memory text as the child's input: 50 MiB through a child that copies its input to its
// output, every byte back in order.
TEST(Uexec, AnInmemoryInputReachesTheChildWhole) {
  std::string data(std::size_t{50} << 20, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 7 + i / 4093);  // every byte value, in no short period
  inmemory* source = addref(new inmemory(data.data(), static_cast<std::int32_t>(data.size())));
  child_exec child({"stdin"});
  assign_ref(child.unit->input_stream, source);
  const std::string output = child.run();
  EXPECT_EQ(output.size(), data.size());
  EXPECT_TRUE(output == data);
  EXPECT_EQ(child.unit->exit_code, 0);
  EXPECT_FALSE(child.unit->failed());
  release(source);
}

// From another thread: a run in progress ends as for a child killed from outside, and a held
// child of background mode ends too. Nothing is left to end afterwards.
TEST(Uexec, TerminateChildEndsTheRunningOrHeldChild) {
  child_exec running({"sleep=60000"});
  assign_ref(running.unit->output_stream, running.memory);
  running.unit->run_unit(true);
  while (!running.unit->terminate_child())  // until the worker has started the child
    std::this_thread::yield();
  running.unit->wait_run();
  EXPECT_EQ(static_cast<std::uint32_t>(running.unit->exit_code), pt::killed_exit_code);
  EXPECT_EQ(running.unit->exit_signal, test::on_windows() ? 0 : 9);  // SIGKILL
  EXPECT_EQ(running.unit->process_handle, platform::no_handle);
  EXPECT_FALSE(running.unit->terminate_child());

  child_exec held({"sleep=60000"});
  held.unit->background = true;
  held.run();
  const auto id = static_cast<std::uint32_t>(held.unit->process_id);
  ASSERT_TRUE(held.unit->terminate_child());
  EXPECT_TRUE(test::eventually([&] { return test::process_gone(id); }));
  EXPECT_TRUE(test::eventually([&] { return !held.unit->terminate_child(); }));
}

// The child starts in the unit's working directory with the environment changed as asked;
// without them it gets the process's own.
TEST(Uexec, AChildRunsInItsWorkingDirectoryWithItsEnvironment) {
  const scratch_file directory("working-directory");
  std::filesystem::create_directory(directory.path());
  struct settings {
    string working_directory;
    variant environment;
    bool inherit_environment = true;
  };
  // The child's working directory; lines gets the values of its variables, a line each.
  const auto run = [](const settings& given, std::string& lines) {
    child_exec child({"cwd", "env=ORTO_ADDED", "env=PATH", "env=ORTO_ONLY"});
    child.unit->working_directory = given.working_directory;
    child.unit->environment = given.environment;
    child.unit->inherit_environment = given.inherit_environment;
    lines = child.run();
    const std::size_t end = lines.find('\n');
    const std::string where = lines.substr(0, end);
    lines.erase(0, end + 1);
    return std::filesystem::path(where);
  };
  settings changed;
  changed.working_directory = directory.c_str();
  array_add(changed.environment, variant("ORTO_ADDED=first"));
  array_add(changed.environment, variant("ORTO_ADDED=one = two"));  // the last one holds
  array_add(changed.environment, variant("PATH"));                  // removed
  std::string lines;
  EXPECT_TRUE(std::filesystem::equivalent(run(changed, lines), directory.path()));
  EXPECT_EQ(lines, "one = two\nunset\nunset\n");

  settings alone;  // these variables alone
  alone.inherit_environment = false;
  array_add(alone.environment, variant("ORTO_ONLY=1"));
  run(alone, lines);
  EXPECT_EQ(lines, "unset\nunset\n1\n");

  EXPECT_TRUE(std::filesystem::equivalent(run(settings(), lines), std::filesystem::current_path()));
  EXPECT_EQ(lines.substr(0, 6), "unset\n");
  EXPECT_NE(lines.substr(6, 6), "unset\n") << "PATH";
}

TEST(Uexec, AMissingWorkingDirectoryFailsTheRunBeforeItStarts) {
  captured_std_error errors;
  child_exec child({"mark=" + hex(scratch_file("never").path())});
  child.unit->working_directory = "no such directory";
  child.run();
  EXPECT_TRUE(child.unit->failed());
  EXPECT_EQ(text_of(child.unit->last_error()),
            "Couldn't run '" ORTO_TEST_CHILD "' - missing working directory 'no such directory'");
  EXPECT_EQ(child.unit->exit_code, -1);
}

// A child whose own child holds the output: terminate_child ends them both, and the run ends
// with what was written, instead of waiting for the grandchild to close the pipe.
TEST(Uexec, TerminateChildEndsTheChildsTreeAndTheRunEndsWithTheOutputSoFar) {
  scratch_file started("tree-started");
  platform::handle probe_read = platform::no_handle, probe_write = platform::no_handle;
  ASSERT_TRUE(platform::pipe_create(probe_read, probe_write));
  test::make_inheritable(probe_write);  // held by the child and the grandchild alike
  child_exec tree(
      {"out=" + hex("started"), "grandchild=60000", "mark=" + hex(started.path()), "sleep=60000"});
  assign_ref(tree.unit->output_stream, tree.memory);
  tree.unit->run_unit(true);
  platform::handle_close(probe_write);
  ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(started.path()); }));
  EXPECT_TRUE(tree.unit->terminate_child());
  tree.unit->wait_run();
  EXPECT_EQ(static_cast<std::uint32_t>(tree.unit->exit_code), pt::killed_exit_code);
  EXPECT_EQ(text_of(tree.memory->collected_text()), "started");
  EXPECT_TRUE(test::eventually([&] { return !test::pipe_has_writer(probe_read); }))
      << "the grandchild outlives terminate_child";
  platform::handle_close(probe_read);
}

// Something that left the tree on purpose and holds the output cannot keep a terminated run
// open: once the child has ended, the run reads on for a grace only. The escapee waits at a
// gate (its standard input) that the test opens at the end.
TEST(Uexec, ATerminatedRunEndsWhenWhatHoldsTheOutputLeftTheTree) {
  scratch_file started("escapee-started");
  platform::handle gate_read = platform::no_handle, gate_write = platform::no_handle;
  ASSERT_TRUE(platform::pipe_create(gate_read, gate_write));
  infile* gate = addref(new infile);
  gate->attach_handle(gate_read);
  child_exec run({"out=" + hex("started"), "escapee=" + hex(" wait-stdin"),
                  "mark=" + hex(started.path()), "sleep=60000"});
  assign_ref(run.unit->input_stream, gate);
  assign_ref(run.unit->output_stream, run.memory);
  run.unit->run_unit(true);
  ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(started.path()); }));
  EXPECT_TRUE(run.unit->terminate_child());
  run.unit->wait_run();  // would wait at the gate without the grace
  EXPECT_EQ(text_of(run.memory->collected_text()), "started");
  platform::handle_close(gate_write);
  release(gate);
}

// Its work still runs on the worker: the report names the unit's own class and the process
// ends at once, without the clean-ups the work could still be using (clean under TSan).
// What the helper child's fill=<count> writes.
std::string fill_pattern(std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = "0123456789abcdef"[i % 16];
  return bytes;
}

// Standard error apart: both pipes are read at once, so a child that fills either first never
// waits for the other to be read, whichever order it writes them in.
TEST(Uexec, StandardErrorGoesApartToItsOwnStreamWithoutAWait) {
  constexpr std::size_t size = std::size_t{8} << 20;
  for (const char* first : {"fill-err=", "fill="}) {
    const char* second = std::string_view(first) == "fill=" ? "fill-err=" : "fill=";
    child_exec child({first + std::to_string(size), second + std::to_string(size), "exit=3"});
    outmemory* errors = addref(new outmemory(-1));
    assign_ref(child.unit->error_stream, errors);
    EXPECT_TRUE(child.run() == fill_pattern(size)) << "standard output";
    EXPECT_TRUE(text_of(errors->collected_text()) == fill_pattern(size)) << "standard error";
    EXPECT_EQ(child.unit->exit_code, 3);
    EXPECT_FALSE(child.unit->failed());
    release(errors);
  }
}

// A time limit ends the child and its tree and keeps the output so far; the run fails and
// says it timed out, which no exit code can say.
TEST(Uexec, ATimeLimitEndsTheTreeAndKeepsTheOutput) {
  captured_std_error errors;
  platform::handle probe_read = platform::no_handle, probe_write = platform::no_handle;
  ASSERT_TRUE(platform::pipe_create(probe_read, probe_write));
  test::make_inheritable(probe_write);  // held by the child and the grandchild alike
  child_exec child({"out=" + hex("started"), "grandchild=60000", "sleep=60000"});
  child.unit->time_limit = 500;
  const std::string output = child.run();
  platform::handle_close(probe_write);
  EXPECT_EQ(output, "started");
  EXPECT_TRUE(child.unit->timed_out());
  EXPECT_EQ(text_of(child.unit->last_error()),
            "Couldn't finish '" ORTO_TEST_CHILD "' - timed out after 500 ms");
  EXPECT_EQ(static_cast<std::uint32_t>(child.unit->exit_code), pt::killed_exit_code);
  EXPECT_TRUE(test::eventually([&] { return !test::pipe_has_writer(probe_read); }))
      << "something the child started outlives the limit";
  platform::handle_close(probe_read);

  child.unit->args = variant();
  child.unit->add_argument("exit=2");
  child.run();  // well within the limit: nothing else changes
  EXPECT_FALSE(child.unit->timed_out());
  EXPECT_EQ(child.unit->exit_code, 2);
}

// The signal that ended a POSIX child is kept beside its exception code; 0 on Windows.
TEST(Uexec, TheSignalThatEndedTheChildIsKept) {
  scratch_file started("signal-started"), pid_file("signal-pid");
  child_exec killed({"pid=" + hex(pid_file.path()), "mark=" + hex(started.path()), "sleep=60000"});
  killed.unit->run_unit(true);
  ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(started.path()); }));
  std::uint32_t pid = 0;
  ASSERT_TRUE(std::ifstream(pid_file.path()) >> pid);
  if (!test::process_signal(pid, test::test_signal::terminate))
    killed.unit->terminate_child();  // no signals: TerminateProcess
  killed.unit->wait_run();
  EXPECT_EQ(killed.unit->exit_signal, test::on_windows() ? 0 : 15);  // SIGTERM
  EXPECT_EQ(static_cast<std::uint32_t>(killed.unit->exit_code), pt::killed_exit_code);

  child_exec exited({"exit=9"});
  exited.run();
  EXPECT_EQ(exited.unit->exit_code, 9);
  EXPECT_EQ(exited.unit->exit_signal, 0);
}

TEST(UexecDeathTest, DestroyingAUnitWhoseWorkStillRunsIsFatalAndNamesItsClass) {
  scratch_file started("doomed-started");
  EXPECT_FATAL(
      {
        auto* u = addref(new observed_exec);
        u->path = ORTO_TEST_CHILD;
        u->add_argument(("mark=" + hex(started.path())).c_str());
        u->add_argument("sleep=1000");  // still running when the unit goes
        u->run_unit(true);
        test::eventually([&] { return std::filesystem::exists(started.path()); });
        release(u);
      },
      fatal_unit_running,
      "Fatal \\[c003c\\]: Unit destroyed while running \\[pt::\\(anonymous "
      "namespace\\)::observed_exec\\]");
}

// A held child (background mode) is the unit's while it runs: the next run fails and says so.
// It is reaped when it ends, with nobody waiting for it, and the run after it starts anew.
TEST(Uexec, AHeldChildFailsTheNextRunWhileItRunsAndIsReapedWhenItEnds) {
  captured_std_error errors;
  child_exec held({"sleep=60000"});
  held.collect = false;
  held.unit->background = true;
  held.run();
  EXPECT_FALSE(held.unit->failed());
  const platform::handle first = held.unit->process_handle;
  const auto first_id = static_cast<std::uint32_t>(held.unit->process_id);
  ASSERT_NE(first, platform::no_handle);

  held.run();
  EXPECT_TRUE(held.unit->failed());
  EXPECT_EQ(text_of(held.unit->last_error()),
            "Couldn't run '" ORTO_TEST_CHILD
            "' - the child of an earlier run still runs (process " +
                std::to_string(first_id) + ")");
  EXPECT_EQ(held.unit->process_handle, first);

  ASSERT_TRUE(held.unit->terminate_child());
  EXPECT_TRUE(test::eventually([&] { return test::process_gone(first_id); }));
  held.unit->background = false;
  held.unit->args = variant();
  held.unit->add_argument("exit=4");
  held.run();
  EXPECT_FALSE(held.unit->failed());
  EXPECT_EQ(held.unit->exit_code, 4);
  EXPECT_EQ(held.unit->process_handle, platform::no_handle);
}

// Whatever becomes of the unit, the child it let run on is reaped once it ends.
TEST(Uexec, ABackgroundChildOfADestroyedUnitIsReapedWhenItEnds) {
  auto* u = addref(new uexec);
  u->path = ORTO_TEST_CHILD;
  u->add_argument("sleep=200");
  u->background = true;
  u->run_unit(false);
  const auto id = static_cast<std::uint32_t>(u->process_id);
  release(u);
  EXPECT_TRUE(test::eventually([&] { return test::process_gone(id); }));
}

// An output whose device fails on the first write with "Disk full".
class failing_output : public outstm {
 public:
  failing_output() : outstm(false, 0) {}
  ~failing_output() override { close_stream(); }

 protected:
  void device_open() override {}
  string stream_name() override { return "failing"; }
  std::int32_t device_write(const void*, std::int32_t) override {
    raise_stream_error(28, "Couldn't write");
  }
};

TEST(Uexec, AStreamErrorInTheCopyLoopLeavesTheChildHeldAndReapedWhenItEnds) {
  captured_std_error errors;
  failing_output* output = addref(new failing_output);
  observed_exec* u = addref(new observed_exec);
  u->path = ORTO_TEST_CHILD;
  u->add_argument("fill=10");
  u->add_argument("sleep=60000");
  assign_ref(u->output_stream, output);
  u->run_unit(false);
  EXPECT_EQ(errors.text(), "Error: Disk full [failing]\n");
  EXPECT_EQ(u->exit_code, -1);
  EXPECT_EQ(u->output_after_work, output);  // put back, and the pipe ends released
  EXPECT_EQ(output->refcount, 1);
  ASSERT_NE(u->process_handle, platform::no_handle);
  const auto id = static_cast<std::uint32_t>(u->process_id);

  u->run_unit(false);  // still the unit's: a failure, never a run that did nothing
  EXPECT_TRUE(u->failed());
  EXPECT_NE(text_of(u->last_error()).find("still runs"), std::string::npos);
  EXPECT_TRUE(u->terminate_child());
  EXPECT_TRUE(test::eventually([&] { return test::process_gone(id); }));
  release(u);
  release(output);
}

// An input whose device fails on the first read.
class failing_input : public instm {
 public:
  failing_input() : instm(-1) {}
  ~failing_input() override { close_stream(); }

 protected:
  void device_open() override {}
  string stream_name() override { return "failing"; }
  std::int32_t device_read(void*, std::int32_t) override { raise_stream_error(5, "Couldn't read"); }
};

// A feed that fails leaves the child held, and it is reaped when it ends.
TEST(Uexec, AChildLeftByAFailedFeedIsReapedWhenItEnds) {
  captured_std_error errors;
  failing_input* input = addref(new failing_input);
  child_exec child({"stdin"});
  assign_ref(child.unit->input_stream, input);
  child.run();
  EXPECT_TRUE(child.unit->failed());
  ASSERT_NE(child.unit->process_id, -1);
  const auto id = static_cast<std::uint32_t>(child.unit->process_id);
  EXPECT_TRUE(test::eventually([&] { return test::process_gone(id); }));
  release(input);
}

TEST(Uexec, AStandInChildInheritsWhatAnyOtherDoesAndTheRunLeavesNoHandlerBehind) {
  const std::string before = test::signal_report();
  child_exec plain({"signals", "exit=3"});
  const std::string inherited = plain.run();
  child_exec stand_in({"signals", "exit=3"});
  stand_in.unit->stand_in = true;
  EXPECT_EQ(stand_in.run(), inherited);
  EXPECT_EQ(stand_in.unit->exit_code, 3);
  EXPECT_EQ(test::signal_report(), before);
}

}  // namespace
}  // namespace pt
