// Windows has no FIFOs in its file system.
#include "support/fifo.h"

namespace pt::test {

bool make_fifo(const std::string& /*path*/) { return false; }

void open_fifo_reader_briefly(const std::string& /*path*/) {}

}  // namespace pt::test
