// Log files: unbuffered output files with serialised formatted output.
#include "ortolib/streams/logfile.h"

namespace pt {

logfile::logfile() { set_buffer_size(0); }

logfile::~logfile() = default;

std::int32_t logfile::kind_code() { return kind_logfile; }

void logfile::format(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  try {
    vformat(format, arguments);
  } catch (...) {
    va_end(arguments);
    throw;
  }
  va_end(arguments);
}

void logfile::vformat(const char* format, va_list arguments) {
  critsec_guard hold(output_lock);
  outstm::vformat(format, arguments);
}

}  // namespace pt
