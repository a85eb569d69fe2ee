// Output streams over files and attached OS handles.
#include "ortolib/streams/outfile.h"

#include "ortolib/platform/private/handle_io.h"

namespace pt {

outfile::outfile() : handle_stream(string(), false, -1) {}

outfile::outfile(const string& file_name, bool append_mode)
    : handle_stream(file_name, false, -1), append_mode(append_mode) {}

outfile::~outfile() { close_stream(); }

std::int32_t outfile::kind_code() { return kind_outfile; }

void outfile::flush_output() {
  outstm::flush_output();
  platform::handle_flush(os_handle);
}

void outfile::device_open() {
  if (open_given_handle())
    return;
  open_file(append_mode ? platform::file_access::write_append
                        : platform::file_access::write_truncate);
  if (append_mode && device_seek(0, 2) == -1)
    raise_stream_error(last_os_error(), "Couldn't seek to end of file");
}

}  // namespace pt
