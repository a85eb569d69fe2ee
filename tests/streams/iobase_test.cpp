// The stream life cycle, status changes, buffer sizes and the composition of error messages,
// on small scripted streams.
#include "ortolib/streams/iobase.h"

#include <gtest/gtest.h>

#include <vector>

#include "ortolib/streams/estream.h"
#include "support/fatal_report.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;
using test::recording_output;
using test::scripted_input;
using statuses = std::vector<std::int32_t>;

TEST(IobaseLife, ANewStreamIsClosedWithTheBufferSizeItWasGiven) {
  recording_output defaulted(false, -1), unbuffered(false, 0), sized(false, 100);
  for (recording_output* s : {&defaulted, &unbuffered, &sized}) {
    EXPECT_FALSE(s->is_active);
    EXPECT_TRUE(s->end_reached);
    EXPECT_EQ(s->status, status_created);
    EXPECT_EQ(s->os_handle, platform::no_handle);
    EXPECT_EQ(s->buffer, nullptr);
  }
  EXPECT_EQ(defaulted.buffer_size, 8192);
  EXPECT_EQ(unbuffered.buffer_size, 0);
  EXPECT_EQ(sized.buffer_size, 100);
  EXPECT_EQ(scripted_input("", -7).buffer_size, 8192);
}

TEST(IobaseLife, OpenAndCloseWalkThroughTheirStatusesOnce) {
  scripted_input in("data", 16);
  in.open_stream();
  EXPECT_EQ(in.statuses, (statuses{status_opening, status_opened}));
  EXPECT_TRUE(in.is_active);
  EXPECT_FALSE(in.end_reached);
  ASSERT_NE(in.buffer, nullptr);

  in.close_stream();
  EXPECT_EQ(in.statuses.back(), status_closed);
  EXPECT_FALSE(in.is_active);
  EXPECT_TRUE(in.end_reached);
  EXPECT_EQ(in.buffer, nullptr);
  EXPECT_EQ(in.status, status_closed);

  in.close_stream();  // closed already: nothing changes, the hook is not called
  in.abort_stream();
  EXPECT_EQ(in.statuses.size(), 3u);
}

TEST(IobaseLife, UnbufferedStreamsOpenWithoutABuffer) {
  recording_output out(false, 0);
  out.open_stream();
  EXPECT_EQ(out.buffer, nullptr);
  EXPECT_EQ(out.write_block("ab", 2), 2);
  EXPECT_EQ(out.writes, (std::vector<std::string>{"ab"}));
}

TEST(IobaseLife, CloseWritesOutPendingOutputAndAbortDiscardsIt) {
  recording_output closed(false, 16), aborted(false, 16);
  for (recording_output* s : {&closed, &aborted}) {
    s->open_stream();
    s->write_text("pending");
    EXPECT_TRUE(s->writes.empty());
  }
  closed.close_stream();
  aborted.abort_stream();
  EXPECT_EQ(closed.written(), "pending");
  EXPECT_TRUE(aborted.writes.empty());
  EXPECT_EQ(closed.closes, 1);
  EXPECT_EQ(aborted.closes, 1);
  EXPECT_EQ(aborted.status, status_closed);
}

TEST(IobaseLife, OpeningAnOpenStreamDiscardsItsBufferAndStartsAgain) {
  recording_output out(false, 16);
  out.open_stream();
  out.write_text("lost");
  out.statuses.clear();
  out.open_stream();
  EXPECT_EQ(out.statuses, (statuses{status_closed, status_opening, status_opened}));
  EXPECT_TRUE(out.writes.empty());
  EXPECT_EQ(out.closes, 1);
  EXPECT_EQ(out.buffer_end, 0);
  out.write_text("kept");
  out.close_stream();
  EXPECT_EQ(out.written(), "kept");
}

TEST(IobaseLife, EachOpenStartsWithPositionZeroAndNoRecordedError) {
  scripted_input in("abcdef", 0);
  in.open_stream();
  EXPECT_EQ(in.read_block(nullptr, 0), 0);
  char bytes[4];
  EXPECT_EQ(in.read_block(bytes, 4), 4);
  EXPECT_EQ(in.position, 4);
  EXPECT_EQ(test::stream_error_of([&] { in.device_seek(0, 0); }), 29);  // no handle
  EXPECT_EQ(in.error_code, 29);
  in.open_stream();
  EXPECT_EQ(in.position, 0);
  EXPECT_EQ(in.error_code, 0);
  EXPECT_TRUE(in.error_message.is_empty());
  EXPECT_FALSE(in.end_reached);
  EXPECT_FALSE(in.is_cancelled);
}

TEST(IobaseLife, AFailedOpenLeavesTheStreamActiveAtEndUntilClosed) {
  scripted_input in("abc", 8);
  in.fail_open = true;
  const test::raised_stream_error raised = test::stream_error_raised_by([&] { in.open_stream(); });
  EXPECT_EQ(raised.number, 2);
  EXPECT_EQ(raised.source, &in);
  EXPECT_EQ(raised.message, "No such file or directory [scripted]");
  EXPECT_TRUE(in.is_active);
  EXPECT_TRUE(in.end_reached);
  EXPECT_NE(in.buffer, nullptr);
  EXPECT_EQ(in.error_code, 2);
  EXPECT_STREQ(in.error_message.text(), "Couldn't open");
  EXPECT_EQ(in.statuses, (statuses{status_opening}));
  EXPECT_TRUE(in.at_end());  // nothing is read from a stream at end

  in.close_stream();
  EXPECT_FALSE(in.is_active);
  EXPECT_EQ(in.buffer, nullptr);
  EXPECT_EQ(in.statuses.back(), status_closed);
  in.fail_open = false;
  in.open_stream();
  EXPECT_EQ(in.error_code, 0);
}

TEST(IobaseLife, CloseNeverRaisesAndStillClosesTheDeviceWhenTheFlushFails) {
  recording_output out(false, 16);
  out.fail_at_write = 0;
  out.open_stream();
  out.write_text("doomed");
  EXPECT_NO_THROW(out.close_stream());
  EXPECT_EQ(out.writes.size(), 1u);  // the failed attempt
  EXPECT_EQ(out.closes, 1);
  EXPECT_FALSE(out.is_active);
  EXPECT_EQ(out.error_code, 28);
  EXPECT_EQ(out.statuses.back(), status_closed);
}

TEST(IobaseBuffer, SizeChangesWhileClosedOnly) {
  recording_output out(false, 0);
  out.set_buffer_size(-5);
  EXPECT_EQ(out.buffer_size, 8192);
  out.set_buffer_size(0);
  EXPECT_EQ(out.buffer_size, 0);
  out.set_buffer_size(3);
  out.open_stream();
  EXPECT_NE(out.buffer, nullptr);
  out.close_stream();
  out.set_buffer_size(5);
  EXPECT_EQ(out.buffer_size, 5);
}

using IobaseBufferDeathTest = testing::Test;

TEST(IobaseBufferDeathTest, ChangingTheSizeOfAnOpenStreamIsFatal) {
  EXPECT_FATAL(
      {
        recording_output out(false, 16);
        out.open_stream();
        out.set_buffer_size(32);
      },
      0xC000C, "Fatal \\[c000c\\]: Cannot change buffer size while stream is active");
}

TEST(IobaseBufferDeathTest, ASecondBufferIsFatal) {
  EXPECT_FATAL(
      {
        scripted_input in("", 16);
        in.open_stream();
        in.allocate_buffer();
      },
      0xC000D, "Fatal \\[c000d\\]: \\(ortolib internal\\) invalid buffer allocation");
}

TEST(IobaseErrors, ASeekWithoutHandleRaisesTheTextOfItsNumber) {
  scripted_input named("", 0), anonymous("", 0);
  anonymous.name = "";
  for (scripted_input* s : {&named, &anonymous}) {
    EXPECT_STREAM_ERROR(
        s->device_seek(10, 0), 29,
        s == &named ? "Can not seek on this device [scripted]" : "Can not seek on this device");
    EXPECT_TRUE(s->end_reached);
    EXPECT_EQ(s->error_code, 29);
    EXPECT_STREQ(s->error_message.text(), "Can't seek on this device");
  }
}

TEST(IobaseErrors, AKnownNumberWinsOverTheWordsAndTheNameIsAppendedOnce) {
  const struct {
    std::int32_t number;
    const char* words;
    const char* named;     // the message with the stream's name "scripted"
    const char* nameless;  // the message of a stream without name
  } table[] = {
      {28, "Couldn't write", "Disk full [scripted]", "Disk full"},
      {5, "Stream inactive", "Stream inactive [scripted]", "Stream inactive"},
      {77, "own words", "own words [scripted]", "own words"},
      {5, "ends in [brackets]", "ends in [brackets]", "ends in [brackets]"},
      {5, "[only] here", "[only] here [scripted]", "[only] here"},
      {5, "open [ bracket", "open [ bracket [scripted]", "open [ bracket"},
      {5, "close ] only", "close ] only [scripted]", "close ] only"},
      {5, "", " [scripted]", ""},
  };
  for (const auto& row : table) {
    for (bool named : {true, false}) {
      scripted_input in("", 0);
      if (!named)
        in.name = "";
      EXPECT_EQ(test::stream_error_raised_by([&] {
                  in.raise_stream_error(row.number, row.words);
                }).message,
                named ? row.named : row.nameless)
          << row.words;
      EXPECT_EQ(std::string(in.compose_error_message().text()), named ? row.named : row.nameless);
    }
  }
}

TEST(IobaseErrors, AStatusHookSeesEveryChangeWithItsStream) {
  static iobase* seen_stream;
  static std::int32_t seen_status;
  recording_output out(false, 0);
  out.status_hook = [](iobase* stream, std::int32_t status) {
    seen_stream = stream;
    seen_status = status;
  };
  out.open_stream();
  EXPECT_EQ(seen_stream, &out);
  EXPECT_EQ(seen_status, status_opened);
  out.put_byte('x');
  EXPECT_EQ(seen_status, status_writing);
}

}  // namespace
}  // namespace pt
