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
  // An errno whose Windows counterpart has a number of its own gets that number, so that one
  // failure reads alike on both systems:
  //   EPERM, EISDIR  access denied (a directory opened for writing)      13
  //   ETXTBSY        sharing violation (a running program's file)        13
  //   ENOTDIR        path not found (a file used as a directory)          2
  //   ENFILE         too many open files                                 24
  //   EDQUOT         disk full (a quota is reported so)                  28
  // ENAMETOOLONG and ELOOP have counterparts without one (a name too long, a link that cannot
  // be resolved), and stay 5 with the rest.
  struct row {
    int os;
    int stream;
  };
  static constexpr row table[] = {
      {ENOENT, 2},  {ENOTDIR, 2}, {EIO, 5},     {EBADF, 9},    {ENOMEM, 12},
      {EACCES, 13}, {EPERM, 13},  {EISDIR, 13}, {ETXTBSY, 13}, {EEXIST, 17},
      {ENODEV, 19}, {EMFILE, 24}, {ENFILE, 24}, {EFBIG, 27},   {ENOSPC, 28},
      {EDQUOT, 28}, {ESPIPE, 29}, {EROFS, 30},  {EPIPE, 32},
  };
  for (const row& r : table)
    if (static_cast<os_error>(r.os) == error)
      return r.stream;
  return 5;
}

}  // namespace pt::platform
