// Writing the result file: the exception note, LF to CR LF, the final status, failed writes
// (also those that show only at flush or close), large outputs and access shared with others.
#include "result_file.h"

#include "argument_file.h"
#include "ortolib/platform/files.h"
#include "support/fifo.h"
#include "support/line_ends.h"
#include "support/scratch_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <random>

namespace cmdwrap {
namespace {

using namespace std::string_literals;
using pt::test::with_crlf;

struct result_row {
  const char* name;
  std::string output;
  std::uint32_t status;
  std::string file_bytes;
  std::int32_t final_status;
};

void PrintTo(const result_row& row, std::ostream* out) { *out << row.name; }

class ResultFile : public testing::TestWithParam<result_row> {};

TEST_P(ResultFile, WritesTextAndNote) {
  pt::test::scratch_file file("result-file");
  file.write("the argument lines\r\n");
  std::FILE* result = open_result_file(file.c_str());
  ASSERT_NE(result, nullptr);
  const auto status = static_cast<std::int32_t>(GetParam().status);
  EXPECT_EQ(write_result_file(result, GetParam().output, status), GetParam().final_status);
  EXPECT_EQ(file.read(), GetParam().file_bytes);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ResultFile,
    testing::Values(
        result_row{"empty_output", "", 0, "", 0},
        result_row{"ok_line", "ok\n", 2, "ok\r\n", 2},
        result_row{"crlf_from_child", "a\r\nb", 0, "a\r\r\nb", 0},
        result_row{"only_line_ends", "\n\n", 1, "\r\n\r\n", 1},
        result_row{"any_bytes", "\0\x1A\r\xff"s, 7, "\0\x1A\r\xff"s, 7},
        result_row{"note_alone", "", 0xC0000005, "Returned Win32 exception 0xc0000005\r\n", -1},
        result_row{"note_after_line_end", "x\n", 0xC0000005,
                   "x\r\n\r\nReturned Win32 exception 0xc0000005\r\n", -1},
        result_row{"note_after_open_line", "x", 0xC0000409,
                   "x\r\nReturned Win32 exception 0xc0000409\r\n", -1},
        result_row{"no_exit_code", "", 0xFFFFFFFF, "Returned Win32 exception 0xffffffff\r\n", -1},
        result_row{"lowest_exception_code", "", 0xC0000000,
                   "Returned Win32 exception 0xc0000000\r\n", -1},
        result_row{"just_below_exception_codes", "a", 0xBFFFFFFF, "a", -1073741825},
        result_row{"most_negative_status", "", 0x80000000, "", -2147483647 - 1},
        result_row{"code_259_is_plain", "", 259, "", 259}),
    [](const testing::TestParamInfo<result_row>& info) { return std::string(info.param.name); });
// clang-format on

TEST(OpenResultFile, TruncatesAnExistingFileAndCreatesAMissingOne) {
  pt::test::scratch_file existing("result-file");
  existing.write("one\ntwo\n");
  std::FILE* file = open_result_file(existing.c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(existing.read(), "");  // gone from disk before anything is written
  EXPECT_EQ(write_result_file(file, "", 0), 0);
  EXPECT_EQ(existing.read(), "");

  pt::test::scratch_file missing("result-file");
  file = open_result_file(missing.c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(write_result_file(file, "new\n", 0), 0);
  EXPECT_EQ(missing.read(), "new\r\n");
}

TEST(OpenResultFile, GivesNothingForAPathThatCannotBeWritten) {
  const auto directory = std::filesystem::temp_directory_path();
  EXPECT_EQ(open_result_file(directory.string().c_str()), nullptr);
  const auto in_missing_folder = directory / "cmdwrap_no_such_folder" / "args.txt";
  EXPECT_EQ(open_result_file(in_missing_folder.string().c_str()), nullptr);
  EXPECT_FALSE(std::filesystem::exists(in_missing_folder.parent_path()));
}

// A FIFO that nobody reads cannot take the result: that fails at once, instead of waiting for a
// reader that the caller, who reads only after cmdwrap has ended, never becomes.
TEST(OpenResultFile, AFifoWithoutAReaderFailsAtOnce) {
  pt::test::scratch_file fifo("result-fifo");
  if (!pt::test::make_fifo(fifo.path()))
    GTEST_SKIP() << "no FIFOs in this file system";
  auto opened = std::async(std::launch::async, [&] {
    std::FILE* file = open_result_file(fifo.c_str());
    const std::uint32_t error = pt::last_c_file_error();
    if (file != nullptr)
      std::fclose(file);
    return std::make_pair(file != nullptr, error);
  });
  // An open that waits for a reader is given one after a while, so that the test ends.
  if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
    pt::test::open_fifo_reader_briefly(fifo.path());
  const auto [succeeded, error] = opened.get();
  EXPECT_FALSE(succeeded) << "the open waited for a reader";
  EXPECT_EQ(error, static_cast<std::uint32_t>(ENXIO));
}

TEST(WriteResultFile, LargeOutputIsTranslatedByteForByte) {
  // Several MiB of random bytes rich in LF and CR LF, so that line ends fall on every kind of
  // staging-buffer boundary; stretches without LF longer than the buffer, which bypass it;
  // then a run of nothing but LFs, which doubles in size.
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pick(0, 31);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string output;
  while (output.size() < 5 * 1024 * 1024) {
    const int choice = pick(random);
    if (choice == 0)
      output += '\n';
    else if (choice == 1)
      output += "\r\n";
    else
      output += static_cast<char>(byte(random));
  }
  output.append(700 * 1024, 'x');
  output += '\n';
  output.append(600 * 1024 + 7, '\r');
  output += "\r\n";
  output.append(300000, '\n');
  output += "end";

  pt::test::scratch_file file("result-file");
  std::FILE* result = open_result_file(file.c_str());
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(write_result_file(result, output, 0xC00000FD), -1);
  const std::string expected = with_crlf(output + "\nReturned Win32 exception 0xc00000fd\n");
  const std::string written = file.read();
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected)
      << "first difference at byte "
      << std::mismatch(written.begin(), written.end(), expected.begin()).first - written.begin();
}

TEST(WriteResultFile, FailedWriteGivesMinusOne) {
  // A stream open only for reading refuses every write.
  pt::test::scratch_file file("result-file");
  file.write("keep");
  for (std::uint32_t status : {0u, 5u, 0xC0000005u}) {
    std::FILE* read_only = std::fopen(file.c_str(), "rb");
    ASSERT_NE(read_only, nullptr);
    EXPECT_EQ(write_result_file(read_only, "text\n", static_cast<std::int32_t>(status)), -1)
        << status;
  }
  EXPECT_EQ(file.read(), "keep");
}

// A device that is always full: writes fail with "no space".
std::FILE* open_full_device(const char* mode) {
  const char* path = "/dev/full";
  if (!std::filesystem::exists(path))
    return nullptr;
  return std::fopen(path, mode);
}

TEST(WriteResultFile, FullDiskGivesMinusOne) {
  std::FILE* file = open_full_device("wb");
  if (file == nullptr)
    GTEST_SKIP() << "no always-full device here";
  std::fclose(file);
  std::FILE* result = open_result_file("/dev/full");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(write_result_file(result, "output\n", 0), -1);
}

TEST(WriteResultFile, WriteFailureThatShowsOnlyAtFlushGivesMinusOne) {
  // A buffered stream takes the few bytes into its buffer; the device refuses them only
  // when they are flushed on the way to closing.
  std::FILE* file = open_full_device("wb");
  if (file == nullptr)
    GTEST_SKIP() << "no always-full device here";
  EXPECT_EQ(write_result_file(file, "ok\n", 3), -1);
}

// What another writer (the child, say) put into the file during the run does not stay behind
// the result: the file ends where the result does.
TEST(WriteResultFile, BytesWrittenDuringTheRunDoNotStayBehindTheResult) {
  for (const std::string output : {"ok\n", ""}) {
    pt::test::scratch_file file("result-file");
    std::FILE* result = open_result_file(file.c_str());
    ASSERT_NE(result, nullptr);
    std::FILE* other = std::fopen(file.c_str(), "r+b");
    ASSERT_NE(other, nullptr);
    std::fputs("0123456789", other);
    std::fclose(other);
    EXPECT_EQ(write_result_file(result, output, 0), 0);
    EXPECT_EQ(file.read(), with_crlf(output));
  }
}

TEST(WriteResultFile, WritesWhileAnotherHandleHoldsTheFileForReadAndWrite) {
  pt::test::scratch_file file("result-file");
  file.write("first\r\nsecond\r\n");
  std::FILE* other = std::fopen(file.c_str(), "r+b");
  ASSERT_NE(other, nullptr);

  pt::command_line_room room("child");
  const argument_lines read = read_argument_lines(file.c_str(), room);
  EXPECT_TRUE(read.opened);
  EXPECT_EQ(read.lines, (std::vector<std::string>{"first", "second"}));
  std::FILE* result = open_result_file(file.c_str());
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(write_result_file(result, "done\n", 0), 0);

  // The other handle still works and sees the new content.
  std::rewind(other);
  char seen[16] = {};
  EXPECT_EQ(std::fread(seen, 1, sizeof seen, other), 6u);
  EXPECT_EQ(std::string(seen, 6), "done\r\n");
  std::fclose(other);
}

}  // namespace
}  // namespace cmdwrap
