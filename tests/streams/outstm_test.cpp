// Buffered and unbuffered output on a recording device: when bytes reach the device, short
// writes, errors and statuses.
#include "ortolib/streams/outstm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ortolib/streams/estream.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;
using test::recording_output;
using blocks = std::vector<std::string>;
using counts = std::vector<std::int32_t>;

TEST(OutstmBuffered, FullBuffersGoToTheDeviceAndTheRestWaitsForAFlush) {
  recording_output out(false, 4);
  out.open_stream();
  EXPECT_EQ(out.write_block("abcdefghij", 10), 10);
  EXPECT_EQ(out.writes, (blocks{"abcd", "efgh"}));
  EXPECT_EQ(out.buffer_end, 2);
  out.flush_output();
  EXPECT_EQ(out.writes, (blocks{"abcd", "efgh", "ij"}));
  out.flush_output();  // nothing left: no empty device write
  EXPECT_EQ(out.writes.size(), 3u);
  EXPECT_EQ(out.position, 10);
}

TEST(OutstmBuffered, ABlockThatFillsTheBufferExactlyStaysThere) {
  recording_output out(false, 4);
  out.open_stream();
  EXPECT_EQ(out.write_block("abcdefgh", 8), 8);
  EXPECT_EQ(out.writes, (blocks{"abcd"}));
  out.put_byte('i');
  EXPECT_EQ(out.writes, (blocks{"abcd", "efgh"}));
  out.close_stream();
  EXPECT_EQ(out.written(), "abcdefghi");
}

TEST(OutstmBuffered, OnlyANewlinePutOnItsOwnFlushes) {
  recording_output out(true, 64);
  out.open_stream();
  EXPECT_EQ(out.write_block("one\ntwo", 7), 7);
  EXPECT_TRUE(out.writes.empty());
  out.put_byte('\n');
  EXPECT_EQ(out.writes, (blocks{"one\ntwo\n"}));

  recording_output plain(false, 64);
  plain.open_stream();
  plain.put_byte('\n');
  EXPECT_TRUE(plain.writes.empty());
}

TEST(OutstmBuffered, AShortDeviceWriteIsDroppedSilentlyAndWritingGoesOn) {
  recording_output out(false, 4);
  out.accept_limit = 3;
  out.open_stream();
  out.statuses.clear();
  EXPECT_EQ(out.write_block("abcdefgh", 8), 8);  // the writer is not told
  EXPECT_EQ(out.writes, (blocks{"abc"}));
  EXPECT_TRUE(out.end_reached);
  EXPECT_EQ(out.statuses, (counts{status_writing, status_at_end}));
  EXPECT_EQ(out.error_code, 0);
  out.close_stream();
  EXPECT_EQ(out.writes, (blocks{"abc", "efg"}));
  EXPECT_EQ(out.position, 6);
}

TEST(OutstmUnbuffered, EveryCallGoesStraightToTheDevice) {
  recording_output out(true, 0);
  out.open_stream();
  out.statuses.clear();
  out.put_byte('a');
  EXPECT_EQ(out.write_block("bc\n", 3), 3);
  out.write_text("def");
  EXPECT_EQ(out.writes, (blocks{"a", "bc\n", "def"}));
  EXPECT_EQ(out.statuses, (counts(3, status_writing)));
  EXPECT_EQ(out.position, 7);
  EXPECT_FALSE(out.end_reached);
}

TEST(OutstmUnbuffered, AShortWriteReturnsTheCountAndMarksTheEnd) {
  recording_output out(false, 0);
  out.accept_limit = 2;
  out.open_stream();
  out.statuses.clear();
  EXPECT_EQ(out.write_block("abcde", 5), 2);
  EXPECT_EQ(out.statuses, (counts{status_writing, status_at_end}));
  EXPECT_TRUE(out.end_reached);
  EXPECT_EQ(out.position, 2);
}

TEST(OutstmText, WritesWithoutTheTerminatorAndIgnoresANullText) {
  recording_output out(false, 0);
  EXPECT_NO_THROW(out.write_text(nullptr));  // closed, and still no error
  out.open_stream();
  out.write_text(nullptr);
  out.write_text("text");
  EXPECT_EQ(out.writes, (blocks{"text"}));
}

TEST(OutstmErrors, AClosedStreamRaisesStreamInactive) {
  for (std::int32_t size : {0, 8}) {
    recording_output out(false, size);
    EXPECT_STREAM_ERROR(out.put_byte('x'), 5, "Stream inactive [recorder]");
    EXPECT_EQ(test::stream_error_of([&] { out.write_block("x", 1); }), 5);
    EXPECT_TRUE(out.writes.empty());
  }
}

TEST(OutstmErrors, AFailedWriteRaisesAndTheRestOfTheBufferIsNeverWritten) {
  recording_output out(false, 4);
  out.fail_at_write = 0;
  out.open_stream();
  out.statuses.clear();
  EXPECT_STREAM_ERROR(out.write_block("abcdef", 6), 28, "Disk full [recorder]");
  EXPECT_EQ(out.statuses, (counts{status_at_end}));
  EXPECT_TRUE(out.end_reached);
  EXPECT_STREQ(out.error_message.text(), "Couldn't write");
  out.write_text("xy");
  out.flush_output();  // an error is recorded: nothing is drained
  out.close_stream();  // and closing discards the buffer
  EXPECT_EQ(out.writes, (blocks{""}));
  EXPECT_EQ(out.closes, 1);
}

TEST(OutstmErrors, BytesOfAFailedDrainAreNotWrittenAgain) {
  recording_output out(false, 2);
  out.fail_at_write = 0;
  out.open_stream();
  EXPECT_EQ(test::stream_error_of([&] { out.write_block("abc", 3); }), 28);  // drain of "ab"
  EXPECT_EQ(out.buffer_end, 0);
  EXPECT_EQ(out.write_block("de", 2), 2);
  out.put_byte('f');  // drains "de", never "ab" again
  EXPECT_EQ(out.writes, (blocks{"", "de"}));
}

}  // namespace
}  // namespace pt
