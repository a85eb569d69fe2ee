// POSIX backend: starting a child the way CreateProcessA starts one (the arguments split by the
// C-runtime rules, no path search, chosen standard handles, working directory and environment)
// with vfork and execve, so that the child runs under the signal settings the process was
// started with, in a process group of its own that holds its tree; a child that stands in for
// the process tied to it (stand_in.cpp); and reading its end as a Windows exit code.
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/posix/signals.h"
#include "ortolib/platform/posix/stand_in.h"
#include "ortolib/platform/private/environment_changes.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"

extern char** environ;

namespace pt::platform {
namespace {

using posix::error_capture;
using posix::error_record;

// The descriptor behind a standard handle, or -1: the child has none there.
int descriptor(handle h) { return h < 0 || h > INT_MAX ? -1 : static_cast<int>(h); }

// Everything the child does between vfork and execve, prepared by the parent: the child shares
// the parent's memory and may only make async-signal-safe calls, so it allocates nothing.
struct child_plan {
  const char* path = nullptr;
  char* const* argv = nullptr;
  char* const* envp = nullptr;
  const char* directory = nullptr;  // the working directory; null: the parent's
  int sources[3] = {-1, -1, -1};    // the descriptors that become 0, 1 and 2; -1: closed
  bool inherit_handles = true;
  int report = -1;  // close-on-exec pipe: an exec that fails writes its errno here
  const posix::startup_signals* signals = nullptr;
  pid_t parent = 0;        // a stand-in's: the process it is tied to; 0 for any other child
  bool own_group = false;  // the child leads a process group of its own
};

[[noreturn]] void report_failure(int report) {
  const int error = errno;
  // Four bytes into an empty pipe are written whole or not at all; nothing is left to do then.
  (void)!::write(report, &error, sizeof error);
  ::_exit(127);
}

// The child's standard descriptors. Every source that is itself 0-2 is first copied above 2
// (close-on-exec), so that no dup2 overwrites a source still to be placed; dup2 then gives each
// target without close-on-exec, also a source that was its own target.
void place_standard_descriptors(const child_plan& plan) {
  int copies[3];
  for (int target = 0; target < 3; ++target) {
    copies[target] = plan.sources[target];
    if (copies[target] >= 0 && copies[target] <= STDERR_FILENO) {
      copies[target] = ::fcntl(copies[target], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
      if (copies[target] < 0)
        report_failure(plan.report);
    }
  }
  for (int target = 0; target < 3; ++target) {
    if (copies[target] < 0)
      ::close(target);
    else if (::dup2(copies[target], target) < 0)
      report_failure(plan.report);
  }
  // A source above 2 goes from its own number: a Windows child receives the very handle as its
  // standard handle, not a second one, so when it closes its standard output the pipe's reader
  // sees the end of data even while the child runs on. (The library's own are close-on-exec.)
  for (int source : plan.sources)
    if (source > STDERR_FILENO)
      ::close(source);
}

// Without inherit_handles the child keeps nothing above 2: everything there is marked
// close-on-exec, the report pipe included, which is already.
void keep_only_standard_descriptors(const child_plan& plan) {
  if (::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
    return;
  const long open_max = ::sysconf(_SC_OPEN_MAX);  // kernels before 5.11
  for (long fd = STDERR_FILENO + 1; fd < open_max && fd <= INT_MAX; ++fd)
    if (fd != plan.report)
      ::close(static_cast<int>(fd));
}

// The child's signals: what the process changed for itself (SIGPIPE, SIGXFSZ, SIGCHLD) as it
// found them at start-up, every handler of the parent back to the default (exec would do that
// too, but a handler must not run in the child before it, on the parent's memory), every
// ignored signal still ignored, and the mask the process was started with.
void restore_signals(const child_plan& plan) {
  const posix::startup_signals& found = *plan.signals;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    if (signal_number == SIGKILL || signal_number == SIGSTOP)
      continue;
    struct sigaction current {};
    if (::sigaction(signal_number, nullptr, &current) != 0)
      continue;  // a number the C library keeps for itself
    void (*wanted)(int) = current.sa_handler == SIG_IGN ? SIG_IGN : SIG_DFL;
    if (signal_number == SIGPIPE)
      wanted = found.pipe_ignored ? SIG_IGN : SIG_DFL;
    else if (signal_number == SIGXFSZ)
      wanted = found.file_size_ignored ? SIG_IGN : SIG_DFL;
    else if (signal_number == SIGCHLD)
      wanted = found.child_ignored ? SIG_IGN : SIG_DFL;
    if (current.sa_handler == wanted)
      continue;
    struct sigaction action {};
    action.sa_handler = wanted;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
  }
  ::pthread_sigmask(SIG_SETMASK, &found.mask, nullptr);
}

[[noreturn]] void become_child(const child_plan& plan) {
  place_standard_descriptors(plan);
  if (!plan.inherit_handles)
    keep_only_standard_descriptors(plan);
  restore_signals(plan);
  if (plan.directory != nullptr && ::chdir(plan.directory) != 0)
    report_failure(plan.report);
  if (plan.own_group)
    ::setpgid(0, 0);  // before the exec, so that nothing the child starts is outside the group
  if (plan.parent != 0 && !posix::tie_to_parent(plan.parent))
    report_failure(plan.report);  // nobody is left to read it when the parent has gone
  ::execve(plan.path, plan.argv, plan.envp);
  report_failure(plan.report);
}

// vfork, as the C library's posix_spawn starts a child itself: the parent waits, sharing its
// memory, until the child has called execve or ended, so a start costs no copy of the parent's
// pages however large it is. The child makes only async-signal-safe calls on a plan made
// beforehand, and every signal is blocked meanwhile: no handler of the parent may run in the
// child before restore_signals. (posix_spawn itself cannot set a signal to be ignored.)
pid_t vfork_and_exec(const child_plan& plan) {
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  // NOLINTNEXTLINE(clang-analyzer-security.insecureAPI.vfork): see above
  const pid_t pid = ::vfork();
  if (pid == 0)
    become_child(plan);  // NOLINT(clang-analyzer-unix.Vfork): places descriptors and execs
  const int error = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = error;
  return pid;
}

// The error that the child reported before its exec, or 0 when the exec took place (the pipe
// closed without a word).
int child_exec_error(int report) {
  int error = 0;
  ssize_t got;
  do {
    got = ::read(report, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// The Windows exception code that stands for the end of a process by a signal (exit_codes.h).
std::uint32_t signal_exit_code(int signal_number) {
  switch (signal_number) {
    case SIGSEGV: return exception_access_violation;
    case SIGBUS: return exception_in_page_error;
    case SIGILL: return exception_illegal_instruction;
    case SIGFPE: return exception_integer_divide_by_zero;
    case SIGINT: return exception_control_c_exit;
    case SIGABRT: return exception_fail_fast;
    default: return exception_unsuccessful;
  }
}

// Waits until the child has ended, leaving it unreaped: its id stays taken meanwhile, so a
// signal passed on to it cannot reach another process.
void wait_unreaped(pid_t pid) {
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
}

bool wait_for(pid_t pid, int& status) {
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return false;
  }
  return true;
}

// A null-ended vector of texts, as execve takes argv and envp.
class text_vector {
 public:
  explicit text_vector(std::vector<std::string> items) : texts(std::move(items)) {
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
      pointers.push_back(text.data());
    pointers.push_back(nullptr);
  }
  char* const* get() const { return pointers.data(); }

 private:
  std::vector<std::string> texts;
  std::vector<char*> pointers;  // into texts
};

// Whether the child gets the process's environment as it is (environ itself, not a copy).
bool keeps_environment(const process_request& request) {
  return request.inherit_environment && request.environment_changes == nullptr;
}

// The child's environment, unless it keeps the process's: that, changed as the request says.
std::vector<std::string> child_environment(const process_request& request) {
  std::vector<std::string> entries;
  if (keeps_environment(request))
    return entries;
  if (request.inherit_environment)
    for (char** entry = environ; *entry != nullptr; ++entry)
      entries.emplace_back(*entry);
  if (request.environment_changes != nullptr)
    apply_environment_changes(entries, *request.environment_changes,
                              [](std::string_view a, std::string_view b) { return a == b; });
  return entries;
}

// The program to exec: a relative path is the parent's, as CreateProcess reads it, also when
// the child starts in a working directory of its own.
std::string program_path(const process_request& request) {
  std::string path = request.application;
  if (request.working_directory == nullptr || path.empty() || path.front() == '/')
    return path;
  std::vector<char> directory(PATH_MAX);
  if (::getcwd(directory.data(), directory.size()) == nullptr)
    return path;  // the exec then fails, or finds it from the working directory
  return std::string(directory.data()) + "/" + path;
}

// The child's argv: the path itself as argv[0] (only a Windows command line needs the program
// name quoted), then the arguments split by the C-runtime rules.
std::vector<std::string> child_arguments(const process_request& request) {
  std::vector<std::string> texts{request.application};
  for (std::string& argument : command_line_split_arguments(request.arguments))
    texts.push_back(std::move(argument));
  return texts;
}

// What the child execs, made before the start: it may allocate nothing itself.
struct child_texts {
  explicit child_texts(const process_request& request)
      : path(program_path(request)),
        argv(child_arguments(request)),
        envp(child_environment(request)) {}
  std::string path;
  text_vector argv;
  text_vector envp;
};

// The close-on-exec pipe on which a failed exec reports its errno, both ends clear of 0-2,
// where the child's standard descriptors go (a parent may have one closed).
bool open_report_pipe(int (&report)[2]) {
  if (::pipe2(report, O_CLOEXEC) != 0) {
    error_capture();
    return false;
  }
  for (int& end : report) {
    if (end <= STDERR_FILENO) {
      const int moved = ::fcntl(end, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
      ::close(end);
      end = moved;
    }
  }
  if (report[0] >= 0 && report[1] >= 0)
    return true;
  error_capture();
  for (int end : report)
    if (end >= 0)
      ::close(end);
  return false;
}

// Whether the process's group is the foreground of its controlling terminal: a person runs it
// at the terminal, whose Ctrl+C, Ctrl+Z and hangup reach the whole foreground group, and whose
// job control knows that group alone. A stand-in then stays in it, as a command a shell runs
// does; anywhere else (no terminal, a background job, a service) it gets a group of its own, so
// that the stops passed on to it reach everything it started.
bool in_terminal_foreground() {
  const int terminal = ::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0)
    return false;
  const bool foreground = ::tcgetpgrp(terminal) == ::getpgrp();
  ::close(terminal);
  return foreground;
}

child_plan plan_for(const process_request& request, const child_texts& texts, int report) {
  child_plan plan;
  plan.path = texts.path.c_str();  // used as given: execve searches no PATH
  plan.argv = texts.argv.get();
  plan.envp = keeps_environment(request) ? environ : texts.envp.get();
  plan.directory = request.working_directory;
  plan.sources[0] = descriptor(request.std_input);
  plan.sources[1] = descriptor(request.std_output);
  plan.sources[2] = descriptor(request.std_error);
  plan.inherit_handles = request.inherit_handles;
  plan.report = report;
  plan.signals = &posix::signals_at_startup();
  if (request.stand_in)
    plan.parent = ::getpid();
  plan.own_group = request.stand_in && !in_terminal_foreground();
  return plan;
}

// True once the child has called execve (the report pipe closed without a word). A failed exec
// (a directory: EACCES, a missing file: ENOENT, a command line too long: E2BIG) is a failed
// start, as with CreateProcessA: its error is recorded and the child it left is reaped.
bool child_has_exec(pid_t pid, int report, bool forwarding) {
  const int exec_error = child_exec_error(report);
  if (exec_error == 0)
    return true;
  if (forwarding)
    posix::forwarding_end();  // before the reap frees the id
  int status = 0;
  wait_for(pid, status);
  error_record(static_cast<os_error>(exec_error));
  return false;
}

}  // namespace

const os_error command_line_too_long = E2BIG;

const lead_bytes& ansi_lead_bytes() {
  static const lead_bytes none;
  return none;
}

bool process_start(const process_request& request, process_info& started) {
  if (request.application == nullptr) {
    error_record(ENOENT);
    return false;
  }
  const child_texts texts(request);
  int report[2];
  if (!open_report_pipe(report))
    return false;
  child_plan plan = plan_for(request, texts, report[1]);
  const bool forwarding = request.stand_in && posix::forwarding_begin();
  const pid_t pid = vfork_and_exec(plan);
  if (pid < 0)
    error_capture();
  else if (forwarding)
    posix::forwarding_child(pid, plan.own_group ? -pid : pid);
  ::close(report[1]);
  const bool exec_done = pid >= 0 && child_has_exec(pid, report[0], forwarding);
  ::close(report[0]);
  if (!exec_done) {
    if (pid < 0 && forwarding)
      posix::forwarding_end();
    return false;
  }
  started.process = pid;
  started.thread = no_handle;
  started.process_id = static_cast<std::uint32_t>(pid);
  started.stand_in = forwarding ? pid : no_handle;
  started.tree = plan.own_group ? pid : no_handle;
  return true;
}

bool process_wait(handle process, std::uint32_t& exit_code, int* end_signal) {
  // Never waitpid with 0 or a negative id: those wait for other children.
  if (process <= 0 || process > INT_MAX) {
    error_record(ECHILD);
    return false;
  }
  const auto pid = static_cast<pid_t>(process);
  if (posix::forwarding_to(pid)) {
    wait_unreaped(pid);
    posix::forwarding_forget(pid);
  }
  int status = 0;
  if (!wait_for(pid, status)) {
    error_capture();
    return false;
  }
  const int signal_number = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (signal_number != 0)
    exit_code = signal_exit_code(signal_number);
  else
    exit_code = static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (end_signal != nullptr)
    *end_signal = signal_number;
  return true;
}

bool process_wait_end(handle process) {
  if (process <= 0 || process > INT_MAX) {
    error_record(ECHILD);
    return false;
  }
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOWAIT) != 0) {
    if (errno != EINTR) {
      error_capture();
      return false;
    }
  }
  return true;
}

bool process_ended(handle process) {
  if (process <= 0 || process > INT_MAX)
    return false;
  siginfo_t info{};
  int result = 0;
  do {
    result = ::waitid(P_PID, static_cast<id_t>(process), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (result != 0 && errno == EINTR);
  return result != 0 || info.si_pid != 0;  // ECHILD: reaped already
}

bool process_kill(handle process) {
  if (process <= 0 || process > INT_MAX) {  // 0 and -1 would signal a whole group
    error_record(ESRCH);
    return false;
  }
  if (::kill(static_cast<pid_t>(process), SIGKILL) != 0) {
    error_capture();
    return false;
  }
  return true;
}

void process_stops_hold() { posix::stops_hold(); }

bool process_stop_requested() { return posix::stop_requested(); }

void process_close(handle) {
  // A pid is no resource to release; waiting again would risk a reused pid.
}

void process_stand_in_end(handle& stand_in) {
  if (stand_in != no_handle)
    posix::forwarding_end();
  stand_in = no_handle;
}

}  // namespace pt::platform

// A parent sees only the low 8 bits of the status a process passes to exit.
const std::uint32_t pt::exit_status_mask = 0xFF;
