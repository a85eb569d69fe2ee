// The stream life cycle, buffers, status changes and the error path shared by every stream.
#include "ortolib/streams/iobase.h"

#include <atomic>

#include "ortolib/core/fatal.h"
#include "ortolib/core/memory.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/stream_errors.h"

namespace pt {

iobase::iobase(std::int32_t buffer_size)
    : buffer_size(buffer_size < 0 ? default_buffer_size : buffer_size) {}

iobase::~iobase() {
  // Closing is the concrete stream's business; a buffer left by a class that never closed is
  // still given back rather than lost.
  mem_free(buffer);
}

// ------------------------------------------------------------------ life cycle

void iobase::open_stream() {
  abort_stream();
  set_status(status_opening);
  position = 0;
  is_cancelled = false;
  end_reached = false;
  error_code = 0;
  error_message.clear();
  is_active = true;
  allocate_buffer();
  device_open();
  set_status(status_opened);
}

void iobase::close_stream() {
  if (!is_active)
    return;
  try {
    if (buffer != nullptr && !is_cancelled)
      flush_output();
  } catch (estream* error) {
    delete error;
  }
  // Closed even when the flush failed: a handle kept open here would never be closed (and a
  // pipe's reader would never see the end of the data).
  try {
    device_close();
  } catch (estream* error) {
    delete error;
  }
  release_buffer();
  is_active = false;
  end_reached = true;
  set_status(status_closed);
}

void iobase::abort_stream() {
  is_cancelled = true;
  close_stream();
}

void iobase::set_buffer_size(std::int32_t size) {
  if (is_active)
    fatal_error(fatal::buffer_active);
  buffer_size = size < 0 ? default_buffer_size : size;
}

// ------------------------------------------------------------ buffer and device

void iobase::allocate_buffer() {
  if (buffer != nullptr)
    fatal_error(fatal::buffer_allocation);
  buffer = static_cast<char*>(mem_alloc(static_cast<std::uint32_t>(buffer_size)));
}

void iobase::release_buffer() {
  buffer_pos = 0;
  buffer_end = 0;
  mem_free(buffer);
  buffer = nullptr;
}

void iobase::device_close() {
  platform::handle taken =
      std::atomic_ref<platform::handle>(os_handle).exchange(platform::no_handle);
  platform::handle_close(taken);
}

std::int64_t iobase::device_seek(std::int64_t offset, std::int32_t origin) {
  if (os_handle == platform::no_handle)
    raise_stream_error(error_cannot_seek, "Can't seek on this device");
  return platform::handle_seek(os_handle, offset, origin);
}

void iobase::set_status(std::int32_t value) {
  status = value;
  if (status_hook != nullptr)
    status_hook(this, value);
}

// ---------------------------------------------------------------------- errors

std::int32_t iobase::last_os_error() {
  return platform::stream_error_number(platform::last_error());
}

const char* iobase::error_text(std::int32_t number) { return stream_error_text(number); }

void iobase::flush_output() {}

string iobase::compose_error_message() {
  // A known error number wins over the raiser's words.
  const char* known = error_text(error_code);
  string text = known != nullptr && known[0] != '\0' ? string(known) : error_message;
  // A text that already names its subject in a closing bracketed part is kept as it is.
  if (find_char('[', text) >= 0 && text.length() > 0 && text[text.length() - 1] == ']')
    return text;
  string name = error_stream_name();
  if (name.is_empty())
    return text;
  return text + " [" + name + "]";
}

string iobase::error_stream_name() { return stream_name(); }

void iobase::raise_stream_error(std::int32_t number, const string& message) {
  end_reached = true;
  error_code = number;
  error_message = message;
  throw new estream(this, number, compose_error_message());
}

void iobase::raise_inactive() { raise_stream_error(error_io, "Stream inactive"); }

}  // namespace pt
