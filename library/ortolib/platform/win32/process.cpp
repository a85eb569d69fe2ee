// Windows backend: starting a child with CreateProcessA, hidden, with the given standard
// handles and the error mode of an unattended run, a batch file with its arguments quoted for
// cmd.exe, and reading its exit code.
#include <windows.h>

#include <string>
#include <string_view>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

HANDLE os(handle h) { return reinterpret_cast<HANDLE>(h); }

// The most a command line may hold, its terminating NUL included, in UTF-16 characters; each
// byte of an ANSI line becomes at least one of them.
constexpr std::size_t command_line_limit = 32767;

// True for a file that CreateProcess hands to cmd.exe: a name ending in .bat or .cmd in any
// case, also with trailing dots and spaces, which Windows drops from a path (a \\?\ path keeps
// them, and so names another file).
bool is_batch_file(std::string_view path) {
  if (!path.starts_with("\\\\?\\")) {
    while (!path.empty() && (path.back() == '.' || path.back() == ' '))
      path.remove_suffix(1);
  }
  if (path.size() < 4)
    return false;
  std::string extension(path.substr(path.size() - 4));
  for (char& c : extension)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension == ".bat" || extension == ".cmd";
}

// The child's command line: the program name and the argument tokens, or for a batch file the
// same arguments quoted for cmd.exe. False, with the error recorded, when there is none.
bool build_command_line(const process_request& request, std::string& command_line) {
  const char* arguments = request.arguments != nullptr ? request.arguments : "";
  if (is_batch_file(request.application)) {
    switch (batch_command_line(request.application, arguments, ansi_lead_bytes(), command_line)) {
      case batch_refusal::none: break;
      case batch_refusal::unsafe_text: win32::error_record(ERROR_BAD_ARGUMENTS); return false;
      case batch_refusal::too_long: win32::error_record(ERROR_FILENAME_EXCED_RANGE); return false;
    }
  } else {
    command_line = quote_program_name(request.application);
    command_line += arguments;
  }
  // Windows refuses a longer line with this error; wine would take it and cut it silently
  // (its length wraps), losing arguments. Refused here on both, so no child ever runs on a
  // cut list.
  if (command_line.size() >= command_line_limit) {
    win32::error_record(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  return true;
}

// The error mode a child inherits, set on this process for the span of one start: no dialog
// for a crash, a missing DLL or a missing disk waits for a click that never comes in an
// unattended run; the child ends with its exception code instead. The mode belongs to the
// whole process, so starts take turns: two overlapping starts would each restore what the
// other had set.
class unattended_error_mode {
 public:
  unattended_error_mode() {
    AcquireSRWLockExclusive(&lock);
    previous_ = GetErrorMode();
    SetErrorMode(previous_ | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
                 SEM_NOOPENFILEERRORBOX);
  }
  ~unattended_error_mode() {
    SetErrorMode(previous_);
    ReleaseSRWLockExclusive(&lock);
  }
  unattended_error_mode(const unattended_error_mode&) = delete;
  unattended_error_mode& operator=(const unattended_error_mode&) = delete;

 private:
  static SRWLOCK lock;
  UINT previous_;
};

SRWLOCK unattended_error_mode::lock = SRWLOCK_INIT;

}  // namespace

const lead_bytes& ansi_lead_bytes() {
  static const lead_bytes lead = [] {
    lead_bytes bytes;
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte)
      bytes[byte] = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte)) != FALSE;
    return bytes;
  }();
  return lead;
}

// A parent reads all 32 bits of a status with GetExitCodeProcess.
const std::uint32_t exit_status_mask = 0xFFFFFFFF;

bool process_start(const process_request& request, process_info& started) {
  if (request.application == nullptr) {
    win32::error_record(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // A writable line of its own: CreateProcessA may modify the buffer it is given.
  std::string command_line;
  if (!build_command_line(request, command_line))
    return false;
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
  const unattended_error_mode unattended;
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
