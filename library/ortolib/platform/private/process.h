// Private to the library (not installed): child processes, and what a parent sees of a
// process's exit status. Backend: process.cpp.
#pragma once

#include <cstdint>

#include "ortolib/platform/command_line.h"
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
};

struct process_info {
  handle process = no_handle;  // waited for with process_wait, released with process_close
  handle thread = no_handle;   // the main thread's handle (no_handle on POSIX)
  std::uint32_t process_id = 0;
};

// Starts a child process. Windows: the command line is quote_program_name(application)
// followed by arguments. POSIX: argv[0] is the application path as it stands and the rest of
// argv is arguments split by the same C-runtime rules (command_line_split_arguments), so the
// child receives what a Windows child's runtime would give it; a standard handle that is not a
// descriptor leaves that descriptor closed in the child. What else the child holds is
// inherit_handles' choice (above); concurrent starts on several threads never pass each other
// their handles. POSIX also gives the child the signal settings the process was started with:
// its mask, and SIGPIPE, SIGXFSZ and SIGCHLD as it found them (process_startup changes them
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
// killed by a signal gives the Windows exception code of that signal (SIGSEGV 0xc0000005,
// SIGBUS 0xc0000006, SIGILL 0xc000001d, SIGFPE 0xc0000094, SIGINT 0xc000013a,
// SIGABRT 0xc0000409, any other signal 0xc0000001). False on failure.
bool process_wait(handle process, std::uint32_t& exit_code);

// Releases a process or thread handle from process_start. Does not end the process.
void process_close(handle h);

// The bits of a process's exit status that reach its parent: all 32 on Windows, the low 8
// on POSIX.
extern const std::uint32_t exit_status_mask;

}  // namespace pt::platform
