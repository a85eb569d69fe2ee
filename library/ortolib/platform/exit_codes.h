// Windows' rules for a process's exit code, in one place: the value for no exit code, where the
// exception codes begin, the code that stands for a process still running, the exception codes
// the library gives a process that a signal ended on POSIX or that it killed, and how much of a
// status reaches a parent. Free of OS calls: the backends, the process unit and cmdwrap's
// result file all read them here (exit_status_mask alone is defined by each backend).
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// No exit code: what a process unit holds while it has recorded none, and what cmdwrap ends
// with for a failure of its own (or for a child's exception code, which its note then gives).
// Taken as unsigned it is 0xFFFFFFFF, an exception code too.
inline constexpr std::int32_t no_exit_code = -1;

// From here up, taken as unsigned, an exit code is a Windows exception code (a crash, an
// abort), or -1 for "no exit code"; cmdwrap notes such a code in its result.
inline constexpr std::uint32_t first_exception_code = 0xC0000000;

constexpr bool is_exception_code(std::uint32_t code) { return code >= first_exception_code; }

// Windows' STILL_ACTIVE: the code GetExitCodeProcess gives for a running process, so a child
// that ends with it can never be told from one that runs on; it is never recorded.
inline constexpr std::uint32_t exit_code_still_active = 259;

// The exception codes that stand for the end of a process by a signal on POSIX, each the
// nearest Windows fault:
//   SIGSEGV  0xc0000005 access violation       SIGFPE   0xc0000094 integer divide by zero
//   SIGBUS   0xc0000006 in-page error          SIGINT   0xc000013a control-C exit
//   SIGILL   0xc000001d illegal instruction    SIGABRT  0xc0000409 fail-fast (abort())
//   any other signal, SIGKILL among them: 0xc0000001 unsuccessful
inline constexpr std::uint32_t exception_access_violation = 0xC0000005;
inline constexpr std::uint32_t exception_in_page_error = 0xC0000006;
inline constexpr std::uint32_t exception_illegal_instruction = 0xC000001D;
inline constexpr std::uint32_t exception_integer_divide_by_zero = 0xC0000094;
inline constexpr std::uint32_t exception_control_c_exit = 0xC000013A;
inline constexpr std::uint32_t exception_fail_fast = 0xC0000409;
inline constexpr std::uint32_t exception_unsuccessful = 0xC0000001;

// The exit code of a process that the library ended (terminate_child, a time limit): the
// exception code that stands for SIGKILL on POSIX, and the code TerminateProcess is given on
// Windows.
inline constexpr std::uint32_t killed_exit_code = exception_unsuccessful;

// The bits of a process's exit status that reach its parent: all 32 on Windows, the low 8 on
// POSIX. Defined by each platform backend.
extern const std::uint32_t exit_status_mask;

}  // namespace pt
