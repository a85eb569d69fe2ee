// FIFOs on POSIX.
#include "support/fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pt::test {

bool make_fifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

void open_fifo_reader_briefly(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0)
    ::close(fd);
}

}  // namespace pt::test
