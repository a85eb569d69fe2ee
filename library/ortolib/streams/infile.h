// Input from an OS file handle: a named file opened for reading, or a handle attached
// beforehand (a duplicated standard handle, the read end of a pipe).
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/handle_stream.h"
#include "ortolib/streams/instm.h"

namespace pt {

class outfile;

// kind_code of an infile: an input stream (1) over a file (0x100).
inline constexpr std::int32_t kind_infile = 0x101;

// Handle ownership as handle_stream says. A file that cannot be opened raises "Couldn't open"
// with the mapped number; the message names the file.
class infile : public handle_stream<instm> {
 public:
  // An 8192-byte buffer until set_buffer_size says otherwise.
  infile();
  explicit infile(const string& file_name);

  std::int32_t kind_code() override;  // kind_infile

 protected:
  // The attached handle, or file_name opened for reading.
  void device_open() override;

  friend void make_local_pipe(infile& input, outfile& output);
};

}  // namespace pt
