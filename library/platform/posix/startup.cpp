// Stand-in until the POSIX backend's own start-up lands: ignores SIGPIPE, so a write to a pipe
// without a reader is an error number instead of the end of the process.
#include <csignal>

#include "platform/platform.h"

namespace pt::platform {

void process_startup() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace pt::platform
