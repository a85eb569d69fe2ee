// The life of an OS handle in a stream, for input and output alike.
#include "ortolib/streams/handle_stream.h"

#include "ortolib/platform/private/handle_io.h"

namespace pt {

template <class Direction>
handle_stream<Direction>::~handle_stream() {
  this->close_stream();
  if (given_handle != platform::no_handle)
    platform::handle_close(given_handle);
}

template <class Direction>
void handle_stream<Direction>::attach_handle(platform::handle handle) {
  this->close_stream();
  // After the close, a handle still recorded was attached and never opened: ours to close.
  if (given_handle != platform::no_handle && given_handle != handle)
    platform::handle_close(given_handle);
  given_handle = handle;
}

template <class Direction>
bool handle_stream<Direction>::open_given_handle() {
  if (given_handle == platform::no_handle)
    return false;
  this->os_handle = given_handle;
  return true;
}

template <class Direction>
void handle_stream<Direction>::open_file(platform::file_access access) {
  this->os_handle = platform::file_open(file_name.text(), access);
  if (this->os_handle == platform::no_handle)
    this->raise_stream_error(this->last_os_error(), "Couldn't open");
}

template <class Direction>
void handle_stream<Direction>::device_close() {
  Direction::device_close();
  given_handle = platform::no_handle;
  pipe_peer_handle = platform::no_handle;
}

template <class Direction>
string handle_stream<Direction>::stream_name() {
  return file_name;
}

template class handle_stream<instm>;
template class handle_stream<outstm>;

}  // namespace pt
