// Buffered and unbuffered input on a scripted device: device calls, the end of the data,
// statuses and errors.
#include "ortolib/streams/instm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ortolib/streams/estream.h"
#include "support/fatal_report.h"
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
    try {
      in.read_block(&byte, 1);
      FAIL() << "no error";
    } catch (estream* error) {
      EXPECT_EQ(error->error_code, 5);
      EXPECT_EQ(message_of(error), "Stream inactive [scripted]");
    }
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
  try {
    in.read_block(bytes, 10);
    FAIL() << "no error";
  } catch (estream* error) {
    EXPECT_EQ(error->error_code, 13);
    EXPECT_EQ(message_of(error), "Access denied [scripted]");
  }
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

}  // namespace
}  // namespace pt
