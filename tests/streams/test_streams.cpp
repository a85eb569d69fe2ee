// Small streams for tests of the stream machinery.
#include "test_streams.h"

#include <algorithm>
#include <cstring>

#include "ortolib/streams/estream.h"

namespace pt::test {

scripted_input::scripted_input(std::string data, std::int32_t buffer_size)
    : status_recording<instm>(buffer_size), data(std::move(data)) {}

scripted_input::~scripted_input() { close_stream(); }

void scripted_input::device_open() {
  offset = 0;
  if (fail_open)
    raise_stream_error(2, "Couldn't open");
}

std::int32_t scripted_input::device_read(void* destination, std::int32_t count) {
  requested.push_back(count);
  if (static_cast<int>(requested.size()) - 1 == fail_at_read)
    raise_stream_error(fail_number, "Couldn't read");
  std::size_t n = std::min({static_cast<std::size_t>(count), static_cast<std::size_t>(chunk_limit),
                            data.size() - offset});
  std::memcpy(destination, data.data() + offset, n);
  offset += n;
  return static_cast<std::int32_t>(n);
}

recording_output::recording_output(bool flush_at_newline, std::int32_t buffer_size)
    : status_recording<outstm>(flush_at_newline, buffer_size) {}

recording_output::~recording_output() { close_stream(); }

std::string recording_output::written() const {
  std::string all;
  for (const std::string& w : writes)
    all += w;
  return all;
}

std::int32_t recording_output::device_write(const void* source, std::int32_t count) {
  if (static_cast<int>(writes.size()) == fail_at_write) {
    writes.emplace_back();  // the failed attempt, empty
    raise_stream_error(fail_number, "Couldn't write");
  }
  std::int32_t n = std::min(count, accept_limit);
  writes.emplace_back(static_cast<const char*>(source), static_cast<std::size_t>(n));
  return n;
}

void format_onto(outstm& stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  try {
    stream.vformat(format, arguments);
  } catch (...) {
    va_end(arguments);
    throw;
  }
  va_end(arguments);
}

std::string message_of(exception* error) {
  std::string text = error->get_message().text();
  delete error;
  return text;
}

}  // namespace pt::test
