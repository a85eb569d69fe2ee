// Input from an OS file handle: a named file opened for reading, or a handle attached
// beforehand (a duplicated standard handle, the read end of a pipe).
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/platform/types.h"
#include "ortolib/streams/instm.h"

namespace pt {

class outfile;

// An attached handle belongs to the stream from the moment it is attached: closing the stream
// closes it and forgets it (given_handle and pipe_peer_handle return to no_handle), so a
// reopened stream opens file_name unless a new handle is attached; one that is never opened
// is closed when another replaces it or when the stream is destroyed. The pipe peer is never
// closed by this stream. A file that cannot be opened raises "Couldn't open" with the mapped
// number; the message names the file.
class infile : public instm {
 public:
  string file_name;  // opened when no handle is attached; the stream's name in messages
  platform::handle given_handle = platform::no_handle;      // used by the next open
  platform::handle pipe_peer_handle = platform::no_handle;  // the other end of a local pipe

  // An 8192-byte buffer until set_buffer_size says otherwise.
  infile();
  explicit infile(const string& file_name);
  // Closes the stream (and an attached handle that was never opened).
  ~infile() override;

  std::int32_t kind_code() override;  // kind_infile

  // Closes the stream, then makes handle the one the next open_stream uses.
  void attach_handle(platform::handle handle);

 protected:
  // The attached handle, or file_name opened for reading (read and write sharing granted; no
  // child inherits it).
  void device_open() override;
  // Closes the handle and forgets the attachment and the pipe peer.
  void device_close() override;
  string stream_name() override;  // file_name

  friend void make_local_pipe(infile& input, outfile& output);
};

}  // namespace pt
