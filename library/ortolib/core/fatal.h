// Unrecoverable errors: misuse of the library and exhausted memory are never thrown; they are
// reported through a replaceable handler and end the process with their code as exit status.
// All fatal codes of the library are named here.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// Fatal codes (form 0xC00nn) and the messages raised with them. Two pairs share a code; the
// low bytes of different codes differ, so they stay apart where only 8 bits of a status reach
// the parent.
inline constexpr std::uint32_t fatal_out_of_memory = 0xC0005;    // "Not enough memory"
inline constexpr std::uint32_t fatal_buffer_required = 0xC000B;  // "Internal: buffer required"
inline constexpr std::uint32_t fatal_buffer_active = 0xC000C;
//   "Cannot change buffer size while stream is active"
inline constexpr std::uint32_t fatal_buffer_allocation = 0xC000D;
//   "(ortolib internal) invalid buffer allocation"
inline constexpr std::uint32_t fatal_string_overflow = 0xC0015;  // "String overflow"
inline constexpr std::uint32_t fatal_list_capacity = 0xC0024;
//   "List capacity can't be smaller than count"
inline constexpr std::uint32_t fatal_list_item_size = 0xC0025;  // "Invalid item size for podlist"
inline constexpr std::uint32_t fatal_list_not_defined = 0xC0026;
//   "ptrlist::dofree() not defined", "ptrlist::compare() not defined"
inline constexpr std::uint32_t fatal_thread_create = 0xC0028;  // "CreateThread() failed"
inline constexpr std::uint32_t fatal_semaphore = 0xC0029;      // "Timed semaphore failed"
inline constexpr std::uint32_t fatal_waitfor_self = 0xC002F;   // "Can not waitfor() on myself"
inline constexpr std::uint32_t fatal_waitfor_autofree = 0xC0030;
//   "Can not waitfor() on an autofree thread"
inline constexpr std::uint32_t fatal_variant_corrupt = 0xC003C;  // "Variant data corrupt"
inline constexpr std::uint32_t fatal_unit_running = 0xC003C;     // "Unit already running"

// A routine that reports a fatal error; it may return, after which the process ends.
using fatal_routine = void (*)(std::uint32_t code, const char* message);

// The process-wide report routine, initially show_fatal_message. It may be null (nothing is
// shown). It is read without synchronisation: set it before any thread starts.
extern fatal_routine fatal_handler;

// Calls fatal_handler (when set) with code and message, then ends the process with the
// standard exit and code as its status, so registered clean-ups run as on a normal exit.
// Any thread may call it. Never returns.
[[noreturn]] void fatal_error(std::uint32_t code, const char* message);

// The same report, then the end of the process at once, without the clean-ups: for an error
// found while another thread may still be using what they take down (a unit destroyed while
// its work runs on its worker). Never returns.
[[noreturn]] void fatal_error_at_once(std::uint32_t code, const char* message);

// The default report: the text "Fatal [%05x]: %s" under the caption "Internal error", in a
// message box on Windows (waits until it is dismissed), on standard error elsewhere.
void show_fatal_message(std::uint32_t code, const char* message);

inline constexpr char fatal_caption[] = "Internal error";
inline constexpr int fatal_text_size = 2048;

// Formats the report text into text: "Fatal [", the code in lowercase hexadecimal with at least
// five digits, "]: ", the message (null reads as empty). At most fatal_text_size - 1
// characters are written, then a NUL. Returns the number of characters.
int format_fatal_text(char (&text)[fatal_text_size], std::uint32_t code, const char* message);

}  // namespace pt
