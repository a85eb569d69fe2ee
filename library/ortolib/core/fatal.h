// Unrecoverable errors: misuse of the library and exhausted memory are never thrown; they are
// reported through a replaceable handler and end the process with their code as exit status.
// All fatal codes of the library are named here.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// Fatal codes (form 0xC00nn). Two codes have two messages each (below); the low bytes of
// different codes differ, so they stay apart where only 8 bits of a status reach the parent.
inline constexpr std::uint32_t fatal_out_of_memory = 0xC0005;
inline constexpr std::uint32_t fatal_buffer_required = 0xC000B;
inline constexpr std::uint32_t fatal_buffer_active = 0xC000C;
inline constexpr std::uint32_t fatal_buffer_allocation = 0xC000D;
inline constexpr std::uint32_t fatal_string_overflow = 0xC0015;
inline constexpr std::uint32_t fatal_list_capacity = 0xC0024;
inline constexpr std::uint32_t fatal_list_item_size = 0xC0025;
inline constexpr std::uint32_t fatal_list_not_defined = 0xC0026;
inline constexpr std::uint32_t fatal_thread_create = 0xC0028;
inline constexpr std::uint32_t fatal_semaphore = 0xC0029;
inline constexpr std::uint32_t fatal_waitfor_self = 0xC002F;
inline constexpr std::uint32_t fatal_waitfor_autofree = 0xC0030;
inline constexpr std::uint32_t fatal_variant_corrupt = 0xC003C;
inline constexpr std::uint32_t fatal_unit_running = 0xC003C;

// Every fatal error with a fixed message, a row each: its name, its code and its message,
// written here once. A new one is a row (and a code above when none fits). The unit destroyed
// while running is reported with a message made at the time, which names the unit's class.
#define ORTO_FATAL_ERRORS(X)                                                                    \
  X(out_of_memory, fatal_out_of_memory, "Not enough memory")                                    \
  X(buffer_required, fatal_buffer_required, "Internal: buffer required")                        \
  X(buffer_active, fatal_buffer_active, "Cannot change buffer size while stream is active")     \
  X(buffer_allocation, fatal_buffer_allocation, "(ortolib internal) invalid buffer allocation") \
  X(string_overflow, fatal_string_overflow, "String overflow")                                  \
  X(list_capacity, fatal_list_capacity, "List capacity can't be smaller than count")            \
  X(list_item_size, fatal_list_item_size, "Invalid item size for podlist")                      \
  X(list_dofree, fatal_list_not_defined, "ptrlist::dofree() not defined")                       \
  X(list_compare, fatal_list_not_defined, "ptrlist::compare() not defined")                     \
  X(thread_create, fatal_thread_create, "CreateThread() failed")                                \
  X(semaphore, fatal_semaphore, "Timed semaphore failed")                                       \
  X(waitfor_self, fatal_waitfor_self, "Can not waitfor() on myself")                            \
  X(waitfor_autofree, fatal_waitfor_autofree, "Can not waitfor() on an autofree thread")        \
  X(variant_corrupt, fatal_variant_corrupt, "Variant data corrupt")                             \
  X(unit_running, fatal_unit_running, "Unit already running")

// The fatal errors of the table, by name.
enum class fatal : std::uint8_t {
#define ORTO_FATAL_NAME(name, code, message) name,
  ORTO_FATAL_ERRORS(ORTO_FATAL_NAME)
#undef ORTO_FATAL_NAME
};

// The code and the message of a fatal error of the table.
std::uint32_t fatal_code(fatal which);
const char* fatal_message(fatal which);

// A routine that reports a fatal error; it may return, after which the process ends.
using fatal_routine = void (*)(std::uint32_t code, const char* message);

// The process-wide report routine, initially show_fatal_message. It may be null (nothing is
// shown). It is read without synchronisation: set it before any thread starts.
extern fatal_routine fatal_handler;

// Calls fatal_handler (when set) with code and message, then ends the process with the
// standard exit and code as its status, so registered clean-ups run as on a normal exit.
// Any thread may call it. Never returns.
[[noreturn]] void fatal_error(std::uint32_t code, const char* message);

// The same for a fatal error of the table, with its code and message.
[[noreturn]] void fatal_error(fatal which);

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
