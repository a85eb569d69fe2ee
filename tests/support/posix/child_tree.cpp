// POSIX: a process that leaves its parent's tree starts a session of its own.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <string>
#include <vector>

#include "ortolib/platform/command_line.h"
#include "support/child_tree.h"

extern char** environ;

namespace pt::test {

bool start_outside_tree(const char* program, const std::string& arguments, platform::handle input,
                        platform::handle output, platform::handle error) {
  std::vector<std::string> words{program};
  for (std::string& word : command_line_split_arguments(arguments.c_str()))
    words.push_back(std::move(word));
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  // Closed on the exec: once the parent reads its end, the child has left the tree.
  int left[2];
  if (::pipe2(left, O_CLOEXEC) != 0)
    return false;
  const pid_t pid = ::fork();
  if (pid != 0) {
    ::close(left[1]);
    char byte;
    while (::read(left[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(left[0]);
    return pid > 0;
  }
  ::setsid();
  const platform::handle sources[] = {input, output, error};
  for (int target = 0; target < 3; ++target)
    if (sources[target] >= 0 && sources[target] != target)
      ::dup2(static_cast<int>(sources[target]), target);
  ::execve(argv[0], argv.data(), environ);
  ::_exit(127);
}

std::uint32_t current_process_id() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace pt::test
