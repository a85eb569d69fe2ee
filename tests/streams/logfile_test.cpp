// Log files: unbuffered output whose formatted calls are visible at once, and the errors of a
// handle that could not be duplicated.
#include "ortolib/streams/logfile.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ortolib/streams/estream.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/local_pipe.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;

// Reads exactly count bytes (the pipe blocks until they are there).
std::string read_exactly(infile& in, std::int32_t count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  for (std::int32_t at = 0; at < count;) {
    std::int32_t got = in.read_block(bytes.data() + at, count - at);
    if (got == 0)
      break;
    at += got;
  }
  return bytes;
}

TEST(Logfile, IsAnUnbufferedOutputFile) {
  logfile log;
  EXPECT_EQ(log.kind_code(), kind_logfile);
  EXPECT_EQ(kind_logfile, 0x10102);
  EXPECT_EQ(log.kind_code() & kind_family_and_device, kind_outfile);
  EXPECT_EQ(log.buffer_size, 0);
  EXPECT_FALSE(log.flush_at_newline);
}

TEST(Logfile, AFormattedCallIsOnTheHandleWhenItReturns) {
  infile in;
  logfile log;
  make_local_pipe(in, log);
  EXPECT_EQ(log.buffer, nullptr);
  log.format("%s %d%c", "line", 1, '\n');
  const std::string expected = "line 1\n";
  EXPECT_EQ(read_exactly(in, static_cast<std::int32_t>(expected.size())), expected);
  log.write_text("plain");
  EXPECT_EQ(read_exactly(in, 5), "plain");
  EXPECT_EQ(log.position, 12);
}

TEST(Logfile, AHandleThatCouldNotBeDuplicatedFailsAtTheFirstWrite) {
  logfile log;
  log.attach_handle(platform::unusable_handle);
  log.open_stream();  // opening still succeeds
  EXPECT_TRUE(log.is_active);
  EXPECT_STREAM_ERROR(log.format("%d lost\n", 1), 9, "Invalid file descriptor");
  EXPECT_STREQ(log.error_message.text(), "Couldn't write");
  EXPECT_EQ(log.status, status_at_end);
  // The lock was left with the exception: another thread can take it.
  std::thread other([&] { critsec_guard hold(log.output_lock); });
  other.join();
  log.close_stream();
  EXPECT_EQ(log.given_handle, platform::no_handle);
}

TEST(Logfile, AnInputOnAHandleThatCouldNotBeDuplicatedFailsAtTheFirstRead) {
  for (std::int32_t size : {0, 4096}) {
    infile in;
    in.set_buffer_size(size);
    in.attach_handle(platform::unusable_handle);
    in.open_stream();
    char byte;
    EXPECT_STREAM_ERROR(in.read_block(&byte, 1), 9, "Invalid file descriptor");
    EXPECT_STREQ(in.error_message.text(), "Couldn't read");
    EXPECT_TRUE(in.at_end());
  }
}

}  // namespace
}  // namespace pt
