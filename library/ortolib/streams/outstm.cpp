// Buffered output over a device write.
#include "ortolib/streams/outstm.h"

#include <algorithm>
#include <cstring>

#include "ortolib/platform/private/handle_io.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/format.h"

namespace pt {

outstm::outstm(bool flush_at_newline, std::int32_t buffer_size)
    : iobase(buffer_size), flush_at_newline(flush_at_newline) {}

outstm::~outstm() = default;

std::int32_t outstm::kind_code() { return kind_outstm; }

std::int32_t outstm::device_write(const void* source, std::int32_t count) {
  if (os_handle == platform::no_handle)
    return -1;
  std::int32_t written = platform::handle_write(os_handle, source, count);
  if (written < 0)
    raise_stream_error(last_os_error(), "Couldn't write");
  return written;
}

std::int32_t outstm::write_unbuffered(const void* source, std::int32_t count) {
  if (!is_active)
    raise_inactive();
  std::int32_t written;
  try {
    written = device_write(source, count);
  } catch (estream*) {
    end_reached = true;
    set_status(status_at_end);
    throw;
  }
  if (written < 0)
    written = 0;
  else
    position += written;
  set_status(status_writing);
  if (written < count) {
    end_reached = true;
    set_status(status_at_end);
  }
  return written;
}

void outstm::drain_buffer() {
  if (!is_active)
    raise_inactive();
  try {
    if (buffer_end > 0)
      write_unbuffered(buffer, buffer_end);
  } catch (estream*) {
    // The failed bytes are dropped, so no later drain writes them again.
    buffer_pos = 0;
    buffer_end = 0;
    throw;
  }
  buffer_pos = 0;
  buffer_end = 0;
}

void outstm::flush_output() {
  if (buffer != nullptr && error_code == 0)
    drain_buffer();
}

bool outstm::room_in_buffer() {
  if (buffer == nullptr || buffer_pos < buffer_size)
    return true;
  drain_buffer();
  return buffer_end < buffer_size;
}

void outstm::put_byte(char byte) {
  if (!is_active)
    raise_inactive();
  if (buffer == nullptr) {
    write_unbuffered(&byte, 1);
    return;
  }
  if (!room_in_buffer())
    return;
  buffer[buffer_pos++] = byte;
  buffer_end = std::max(buffer_end, buffer_pos);
  if (byte == '\n' && flush_at_newline)
    flush_output();  // the virtual: a file stream also asks the OS to write its buffers
}

std::int32_t outstm::write_block(const void* source, std::int32_t count) {
  if (!is_active)
    raise_inactive();
  if (buffer == nullptr)
    return write_unbuffered(source, count);
  if (count <= 0)
    return 0;
  const char* from = static_cast<const char*>(source);
  std::int32_t total = 0;
  while (room_in_buffer()) {
    std::int32_t n = std::min(count, buffer_size - buffer_pos);
    std::memcpy(buffer + buffer_pos, from, static_cast<std::size_t>(n));
    buffer_pos += n;
    buffer_end = std::max(buffer_end, buffer_pos);
    from += n;
    total += n;
    count -= n;
    if (count == 0)
      break;
  }
  return total;
}

void outstm::write_text(const char* text) {
  if (text == nullptr)
    return;
  write_bytes(text, std::strlen(text));
}

void outstm::write_bytes(const char* bytes, std::size_t count) {
  constexpr std::size_t largest_block = INT32_MAX;
  do {  // once even for no bytes, as write_block behaves then (a closed stream raises)
    const auto block = static_cast<std::int32_t>(std::min(count, largest_block));
    if (write_block(bytes, block) != block)
      return;
    bytes += block;
    count -= static_cast<std::size_t>(block);
  } while (count > 0);
}

void outstm::vformat(const char* format, va_list arguments) {
  write_formatted(*this, format, arguments);
}

void outstm::write_format(const char* format, const format_arg* arguments, std::int32_t count) {
  write_formatted(*this, format, arguments, count);
}

}  // namespace pt
