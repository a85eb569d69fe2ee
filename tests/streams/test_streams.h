// Small streams for tests of the stream machinery: an input over a byte string and an output
// that records what reaches its device, both counting device calls and recording every status
// change through the status hook.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "ortolib/core/exception.h"
#include "ortolib/core/string.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/instm.h"
#include "ortolib/streams/outstm.h"
#include "support/stream_error.h"

namespace pt::test {

// Installs a hook that appends every status change to statuses.
template <class stream_base>
class status_recording : public stream_base {
 public:
  std::vector<std::int32_t> statuses;

  template <class... Arguments>
  explicit status_recording(Arguments... arguments) : stream_base(arguments...) {
    this->status_hook = &record;
  }

 private:
  static void record(iobase* stream, std::int32_t status) {
    static_cast<status_recording*>(stream)->statuses.push_back(status);
  }
};

// Delivers data in device reads of at most chunk_limit bytes (or what was asked, if less);
// read number fail_at_read (0-based) raises fail_number with "Couldn't read".
class scripted_input : public status_recording<instm> {
 public:
  std::string data;
  std::size_t offset = 0;
  std::int32_t chunk_limit = INT32_MAX;
  std::vector<std::int32_t> requested;  // the count of every device read, in order
  int fail_at_read = -1;
  std::int32_t fail_number = 5;
  bool fail_open = false;  // device_open raises 2 "Couldn't open"
  string name = "scripted";

  scripted_input(std::string data, std::int32_t buffer_size);
  ~scripted_input() override;

  using instm::allocate_buffer;
  using instm::compose_error_message;
  using instm::device_seek;
  using instm::raise_stream_error;
  using instm::refill_buffer;

 protected:
  void device_open() override;
  string stream_name() override { return name; }
  std::int32_t device_read(void* destination, std::int32_t count) override;
};

// Records every device write as one string; a write takes at most accept_limit bytes (fewer
// makes a short write); write number fail_at_write (0-based) raises fail_number with
// "Couldn't write". Counts device_close calls.
class recording_output : public status_recording<outstm> {
 public:
  std::vector<std::string> writes;
  std::int32_t accept_limit = INT32_MAX;
  int fail_at_write = -1;
  std::int32_t fail_number = 28;
  int closes = 0;
  string name = "recorder";

  recording_output(bool flush_at_newline, std::int32_t buffer_size);
  ~recording_output() override;

  // Everything the device took, in one string.
  std::string written() const;

 protected:
  void device_open() override {}
  void device_close() override { ++closes; }
  string stream_name() override { return name; }
  std::int32_t device_write(const void* source, std::int32_t count) override;
};

// outstm::vformat with a variable argument list.
void format_onto(outstm& stream, const char* format, ...);

// The message of a caught stream exception, and the exception deleted.
std::string message_of(exception* error);

}  // namespace pt::test
