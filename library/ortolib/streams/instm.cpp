// Buffered input over a device read.
#include "ortolib/streams/instm.h"

#include <algorithm>
#include <cstring>

#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/stream_errors.h"

namespace pt {

instm::instm(std::int32_t buffer_size) : iobase(buffer_size) {}

instm::~instm() = default;

std::int32_t instm::kind_code() { return kind_instm; }

std::int32_t instm::device_read(void* destination, std::int32_t count) {
  if (os_handle == platform::no_handle)
    return -1;
  std::int32_t got = platform::handle_read(os_handle, destination, count);
  if (got >= 0)
    return got;
  std::int32_t number = last_os_error();
  // Windows ends pipe data this way once every holder of the write end has closed it.
  if (number == error_broken_pipe)
    return 0;
  raise_stream_error(number, "Couldn't read");
}

std::int32_t instm::read_unbuffered(void* destination, std::int32_t count) {
  if (!is_active)
    raise_inactive();
  // Asking for nothing is not the end of the data, though a device read of 0 bytes says so.
  if (count <= 0)
    return 0;
  std::int32_t got;
  try {
    got = device_read(destination, count);
  } catch (estream*) {
    end_reached = true;
    set_status(status_at_end);
    throw;
  }
  if (got > 0) {
    position += got;
    set_status(status_reading);
    return got;
  }
  end_reached = true;
  set_status(status_at_end);
  return 0;
}

void instm::refill_buffer() {
  if (!is_active)
    raise_inactive();
  if (buffer == nullptr)
    fatal_error(fatal::buffer_required);
  buffer_pos = 0;
  buffer_end = 0;
  buffer_end = read_unbuffered(buffer, buffer_size);
}

bool instm::at_end() {
  if (!end_reached && buffer != nullptr && buffer_pos >= buffer_end)
    refill_buffer();
  return end_reached;
}

std::int32_t instm::read_block(void* destination, std::int32_t count) {
  if (buffer == nullptr)
    return read_unbuffered(destination, count);
  if (count <= 0)
    return 0;
  char* to = static_cast<char*>(destination);
  std::int32_t total = 0;
  while (!at_end()) {
    std::int32_t n = std::min(count, buffer_end - buffer_pos);
    std::memcpy(to, buffer + buffer_pos, static_cast<std::size_t>(n));
    buffer_pos += n;
    to += n;
    total += n;
    count -= n;
    if (count == 0)
      break;
  }
  return total;
}

bool instm::read_line(string& line) {
  line.clear();
  if (!is_active)
    raise_inactive();
  bool line_end = false;
  if (buffer == nullptr) {
    char byte;
    while (read_unbuffered(&byte, 1) == 1) {
      if (byte == '\n') {
        line_end = true;
        break;
      }
      line.append(&byte, 1);
    }
  } else {
    // Whole runs of the buffer up to the next LF, so a line costs one append per refill.
    while (!at_end()) {
      const char* from = buffer + buffer_pos;
      const std::int32_t available = buffer_end - buffer_pos;
      const auto* lf =
          static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(available)));
      const std::int32_t run = lf != nullptr ? static_cast<std::int32_t>(lf - from) : available;
      line.append(from, run);
      buffer_pos += run;
      if (lf != nullptr) {
        ++buffer_pos;
        line_end = true;
        break;
      }
    }
  }
  if (!line_end)
    return !line.is_empty();
  // Only the CR right before the LF belongs to the line end; it may have come in an earlier
  // refill, so it is taken off the line, not skipped in the buffer.
  const std::int32_t length = line.length();
  if (length > 0 && line[length - 1] == '\r')
    line.set_length(length - 1);
  return true;
}

}  // namespace pt
