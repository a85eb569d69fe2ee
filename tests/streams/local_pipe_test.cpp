// Pipes between an input and an output stream: data across threads, the end of the data,
// the ends' handles, and a writer whose reader has gone.
#include "ortolib/streams/local_pipe.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ortolib/streams/estream.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/outfile.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

std::string read_all(infile& in) {
  std::string all;
  char piece[3000];
  for (std::int32_t got; (got = in.read_block(piece, sizeof piece)) > 0;)
    all.append(piece, static_cast<std::size_t>(got));
  return all;
}

TEST(LocalPipe, LeavesBothStreamsOpenOnCrossedEnds) {
  infile in;
  outfile out;
  make_local_pipe(in, out);
  EXPECT_TRUE(in.is_active);
  EXPECT_TRUE(out.is_active);
  EXPECT_NE(in.os_handle, platform::no_handle);
  EXPECT_EQ(in.os_handle, in.given_handle);
  EXPECT_EQ(out.os_handle, out.given_handle);
  EXPECT_EQ(in.pipe_peer_handle, out.os_handle);
  EXPECT_EQ(out.pipe_peer_handle, in.os_handle);
  EXPECT_EQ(in.kind_code() & kind_family_and_device, kind_infile);
  EXPECT_EQ(out.kind_code() & kind_family_and_device, kind_outfile);
  out.close_stream();
  EXPECT_EQ(out.given_handle, platform::no_handle);
  EXPECT_EQ(out.pipe_peer_handle, platform::no_handle);
  EXPECT_NE(in.pipe_peer_handle, platform::no_handle);  // the input keeps its record
  in.close_stream();
  EXPECT_EQ(in.given_handle, platform::no_handle);
  EXPECT_EQ(in.pipe_peer_handle, platform::no_handle);
}

TEST(LocalPipe, CarriesDataBetweenThreadsUntilTheWriterCloses) {
  const std::string sent = pattern(1024 * 1024 + 5);  // far more than a pipe holds
  for (std::int32_t buffer_size : {0, -1}) {
    infile in;
    outfile out;
    in.set_buffer_size(buffer_size);
    out.set_buffer_size(buffer_size);
    make_local_pipe(in, out);
    std::thread writer([&] {
      for (std::size_t at = 0; at < sent.size(); at += 5000) {
        auto count = static_cast<std::int32_t>(std::min<std::size_t>(5000, sent.size() - at));
        EXPECT_EQ(out.write_block(sent.data() + at, count), count);
      }
      out.close_stream();
    });
    std::string received = read_all(in);
    writer.join();
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
    EXPECT_TRUE(in.at_end());
    EXPECT_EQ(in.position, static_cast<std::int64_t>(sent.size()));
    EXPECT_EQ(in.error_code, 0);
  }
}

TEST(LocalPipe, OneLargeUnbufferedWriteIsTakenWhole) {
  const std::string sent = pattern(3 * 1024 * 1024);
  infile in;
  outfile out;
  out.set_buffer_size(0);
  make_local_pipe(in, out);
  std::string received;
  std::thread reader([&] { received = read_all(in); });
  EXPECT_EQ(out.write_block(sent.data(), static_cast<std::int32_t>(sent.size())),
            static_cast<std::int32_t>(sent.size()));
  EXPECT_FALSE(out.end_reached);
  out.close_stream();
  reader.join();
  EXPECT_TRUE(received == sent);
}

TEST(LocalPipe, TheEndOfTheDataIsNoError) {
  infile in;
  outfile out;
  in.set_buffer_size(0);
  out.set_buffer_size(0);
  make_local_pipe(in, out);
  out.write_text("last words");
  out.close_stream();
  char bytes[64];
  EXPECT_EQ(in.read_block(bytes, sizeof bytes), 10);
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(in.read_block(bytes, sizeof bytes), 0);
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.status, status_at_end);
  EXPECT_EQ(in.error_code, 0);
}

TEST(LocalPipe, WritingWithoutAReaderIsABrokenPipeError) {
  infile in;
  outfile out;
  out.set_buffer_size(0);
  make_local_pipe(in, out);
  in.close_stream();
  const test::raised_stream_error raised =
      test::stream_error_raised_by([&] { out.write_text("nobody listens"); });
  EXPECT_EQ(raised.number, 32);
  EXPECT_EQ(raised.source, &out);
  EXPECT_EQ(raised.message, "Broken pipe");  // pipe ends have no name
  EXPECT_STREQ(out.error_message.text(), "Couldn't write");
  EXPECT_EQ(out.status, status_at_end);
  EXPECT_TRUE(out.end_reached);
}

TEST(LocalPipe, AClosedPipeEndReopensItsEmptyFileName) {
  infile in;
  outfile out;
  make_local_pipe(in, out);
  in.close_stream();
  EXPECT_STREAM_ERROR(in.open_stream(), 2, "No such file or directory");
  EXPECT_STREQ(in.error_message.text(), "Couldn't open");
}

TEST(LocalPipe, ReplacesWhatTheStreamsHadOpen) {
  // Unbuffered: on Windows a buffered pipe end's close waits in FlushFileBuffers until the
  // reader has taken everything, and the reader here is this thread.
  infile in;
  outfile out;
  in.set_buffer_size(0);
  out.set_buffer_size(0);
  make_local_pipe(in, out);
  out.write_text("old pipe");
  make_local_pipe(in, out);  // both are closed first: the old pipe and its data are gone
  EXPECT_NE(in.pipe_peer_handle, platform::no_handle);
  out.write_text("fresh");
  out.close_stream();
  EXPECT_EQ(read_all(in), "fresh");
}

}  // namespace
}  // namespace pt
