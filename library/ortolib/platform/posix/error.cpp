// POSIX backend: the per-thread last error and the mapping of errno values to stream errors.
#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/error.h"

#include <cerrno>

namespace pt::platform {
namespace {

thread_local os_error captured_error = 0;

}  // namespace

namespace posix {

void error_capture() { captured_error = static_cast<os_error>(errno); }

void error_record(os_error error) { captured_error = error; }

}  // namespace posix

os_error last_error() { return captured_error; }

int stream_error_number(os_error error) {
  // The stream numbers are Linux's errno values; the table keeps them right on any system.
  struct row {
    int os;
    int stream;
  };
  // EPERM, "operation not permitted", is a refusal, like Windows' access denied.
  static constexpr row table[] = {
      {ENOENT, 2},  {EIO, 5},     {EBADF, 9},   {ENOMEM, 12}, {EACCES, 13},
      {EPERM, 13},  {EEXIST, 17}, {ENODEV, 19}, {EMFILE, 24}, {EFBIG, 27},
      {ENOSPC, 28}, {ESPIPE, 29}, {EROFS, 30},  {EPIPE, 32},
  };
  for (const row& r : table)
    if (static_cast<os_error>(r.os) == error)
      return r.stream;
  return 5;
}

}  // namespace pt::platform
