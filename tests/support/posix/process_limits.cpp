// POSIX: process limits through setrlimit, and a child started by fork and exec, so that the
// limits reach that child alone and not the test process.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"
#include "support/process_limits.h"

extern char** environ;

namespace pt::test {
namespace {

struct limit_setting {
  int resource;
  rlimit value;
};

int signal_number(test_signal which) {
  switch (which) {
    case test_signal::hangup: return SIGHUP;
    case test_signal::interrupt: return SIGINT;
    case test_signal::quit: return SIGQUIT;
    case test_signal::terminate: return SIGTERM;
    case test_signal::pipe: return SIGPIPE;
    case test_signal::file_size: return SIGXFSZ;
    case test_signal::child: return SIGCHLD;
    case test_signal::user1: return SIGUSR1;
    case test_signal::stop: return SIGSTOP;
  }
  return 0;
}

// The signal settings of the child: the ignored set, and the mask. Computed before a fork.
struct signal_setting {
  sigset_t ignored;
  sigset_t mask;
  bool new_session = false;
};

signal_setting prepare_signals(const signal_setup& setup) {
  signal_setting setting;
  sigemptyset(&setting.ignored);
  sigemptyset(&setting.mask);
  for (test_signal which : setup.ignored)
    sigaddset(&setting.ignored, signal_number(which));
  for (test_signal which : setup.blocked)
    sigaddset(&setting.mask, signal_number(which));
  setting.new_session = setup.new_session;
  return setting;
}

// The setrlimit calls for limits: each soft limit lowered to the request, the hard limit kept
// (a soft limit above it would be refused). Computed before a fork.
bool prepare(const process_limits& limits, std::vector<limit_setting>& settings) {
  for (auto [resource, bytes] : {std::pair<int, std::uint64_t>{RLIMIT_AS, limits.address_space},
                                 std::pair<int, std::uint64_t>{RLIMIT_FSIZE, limits.file_size},
                                 std::pair<int, std::uint64_t>{RLIMIT_NOFILE, limits.open_files}}) {
    if (bytes == 0)
      continue;
    limit_setting setting{resource, {}};
    if (::getrlimit(resource, &setting.value) != 0)
      return false;
    if (setting.value.rlim_max != RLIM_INFINITY && setting.value.rlim_max < bytes)
      return false;
    setting.value.rlim_cur = bytes;
    settings.push_back(setting);
  }
  return true;
}

// Only async-signal-safe calls from here to the exec: the test process may have other threads,
// and the forked child is a copy of one of them.
[[noreturn]] void report_and_exit(int report) {
  int error = errno;
  (void)::write(report, &error, sizeof error);
  ::_exit(127);
}

int descriptor(platform::handle h) { return h < 0 || h > INT_MAX ? -1 : static_cast<int>(h); }

[[noreturn]] void become_child(const platform::process_request& request, char* const* argv,
                               const limit_setting* settings, std::size_t setting_count,
                               const signal_setting& signals, int report) {
  // Every source is first copied above the targets (close-on-exec), so that no dup2 overwrites
  // a source that is still to be placed; a handle that is no descriptor leaves its target closed.
  const int sources[3] = {descriptor(request.std_input), descriptor(request.std_output),
                          descriptor(request.std_error)};
  int copies[3] = {-1, -1, -1};
  for (int i = 0; i < 3; ++i)
    if (sources[i] >= 0 && (copies[i] = ::fcntl(sources[i], F_DUPFD_CLOEXEC, 3)) < 0)
      report_and_exit(report);
  for (int i = 0; i < 3; ++i) {
    if (copies[i] < 0)
      ::close(i);
    else if (::dup2(copies[i], i) < 0)
      report_and_exit(report);
  }
  // As with process_start, the child holds its standard handles once, not under their old
  // numbers as well.
  for (int source : sources)
    if (source > STDERR_FILENO)
      ::close(source);
  if (!request.inherit_handles)
    ::close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC);

  struct sigaction action {};
  for (int number = 1; number < NSIG; ++number) {
    action.sa_handler = sigismember(&signals.ignored, number) == 1 ? SIG_IGN : SIG_DFL;
    ::sigaction(number, &action, nullptr);  // fails harmlessly for KILL, STOP
  }
  ::sigprocmask(SIG_SETMASK, &signals.mask, nullptr);
  if (signals.new_session)
    ::setsid();
  // Last, so that a limit on descriptors leaves the placing of the standard ones alone.
  for (std::size_t i = 0; i < setting_count; ++i)
    if (::setrlimit(settings[i].resource, &settings[i].value) != 0)
      report_and_exit(report);

  ::execve(argv[0], argv, environ);
  report_and_exit(report);
}

}  // namespace

bool process_limits_supported() { return true; }

bool join_new_job() { return false; }

bool process_signal(platform::handle process, test_signal which) {
  return ::kill(static_cast<pid_t>(process), signal_number(which)) == 0;
}

bool limit_this_process(const process_limits& limits) {
  std::vector<limit_setting> settings;
  if (!prepare(limits, settings))
    return false;
  for (const limit_setting& setting : settings)
    if (::setrlimit(setting.resource, &setting.value) != 0)
      return false;
  return true;
}

platform::os_error start_limited(const platform::process_request& request,
                                 const process_limits& limits, platform::process_info& started,
                                 const signal_setup& signals) {
  std::vector<std::string> arguments{request.application};
  for (std::string& argument : command_line_split_arguments(request.arguments))
    arguments.push_back(std::move(argument));
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<limit_setting> settings;
  if (!prepare(limits, settings))
    return EINVAL;
  const signal_setting child_signals = prepare_signals(signals);

  // The child writes its errno here when it fails before or at its exec; the pipe closes
  // itself at a successful exec, so the parent then reads the end of data.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0)
    return static_cast<platform::os_error>(errno);
  const pid_t pid = ::fork();
  if (pid == 0)
    become_child(request, argv.data(), settings.data(), settings.size(), child_signals, report[1]);
  const int fork_error = errno;
  ::close(report[1]);
  if (pid < 0) {
    ::close(report[0]);
    return static_cast<platform::os_error>(fork_error);
  }
  int child_error = 0;
  ssize_t got;
  while ((got = ::read(report[0], &child_error, sizeof child_error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof child_error)) {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return static_cast<platform::os_error>(child_error);
  }
  started.process = pid;
  started.thread = platform::no_handle;
  started.process_id = static_cast<std::uint32_t>(pid);
  return 0;
}

}  // namespace pt::test
