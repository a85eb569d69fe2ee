// An unbuffered output file whose formatted output is serialised by a lock, so that one
// formatted message from one thread is never interleaved with another on the same stream.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "ortolib/core/critsec.h"
#include "ortolib/streams/outfile.h"

namespace pt {

// kind_code of a logfile: an outfile refined (0x10000), so that its low 16 bits are
// kind_outfile's.
inline constexpr std::int32_t kind_logfile = 0x10102;

// Every write goes straight to the OS handle (buffer size 0), so a formatted call's text is on
// the handle when the call returns. Only format and vformat take the lock; plain writes
// (put_byte, write_block, write_text) do not. Two log files do not exclude each other.
class logfile : public outfile {
 public:
  critsec output_lock;  // held for the whole of one format or vformat call

  logfile();
  // Deletes the lock, then closes the stream (outfile's destructor).
  ~logfile() override;

  std::int32_t kind_code() override;  // kind_logfile: an outfile to callers that look

  // format (outstm's, checked) and vformat format onto this stream under output_lock. A failed
  // write raises its stream error after the lock is left; what was written before stays
  // written.
  void vformat(const char* format, va_list arguments);

 protected:
  void write_format(const char* format, const format_arg* arguments, std::int32_t count) override;
};

}  // namespace pt
