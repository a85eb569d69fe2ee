// The cmdwrap entry: runs the executable named by the first argument with the lines of the
// argument file (the second) as its arguments, writes the child's output back over that file
// and ends with the child's exit code, or -1 for any failure of its own.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "argument_file.h"
#include "ortolib/core/component.h"
#include "ortolib/core/fatal.h"
#include "ortolib/core/string.h"
#include "ortolib/platform/ansi_command_line.h"
#include "ortolib/platform/command_line_room.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/files.h"
#include "ortolib/platform/program_arguments.h"
#include "ortolib/platform/text_encoding.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/outmemory.h"
#include "ortolib/streams/standard_streams.h"
#include "ortolib/units/uexec.h"
#include "result_file.h"

namespace cmdwrap {
namespace {

// A failure of cmdwrap's own: no exit code.
constexpr int failure_status = pt::no_exit_code;

// Ends the process with status. cmdwrap runs on its main thread alone, so the standard exit,
// which runs the library's clean-ups (the standard streams, the globals), is safe here.
[[noreturn]] void end_process(int status) {
  std::exit(status);  // NOLINT(concurrency-mt-unsafe): single-threaded program
}

// Memory exhausted anywhere, in a container of cmdwrap's own as in the library's blocks, is the
// fatal report with its code, never an exception that ends the run as a silent -1.
[[noreturn]] void out_of_memory() { pt::fatal_error(pt::fatal::out_of_memory); }

// For a person who runs cmdwrap by hand without its arguments (a caller always passes two).
void print_usage() {
  try {
    pt::std_error.write_text("Usage: cmdwrap <executable> <argument-file>\n");
  } catch (pt::exception* error) {
    delete error;  // no standard error to tell: the status alone must do
  }
}

// Neither the unit nor the memory stream is destroyed before the process ends: the reference
// taken on each is never given back. They are kept here, not only on the stack, so that they
// stay reachable to the end (a leak checker sees them as live).
pt::uexec* child = nullptr;
pt::outmemory* collected = nullptr;

// Closes the result file when a failure ends the run before the write takes the file over, so
// that the process leaves nothing open behind it on that path either.
struct result_file_closer {
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

// cmdwrap's own two paths come from its wide command line on Windows (program_arguments), in
// UTF-8, so that a path holding characters the ANSI code page lacks still names its file.
constexpr pt::text_encoding path_encoding = pt::text_encoding::utf8;

// A path as messages name it: as the caller's argv would spell it.
std::string shown(const std::string& path) { return pt::ansi_text(path, path_encoding); }

// The line on standard error for an argument file that cannot be read or rewritten (verb
// "read" or "write"), with the OS error number.
void report_file_failure(const char* verb, const std::string& path, std::uint32_t error) {
  pt::std_error.format("Error: Couldn't %s '%s' error %u\n", verb, shown(path).c_str(), error);
}

// A program that reads its ANSI command line (Windows) must find the lines there as its
// arguments too: a character that would move an argument boundary in that view ends the run
// before the file is touched, naming the line (or the executable's path), the character and
// what it becomes (ansi_command_line.h).
void refuse_ansi_change(const std::string& executable, const std::string& argument_file,
                        const argument_lines& arguments) {
  const std::optional<pt::ansi_argument_change> change =
      pt::ansi_command_line_change(executable, path_encoding, arguments.lines, arguments.encoding);
  if (!change)
    return;
  const auto character = static_cast<std::uint32_t>(change->character);
  const char* consequence = "on the ANSI command line and would change the arguments";
  if (change->argument == 0) {
    pt::std_error.format("Error: Couldn't run '%s' - U+%04X in the path becomes '%s' %s\n",
                         shown(executable).c_str(), character, change->becomes.c_str(),
                         consequence);
  } else {
    pt::std_error.format("Error: Couldn't use '%s' - line %u: U+%04X becomes '%s' %s\n",
                         shown(argument_file).c_str(), arguments.line_numbers[change->argument - 1],
                         character, change->becomes.c_str(), consequence);
  }
  end_process(failure_status);
}

// Reads the argument file into the child's arguments; a file that cannot be read or decoded,
// or whose lines a program reading its ANSI command line would get otherwise, ends the run,
// untouched.
void take_arguments(const std::string& executable, const std::string& argument_file) {
  pt::command_line_room room(executable, path_encoding);
  argument_lines arguments =
      read_argument_lines(argument_file.c_str(), room, argument_file_bound, path_encoding);
  if (!arguments.undecodable.empty()) {
    pt::std_error.format("Error: Couldn't read '%s' - %s\n", shown(argument_file).c_str(),
                         arguments.undecodable.c_str());
    end_process(failure_status);
  }
  if (!arguments.opened) {
    report_file_failure("read", argument_file, arguments.error);
    end_process(failure_status);
  }
  refuse_ansi_change(executable, argument_file, arguments);
  // Each line reaches the child as one argument, quoted for the C-runtime rules, in the
  // encoding the file was read in.
  child->argument_encoding = arguments.encoding;
  for (const std::string& line : arguments.lines)
    child->add_argument(pt::string(line.data(), pt::string_length_of(line.size())));
  // More than a command line holds: the run ends as a command line too long for the OS ends.
  child->arguments_overflow = arguments.too_long;
}

[[noreturn]] void run(const std::string& executable, const std::string& argument_file) {
  // The result would overwrite the program itself (and it would then fail to start, being open
  // for writing): refused before anything is opened, by identity, so another path or a link to
  // the same file is caught as well.
  if (pt::same_file(executable.c_str(), argument_file.c_str(), path_encoding)) {
    pt::std_error.format("Error: Couldn't use '%s' - the argument file is the executable\n",
                         shown(argument_file).c_str());
    end_process(failure_status);
  }
  child = pt::addref(new pt::uexec);
  child->path = executable.c_str();
  child->path_encoding = path_encoding;
  // cmdwrap stands in for its child: a caller that stops cmdwrap stops the child and still gets
  // what the child wrote, and a cmdwrap killed outright leaves no child behind.
  child->stand_in = true;
  take_arguments(executable, argument_file);

  // From here to the end a stop never ends cmdwrap with the file empty or cut: one before the
  // child exists keeps it from starting (the note for a run without an exit code), one while
  // it runs reaches it, one after lets the result be written.
  pt::uexec::hold_stops_until_exit();
  // Truncates the file: from here on the argument lines are gone from disk.
  std::unique_ptr<std::FILE, result_file_closer> result(
      open_result_file(argument_file.c_str(), path_encoding));
  if (!result) {
    report_file_failure("write", argument_file, pt::last_c_file_error());
    end_process(failure_status);
  }

  collected = pt::addref(new pt::outmemory(-1));
  pt::assign_ref(child->output_stream, collected);
  child->run_unit(false);

  const std::int32_t code = child->exit_code;
  pt::string text = collected->collected_text();
  write_failure failure;
  const std::int32_t status = write_result_file(
      result.release(), std::string_view(text.text(), static_cast<std::size_t>(text.length())),
      code, &failure);
  if (failure.failed)
    report_file_failure("write", argument_file, failure.error);
  end_process(status);
}

}  // namespace
}  // namespace cmdwrap

int main(int argc, char** argv) {
  std::set_new_handler(cmdwrap::out_of_memory);
  try {
    const std::vector<std::string> arguments = pt::program_arguments(argc, argv);
    if (arguments.size() < 3) {
      cmdwrap::print_usage();
      cmdwrap::end_process(cmdwrap::failure_status);
    }
    cmdwrap::run(arguments[1], arguments[2]);
  } catch (const std::bad_alloc&) {  // an array too large to ask for
    cmdwrap::out_of_memory();
  } catch (...) {
    cmdwrap::end_process(cmdwrap::failure_status);
  }
}
