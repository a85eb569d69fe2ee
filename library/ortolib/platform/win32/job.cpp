// Windows backend: a child whose tree is wanted runs in a job of its own, which holds that tree,
// so that ending the child can end what it started. A stand-in's job also ends it, and its tree, if
// the process ends first however it ends (TerminateProcess included); once the child has ended the
// job lets go, so that what it left running on purpose (a server, a program started detached)
// runs on. While the process holds its stops, Ctrl+C and Ctrl+Break at the console do not end
// it: a stand-in gets them as well and decides.
#include "ortolib/platform/win32/job.h"

#include <atomic>

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

// Holders of the console's events (process_stops_hold, each stand-in's run), stand-ins that
// run now, and whether an event reached the process while it held them and none ran.
std::atomic<int> holds{0};
std::atomic<int> stand_ins_running{0};
std::atomic<bool> stopped{false};

// A handler routine, not the ignore flag of SetConsoleCtrlHandler(nullptr, TRUE), which
// children would inherit: the child keeps the console's events as it would get them anyway.
BOOL WINAPI hold_console_stops(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;
  if (stand_ins_running.load() == 0)
    stopped.store(true);  // no child to decide: a start still to come is not made
  return TRUE;
}

// The handler is added once per holder and taken away with the last one's.
void hold_console() {
  if (holds.fetch_add(1) == 0)
    stopped.store(false);
  SetConsoleCtrlHandler(hold_console_stops, TRUE);
}

void release_console() {
  SetConsoleCtrlHandler(hold_console_stops, FALSE);
  holds.fetch_sub(1);
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

// Not inheritable: only this process holds the job.
child_job::child_job(bool tree, bool stand_in)
    : job_(tree || stand_in ? CreateJobObjectA(nullptr, nullptr) : nullptr),
      tree_(tree),
      stand_in_(stand_in) {
  if (job_ != nullptr && !set_limits(job_, stand_in ? kill_on_close : let_go)) {
    CloseHandle(job_);
    job_ = nullptr;
  }
}

child_job::~child_job() {
  if (job_ != nullptr)
    CloseHandle(job_);
}

DWORD child_job::creation_flags() const { return job_ != nullptr ? CREATE_SUSPENDED : 0; }

bool child_job::adopt(const PROCESS_INFORMATION& child) {
  if (job_ == nullptr)
    return true;
  // Refused inside a caller's job that allows no nesting: the child then runs as before, and a
  // stand-in's job, empty, still stands for the console's events until the run ends.
  adopted_ = AssignProcessToJobObject(job_, child.hProcess) != FALSE;
  if (ResumeThread(child.hThread) == static_cast<DWORD>(-1)) {
    error_capture();
    return false;
  }
  if (stand_in_) {
    stand_ins_running.fetch_add(1);
    hold_console();
  }
  return true;
}

void child_job::hand_over(process_info& started) {
  if (job_ == nullptr)
    return;
  HANDLE tree = nullptr;
  if (adopted_ && tree_) {
    const HANDLE self = GetCurrentProcess();
    if (!stand_in_)
      tree = job_;
    else if (!DuplicateHandle(self, job_, self, &tree, 0, FALSE, DUPLICATE_SAME_ACCESS))
      tree = nullptr;
  }
  started.tree = tree != nullptr ? reinterpret_cast<handle>(tree) : no_handle;
  if (stand_in_)
    started.stand_in = reinterpret_cast<handle>(job_);
  else if (tree == nullptr)
    CloseHandle(job_);
  job_ = nullptr;
}

}  // namespace win32

void process_stand_in_end(handle& stand_in) {
  if (stand_in == no_handle)
    return;
  const auto job = reinterpret_cast<HANDLE>(stand_in);
  set_limits(job, let_go);
  stand_ins_running.fetch_sub(1);
  release_console();
  CloseHandle(job);
  stand_in = no_handle;
}

void process_stops_hold() { hold_console(); }

bool process_stop_requested() { return holds.load() > 0 && stopped.load(); }

}  // namespace pt::platform
