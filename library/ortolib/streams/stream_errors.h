// The stream error numbers (POSIX errno numbering) and their texts: the one place where the
// numbers that estream carries are defined. The platform layer maps OS errors onto them.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

inline constexpr std::int32_t error_no_such_file = 2;          // ENOENT
inline constexpr std::int32_t error_io = 5;                    // EIO: every unlisted OS error
inline constexpr std::int32_t error_bad_descriptor = 9;        // EBADF
inline constexpr std::int32_t error_out_of_memory = 12;        // ENOMEM
inline constexpr std::int32_t error_access_denied = 13;        // EACCES
inline constexpr std::int32_t error_file_exists = 17;          // EEXIST
inline constexpr std::int32_t error_no_such_device = 19;       // ENODEV
inline constexpr std::int32_t error_too_many_open_files = 24;  // EMFILE
inline constexpr std::int32_t error_file_too_large = 27;       // EFBIG
inline constexpr std::int32_t error_disk_full = 28;            // ENOSPC
inline constexpr std::int32_t error_cannot_seek = 29;          // ESPIPE
inline constexpr std::int32_t error_read_only = 30;            // EROFS
inline constexpr std::int32_t error_broken_pipe = 32;          // EPIPE

// The text of a stream error number, or null for a number without one (5 among them, so
// that an I/O error is reported in its raiser's own words). The texts are static.
const char* stream_error_text(std::int32_t number);

}  // namespace pt
