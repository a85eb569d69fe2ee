// Windows backend: starting a child with CreateProcessW, hidden, with the given standard
// handles, working directory and environment (child_environment.cpp) and the error mode of an
// unattended run, passing it no handle the library opened for itself, a batch file with its
// arguments quoted for cmd.exe, in a job that holds its tree (job.cpp); and reading its exit
// code.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/child_environment.h"
#include "ortolib/platform/win32/command_line_limit.h"
#include "ortolib/platform/win32/error.h"
#include "ortolib/platform/win32/job.h"
#include "ortolib/platform/win32/text_conversion.h"

namespace pt::platform {
namespace {

HANDLE os(handle h) { return reinterpret_cast<HANDLE>(h); }

// Null is no handle, and INVALID_HANDLE_VALUE, as a handle, the current process.
bool is_real(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// The library's handles are not inheritable, so the child's standard handles are given to it
// as inheritable duplicates made for the one start and closed after it. A handle given twice
// (standard output and error, usually) has one duplicate.
class inheritable_copies {
 public:
  inheritable_copies() = default;
  inheritable_copies(const inheritable_copies&) = delete;
  inheritable_copies& operator=(const inheritable_copies&) = delete;
  ~inheritable_copies() {
    for (const auto& [source, copy] : copies_)
      CloseHandle(copy);
  }

  // The duplicate of source; what is no handle, or cannot be duplicated, goes on as it is
  // (the child then has no usable handle there).
  HANDLE of(HANDLE source) {
    if (!is_real(source))
      return source;
    for (const auto& [known, copy] : copies_)
      if (known == source)
        return copy;
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, source, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
      return source;
    copies_.emplace_back(source, copy);
    return copy;
  }

  std::vector<HANDLE> handles() const {
    std::vector<HANDLE> list;
    for (const auto& [source, copy] : copies_)
      list.push_back(copy);
    return list;
  }

 private:
  std::vector<std::pair<HANDLE, HANDLE>> copies_;
};

// An attribute list that limits what a child inherits to the handles named in it.
class handle_list_attribute {
 public:
  explicit handle_list_attribute(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size))
      return;
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                   handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  handle_list_attribute(const handle_list_attribute&) = delete;
  handle_list_attribute& operator=(const handle_list_attribute&) = delete;
  ~handle_list_attribute() {
    if (list_ != nullptr)
      DeleteProcThreadAttributeList(list_);
  }

  // Null when the list could not be made.
  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

 private:
  std::vector<HANDLE> handles_;  // the list points into it
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// The process's own standard handles are the counterpart of the descriptors 0-2 that a POSIX
// child's own replace: a process that inherited them holds them inheritable, and they would
// reach the child as extra copies of the process's input and output (a caller reading the
// process's output would wait for the child too). Kept out for one start; the child gets the
// standard handles it is given.
class standard_handles_kept_out {
 public:
  standard_handles_kept_out() {
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      const HANDLE standard = GetStdHandle(which);
      DWORD flags = 0;
      if (is_real(standard) && GetHandleInformation(standard, &flags) &&
          (flags & HANDLE_FLAG_INHERIT) != 0 &&
          SetHandleInformation(standard, HANDLE_FLAG_INHERIT, 0))
        kept_out_.push_back(standard);
    }
  }
  ~standard_handles_kept_out() {
    for (HANDLE standard : kept_out_)
      SetHandleInformation(standard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  standard_handles_kept_out(const standard_handles_kept_out&) = delete;
  standard_handles_kept_out& operator=(const standard_handles_kept_out&) = delete;

 private:
  std::vector<HANDLE> kept_out_;
};

// Starts run one at a time: while one start's duplicates exist, another start that passes on
// every inheritable handle would give them to its child as well (and would find the standard
// handles kept out); and two overlapping starts would each restore the error mode the other
// had set (unattended_error_mode).
SRWLOCK start_lock = SRWLOCK_INIT;

class start_lock_guard {
 public:
  start_lock_guard() { AcquireSRWLockExclusive(&start_lock); }
  ~start_lock_guard() { ReleaseSRWLockExclusive(&start_lock); }
  start_lock_guard(const start_lock_guard&) = delete;
  start_lock_guard& operator=(const start_lock_guard&) = delete;
};

// The request's application and arguments in one encoding, so that one set of rules builds
// the line: as given when they share one, otherwise both in UTF-8 (the ANSI one converted as
// the system converts it). False when a UTF-8 text is not valid UTF-8.
struct line_texts {
  std::string application;
  std::string arguments;
  text_encoding encoding = text_encoding::ansi;
};

bool in_utf8(std::string_view text, text_encoding encoding, std::string& utf8) {
  if (encoding == text_encoding::utf8) {
    utf8 = text;
    return true;
  }
  std::wstring wide;
  if (!win32::wide_text(text, encoding, wide))
    return false;
  utf8 = win32::utf8_text(wide);
  return true;
}

bool common_texts(const process_request& request, const char* arguments, line_texts& texts) {
  if (request.application_encoding == request.arguments_encoding) {
    texts = {request.application, arguments, request.arguments_encoding};
    return true;
  }
  texts.encoding = text_encoding::utf8;
  return in_utf8(request.application, request.application_encoding, texts.application) &&
         in_utf8(arguments, request.arguments_encoding, texts.arguments);
}

// The child's command line, wide: the program name and the argument tokens, or for a batch
// file the same arguments quoted for cmd.exe; and the application's wide path. False, with
// the error recorded, when there is none.
bool build_command_line(const process_request& request, std::wstring& application,
                        std::wstring& command_line) {
  line_texts texts;
  if (!common_texts(request, request.arguments != nullptr ? request.arguments : "", texts) ||
      !win32::wide_text(request.application, request.application_encoding, application)) {
    win32::error_record(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  // UTF-8 has no lead bytes: no byte of a character is ever a quote or a backslash.
  static const lead_bytes utf8_lead;
  const lead_bytes& lead = texts.encoding == text_encoding::ansi ? ansi_lead_bytes() : utf8_lead;
  std::string line;
  if (is_batch_file(texts.application)) {
    switch (batch_command_line(texts.application, texts.arguments.c_str(), lead, line,
                               texts.encoding)) {
      case batch_refusal::none: break;
      case batch_refusal::unsafe_text: win32::error_record(ERROR_BAD_ARGUMENTS); return false;
      case batch_refusal::too_long: win32::error_record(ERROR_FILENAME_EXCED_RANGE); return false;
    }
  } else {
    line = quote_program_name(texts.application);
    line += texts.arguments;
  }
  // An ANSI line becomes what CreateProcessA would make of it: each byte, or a lead byte with
  // the byte after it, one UTF-16 unit.
  if (!win32::wide_text(line, texts.encoding, command_line)) {
    win32::error_record(ERROR_NO_UNICODE_TRANSLATION);
    return false;
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
// whole process: made only under the start lock.
class unattended_error_mode {
 public:
  unattended_error_mode() : previous_(GetErrorMode()) {
    SetErrorMode(previous_ | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX |
                 SEM_NOOPENFILEERRORBOX);
  }
  ~unattended_error_mode() { SetErrorMode(previous_); }
  unattended_error_mode(const unattended_error_mode&) = delete;
  unattended_error_mode& operator=(const unattended_error_mode&) = delete;

 private:
  UINT previous_;
};

// What a start gives CreateProcessW beside its command line: the child's standard handles as
// inheritable duplicates made for it, and, without inherit_handles, the attribute list that
// limits what it inherits to them (with inherit_handles it gets every inheritable handle: the
// duplicates, and what the process inherited itself).
class start_setup {
 public:
  explicit start_setup(const process_request& request) {
    ZeroMemory(&startup, sizeof startup);
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = copies.of(os(request.std_input));
    startup.StartupInfo.hStdOutput = copies.of(os(request.std_output));
    startup.StartupInfo.hStdError = copies.of(os(request.std_error));
    if (!request.inherit_handles)
      limit_to_standard_handles();
  }
  start_setup(const start_setup&) = delete;
  start_setup& operator=(const start_setup&) = delete;

  // False, with the error recorded, when the list could not be made.
  bool ready() const { return ready_; }
  STARTUPINFOW* startup_info() { return &startup.StartupInfo; }
  BOOL inherit = TRUE;
  DWORD flags = 0;

 private:
  void limit_to_standard_handles() {
    std::vector<HANDLE> standard = copies.handles();
    if (standard.empty()) {
      inherit = FALSE;
      return;
    }
    only_standard.emplace(std::move(standard));
    if (only_standard->list() == nullptr) {
      win32::error_capture();
      ready_ = false;
      return;
    }
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = only_standard->list();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  inheritable_copies copies;
  std::optional<handle_list_attribute> only_standard;
  STARTUPINFOEXW startup;
  bool ready_ = true;
};

// CreateProcessW under the error mode of an unattended run. False with the error recorded;
// Windows refuses a directory with ERROR_ACCESS_DENIED, wine says ERROR_INVALID_HANDLE, and
// both read as the former.
bool create_process(const std::wstring& application, std::wstring& command_line, start_setup& setup,
                    win32::child_environment& place, DWORD extra_flags, PROCESS_INFORMATION& info) {
  ZeroMemory(&info, sizeof info);
  const unattended_error_mode unattended;
  if (CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, setup.inherit,
                     setup.flags | extra_flags | CREATE_UNICODE_ENVIRONMENT, place.block(),
                     place.directory(), setup.startup_info(), &info))
    return true;
  win32::error_capture();
  DWORD attributes = GetFileAttributesW(application.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    win32::error_record(ERROR_ACCESS_DENIED);
  return false;
}

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

const os_error command_line_too_long = ERROR_FILENAME_EXCED_RANGE;

bool process_start(const process_request& request, process_info& started) {
  if (request.application == nullptr) {
    win32::error_record(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // A writable line of its own: CreateProcessW may modify the buffer it is given.
  std::wstring application;
  std::wstring command_line;
  if (!build_command_line(request, application, command_line))
    return false;
  win32::child_environment place(request);
  if (!place.ready())
    return false;

  start_lock_guard one_at_a_time;
  start_setup setup(request);
  if (!setup.ready())
    return false;
  standard_handles_kept_out kept_out;
  win32::child_job job(request.tree, request.stand_in);
  PROCESS_INFORMATION info;
  if (!create_process(application, command_line, setup, place, job.creation_flags(), info))
    return false;
  if (!job.adopt(info)) {  // a child that cannot run is no start
    TerminateProcess(info.hProcess, ERROR_PROCESS_ABORTED);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return false;
  }
  job.hand_over(started);
  started.process = reinterpret_cast<handle>(info.hProcess);
  started.thread = reinterpret_cast<handle>(info.hThread);
  started.process_id = info.dwProcessId;
  return true;
}

bool process_wait(handle process, std::uint32_t& exit_code, int* end_signal) {
  if (end_signal != nullptr)
    *end_signal = 0;
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

bool process_wait_end(handle process) {
  if (process == no_handle) {
    win32::error_record(ERROR_INVALID_HANDLE);
    return false;
  }
  if (WaitForSingleObject(os(process), INFINITE) != WAIT_OBJECT_0) {
    win32::error_capture();
    return false;
  }
  return true;
}

bool process_ended(handle process) {
  return process != no_handle && WaitForSingleObject(os(process), 0) == WAIT_OBJECT_0;
}

bool process_kill(handle process) {
  if (process == no_handle) {  // as a handle, -1 is this process
    win32::error_record(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!TerminateProcess(os(process), killed_exit_code)) {
    win32::error_capture();
    return false;
  }
  return true;
}

void process_close(handle h) {
  if (h != no_handle && h != 0)  // -1 would name the current process
    CloseHandle(os(h));
}

}  // namespace pt::platform

// A parent reads all 32 bits of a status with GetExitCodeProcess.
const std::uint32_t pt::exit_status_mask = 0xFFFFFFFF;
