// POSIX backend: the per-thread last error and the mapping of errno values to stream errors.
#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/error.h"

#include <cerrno>

#include "ortolib/platform/error_numbers.h"

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
  // The library's numbers are Linux's errno values; the table keeps them right on any system.
  // An errno whose Windows counterpart has a number of its own gets that number, so that one
  // failure reads alike on both systems: EPERM and EISDIR (a directory opened for writing) and
  // ETXTBSY (a running program's file) are access denied, as Windows' sharing violation;
  // ENOTDIR (a file used as a directory) is a path not found; ENFILE is too many open files;
  // EDQUOT (a quota) is a full disk. ENAMETOOLONG and ELOOP have counterparts without one (a
  // name too long, a link that cannot be resolved), and stay I/O errors with the rest.
  struct row {
    int os;
    std::int32_t number;
  };
  static constexpr row table[] = {
      {ENOENT, error_no_such_file},
      {ENOTDIR, error_no_such_file},
      {EIO, error_io},
      {EBADF, error_bad_descriptor},
      {ENOMEM, error_out_of_memory},
      {EACCES, error_access_denied},
      {EPERM, error_access_denied},
      {EISDIR, error_access_denied},
      {ETXTBSY, error_access_denied},
      {EEXIST, error_file_exists},
      {ENODEV, error_no_such_device},
      {EMFILE, error_too_many_open_files},
      {ENFILE, error_too_many_open_files},
      {EFBIG, error_file_too_large},
      {ENOSPC, error_disk_full},
      {EDQUOT, error_disk_full},
      {ESPIPE, error_cannot_seek},
      {EROFS, error_read_only},
      {EPIPE, error_broken_pipe},
  };
  for (const row& r : table)
    if (static_cast<os_error>(r.os) == error)
      return r.number;
  return error_io;
}

}  // namespace pt::platform
