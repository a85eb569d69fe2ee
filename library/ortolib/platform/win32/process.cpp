// Windows backend: starting a child with CreateProcessA, hidden and with the given standard
// handles, and reading its exit code.
#include <windows.h>

#include <string>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

HANDLE os(handle h) { return reinterpret_cast<HANDLE>(h); }

// The most a command line may hold, its terminating NUL included, in UTF-16 characters; each
// byte of an ANSI line becomes at least one of them.
constexpr std::size_t command_line_limit = 32767;

}  // namespace

// A parent reads all 32 bits of a status with GetExitCodeProcess.
const std::uint32_t exit_status_mask = 0xFFFFFFFF;

bool process_start(const process_request& request, process_info& started) {
  if (request.application == nullptr) {
    win32::error_record(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // A writable line of its own: CreateProcessA may modify the buffer it is given.
  std::string command_line = quote_program_name(request.application);
  if (request.arguments != nullptr)
    command_line += request.arguments;
  // Windows refuses a longer line with this error; wine would take it and cut it silently
  // (its length wraps), losing arguments. Refused here on both, so no child ever runs on a
  // cut list.
  if (command_line.size() >= command_line_limit) {
    win32::error_record(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = os(request.std_input);
  startup.hStdOutput = os(request.std_output);
  startup.hStdError = os(request.std_error);
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  if (!CreateProcessA(request.application, command_line.data(), nullptr, nullptr,
                      request.inherit_handles ? TRUE : FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    win32::error_capture();
    // Windows refuses a directory with ERROR_ACCESS_DENIED; wine says ERROR_INVALID_HANDLE.
    DWORD attributes = GetFileAttributesA(request.application);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      win32::error_record(ERROR_ACCESS_DENIED);
    return false;
  }
  started.process = reinterpret_cast<handle>(info.hProcess);
  started.thread = reinterpret_cast<handle>(info.hThread);
  started.process_id = info.dwProcessId;
  return true;
}

bool process_wait(handle process, std::uint32_t& exit_code) {
  if (process == no_handle) {  // as a handle, -1 is this process: it would wait for itself
    win32::error_record(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD code = 0;
  if (WaitForSingleObject(os(process), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(os(process), &code)) {
    win32::error_capture();
    return false;
  }
  exit_code = code;
  return true;
}

void process_close(handle h) {
  if (h != no_handle && h != 0)  // -1 would name the current process
    CloseHandle(os(h));
}

}  // namespace pt::platform
