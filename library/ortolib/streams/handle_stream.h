// The part of a stream over an OS handle that does not depend on its direction: the name of
// the file it opens, the handle attached in its place, the peer of a pipe end, and the life
// of that handle from attachment to close. infile and outfile are the two directions; a new
// stream over a handle (a socket, a named pipe) is a small class on top of one of them.
#pragma once

#include "ortolib/core/string.h"
#include "ortolib/platform/types.h"
#include "ortolib/streams/instm.h"
#include "ortolib/streams/outstm.h"

namespace pt::platform {
enum class file_access;  // platform/private/handle_io.h
}  // namespace pt::platform

namespace pt {

// Direction is instm or outstm. An attached handle belongs to the stream from the moment it
// is attached: closing the stream closes it and forgets it (given_handle and pipe_peer_handle
// return to no_handle), so a reopened stream opens file_name unless a new handle is attached;
// one that is never opened is closed when another replaces it or when the stream is
// destroyed. The pipe peer is never closed by this stream.
template <class Direction>
class handle_stream : public Direction {
 public:
  string file_name;  // opened when no handle is attached; the stream's name in messages
  platform::handle given_handle = platform::no_handle;      // used by the next open
  platform::handle pipe_peer_handle = platform::no_handle;  // the other end of a local pipe

  // Closes the stream, then an attached handle that was never opened. A class that replaces
  // an operation close_stream calls (outfile's flush_output) closes in its own destructor.
  ~handle_stream() override;

  // Closes the stream, then makes handle the one the next open_stream uses.
  void attach_handle(platform::handle handle);

 protected:
  // name becomes file_name; arguments construct the Direction (its buffer size, after an
  // outstm's newline flushing).
  template <class... DirectionArguments>
  explicit handle_stream(const string& name, DirectionArguments... arguments)
      : Direction(arguments...), file_name(name) {}

  // With a handle attached, makes it the open handle and returns true; false otherwise.
  bool open_given_handle();
  // Opens file_name with access (read and write sharing granted; no child inherits it);
  // raises "Couldn't open" with the mapped number when it cannot.
  void open_file(platform::file_access access);

  // Closes the handle and forgets the attachment and the pipe peer.
  void device_close() override;
  string stream_name() override;  // file_name
};

extern template class handle_stream<instm>;
extern template class handle_stream<outstm>;

}  // namespace pt
