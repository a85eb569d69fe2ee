// Output to an OS file handle: a named file created, truncated or appended to, or a handle
// attached beforehand (a duplicated standard handle, the write end of a pipe).
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/handle_stream.h"
#include "ortolib/streams/outstm.h"

namespace pt {

// kind_code of an outfile: an output stream (2) over a file (0x100).
inline constexpr std::int32_t kind_outfile = 0x102;

// Handle ownership as handle_stream says. A file that cannot be opened raises "Couldn't
// open", an appended file whose end cannot be reached "Couldn't seek to end of file", both
// with the mapped number and a message that names the file.
class outfile : public handle_stream<outstm> {
 public:
  // Keep an existing file and write at its end (it is created when missing) instead of
  // replacing it. Not used with an attached handle.
  bool append_mode = false;

  // An 8192-byte buffer until set_buffer_size says otherwise; no flush at newlines.
  outfile();
  explicit outfile(const string& file_name, bool append_mode = false);
  // Closes the stream (flushing it, with this class's flush_output) and an attached handle
  // that was never opened.
  ~outfile() override;

  std::int32_t kind_code() override;  // kind_outfile

  // Writes out the buffer (unless an error is recorded), then asks the OS to write its own
  // buffers for the handle, whatever came before; its result is not reported.
  void flush_output() override;

 protected:
  // The attached handle as it is (no seek), or file_name opened for writing: created or
  // truncated, or with append_mode created or kept and positioned at its end.
  void device_open() override;
};

}  // namespace pt
