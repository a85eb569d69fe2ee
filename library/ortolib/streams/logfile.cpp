// Log files: unbuffered output files with serialised formatted output.
#include "ortolib/streams/logfile.h"

namespace pt {

logfile::logfile() { set_buffer_size(0); }

logfile::~logfile() = default;

std::int32_t logfile::kind_code() { return kind_logfile; }

void logfile::vformat(const char* format, va_list arguments) {
  critsec_guard hold(output_lock);
  outstm::vformat(format, arguments);
}

void logfile::write_format(const char* format, const format_arg* arguments, std::int32_t count) {
  critsec_guard hold(output_lock);
  outstm::write_format(format, arguments, count);
}

}  // namespace pt
