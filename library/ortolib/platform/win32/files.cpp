// Windows backend: C streams no child inherits, file identity by volume serial number and file
// index, and the system error code that the C runtime keeps beside errno.
#include "ortolib/platform/files.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "ortolib/platform/win32/wide_path.h"

namespace pt {
namespace {

// The file's identity, read through a handle that asks for no access at all, so that neither
// a file open elsewhere without sharing nor a directory stands in the way.
bool identify(const char* path, BY_HANDLE_FILE_INFORMATION& identity) {
  const std::wstring wide = platform::win32::wide_path(path);
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

}  // namespace

std::FILE* c_file_open(const char* path, const char* mode) {
  // Opened not inheritable ("N", a mode flag of the C library).
  const std::string kept_out = std::string(mode) + "N";
  return std::fopen(path, kept_out.c_str());
}

bool same_file(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  return identify(first, a) && identify(second, b) &&
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
