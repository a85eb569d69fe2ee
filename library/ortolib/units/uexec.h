// The process unit: runs one child program with the unit's input as its standard input and
// the unit's output as both its standard output and standard error (or the latter apart), and
// records how it ended. find_program.h finds the program that a command name stands for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ortolib/core/critsec.h"
#include "ortolib/core/string.h"
#include "ortolib/core/variant.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/text_encoding.h"
#include "ortolib/platform/types.h"
#include "ortolib/units/unit.h"

namespace pt {

// kind_code of a uexec: that of unit.
inline constexpr std::int32_t kind_uexec = kind_unit;

// A unit (kind_uexec) whose work starts path with the texts of args on its command line. A
// stream that has an OS handle is given to the child as it is; one without (a memory stream,
// for instance) is replaced for the run by one end of a local pipe, and work copies between
// the pipe and the stream, up to copy_chunk_size bytes a read, until every holder of the
// pipe's other end has closed it (a grandchild that inherited the child's output keeps it
// open). A read of the pipe returns as soon as the child has written anything, and it goes on
// to the stream at once. When both streams go through pipes, the input is fed on a thread of
// its own (input_feeder.h) while work collects the output, so a child that writes more than
// it reads, or reads nothing at all, never leaves the two waiting on each other.
// Then work waits for the child and records its exit code; 259 (Windows' "still active") is
// never recorded. After a normal run the streams are the ones the unit had before.
//
// A child that ends or closes its input before all of it was fed ends the feeding: the rest
// of the input is dropped (the broken pipe is the end of the input, not a failure), and
// everything it wrote is still collected.
//
// The command line is path, then for each item of args a space and the item as text
// (variant_to_string): the items are tokens of the C-runtime rules, which work takes as they
// stand. add_argument quotes an argument into such a token; an item added to args directly
// must be quoted by its creator (pt::quote_argument, platform/command_line.h). An unquoted
// item is split by those rules like any text: "echo hi; exit 3" would arrive as four
// arguments. The path is used as given, without search or added extension; on Windows the
// command line starts with it as quote_program_name gives it, so that the child reads it as one
// token, its argv[0]; on POSIX it is the child's argv[0] as it stands.
//
// On Windows a batch file (.bat, .cmd) runs in cmd.exe, which reads its command line by rules
// of its own: at the start the arguments that the items stand for are quoted for it instead
// (batch_command_line, platform/command_line.h), so that each still reaches the batch as one
// parameter and nothing in it runs. Every child starts with the error mode of an unattended
// run: a crash or a missing DLL ends it with its exception code, no dialog waits for a click.
//
// Thrown (exception*, reported by the unit runner; exit_code stays -1): "Couldn't run '<path>'
// - missing executable" when the file-status query on path fails (a directory passes it, and
// so does an existing file whose path is too long for the query's plain form);
// "Couldn't run '<path>' error <n>" when the child cannot be started, n being the OS error
// (GetLastError on Windows, errno on POSIX; a command line too long for the OS is such a
// failure, and for a batch file an argument holding CR or LF, ERROR_BAD_ARGUMENTS); the stream
// error of a pipe that cannot be made, or of a read or write in the copy loop. A failure of
// the copy passes out of work at once when one side alone goes through a pipe; when both do,
// the output is still read to its end (what fails to go on to the stream is dropped), so that
// the child is never left blocked, and the first failure passes out then. After a failure of
// the copy the child is not waited for and stays held, as in background mode. In every failure
// the unit's streams are put back and the pipe ends closed. "Couldn't run '<path>' - the child
// of an earlier run still runs (process <id>)" when the unit still holds a child that runs
// (below), and "Couldn't run '<path>' - stopped before it started" for a stand-in whose process
// was asked to stop before the child existed (hold_stops_until_exit).
// An outmemory output whose size limit kept part of the child's output out
// (outmemory::was_cut) fails the run too, once the child's exit code is recorded: "Output cut
// at its limit of <limit> bytes (<n> more bytes dropped)"; the text up to the limit stays in
// the stream.
//
// Background mode starts the child and returns without copying or waiting; the unit then
// holds the child (process_handle, process_id). It is meant to be set before a run: set during
// one, it ends the copy after the current read, and waits for a feed in progress to end.
// A held child (background mode, or a failed copy) is still the unit's while it runs: work
// fails then, as above, and terminate_child ends it. Once it has ended it is let go: the next
// run starts a new child. Whatever happens to the unit, a held child is waited for when it ends
// (on POSIX no child of the unit is left a zombie), and destroying the unit leaves it running.
//
// The child's tree: what the child starts runs in its tree unless it leaves on purpose. On
// POSIX the tree is a process group the child leads, except when the process runs in the
// foreground of its terminal: the child then stays in the process's group, as any command a
// shell runs, so that the terminal's Ctrl+C, Ctrl+Z and hangup reach it, and its tree is the
// child alone. A process that calls setsid or setpgid (a daemon) leaves it. On Windows the tree
// is a job the child runs in, which what it starts joins unless it breaks away from it.
//
// terminate_child is the way out of a run that takes too long, or of a held child: it ends the
// child and its tree at once from any thread, and a run in progress then ends as for a child
// killed from outside, with exit_code 0xC0000001 (-1073741823) on both platforms: on POSIX the
// child dies of SIGKILL, which reads as that exception code; on Windows TerminateProcess gives
// it that code. The output so far is collected; once the child has ended the run reads on for
// a grace of a second at most (platform::stop_grace_milliseconds), so that something outside
// the tree that still holds the output pipe cannot keep the run open. A stand-in's run that its
// process was asked to stop (below) ends the same way.
//
// A child whose input goes through a pipe gets the read end alone, so it sees the end of its
// input once the copy loop has fed it all; the wrapper never pipes the input side.
class uexec : public unit {
 public:
  string path;   // the executable, used exactly as stored
  variant args;  // array of argument texts; anything else counts as empty
  // The encodings of path and of the texts of args (platform/text_encoding.h). ANSI, the
  // default, is what a program's argv holds. On Windows the child gets its command line wide,
  // so UTF-8 texts reach it with every character, also those the ANSI code page lacks; ANSI
  // texts reach it as the system converts them. Messages name path in the ANSI code page.
  // POSIX passes bytes either way.
  text_encoding path_encoding = text_encoding::ansi;
  text_encoding argument_encoding = text_encoding::ansi;
  std::int32_t exit_code = no_exit_code;  // of the last child; -1 while none is recorded
  // The child's process while work runs, and afterwards in background mode (or after a failed
  // copy loop); no_handle otherwise.
  platform::handle process_handle = platform::no_handle;
  bool background = false;  // start the child and return at once; read before each pass
  // The child gets its three standard handles, and with inherit_handles also what the process
  // holds inheritable that the library did not open: what it inherited from its own parent
  // (POSIX: descriptors without close-on-exec, such as a make jobserver's; Windows: inheritable
  // handles). The library's own handles (its files, pipe ends, the duplicates behind the
  // standard streams) never reach a child, except those it is given as standard handles.
  bool inherit_handles = true;
  std::int32_t process_id = -1;  // the held child's id; -1 for none
  // Set by a creator that had more arguments than a command line holds and stopped adding
  // them (platform/command_line_room.h): work then fails as for a command line the OS refuses,
  // "Couldn't run '<path>' error <n>", n being E2BIG or ERROR_FILENAME_EXCED_RANGE, without
  // starting anything.
  bool arguments_overflow = false;
  // The child stands in for this process while work waits for it: stopping the process stops
  // the child, and work goes on collecting until the child has ended (and the grace after a
  // stop, above) and records its end as usual. POSIX: SIGTERM and SIGHUP that reach the process
  // are passed on to the child's tree, each followed by SIGCONT so that a stopped child acts on
  // it (unless they were ignored when the run began: they stay ignored), SIGINT and SIGQUIT do
  // not end the process (the child gets them from the terminal and decides); the process's own
  // handlers are back after the run (unless hold_stops_until_exit holds them), and one run at a
  // time has the signals. Linux: a process killed outright (SIGKILL) takes the child with it,
  // as does the end of the thread that ran work (for a child left held by a failed copy loop);
  // what the child started itself runs on. Windows: the child and what it starts run in a job
  // that ends them if the process is terminated; after the child's end the job lets go of what
  // it left running. Inside a caller's job that allows no other the child runs outside any job.
  // Ctrl+C and Ctrl+Break at the console do not end the process during the run. What the child
  // inherits is the same either way. No effect in background mode, where the child is to
  // outlive the run.
  bool stand_in = false;
  // Where the child's standard error goes: null (the default), or the output stream itself,
  // joins it to the output, as ever. Another stream takes it apart: directly when the stream
  // has an OS handle, else through a pipe of its own that a thread collects while the output is
  // collected and the input fed, so that a child that fills one pipe while the other is read
  // never waits. work opens the stream when it is not open and flushes it at the end; the slot
  // keeps what was put into it (assign_ref), run after run.
  outstm* error_stream = nullptr;
  // The longest a run may take, in milliseconds from the start of the child; 0 (the default)
  // or less for no limit. When it passes, the run ends the child and its tree as
  // terminate_child does, keeps the output so far and fails: timed_out() is true, and the
  // failure reads "Couldn't finish '<path>' - timed out after <n> ms"; exit_code is what the
  // ended child gives (0xC0000001). Not in background mode, where nothing waits.
  std::int32_t time_limit = 0;
  // The child's working directory, a path in path_encoding; empty (the default): the process's
  // own. A relative path is still found from the process's own directory. A directory that
  // does not exist fails the run before anything starts: "Couldn't run '<path>' - missing
  // working directory '<directory>'".
  string working_directory;
  // Changes to the child's environment: an array of texts in argument_encoding, applied in
  // order, "NAME=value" setting NAME and a bare "NAME" removing it (POSIX compares names
  // exactly, Windows in any case). Empty (the default): no changes.
  variant environment;
  // Whether the changes apply to the process's own environment (the default) or to an empty
  // one, which gives the child those variables alone (on Windows a program may need SystemRoot
  // among them).
  bool inherit_environment = true;
  // POSIX: the signal that ended the last child (9 for SIGKILL, after terminate_child or a time
  // limit; 15 for SIGTERM), 0 when it exited by itself or no end was recorded; exit_code keeps
  // its exception code. Always 0 on Windows, where processes have no signals.
  std::int32_t exit_signal = 0;

  uexec();
  // Releases a held child's handle (the child runs on), then the fields and the unit. A unit
  // whose run is not finished is the fatal "Unit destroyed while running" (unit.h).
  ~uexec() override;

  // Ends the child that a run in progress started, or the child held after background mode
  // or a failed copy, and its tree (above): at once, from any thread (POSIX SIGKILL to the
  // process group, Windows TerminateJobObject and TerminateProcess). True when a child was
  // ended; false when there was none (not yet started, already ended) or the OS refused. What
  // left the tree on purpose runs on.
  bool terminate_child();

  // From now until the process ends, a stop never ends it: POSIX SIGTERM, SIGHUP, SIGINT and
  // SIGQUIT, Windows Ctrl+C and Ctrl+Break at the console (a signal ignored now stays ignored).
  // While a stand-in's run waits for its child they go to the child as stand_in says; one that
  // arrives before the child exists is passed on as soon as it does, or when it arrived before
  // the run began, the child is not started ("stopped before it started"); one that arrives
  // after the child has ended is kept (stop_requested), and the process goes on. For a program
  // that must finish what it began once its child has run, whatever the caller sends: call it
  // before the first step that cannot be undone. A child inherits none of it.
  static void hold_stops_until_exit();

  // True once a stop reached the process while its stops were held (an interrupt counts only
  // when no child ran to take it).
  static bool stop_requested();

  // Whether the last run ended because its time_limit passed.
  bool timed_out() const { return run_timed_out; }

  // Adds an argument to args, quoted (quote_argument), so that the child receives it as one
  // argument byte for byte, whatever blanks, quotes or backslashes it holds; it is cut at its
  // first NUL, which a command line cannot carry. The argument is a text of argument_encoding.
  // An ANSI argument is quoted on Windows by characters of the ANSI code page, in which the
  // child reads it: in a double-byte code page the second byte of a character is never taken
  // for a backslash (a lead byte that ends it becomes '?').
  void add_argument(const string& argument);

  // The command line of the child on Windows (see above; a batch file gets the same arguments
  // quoted for cmd.exe instead), its parts in the encodings of path and args; on POSIX the
  // same arguments reach the child's argv.
  string command_line();

  // The most one read of the copy loop takes (the size of its buffer): fewer, bigger reads
  // cost less, most of all under wine, where each is a round trip to its server
  // (docs/PERFORMANCE.md).
  static constexpr std::int32_t copy_chunk_size = 256 * 1024;

  // The child the unit started: shared by the run and terminate_child, and by the thread that
  // waits for a held child, which may outlive the unit. Defined in uexec.cpp.
  struct started_child;

 protected:
  void work() override;

 private:
  // Guards child, which work changes while terminate_child reads it.
  critsec child_lock;
  std::shared_ptr<started_child> child;
  bool run_timed_out = false;

  // What follows the program name on the command line: a space and each item of args.
  string argument_text();
  // Lets go of a held child that has ended; throws when it still runs.
  void let_go_of_ended_child();
  // Starts the child on the unit's streams, as they are now, and records it as held; the
  // caller releases the thread handle and the stand-in tie it gives.
  void start_child(platform::handle error_handle, platform::handle& child_thread,
                   platform::handle& stand_in_tie);
  // error_stream when the child's standard error goes apart from its output; null otherwise.
  outstm* separate_error_stream();
  // Waits for the held child to end, records its exit code and lets it go.
  void wait_for_child();
  // Leaves the held child to a thread that waits for its end; the unit still holds it.
  void leave_child_held();
  // path as messages name it, in the ANSI code page.
  string shown_path();
  // The texts of environment.
  std::vector<std::string> environment_changes();
};

}  // namespace pt
