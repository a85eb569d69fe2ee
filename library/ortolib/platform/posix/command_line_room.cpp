// POSIX backend: the room of a command line, counted as Linux counts the arguments and the
// environment of an exec (fs/exec.c), so that what does not fit here would be refused there.
#include "ortolib/platform/command_line_room.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern char** environ;

namespace pt {

namespace {

constexpr std::uint64_t pointer_size = sizeof(char*);

// What a string costs: its bytes, its NUL, and the pointer to it (argv or envp).
std::uint64_t string_cost(std::uint64_t length) { return length + 1 + pointer_size; }

std::uint64_t page_size() {
  const long size = ::sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

// A quarter of the stack limit, at least ARG_MAX (128 KiB) and at most three quarters of
// _STK_LIM (6 MiB).
std::uint64_t platform_total_limit() {
  constexpr std::uint64_t at_least = std::uint64_t{128} << 10;
  constexpr std::uint64_t at_most = std::uint64_t{6} << 20;
  rlimit stack{};
  std::uint64_t quarter = at_most;
  if (::getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY)
    quarter = stack.rlim_cur / 4;
  return std::max(at_least, std::min(quarter, at_most));
}

}  // namespace

command_line_room::command_line_room(std::string_view application, text_encoding encoding)
    : command_line_room(application, platform_total_limit(), encoding) {}

// The kernel counts bytes, whatever their encoding.
command_line_room::command_line_room(std::string_view application, std::uint64_t total_limit,
                                     text_encoding /*encoding*/)
    : limit_(total_limit), argument_limit_(32 * page_size()) {
  // The path once as the file to run (no pointer to it), once as argv[0].
  used_ = application.size() + 1 + string_cost(application.size());
  for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable)
    used_ += string_cost(std::strlen(*variable));
  fits_ = used_ <= limit_ && application.size() < argument_limit_;
}

bool command_line_room::add_argument(std::string_view argument, text_encoding /*encoding*/) {
  if (fits_) {
    const std::uint64_t length = argument.substr(0, argument.find('\0')).size();
    used_ += string_cost(length);
    fits_ = length < argument_limit_ && used_ <= limit_;
  }
  return fits_;
}

bool command_line_room::could_take(std::uint64_t length, text_encoding /*encoding*/) const {
  return fits_ && length < argument_limit_ && used_ + string_cost(length) <= limit_;
}

}  // namespace pt
