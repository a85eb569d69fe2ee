// Private to the library (not installed): child processes, and what a parent sees of a
// process's exit status. Backend: process.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/text_encoding.h"
#include "ortolib/platform/types.h"

namespace pt::platform {

struct process_request {
  // The executable, used as given: no search, no extension added. Required. It is also the
  // program name at the head of the child's command line, quoted there when it must be.
  const char* application = nullptr;
  // What follows the program name on the child's command line: each argument as a token of
  // the C-runtime rules (quote_argument, command_line.h), each preceded by a blank. "" for none.
  const char* arguments = "";
  // The encodings of application and arguments (text_encoding.h). On Windows the child gets a
  // wide command line: UTF-8 texts reach it whole, ANSI texts as the system converts them
  // (what CreateProcessA would pass). POSIX passes bytes in either case.
  text_encoding application_encoding = text_encoding::ansi;
  text_encoding arguments_encoding = text_encoding::ansi;
  // Also pass on what the process holds inheritable that the library did not open: what it
  // inherited itself (POSIX: descriptors without close-on-exec, such as a make jobserver's;
  // Windows: inheritable handles). The library's own handles never reach a child, except
  // those it is given as standard handles. False: the three standard handles alone.
  bool inherit_handles = true;
  handle std_input = no_handle;  // the child's standard handles
  handle std_output = no_handle;
  handle std_error = no_handle;
  // The child stands in for the calling process until process_stand_in_end: stopping the
  // process stops the child, and the process lives on to collect what the child wrote. What
  // the child inherits does not change.
  // POSIX: SIGTERM and SIGHUP that reach the process are passed on to the child's tree (its
  // process group, process_info::tree, or the child alone when it has none), each followed by
  // SIGCONT, so that a stopped child acts on it; SIGINT and SIGQUIT are caught and dropped (the
  // child gets them from the terminal with its process group and decides). A signal ignored
  // when the start is made stays ignored and is not passed on; one that arrives before the
  // child exists is passed on as soon as it does. The dispositions replaced are put back by
  // process_stand_in_end (unless process_stops_hold holds them for good). One stand-in at a
  // time has signals passed on; another started meanwhile is tied to the process as below.
  // Linux: the child gets the parent-death signal SIGKILL, so it does not outlive the thread
  // that started it (nor the process), also when that ended before the child could ask for it;
  // what the child starts itself does not inherit it.
  // Windows: the child runs in a job of its own that ends it and what it starts when the
  // job's handle closes, that is when the process ends first, however it ends; grandchildren
  // may break away from the job. Inside a caller's job that refuses another (nesting before
  // Windows 8) the child runs outside any job of ours. Ctrl+C and Ctrl+Break at the console
  // do not end the process meanwhile (a handler routine, not the ignore flag that children
  // would inherit).
  bool stand_in = false;
  // The child's working directory, in application_encoding; null: the process's own. A relative
  // application is still found from the process's own directory, as CreateProcess finds it.
  const char* working_directory = nullptr;
  // The child's environment: the process's own, or none without inherit_environment; then each
  // of the changes in order, texts in arguments_encoding: "NAME=value" sets NAME, a bare "NAME"
  // removes it. Names compare as the system compares them: exactly on POSIX, in any case on
  // Windows. Null: no changes.
  bool inherit_environment = true;
  const std::vector<std::string>* environment_changes = nullptr;
  // The caller wants what holds the child's tree (process_info::tree), to end it with
  // process_kill_tree, and releases it with process_tree_close. Windows: the child runs in a
  // job of its own for it.
  bool tree = false;
};

struct process_info {
  handle process = no_handle;  // waited for with process_wait, released with process_close
  handle thread = no_handle;   // the main thread's handle (no_handle on POSIX)
  std::uint32_t process_id = 0;
  // What ties a stand-in (process_request::stand_in) to the process, until
  // process_stand_in_end; no_handle for any other child, and for a stand-in with nothing to
  // end (POSIX: another stand-in has the signals; Windows: no job could be made).
  handle stand_in = no_handle;
  // What holds the child's tree (process_tree.h). POSIX: the process group that a stand-in
  // leads, which everything it starts joins unless it leaves on purpose (setsid, setpgid);
  // no_handle for any other child, which stays in the process's group as a command a shell
  // runs does, and for a stand-in of a process in the foreground of its terminal, so that the
  // terminal's Ctrl+C, Ctrl+Z and hangup reach it as before. Windows: the job the child runs
  // in, which what it starts joins unless it breaks away; no_handle when none could be made
  // (inside a caller's job that allows no nesting) or process_request::tree did not ask for it.
  handle tree = no_handle;
};

// Starts a child process. Windows: the command line is quote_program_name(application)
// followed by arguments. POSIX: argv[0] is the application path as it stands and the rest of
// argv is arguments split by the same C-runtime rules (command_line_split_arguments), so the
// child receives what a Windows child's runtime would give it; a standard handle that is not a
// descriptor leaves that descriptor closed in the child. What else the child holds is
// inherit_handles' choice (above); concurrent starts on several threads never pass each other
// their handles. POSIX also gives the child the signal settings the process was started with:
// its mask, and SIGPIPE, SIGXFSZ and SIGCHLD as it found them (process_settings_apply changes them
// for itself); other signals ignored stay ignored, handled ones are back at their default.
// A failure to start, exec failures included, returns false with last_error() set; so does a
// request without an application (ENOENT, ERROR_FILE_NOT_FOUND). A command line longer than
// the OS takes is such a failure (Windows: 32767 characters with the NUL,
// ERROR_FILENAME_EXCED_RANGE; POSIX: E2BIG), never a child started on a cut line. Windows
// refuses a UTF-8 text that is not valid UTF-8 with ERROR_NO_UNICODE_TRANSLATION.
//
// Windows only: a batch file (.bat or .cmd in any case, also behind trailing dots and spaces,
// which Windows drops) runs in cmd.exe, so its command line is batch_command_line's
// (command_line.h), from the same arguments: each reaches the batch as one parameter and
// nothing in it runs. An argument that cannot be passed that way (CR, LF) fails the start with
// ERROR_BAD_ARGUMENTS, a line longer than cmd.exe reads with ERROR_FILENAME_EXCED_RANGE.
// Every child starts with the error mode of an unattended run (no dialog for a crash, a
// missing DLL or a missing disk: it ends with its exception code instead); the calling
// process's own error mode is changed only for the span of the start.
bool process_start(const process_request& request, process_info& started);

// The error of a start refused for a command line too long: E2BIG on POSIX,
// ERROR_FILENAME_EXCED_RANGE (206) on Windows.
extern const os_error command_line_too_long;

// The lead bytes of the ANSI code page, in which a Windows child reads its command line
// (IsDBCSLeadByteEx with CP_ACP, read once); none on POSIX, where arguments are bytes.
const lead_bytes& ansi_lead_bytes();

// Waits without time limit for the process to end and gives its exit code. On POSIX a child
// that has signals passed on (a stand-in) has them no longer from the moment it has ended,
// before it is reaped, so a signal never reaches another process that takes its id; a child
// killed by a signal gives the Windows exception code of that signal (exit_codes.h), and its
// number in end_signal when that is given (0 for a process that exited; always 0 on Windows,
// where processes have no signals). False on failure.
bool process_wait(handle process, std::uint32_t& exit_code, int* end_signal = nullptr);

// Waits without time limit for the process to end, and leaves it to process_wait: on POSIX
// the ended child stays a zombie, so its pid cannot be reused until process_wait reaps it, and
// process_kill in between is harmless. False on failure.
bool process_wait_end(handle process);

// Whether the process has ended, without waiting; one that was reaped has. False also when the
// handle is no process.
bool process_ended(handle process);

// Ends the process at once (POSIX: SIGKILL; Windows: TerminateProcess). Its exit code then
// reads as killed_exit_code on both platforms. Call it only for a process that process_wait
// has not yet reaped. False when the OS refuses (on Windows, also when it has ended).
bool process_kill(handle process);

// From now until the process ends, its stops are held: POSIX SIGTERM, SIGHUP, SIGINT and
// SIGQUIT, Windows the console's Ctrl+C and Ctrl+Break no longer end it (a signal ignored now
// stays ignored). While a stand-in runs they go to it as process_request::stand_in says; one
// that arrives while none runs is kept (process_stop_requested), and a stop that waits when a
// stand-in starts reaches it as soon as it exists.
void process_stops_hold();

// True once a stop reached the process while its stops were held, or during a stand-in's run
// (an interrupt counts only when no child ran to take it).
bool process_stop_requested();

// Releases a process or thread handle from process_start. Does not end the process.
void process_close(handle h);

// Ends what ties a stand-in to the process (process_info::stand_in; no_handle does nothing)
// and sets stand_in to no_handle. Call it once the child has been waited for, or when it is
// left to run. POSIX: signals are no longer passed on and the dispositions the start replaced
// are back; the parent-death signal stays with the child, which nothing can lift from outside.
// Windows: the job no longer ends what the child left running (a server it started, a program
// started detached), and the console's Ctrl+C and Ctrl+Break are the process's own again.
void process_stand_in_end(handle& stand_in);

}  // namespace pt::platform
