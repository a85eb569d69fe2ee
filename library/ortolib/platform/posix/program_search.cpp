// POSIX backend: the search for a command as the shell makes it, along PATH.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "ortolib/platform/private/program_search.h"

namespace pt::platform {
namespace {

bool is_program(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
         ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::string search_path() {
  // Unsafe only beside a change of the environment, which the library never makes.
  if (const char* path = std::getenv("PATH"))  // NOLINT(concurrency-mt-unsafe)
    return path;
  const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
  std::string fallback(size, '\0');
  if (size == 0 || ::confstr(_CS_PATH, fallback.data(), size) == 0)
    return "/bin:/usr/bin";
  fallback.resize(size - 1);
  return fallback;
}

}  // namespace

std::string find_program_path(const std::string& name, text_encoding) {
  if (name.empty())
    return {};
  if (name.find('/') != std::string::npos)
    return is_program(name) ? name : std::string();
  const std::string path = search_path();
  std::string_view rest = path;
  while (true) {
    const std::size_t colon = rest.find(':');
    const std::string_view directory = rest.substr(0, colon);
    std::string candidate(directory.empty() ? "." : directory);
    candidate += '/';
    candidate += name;
    if (is_program(candidate))
      return candidate;
    if (colon == std::string_view::npos)
      return {};
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace pt::platform
