// Windows backend: a child that stands in for the process runs in a job of its own that ends
// it, and what it starts, if the process ends first however it ends (TerminateProcess
// included); once the child has ended the job lets go, so that what it left running on purpose
// (a server, a program started detached) runs on. While it runs, Ctrl+C and Ctrl+Break at the
// console do not end the process: the child gets them as well and decides.
#include "ortolib/platform/win32/job.h"

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

// A handler routine, not the ignore flag of SetConsoleCtrlHandler(nullptr, TRUE), which
// children would inherit: the child keeps the console's events as it would get them anyway.
BOOL WINAPI leave_to_child(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

// A grandchild that asks to break away from the job (CREATE_BREAKAWAY_FROM_JOB) may, as it
// could were the child in no job of ours.
constexpr DWORD kill_on_close = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
constexpr DWORD let_go = JOB_OBJECT_LIMIT_BREAKAWAY_OK;

bool set_limits(HANDLE job, DWORD flags) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ZeroMemory(&limits, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = flags;
  return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) !=
         FALSE;
}

}  // namespace

namespace win32 {

stand_in_job::stand_in_job(bool wanted) {
  if (!wanted)
    return;
  job_ = CreateJobObjectA(nullptr, nullptr);  // not inheritable: only this process holds it
  if (job_ != nullptr && !set_limits(job_, kill_on_close)) {
    CloseHandle(job_);
    job_ = nullptr;
  }
}

stand_in_job::~stand_in_job() {
  if (job_ != nullptr)
    CloseHandle(job_);
}

DWORD stand_in_job::creation_flags() const { return job_ != nullptr ? CREATE_SUSPENDED : 0; }

bool stand_in_job::adopt(const PROCESS_INFORMATION& child) {
  if (job_ == nullptr)
    return true;
  // Refused inside a caller's job that allows no nesting: the child then runs as before, and
  // the job, empty, still stands for the console's events until the run ends.
  AssignProcessToJobObject(job_, child.hProcess);
  if (ResumeThread(child.hThread) == static_cast<DWORD>(-1)) {
    error_capture();
    return false;
  }
  SetConsoleCtrlHandler(leave_to_child, TRUE);
  return true;
}

handle stand_in_job::release() {
  const HANDLE job = job_;
  job_ = nullptr;
  return job != nullptr ? reinterpret_cast<handle>(job) : no_handle;
}

}  // namespace win32

void process_stand_in_end(handle& stand_in) {
  if (stand_in == no_handle)
    return;
  const auto job = reinterpret_cast<HANDLE>(stand_in);
  set_limits(job, let_go);
  SetConsoleCtrlHandler(leave_to_child, FALSE);
  CloseHandle(job);
  stand_in = no_handle;
}

}  // namespace pt::platform
