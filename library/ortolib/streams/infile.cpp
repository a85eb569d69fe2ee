// Input streams over files and attached OS handles.
#include "ortolib/streams/infile.h"
#include "ortolib/platform/private/handle_io.h"

namespace pt {

infile::infile() : instm(-1) {}

infile::infile(const string& file_name) : instm(-1), file_name(file_name) {}

infile::~infile() {
  close_stream();
  if (given_handle != platform::no_handle)
    platform::handle_close(given_handle);
}

std::int32_t infile::kind_code() { return kind_infile; }

void infile::attach_handle(platform::handle handle) {
  close_stream();
  // After the close, a handle still recorded was attached and never opened: ours to close.
  if (given_handle != platform::no_handle && given_handle != handle)
    platform::handle_close(given_handle);
  given_handle = handle;
}

void infile::device_open() {
  if (given_handle != platform::no_handle) {
    os_handle = given_handle;
    return;
  }
  os_handle = platform::file_open(file_name.text(), platform::file_access::read);
  if (os_handle == platform::no_handle)
    raise_stream_error(last_os_error(), "Couldn't open");
}

void infile::device_close() {
  instm::device_close();
  given_handle = platform::no_handle;
  pipe_peer_handle = platform::no_handle;
}

string infile::stream_name() { return file_name; }

}  // namespace pt
