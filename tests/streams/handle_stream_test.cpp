// A stream over an OS handle written on the shared handle base alone, as a socket or named
// pipe stream would be: its handle's life is the base's.
#include "ortolib/streams/handle_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/streams/stream_errors.h"
#include "support/stream_error.h"

namespace pt {
namespace {

// Writes only to an attached handle; there is no file to open by name.
class handle_only_output : public handle_stream<outstm> {
 public:
  handle_only_output() : handle_stream(string("handle only"), false, -1) {}

 protected:
  void device_open() override {
    if (!open_given_handle())
      raise_stream_error(error_bad_descriptor, "Nothing attached");
  }
};

std::string read_to_end(platform::handle read_end) {
  std::string all;
  char piece[256];
  for (std::int32_t got; (got = platform::handle_read(read_end, piece, sizeof piece)) > 0;)
    all.append(piece, static_cast<std::size_t>(got));
  return all;
}

TEST(HandleStream, ASubclassWithoutADestructorIsFlushedAndClosedWhenDestroyed) {
  platform::handle read_end, write_end;
  ASSERT_TRUE(platform::pipe_create(read_end, write_end));
  {
    handle_only_output out;
    out.attach_handle(write_end);
    out.open_stream();
    EXPECT_EQ(out.os_handle, write_end);
    out.write_text("buffered until the end");
  }
  // The data reached the pipe and its only write end is closed: the reader sees the end.
  EXPECT_EQ(read_to_end(read_end), "buffered until the end");
  platform::handle_close(read_end);
}

TEST(HandleStream, WithoutAnAttachmentTheSubclassDecidesAndNamesItself) {
  handle_only_output out;
  EXPECT_STREAM_ERROR(out.open_stream(), error_bad_descriptor,
                      "Invalid file descriptor [handle only]");
}

}  // namespace
}  // namespace pt
