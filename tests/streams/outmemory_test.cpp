// Output collected in memory: the size limit, copies of the text, reopening, seeking.
#include "ortolib/streams/outmemory.h"

#include <gtest/gtest.h>

#include <string>

#include "ortolib/streams/estream.h"
#include "support/fatal_report.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;

std::string text_of(outmemory& out) { return out.collected_text().text(); }

// Reaches the protected seek.
class seekable_memory : public outmemory {
 public:
  using outmemory::device_seek;
  using outmemory::outmemory;
};

TEST(Outmemory, CollectsEveryWriteWithoutALimit) {
  outmemory out;
  EXPECT_EQ(out.kind_code(), kind_outmemory);
  EXPECT_EQ(kind_outmemory, 0x202);
  EXPECT_EQ(out.buffer_size, 0);
  out.open_stream();
  EXPECT_EQ(out.os_handle, platform::no_handle);
  EXPECT_EQ(out.write_block("abc", 3), 3);
  EXPECT_EQ(out.write_block("de", 2), 2);
  EXPECT_EQ(text_of(out), "abcde");
  EXPECT_EQ(out.position, 5);
  out.put_byte('\0');  // one byte at once, whatever it is
  EXPECT_EQ(out.collected_text().length(), 6);
  EXPECT_FALSE(out.end_reached);
}

TEST(Outmemory, GrowsToLargeTextsByteForByte) {
  outmemory out;
  out.open_stream();
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    char byte = static_cast<char>('a' + i % 26);
    out.put_byte(byte);
    expected += byte;
  }
  std::string chunk(70000, 'z');
  out.write_block(chunk.data(), static_cast<std::int32_t>(chunk.size()));
  EXPECT_TRUE(text_of(out) == expected + chunk);
}

TEST(Outmemory, AWriteIsCutAtTheLimitWithoutAnError) {
  outmemory out(4);
  out.open_stream();
  EXPECT_EQ(out.write_block("abcdef", 6), 4);
  EXPECT_EQ(text_of(out), "abcd");
  EXPECT_TRUE(out.end_reached);
  EXPECT_EQ(out.status, status_at_end);
  EXPECT_EQ(out.write_block("x", 1), 0);
  out.put_byte('y');
  EXPECT_EQ(text_of(out), "abcd");
  EXPECT_EQ(out.error_code, 0);

  outmemory none(0);
  none.open_stream();
  EXPECT_EQ(none.write_block("abc", 3), 0);
  EXPECT_EQ(text_of(none), "");
}

TEST(Outmemory, ACutSaysHowManyBytesTheLimitKeptOut) {
  outmemory out(4);
  out.open_stream();
  EXPECT_EQ(out.write_block("abcd", 4), 4);  // up to the limit: nothing kept out yet
  EXPECT_FALSE(out.was_cut());
  out.write_block("efg", 3);
  out.put_byte('h');
  EXPECT_TRUE(out.was_cut());
  EXPECT_EQ(out.dropped_bytes(), 4);
  out.open_stream();  // each opening starts uncut
  EXPECT_EQ(out.write_block("abcdef", 6), 4);
  EXPECT_EQ(out.dropped_bytes(), 2);
  out.open_stream();
  EXPECT_FALSE(out.was_cut());
  outmemory unlimited;
  unlimited.open_stream();
  unlimited.write_text("anything");
  EXPECT_FALSE(unlimited.was_cut());
}

TEST(OutmemoryDeathTest, TextPastTheLongestStringIsStringOverflow) {
  // The ceiling of collected output, just under 2 GiB: a write past it is fatal, never a length
  // cut to 32 bits. Put at the ceiling by its position, the stream allocates nothing first.
  EXPECT_FATAL(
      {
        outmemory out;
        out.open_stream();
        out.position = max_string_length;
        out.write_block("x", 1);
      },
      fatal_string_overflow, "String overflow");
}

TEST(Outmemory, CopiesKeepTheirContentWhenMoreIsWritten) {
  outmemory out;
  out.open_stream();
  out.write_text("first");
  string copy = out.collected_text();
  out.write_text(" and more");
  EXPECT_STREQ(copy.text(), "first");
  EXPECT_EQ(text_of(out), "first and more");
}

TEST(Outmemory, CloseAndReopenStartAnEmptyText) {
  outmemory out;
  out.open_stream();
  out.write_text("gone");
  string kept = out.collected_text();
  out.close_stream();
  EXPECT_TRUE(out.text.is_empty());
  EXPECT_STREQ(kept.text(), "gone");
  out.open_stream();
  EXPECT_EQ(text_of(out), "");
  out.write_text("new");
  EXPECT_EQ(text_of(out), "new");
  EXPECT_EQ(out.position, 3);
  out.open_stream();  // reopening an open stream empties it too
  EXPECT_EQ(text_of(out), "");
}

TEST(Outmemory, TheTextOfAClosedStreamIsRefused) {
  outmemory out;
  EXPECT_STREAM_ERROR(out.collected_text(), 5, "Stream inactive [mem]");
}

TEST(Outmemory, SeeksComputeAPositionWithoutMoving) {
  seekable_memory out(8);
  out.open_stream();
  out.write_text("abcdef");
  EXPECT_EQ(out.device_seek(2, 0), 2);
  EXPECT_EQ(out.device_seek(-1, 1), 5);
  EXPECT_EQ(out.device_seek(1, 2), 7);
  EXPECT_EQ(out.device_seek(20, 0), 8);  // held to the limit
  EXPECT_EQ(out.position, 6);

  seekable_memory unlimited;
  unlimited.open_stream();
  EXPECT_EQ(unlimited.device_seek(1000, 0), 1000);
}

}  // namespace
}  // namespace pt
