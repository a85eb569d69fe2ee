// Buffered input: blocks of bytes read from a device through the stream buffer, and the
// detection of the end of the data. Bytes pass unchanged.
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/iobase.h"

namespace pt {

// kind_code of an input stream of no particular device: the family alone.
inline constexpr std::int32_t kind_instm = 1;

// Reading a closed stream raises "Stream inactive" (5); a device error raises "Couldn't read"
// with the mapped number, after the stream is marked at end. A broken pipe (the writer has
// gone) is the normal end of the data, not an error. Unbuffered (buffer size 0), every read
// goes straight to the device.
class instm : public iobase {
 public:
  // A negative buffer size gives default_buffer_size.
  explicit instm(std::int32_t buffer_size);
  ~instm() override;

  std::int32_t kind_code() override;  // kind_instm

  // Copies up to count bytes to destination and returns how many; 0 at the end of the data
  // (and for a count of 0 or less). Buffered, fewer than count only at the end of the data;
  // unbuffered, what one device read delivered.
  std::int32_t read_block(void* destination, std::int32_t count);
  // True when no more data will come; may read from the device to find out. Unbuffered, it
  // turns true only after a read has delivered nothing. True on a closed stream.
  bool at_end();

  // Reads the next line into line, without its line end, and returns true; at the end of the
  // data, with no byte left, empties line and returns false. A line ends at LF or at CR LF,
  // which reads as LF:
  //
  //   data             lines
  //   "a\nb\r\nc"      "a", "b", "c"   a last line without a line end counts
  //   "a\n\n"          "a", ""         no line after the last line end
  //   "a\rb\r"         "a\rb\r"        a CR without LF stays in the line
  //   "a\0b\x1a c\n"   "a\0b\x1a c"    so does every other byte, NUL and 0x1A included:
  //                                    the data end where the stream ends
  //
  // Stream errors pass through (the bytes of the line read so far are then lost); a closed
  // stream raises "Stream inactive". A line longer than a string can hold is the fatal
  // "String overflow". Unbuffered, it reads one byte per device read.
  bool read_line(string& line);

 protected:
  // Raw read from the OS handle: the bytes read (0 at the end of a file or of pipe data), -1
  // without a handle; raises "Couldn't read" on any other failure.
  virtual std::int32_t device_read(void* destination, std::int32_t count);
  // Refills the whole buffer from the device; without a buffer fatal 0xC000B.
  virtual void refill_buffer();

  // The counted device read behind read_block and refill_buffer: advances position and sets
  // status 37, or marks the stream at end (status 45) when nothing came or the device raised.
  std::int32_t read_unbuffered(void* destination, std::int32_t count);
};

}  // namespace pt
