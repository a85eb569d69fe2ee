// Output streams over files and attached OS handles.
#include "ortolib/streams/outfile.h"
#include "ortolib/platform/private/handle_io.h"

namespace pt {

outfile::outfile() : outstm(false, -1) {}

outfile::outfile(const string& file_name, bool append_mode)
    : outstm(false, -1), file_name(file_name), append_mode(append_mode) {}

outfile::~outfile() {
  close_stream();
  if (given_handle != platform::no_handle)
    platform::handle_close(given_handle);
}

std::int32_t outfile::kind_code() { return kind_outfile; }

void outfile::flush_output() {
  outstm::flush_output();
  platform::handle_flush(os_handle);
}

void outfile::attach_handle(platform::handle handle) {
  close_stream();
  // After the close, a handle still recorded was attached and never opened: ours to close.
  if (given_handle != platform::no_handle && given_handle != handle)
    platform::handle_close(given_handle);
  given_handle = handle;
}

void outfile::device_open() {
  if (given_handle != platform::no_handle) {
    os_handle = given_handle;
    return;
  }
  os_handle = platform::file_open(file_name.text(), append_mode
                                                        ? platform::file_access::write_append
                                                        : platform::file_access::write_truncate);
  if (os_handle == platform::no_handle)
    raise_stream_error(last_os_error(), "Couldn't open");
  if (append_mode && device_seek(0, 2) == -1)
    raise_stream_error(last_os_error(), "Couldn't seek to end of file");
}

void outfile::device_close() {
  outstm::device_close();
  given_handle = platform::no_handle;
  pipe_peer_handle = platform::no_handle;
}

string outfile::stream_name() { return file_name; }

}  // namespace pt
