// Anonymous pipes: data across threads, the end of data, and a writer without a reader.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process_settings.h"
#include "ortolib/platform/private/std_handles.h"
#include "support/child_run.h"
#include "support/on_windows.h"

namespace pt::platform {
namespace {

using test::on_windows;

TEST(Pipe, CarriesDataBetweenThreadsUntilTheWriterCloses) {
  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end)) << "error " << last_error();
  // Far more than a pipe holds, so the writer blocks until the reader catches up.
  std::string sent(1024 * 1024 + 3, '\0');
  for (std::size_t i = 0; i < sent.size(); ++i)
    sent[i] = static_cast<char>(i % 253);
  std::thread writer([&] {
    for (std::size_t at = 0; at < sent.size(); at += 5000) {
      auto count = static_cast<std::int32_t>(std::min<std::size_t>(5000, sent.size() - at));
      EXPECT_EQ(handle_write(write_end, sent.data() + at, count), count);
    }
    EXPECT_TRUE(handle_close(write_end));
  });
  std::string received;
  EXPECT_TRUE(test::read_to_end(read_end, received)) << "error " << last_error();
  writer.join();
  EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
  EXPECT_TRUE(handle_close(read_end));
}

TEST(Pipe, EndsTheDataTheWayThePlatformDoes) {
  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end));
  ASSERT_EQ(handle_write(write_end, "abc", 3), 3);
  ASSERT_TRUE(handle_close(write_end));
  char buffer[16];
  EXPECT_EQ(handle_read(read_end, buffer, sizeof buffer), 3);
  if (on_windows()) {  // ReadFile fails with ERROR_BROKEN_PIPE, which the streams read as end
    EXPECT_EQ(handle_read(read_end, buffer, sizeof buffer), -1);
    EXPECT_EQ(stream_error_number(last_error()), 32);
  } else {
    EXPECT_EQ(handle_read(read_end, buffer, sizeof buffer), 0);
  }
  EXPECT_TRUE(handle_close(read_end));
}

TEST(Pipe, AWriteWithoutAReaderFailsAsABrokenPipeAndTheProcessLives) {
  process_settings_apply();
  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end));
  ASSERT_TRUE(handle_close(read_end));
  EXPECT_EQ(handle_write(write_end, "lost", 4), -1);
  EXPECT_EQ(stream_error_number(last_error()), 32);
  EXPECT_TRUE(handle_close(write_end));
}

TEST(StdHandles, DuplicatesAreUsableHandlesAboveTheStandardNumbers) {
  // The test runner gives the tests an output and an error pipe; input may be missing.
  handle output = std_handle_duplicate(std_handle_id::output);
  handle error = std_handle_duplicate(std_handle_id::error);
  for (handle h : {output, error}) {
    EXPECT_GT(h, 2);  // on POSIX never 0-2; Windows handles are never that small
    EXPECT_EQ(handle_write(h, "", 0), 0) << "error " << last_error();
  }
  EXPECT_NE(output, error);
  handle input = std_handle_duplicate(std_handle_id::input);
  EXPECT_TRUE(input == unusable_handle || input > 2) << input;
  for (handle h : {input, output, error})
    EXPECT_EQ(handle_close(h), h != unusable_handle);
}

TEST(StdHandles, AClosedStandardDescriptorIsFilledSoNoFileTakesItsNumber) {
  if (on_windows())
    GTEST_SKIP() << "Windows handles have no fixed numbers to reuse";
  ASSERT_TRUE(handle_close(0));
  EXPECT_EQ(std_handle_duplicate(std_handle_id::input), unusable_handle);
  EXPECT_EQ(stream_error_number(last_error()), 9);
  handle read_end, write_end;
  ASSERT_TRUE(pipe_create(read_end, write_end));
  EXPECT_GT(read_end, 2);
  EXPECT_GT(write_end, 2);
  char byte;
  EXPECT_EQ(handle_read(0, &byte, 1), 0);  // descriptor 0 now reads an empty device
  handle_close(read_end);
  handle_close(write_end);
}

}  // namespace
}  // namespace pt::platform
