// The library's error numbers, written once: each with its constant, its POSIX name and its
// text. The OS layer maps errno values and Windows errors onto them, and the streams carry
// them in their errors and take their messages from here. Free of OS calls.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

// One row per number: X(constant, number, POSIX name, text). The constant is pt::error_<name>;
// the numbers are Linux's errno values, whatever the system; a null text makes a stream error
// read in its raiser's own words (an I/O error says what failed).
#define ORTO_ERROR_NUMBERS(X)                                            \
  X(no_such_file, 2, "ENOENT", "No such file or directory")              \
  X(io, 5, "EIO", nullptr) /* every OS error without a row of its own */ \
  X(bad_descriptor, 9, "EBADF", "Invalid file descriptor")               \
  X(out_of_memory, 12, "ENOMEM", "Not enough memory")                    \
  X(access_denied, 13, "EACCES", "Access denied")                        \
  X(file_exists, 17, "EEXIST", "File already exists")                    \
  X(no_such_device, 19, "ENODEV", "No such device")                      \
  X(too_many_open_files, 24, "EMFILE", "Too many open files")            \
  X(file_too_large, 27, "EFBIG", "File too large")                       \
  X(disk_full, 28, "ENOSPC", "Disk full")                                \
  X(cannot_seek, 29, "ESPIPE", "Can not seek on this device")            \
  X(read_only, 30, "EROFS", "Read-only file system")                     \
  X(broken_pipe, 32, "EPIPE", "Broken pipe")

namespace pt {

#define ORTO_ERROR_CONSTANT(constant, number, posix_name, text) \
  inline constexpr std::int32_t error_##constant = (number);
ORTO_ERROR_NUMBERS(ORTO_ERROR_CONSTANT)
#undef ORTO_ERROR_CONSTANT

// The POSIX name of a number ("EPIPE"), or null for a number without a row.
const char* error_number_name(std::int32_t number);

// The text of a number ("Broken pipe"), or null for a number without one: the I/O error, and
// every number without a row.
const char* error_number_text(std::int32_t number);

}  // namespace pt
