// Buffered output: bytes, blocks and zero-terminated texts collected in the stream buffer and
// handed to a device when the buffer is full, on flush, or after a newline put on its own.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "ortolib/streams/format_args.h"
#include "ortolib/streams/format_string.h"
#include "ortolib/streams/iobase.h"

namespace pt {

// kind_code of an output stream of no particular device: the family alone.
inline constexpr std::int32_t kind_outstm = 2;

// Writing to a closed stream raises "Stream inactive" (5); a device error raises
// "Couldn't write" with the mapped number (a pipe without a reader: 32 "Broken pipe"), after
// the stream is marked at end. A short device write is not reported: the bytes the device did
// not take are dropped, and the stream is marked at end (status 45). Unbuffered (buffer size
// 0), every write goes straight to the device.
class outstm : public iobase {
 public:
  // After put_byte stores a newline (0x0A) in the buffer, call flush_output.
  bool flush_at_newline;

  // A negative buffer size gives default_buffer_size.
  outstm(bool flush_at_newline, std::int32_t buffer_size);
  ~outstm() override;

  std::int32_t kind_code() override;  // kind_outstm

  // Writes the buffered bytes to the device, unless none are buffered or an error has been
  // recorded since the stream was opened.
  void flush_output() override;

  void put_byte(char byte);
  // Accepts count bytes and returns how many: count when buffered (0 for count <= 0), what
  // the device took when unbuffered. Newlines in the block do not flush.
  std::int32_t write_block(const void* source, std::int32_t count);
  // Writes a zero-terminated text without its terminator; a null text writes nothing and
  // raises nothing, even on a closed stream.
  void write_text(const char* text);
  // Writes count bytes as write_block does (no bytes: one write_block of 0), in blocks that a
  // 32-bit count holds, so that no length is cut; stops after a block not taken whole.
  void write_bytes(const char* bytes, std::size_t count);

  // Formatted output (format.h), checked. Each argument is passed with its type: an integer
  // is printed at its own width and signedness whatever length modifier its directive has
  // (%d of a 64-bit value, %zu of a size_t, %ld of a long long all print the number), and a
  // pt::string, std::string or std::string_view serves %s. A literal format that does not
  // match its arguments does not compile (format_string.h); a format made at run time is
  // passed as runtime_format(text) and checked as it is written, a mismatch leaving a marker
  // such as "%!d(text)" in the text (format.h). A type the engine cannot print does not
  // compile (format_args.h). Stream errors of the writes pass through; what was written before
  // stays written. A logfile serialises the call.
  template <class... Arguments>
  void format(format_string<Arguments...> format, const Arguments&... arguments) {
    const auto list = make_format_args(arguments...);
    write_format(format.text(), list.data(), static_cast<std::int32_t>(list.size()));
  }

  // Formatted output from a C variable-argument list: one argument of the directive's type per
  // directive, unchecked. Not serialised: logfile's own vformat takes its lock.
  void vformat(const char* format, va_list arguments);

 protected:
  // Raw write to the OS handle: the bytes written, -1 without a handle; raises
  // "Couldn't write" on failure.
  virtual std::int32_t device_write(const void* source, std::int32_t count);
  // Writes the buffer's bytes out and empties it (also when the write fails).
  virtual void drain_buffer();

  // The counted device write behind write_block, put_byte and drain_buffer: advances
  // position, sets status 38, and marks the stream at end (status 45) after a short write or
  // when the device raised.
  std::int32_t write_unbuffered(const void* source, std::int32_t count);
  // True when the buffer can take a byte, after draining a full one; true when unbuffered.
  bool room_in_buffer();

  // The engine behind format, given the checked arguments; a logfile holds its lock around it.
  virtual void write_format(const char* format, const format_arg* arguments, std::int32_t count);
};

}  // namespace pt
