// The few OS types that the public headers of the streams and units hold: the handle type and
// its "none" value, which standard handle is meant, and room for the lock. Everything the
// library asks of an OS is declared in the private headers of private/, which are not
// installed; the build compiles exactly one backend for them, posix/ or win32/.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// An OS handle at full width: a file descriptor on POSIX, a HANDLE on Windows.
using handle = std::intptr_t;

// The value that stands for "no handle" everywhere in the library.
inline constexpr handle no_handle = -1;

// The value a failed duplicate of a standard handle takes (see dup_std_handle in
// streams/standard_streams.h): 0 on Windows (the null handle); on POSIX a negative value that
// is never a descriptor, because descriptor 0 is valid there. Reading, writing or closing it
// fails with EBADF / ERROR_INVALID_HANDLE, which the stream layer reports as "Invalid file
// descriptor".
extern const handle unusable_handle;

// The process's standard handles.
enum class std_handle_id { input, output, error };

// Room for the platform's critical-section record (CRITICAL_SECTION, pthread_mutex_t), held by
// the library's lock (core/critsec.h), which alone works on it.
struct critical_section {
  alignas(16) unsigned char storage[64];
};

}  // namespace pt

// The names they had first, which the library's platform layer and its callers use.
namespace pt::platform {
using pt::critical_section;
using pt::handle;
using pt::no_handle;
using pt::std_handle_id;
using pt::unusable_handle;
}  // namespace pt::platform
