// The common base of every stream: the open/close life cycle, the stream buffer, the OS
// handle, the byte position, the status with its change hook, and the error path that turns a
// device failure into a thrown estream whose message names the stream.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/core/string.h"
#include "ortolib/platform/types.h"

namespace pt {

class iobase;

// kind_code of a stream that names no family: that of component.
inline constexpr std::int32_t kind_iobase = kind_component;

// Called with the stream and its new status on every status change.
using status_hook_routine = void (*)(iobase* stream, std::int32_t status);

inline constexpr std::int32_t default_buffer_size = 8192;

// The stream status, in the order a stream passes through them.
inline constexpr std::int32_t status_created = 1;   // constructed, never opened
inline constexpr std::int32_t status_opening = 5;   // open_stream has begun
inline constexpr std::int32_t status_opened = 35;   // open_stream has succeeded
inline constexpr std::int32_t status_reading = 37;  // a raw read delivered bytes
inline constexpr std::int32_t status_writing = 38;  // a raw write was made
inline constexpr std::int32_t status_at_end = 45;   // nothing read, a short write, or an error
inline constexpr std::int32_t status_closed = 253;  // close_stream has finished

// Streams are counted components, created with new and used by one thread at a time. Device
// failures are thrown as estream (see raise_stream_error); misuse is fatal: a buffer size
// change while open (0xC000C), a second buffer allocation (0xC000D). A stream is closed
// after construction and may be opened and closed any number of times. The destructors of
// iobase, instm and outstm close nothing: every concrete stream closes itself in a destructor
// that runs while its device operations are still in force (its own, or handle_stream's for a
// stream over a handle that replaces no operation close_stream calls).
//
// The fields may be read by anyone. Only the stream and its derived classes change them,
// except what the owner sets while the stream is closed: status_hook (and, on file streams,
// the file name and append mode).
class iobase : public component {
 public:
  bool is_active = false;     // the stream is open
  bool is_cancelled = false;  // being closed without flushing (abort_stream)
  // No more data can be read or written: end of input, a short write, an error, or closed.
  bool end_reached = true;
  // The open device's OS handle, owned by the stream while open; no_handle for none.
  platform::handle os_handle = platform::no_handle;
  std::int64_t position = 0;    // bytes moved through the device since the last open
  std::int32_t buffer_size;     // size of the buffer the next open allocates; 0: unbuffered
  char* buffer = nullptr;       // present only while open with a buffer size above 0
  std::int32_t buffer_pos = 0;  // next byte to read from or write into the buffer
  std::int32_t buffer_end = 0;  // end of the valid bytes (input: filled; output: written)
  std::int32_t error_code = 0;  // stream error number of the last error; 0 for none
  string error_message;         // the raiser's words for the last error
  std::int32_t status = status_created;
  status_hook_routine status_hook = nullptr;  // set by the stream's owner; none by default

  // A negative buffer size gives default_buffer_size; 0 makes the stream unbuffered.
  explicit iobase(std::int32_t buffer_size);
  ~iobase() override;

  // Opens (or reopens: an open stream is first aborted) the stream. Raises what the device
  // raises when it opens; the stream is then active, at end, with the error recorded.
  void open_stream();
  // Writes out pending output and closes the device; nothing on a closed stream. Never raises:
  // an estream from the final flush or from the device is deleted.
  void close_stream();
  // Closes without writing out what is still buffered. Never raises.
  void abort_stream();
  // Only while closed (fatal 0xC000C otherwise). Negative gives default_buffer_size, 0 makes
  // the stream unbuffered from the next open on.
  void set_buffer_size(std::int32_t size);

  // The virtual operations below are declared in the order of the stream table, after the
  // destructor and component's deletion_notice and kind_code; instm and outstm append their
  // raw transfer and buffer step. Only flush_output is public.
 protected:
  // Allocates buffer_size bytes (none for 0); a buffer that exists already is fatal 0xC000D.
  virtual void allocate_buffer();
  // Frees the buffer and resets buffer_pos and buffer_end.
  virtual void release_buffer();
  // Opens the device; every concrete stream supplies it. Raises on failure.
  virtual void device_open() = 0;
  // Takes os_handle out by an atomic exchange with no_handle, so two closes never close one
  // handle twice, and closes what was taken out (the result is ignored).
  virtual void device_close();
  // Moves the OS file pointer (origin 0 start, 1 current, 2 end) and returns the new
  // position, or -1 with the OS error left for last_os_error. Without a handle raises 29.
  virtual std::int64_t device_seek(std::int64_t offset, std::int32_t origin);
  // Stores the status, then calls the hook if one is set.
  virtual void set_status(std::int32_t value);
  // The calling thread's last OS error as a stream error number.
  virtual std::int32_t last_os_error();
  // The text of a stream error number, or null.
  virtual const char* error_text(std::int32_t number);

 public:
  // Hands buffered output to the device; nothing here and on input streams.
  virtual void flush_output();

 protected:
  // The message of an estream: the text of error_code, or error_message when it has none,
  // then " [" error_stream_name "]" unless the name is empty or the text already ends in a
  // bracketed part.
  virtual string compose_error_message();
  // The name that error messages carry: stream_name here.
  virtual string error_stream_name();
  // The stream's own name; every concrete stream supplies it (empty for none).
  virtual string stream_name() = 0;

  // Records the error (end_reached, error_code, error_message) and throws a new estream with
  // the composed message.
  [[noreturn]] void raise_stream_error(std::int32_t number, const string& message);
  // raise_stream_error(5, "Stream inactive"): a read, write or buffer operation on a closed
  // stream.
  [[noreturn]] void raise_inactive();
};

}  // namespace pt
