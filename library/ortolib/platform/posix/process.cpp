// POSIX backend: starting a child with posix_spawn the way CreateProcessA starts one (the
// arguments split by the C-runtime rules, no path search, chosen standard handles) and reading
// its end as a Windows exit code.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"

extern char** environ;

namespace pt::platform {
namespace {

using posix::error_capture;
using posix::error_record;

// The child's standard descriptors as file actions. A source that is itself 0-2 but not its
// own target is first copied above 2 (close-on-exec in the parent), or an earlier dup2 in the
// child could overwrite it before it is used. Owns those copies until destroyed.
//
// A source above 2 is closed in the child once it is placed: a Windows child receives the very
// handle as its standard handle, not a second one, so when it closes its standard output the
// pipe's reader sees the end of data even while the child runs on.
class child_descriptors {
 public:
  child_descriptors() { ::posix_spawn_file_actions_init(&actions_); }
  ~child_descriptors() {
    ::posix_spawn_file_actions_destroy(&actions_);
    for (int fd : moved_)
      ::close(fd);
  }
  child_descriptors(const child_descriptors&) = delete;
  child_descriptors& operator=(const child_descriptors&) = delete;

  // Returns the error number of a failure, 0 on success.
  int place(handle source, int target) {
    if (source < 0 || source > INT_MAX)  // not a descriptor: the child has none there
      return ::posix_spawn_file_actions_addclose(&actions_, target);
    int fd = static_cast<int>(source);
    if (fd <= STDERR_FILENO && fd != target) {
      fd = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
      if (fd < 0)
        return errno;
      moved_.push_back(fd);
    } else if (fd > STDERR_FILENO &&
               std::find(sources_.begin(), sources_.end(), fd) == sources_.end()) {
      sources_.push_back(fd);
    }
    // dup2 onto itself clears close-on-exec, so a source that is its own target is kept too.
    return ::posix_spawn_file_actions_adddup2(&actions_, fd, target);
  }

  // After every place: the sources' own numbers.
  int close_sources() {
    for (int fd : sources_)
      if (int error = ::posix_spawn_file_actions_addclose(&actions_, fd))
        return error;
    return 0;
  }

  int close_the_rest() { return ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3); }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  std::vector<int> moved_;
  std::vector<int> sources_;
};

// Every signal back to its default disposition (the parent ignores SIGPIPE) and none blocked.
class child_signals {
 public:
  child_signals() {
    ::posix_spawnattr_init(&attributes_);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    ::posix_spawnattr_setsigdefault(&attributes_, &all);
    ::posix_spawnattr_setsigmask(&attributes_, &none);
    ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~child_signals() { ::posix_spawnattr_destroy(&attributes_); }
  child_signals(const child_signals&) = delete;
  child_signals& operator=(const child_signals&) = delete;

  const posix_spawnattr_t* attributes() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// The Windows exception code that stands for the end of a process by a signal.
std::uint32_t signal_exit_code(int signal_number) {
  switch (signal_number) {
    case SIGSEGV: return 0xC0000005;  // access violation
    case SIGBUS: return 0xC0000006;   // in-page error
    case SIGILL: return 0xC000001D;   // illegal instruction
    case SIGFPE: return 0xC0000094;   // integer divide by zero
    case SIGINT: return 0xC000013A;   // control-C exit
    case SIGABRT: return 0xC0000409;  // what abort() raises as a fail-fast on Windows
    default: return 0xC0000001;       // unsuccessful
  }
}

}  // namespace

// A parent sees only the low 8 bits of the status a process passes to exit.
const std::uint32_t exit_status_mask = 0xFF;

const lead_bytes& ansi_lead_bytes() {
  static const lead_bytes none;
  return none;
}

bool process_start(const process_request& request, process_info& started) {
  if (request.application == nullptr) {
    error_record(ENOENT);
    return false;
  }
  // argv[0] is the path itself: only a Windows command line needs the program name quoted.
  std::vector<std::string> arguments{request.application};
  for (std::string& argument : command_line_split_arguments(request.arguments))
    arguments.push_back(std::move(argument));
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  child_descriptors descriptors;
  int error = descriptors.place(request.std_input, STDIN_FILENO);
  if (error == 0)
    error = descriptors.place(request.std_output, STDOUT_FILENO);
  if (error == 0)
    error = descriptors.place(request.std_error, STDERR_FILENO);
  if (error == 0)
    error = request.inherit_handles ? descriptors.close_sources() : descriptors.close_the_rest();
  child_signals signals;
  pid_t pid = 0;
  // posix_spawn, never posix_spawnp: the path is used as given. glibc reports a failed exec
  // (a directory: EACCES, a missing file: ENOENT) as its result, like a failed CreateProcessA.
  if (error == 0)
    error = ::posix_spawn(&pid, argv.front(), descriptors.actions(), signals.attributes(),
                          argv.data(), environ);
  if (error != 0) {
    error_record(static_cast<os_error>(error));
    return false;
  }
  started.process = pid;
  started.thread = no_handle;
  started.process_id = static_cast<std::uint32_t>(pid);
  return true;
}

bool process_wait(handle process, std::uint32_t& exit_code) {
  // Never waitpid with 0 or a negative id: those wait for other children.
  if (process <= 0 || process > INT_MAX) {
    error_record(ECHILD);
    return false;
  }
  int status = 0;
  while (::waitpid(static_cast<pid_t>(process), &status, 0) < 0) {
    if (errno != EINTR) {
      error_capture();
      return false;
    }
  }
  if (WIFSIGNALED(status))
    exit_code = signal_exit_code(WTERMSIG(status));
  else
    exit_code = static_cast<std::uint32_t>(WEXITSTATUS(status));
  return true;
}

void process_close(handle) {
  // A pid is no resource to release; waiting again would risk a reused pid.
}

}  // namespace pt::platform
