// Windows backend: files opened as the streams need them, and the handle operations shared by
// files and pipes.
#include <windows.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/win32/error.h"
#include "ortolib/platform/win32/text_conversion.h"
#include "ortolib/platform/win32/wide_path.h"

namespace pt::platform {
namespace {

using win32::error_capture;
using win32::error_record;

HANDLE os(handle h) { return reinterpret_cast<HANDLE>(h); }

// The runtime's file-status query on the path: the char form for ANSI, the wide form for
// UTF-8 (a text that is no valid UTF-8 names no file).
int file_status(const char* path, text_encoding encoding, struct _stat64i32& status) {
  if (encoding == text_encoding::ansi)
    return _stat64i32(path, &status);
  std::wstring wide;
  if (!win32::wide_text(path, encoding, wide)) {
    errno = ENOENT;
    return -1;
  }
  return _wstat64i32(wide.c_str(), &status);
}

}  // namespace

handle file_open(const char* path, file_access access) {
  // Not inheritable: no child gets a file the library opened for itself. Others may read and
  // write the file meanwhile, not delete it.
  SECURITY_ATTRIBUTES own{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE opened;
  if (access == file_access::read)
    opened = CreateFileA(path, GENERIC_READ, sharing, &own, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  else  // an appending caller moves to the end itself
    opened = CreateFileA(path, GENERIC_WRITE, sharing, &own,
                         access == file_access::write_append ? OPEN_ALWAYS : CREATE_ALWAYS, 0,
                         nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    error_capture();
    return no_handle;
  }
  return reinterpret_cast<handle>(opened);
}

std::int32_t handle_read(handle h, void* buffer, std::int32_t count) {
  if (count < 0) {
    error_record(ERROR_INVALID_PARAMETER);
    return -1;
  }
  DWORD got = 0;
  // The end of a pipe fails with ERROR_BROKEN_PIPE; the streams take that as end of data.
  if (!ReadFile(os(h), buffer, static_cast<DWORD>(count), &got, nullptr)) {
    error_capture();
    return -1;
  }
  return static_cast<std::int32_t>(got);
}

std::int32_t handle_write(handle h, const void* buffer, std::int32_t count) {
  if (count < 0) {
    error_record(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const char* next = static_cast<const char*>(buffer);
  DWORD left = static_cast<DWORD>(count);
  do {  // once even for 0 bytes, so that a bad handle is reported
    DWORD written = 0;
    if (!WriteFile(os(h), next, left, &written, nullptr)) {
      // A pipe whose reader is gone refuses writes with ERROR_NO_DATA ("the pipe is being
      // closed"); callers are promised the broken-pipe error, as on POSIX.
      error_capture();
      if (last_error() == ERROR_NO_DATA)
        error_record(ERROR_BROKEN_PIPE);
      return -1;
    }
    if (written == 0 && left > 0) {  // no progress and no error: give up rather than spin
      error_record(ERROR_WRITE_FAULT);
      return -1;
    }
    next += written;
    left -= written;
  } while (left > 0);
  return count;
}

std::int64_t handle_seek(handle h, std::int64_t offset, int origin) {
  static constexpr DWORD method[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  if (origin < 0 || origin > 2) {
    error_record(ERROR_INVALID_PARAMETER);
    return -1;
  }
  LARGE_INTEGER distance, position;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(os(h), distance, &position, method[origin])) {
    error_capture();
    return -1;
  }
  return position.QuadPart;
}

void handle_flush(handle h) { FlushFileBuffers(os(h)); }

bool handle_close(handle h) {
  // (HANDLE)-1 is the current process's pseudo-handle, which CloseHandle "closes" happily.
  if (h == no_handle) {
    error_record(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!CloseHandle(os(h))) {
    error_capture();
    return false;
  }
  return true;
}

bool file_exists(const char* path, text_encoding encoding) {
  struct _stat64i32 status;
  if (file_status(path, encoding, status) != 0) {
    // The runtime's query fails for a path of MAX_PATH characters or more, even when the file
    // is there; the wide call on the path's long form answers for any length.
    if (std::strlen(path) >= MAX_PATH &&
        GetFileAttributesW(win32::wide_path(path, encoding).c_str()) != INVALID_FILE_ATTRIBUTES)
      return true;
    // The runtime reports through errno; the last error is a Windows error number.
    if (errno == ENOENT)
      error_record(ERROR_FILE_NOT_FOUND);
    else
      error_capture();
    return false;
  }
  return true;
}

bool directory_exists(const char* path, text_encoding encoding) {
  const DWORD attributes = GetFileAttributesW(win32::wide_path(path, encoding).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace pt::platform
