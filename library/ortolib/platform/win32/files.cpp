// Windows backend: C streams no child inherits, file identity by volume serial number and file
// index, and the system error code that the C runtime keeps beside errno. Every path goes to
// the wide calls, so that any file name is reached, at any length.
#include "ortolib/platform/files.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "ortolib/platform/win32/text_conversion.h"
#include "ortolib/platform/win32/wide_path.h"

namespace pt {
namespace {

// The file's identity, read through a handle that asks for no access at all, so that neither
// a file open elsewhere without sharing nor a directory stands in the way.
bool identify(const char* path, text_encoding encoding, BY_HANDLE_FILE_INFORMATION& identity) {
  const std::wstring wide = platform::win32::wide_path(path, encoding);
  if (wide.empty())
    return false;
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool read = GetFileInformationByHandle(file, &identity) != FALSE;
  CloseHandle(file);
  return read;
}

// Records a system error for last_c_file_error, as the runtime records its own failures.
void record_error(DWORD error) {
  _doserrno = error;
  errno = EIO;
}

}  // namespace

std::FILE* c_file_open(const char* path, const char* mode, text_encoding encoding) {
  // Opened not inheritable ("N", a mode flag of the C library).
  const std::string kept_out = std::string(mode) + "N";
  std::wstring wide_name;
  std::wstring wide_mode;
  if (!platform::win32::wide_text(path, encoding, wide_name) ||
      !platform::win32::wide_text(kept_out, text_encoding::ansi, wide_mode)) {
    record_error(ERROR_NO_UNICODE_TRANSLATION);
    return nullptr;
  }
  // A path at or over MAX_PATH opens through its \\?\ form, which needs no manifest.
  return _wfopen(platform::win32::within_path_limit(std::move(wide_name)).c_str(),
                 wide_mode.c_str());
}

std::FILE* c_file_rewrite(const char* path, text_encoding encoding) {
  return c_file_open(path, "wb", encoding);
}

bool c_file_truncate_here(std::FILE* file) {
  if (std::fflush(file) != 0)
    return false;
  const auto os_file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (os_file == INVALID_HANDLE_VALUE) {
    record_error(ERROR_INVALID_HANDLE);
    return false;
  }
  if (GetFileType(os_file) != FILE_TYPE_DISK)
    return true;  // a pipe or a device has no length of its own
  // The stream is flushed, so the system's file pointer stands where the stream's does.
  if (!SetEndOfFile(os_file)) {
    record_error(GetLastError());
    return false;
  }
  return true;
}

bool same_file(const char* first, const char* second, text_encoding encoding) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  return identify(first, encoding, a) && identify(second, encoding, b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

std::uint32_t last_c_file_error() {
  // The runtime maps a failed system call's error to errno and keeps the original here; a
  // failure of its own (a bad mode, too many streams) has none.
  const unsigned long system_error = _doserrno;
  return system_error != 0 ? static_cast<std::uint32_t>(system_error)
                           : static_cast<std::uint32_t>(errno);
}

}  // namespace pt
