// Output to an OS file handle: a named file created, truncated or appended to, or a handle
// attached beforehand (a duplicated standard handle, the write end of a pipe).
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/platform/types.h"
#include "ortolib/streams/outstm.h"

namespace pt {

// Handle ownership as for infile: an attached handle is the stream's, closed with it, and
// forgotten at close; the pipe peer is never closed by this stream. A file that cannot be
// opened raises "Couldn't open", an appended file whose end cannot be reached "Couldn't seek
// to end of file", both with the mapped number and a message that names the file.
class outfile : public outstm {
 public:
  string file_name;  // opened when no handle is attached; the stream's name in messages
  platform::handle given_handle = platform::no_handle;      // used by the next open
  platform::handle pipe_peer_handle = platform::no_handle;  // the other end of a local pipe
  // Keep an existing file and write at its end (it is created when missing) instead of
  // replacing it. Not used with an attached handle.
  bool append_mode = false;

  // An 8192-byte buffer until set_buffer_size says otherwise; no flush at newlines.
  outfile();
  explicit outfile(const string& file_name, bool append_mode = false);
  // Closes the stream (flushing it) and an attached handle that was never opened.
  ~outfile() override;

  std::int32_t kind_code() override;  // kind_outfile

  // Writes out the buffer (unless an error is recorded), then asks the OS to write its own
  // buffers for the handle, whatever came before; its result is not reported.
  void flush_output() override;

  // Closes the stream, then makes handle the one the next open_stream uses.
  void attach_handle(platform::handle handle);

 protected:
  // The attached handle as it is (no seek), or file_name opened for writing: created or
  // truncated, or with append_mode created or kept and positioned at its end. Read and
  // write sharing granted; no child inherits it.
  void device_open() override;
  // Closes the handle and forgets the attachment and the pipe peer.
  void device_close() override;
  string stream_name() override;  // file_name
};

}  // namespace pt
