// POSIX: a pseudo-terminal; the child makes it the controlling terminal of its new session.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "support/terminal.h"

extern char** environ;

namespace pt::test {

test_terminal::~test_terminal() {
  if (controller_ >= 0)
    ::close(controller_);
}

bool test_terminal::start(const platform::process_request& request,
                          platform::process_info& started) {
  controller_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (controller_ < 0 || ::grantpt(controller_) != 0 || ::unlockpt(controller_) != 0)
    return false;
  const std::string device = ::ptsname(controller_);
  std::vector<std::string> words{request.application};
  for (std::string& word : command_line_split_arguments(request.arguments))
    words.push_back(std::move(word));
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    ::setsid();  // a session, and its only group, the terminal's foreground
    const int terminal = ::open(device.c_str(), O_RDWR);
    if (terminal < 0 || ::ioctl(terminal, TIOCSCTTY, 0) != 0)
      ::_exit(127);
    for (int target = 0; target < 3; ++target)
      ::dup2(terminal, target);
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  started.process = pid;
  started.process_id = static_cast<std::uint32_t>(pid);
  return true;
}

void test_terminal::type(std::string_view bytes) {
  (void)!::write(controller_, bytes.data(), bytes.size());
}

}  // namespace pt::test
