// Buffered and unbuffered input on a scripted device: device calls, the end of the data,
// statuses and errors.
#include "ortolib/streams/instm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ortolib/streams/estream.h"
#include "support/fatal_report.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;
using test::scripted_input;
using counts = std::vector<std::int32_t>;

std::string read_string(instm& in, std::int32_t count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  std::int32_t got = in.read_block(bytes.data(), count);
  bytes.resize(static_cast<std::size_t>(got));
  return bytes;
}

TEST(InstmBuffered, RefillsWholeBuffersUntilTheDeviceDeliversNothing) {
  scripted_input in("0123456789", 4);
  in.open_stream();
  in.statuses.clear();
  EXPECT_EQ(read_string(in, 100), "0123456789");
  EXPECT_EQ(in.requested, (counts{4, 4, 4, 4}));  // delivering 4, 4, 2 and 0
  EXPECT_EQ(in.statuses, (counts{status_reading, status_reading, status_reading, status_at_end}));
  EXPECT_TRUE(in.end_reached);
  EXPECT_EQ(in.position, 10);
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.read_block(nullptr, 5), 0);
  EXPECT_EQ(in.requested.size(), 4u);  // no device read once at end
}

TEST(InstmBuffered, ReturnsFewerBytesThanAskedOnlyAtTheEnd) {
  scripted_input in("abcdefghijklmnopqrstuvwxyz", 8);
  in.chunk_limit = 3;  // the device delivers little at a time
  in.open_stream();
  EXPECT_EQ(read_string(in, 7), "abcdefg");
  EXPECT_EQ(read_string(in, 1), "h");
  EXPECT_EQ(read_string(in, 0), "");
  EXPECT_EQ(read_string(in, 20), "ijklmnopqrstuvwxyz");
  for (std::int32_t asked : in.requested)
    EXPECT_EQ(asked, 8);  // never less than a whole buffer
}

TEST(InstmBuffered, AtEndReadsAheadOnlyWhenTheBufferIsEmpty) {
  scripted_input in("ab", 4);
  in.open_stream();
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(in.requested.size(), 1u);
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(in.requested.size(), 1u);
  EXPECT_EQ(read_string(in, 2), "ab");
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.requested.size(), 2u);
}

TEST(InstmBuffered, ACountOfZeroTouchesNoDevice) {
  scripted_input in("abc", 4);
  in.open_stream();
  EXPECT_EQ(in.read_block(nullptr, 0), 0);
  EXPECT_EQ(in.read_block(nullptr, -3), 0);
  EXPECT_TRUE(in.requested.empty());
  EXPECT_FALSE(in.end_reached);
}

TEST(InstmUnbuffered, EachReadIsOneDeviceReadAndAtEndNeverReads) {
  scripted_input in("abcdef", 0);
  in.chunk_limit = 4;
  in.open_stream();
  EXPECT_FALSE(in.at_end());
  EXPECT_TRUE(in.requested.empty());
  EXPECT_EQ(read_string(in, 10), "abcd");
  EXPECT_EQ(read_string(in, 10), "ef");
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(read_string(in, 10), "");
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.requested, (counts{10, 10, 10}));
}

TEST(InstmUnbuffered, AskingForNothingDoesNotEndTheData) {
  scripted_input in("abc", 0);
  in.open_stream();
  EXPECT_EQ(in.read_block(nullptr, 0), 0);
  EXPECT_FALSE(in.at_end());
  EXPECT_TRUE(in.requested.empty());
  EXPECT_EQ(read_string(in, 3), "abc");
}

TEST(InstmErrors, AClosedStreamRaisesStreamInactiveButIsAtEnd) {
  for (std::int32_t size : {0, 16}) {
    scripted_input in("abc", size);
    EXPECT_TRUE(in.at_end());
    char byte;
    EXPECT_STREAM_ERROR(in.read_block(&byte, 1), 5, "Stream inactive [scripted]");
    EXPECT_TRUE(in.requested.empty());
  }
}

TEST(InstmErrors, ADeviceErrorMarksTheStreamAtEndBeforeItLeaves) {
  scripted_input in("0123456789", 4);
  in.fail_at_read = 1;
  in.fail_number = 13;
  in.open_stream();
  in.statuses.clear();
  char bytes[10];
  EXPECT_STREAM_ERROR(in.read_block(bytes, 10), 13, "Access denied [scripted]");
  EXPECT_EQ(in.statuses, (counts{status_reading, status_at_end}));
  EXPECT_TRUE(in.end_reached);
  EXPECT_TRUE(in.is_active);
  EXPECT_STREQ(in.error_message.text(), "Couldn't read");
  EXPECT_TRUE(in.at_end());
}

using InstmDeathTest = testing::Test;

TEST(InstmDeathTest, ARefillWithoutBufferIsFatal) {
  EXPECT_FATAL(
      {
        scripted_input in("abc", 0);
        in.open_stream();
        in.refill_buffer();
      },
      0xC000B, "Internal: buffer required");
}

// Every line read_line gives, each closed by "|".
std::string lines_of(const std::string& data, std::int32_t buffer_size) {
  scripted_input in(data, buffer_size);
  in.chunk_limit = 3;  // lines and their CR LF split across device reads
  in.open_stream();
  std::string lines;
  string line("left over");
  while (in.read_line(line))
    lines += std::string(std::string_view(line)) + "|";
  EXPECT_TRUE(line.is_empty());
  return lines;
}

TEST(InstmReadLine, LfAndCrLfEndALineAndEveryOtherByteStays) {
  using namespace std::string_literals;
  const std::string data = "a\nbb\r\n\nc\rd\r\r\n\0\x1a e\r"s;
  const std::string expected = "a|bb||c\rd\r|\0\x1a e\r|"s;
  for (std::int32_t buffer_size : {0, 1, 2, 4096}) {
    SCOPED_TRACE(buffer_size);
    EXPECT_EQ(lines_of(data, buffer_size), expected);
  }
  EXPECT_EQ(lines_of("", 8), "");
  EXPECT_EQ(lines_of("\n", 8), "|");
  EXPECT_EQ(lines_of("last", 8), "last|");
}

TEST(InstmReadLine, AClosedStreamAndADeviceErrorRaise) {
  scripted_input in("x\ny", 8);
  string line;
  EXPECT_EQ(test::stream_error_of([&] { in.read_line(line); }), 5) << "closed";
  in.fail_at_read = 0;
  in.fail_number = 13;
  in.open_stream();
  EXPECT_EQ(test::stream_error_of([&] { in.read_line(line); }), 13);
}

}  // namespace
}  // namespace pt
