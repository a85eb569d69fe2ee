// Files and handle I/O through the platform layer: open modes, reading, writing, seeking and
// sharing, checked against the standard library's view of the file; a write to a full disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/process_settings.h"
#include "support/process_limits.h"
#include "support/scratch_file.h"

namespace pt::platform {
namespace {

std::string read_some(handle h, std::int32_t count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  std::int32_t got = handle_read(h, bytes.data(), count);
  EXPECT_GE(got, 0) << "error " << last_error();
  bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return bytes;
}

bool write_text(handle h, const std::string& text) {
  return handle_write(h, text.data(), static_cast<std::int32_t>(text.size())) ==
         static_cast<std::int32_t>(text.size());
}

TEST(FileOpen, TruncateReplacesAndAppendKeepsTheContent) {
  test::scratch_file file("modes");
  file.write("old content");
  handle h = file_open(file.c_str(), file_access::write_truncate);
  ASSERT_NE(h, no_handle) << "error " << last_error();
  EXPECT_EQ(file.read(), "");  // truncated at once, not at the first write
  EXPECT_TRUE(write_text(h, "new"));
  EXPECT_TRUE(handle_close(h));
  EXPECT_EQ(file.read(), "new");

  h = file_open(file.c_str(), file_access::write_append);
  ASSERT_NE(h, no_handle) << "error " << last_error();
  EXPECT_EQ(handle_seek(h, 0, 1), 0);  // it opens at the start; the caller moves to the end
  EXPECT_EQ(handle_seek(h, 0, 2), 3);
  EXPECT_TRUE(write_text(h, "er"));
  EXPECT_TRUE(handle_close(h));
  EXPECT_EQ(file.read(), "newer");
}

TEST(FileOpen, CreatesMissingFilesForWritingOnly) {
  test::scratch_file truncated("created"), appended("appended"), read("never");
  for (auto* file : {&truncated, &appended}) {
    handle h = file_open(file->c_str(), file == &truncated ? file_access::write_truncate
                                                           : file_access::write_append);
    ASSERT_NE(h, no_handle) << "error " << last_error();
    EXPECT_TRUE(handle_close(h));
    EXPECT_TRUE(file_exists(file->c_str()));
  }
  EXPECT_EQ(file_open(read.c_str(), file_access::read), no_handle);
  EXPECT_EQ(stream_error_number(last_error()), 2);
  EXPECT_FALSE(file_exists(read.c_str()));
}

TEST(FileOpen, RefusesADirectoryInEveryModeAsAccessDenied) {
  test::scratch_file folder("folder");
  ASSERT_TRUE(std::filesystem::create_directory(folder.path()));
  EXPECT_TRUE(file_exists(folder.c_str()));
  for (file_access access :
       {file_access::read, file_access::write_truncate, file_access::write_append}) {
    EXPECT_EQ(file_open(folder.c_str(), access), no_handle);
    EXPECT_EQ(stream_error_number(last_error()), 13) << "error " << last_error();
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
}

TEST(FileHandle, ReadsSeeksAndEndsWhereTheFileEnds) {
  test::scratch_file file("seek");
  file.write("0123456789");
  handle h = file_open(file.c_str(), file_access::read);
  ASSERT_NE(h, no_handle) << "error " << last_error();
  EXPECT_EQ(read_some(h, 4), "0123");
  EXPECT_EQ(handle_seek(h, 2, 0), 2);
  EXPECT_EQ(read_some(h, 3), "234");
  EXPECT_EQ(handle_seek(h, 1, 1), 6);
  EXPECT_EQ(read_some(h, 1), "6");
  EXPECT_EQ(handle_seek(h, -2, 2), 8);
  EXPECT_EQ(read_some(h, 100), "89");
  EXPECT_EQ(read_some(h, 100), "");
  EXPECT_EQ(handle_seek(h, 0, 7), -1);  // no such origin
  EXPECT_EQ(handle_seek(h, 0, 1), 10);  // and the position did not move
  EXPECT_TRUE(handle_close(h));
}

TEST(FileHandle, WritesLargeBlocksWhole) {
  test::scratch_file file("large");
  std::string data(3 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>(i * 7 % 251);
  handle h = file_open(file.c_str(), file_access::write_truncate);
  ASSERT_NE(h, no_handle);
  EXPECT_TRUE(write_text(h, data));
  handle_flush(h);
  EXPECT_TRUE(handle_close(h));
  EXPECT_TRUE(file.read() == data);
}

TEST(FileHandle, OneFileMayBeOpenTwiceForReadingAndWriting) {
  test::scratch_file file("shared");
  handle writer = file_open(file.c_str(), file_access::write_truncate);
  ASSERT_NE(writer, no_handle);
  handle reader = file_open(file.c_str(), file_access::read);
  ASSERT_NE(reader, no_handle) << "error " << last_error();
  handle appender = file_open(file.c_str(), file_access::write_append);
  ASSERT_NE(appender, no_handle) << "error " << last_error();
  EXPECT_TRUE(write_text(writer, "first "));
  EXPECT_EQ(handle_seek(appender, 0, 2), 6);
  EXPECT_TRUE(write_text(appender, "second"));
  EXPECT_EQ(read_some(reader, 100), "first second");
  for (handle h : {writer, reader, appender})
    EXPECT_TRUE(handle_close(h));
}

TEST(FileHandle, NoHandleAndUnusableHandleFailAsInvalid) {
  char byte = 'x';
  EXPECT_FALSE(handle_close(no_handle));
  EXPECT_EQ(stream_error_number(last_error()), 9);
  EXPECT_EQ(handle_write(unusable_handle, &byte, 1), -1);
  EXPECT_EQ(stream_error_number(last_error()), 9);
  EXPECT_EQ(handle_read(unusable_handle, &byte, 1), -1);
  EXPECT_EQ(stream_error_number(last_error()), 9);
  EXPECT_FALSE(handle_close(unusable_handle));
  EXPECT_EQ(stream_error_number(last_error()), 9);
}

using FileHandleDeathTest = testing::Test;

TEST(FileHandleDeathTest, AWritePastTheFileSizeLimitFailsAsOnAFullDiskAndTheProcessLives) {
  if (!test::process_limits_supported())
    GTEST_SKIP() << "this platform sets no file-size limit on a process";
  test::scratch_file file("limited");
  // In a child of its own, as the limit stays with the process. Without the start-up's
  // settings SIGXFSZ would end it.
  EXPECT_EXIT(
      {
        process_settings_apply();
        if (!test::limit_this_process({.file_size = 1024}))
          std::exit(2);
        handle h = file_open(file.c_str(), file_access::write_truncate);
        const std::string bytes(4096, 'x');
        const bool refused = handle_write(h, bytes.data(), 4096) == -1 &&
                             stream_error_number(last_error()) == 27;  // EFBIG
        handle_close(h);
        std::exit(refused ? 0 : 3);
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(file.read(), std::string(1024, 'x'));  // what fitted stays
}

}  // namespace
}  // namespace pt::platform
