// The child's output through cmdwrap into the result file: empty, standard error, binary bytes
// with their line ends, tens of MiB, a grandchild's late output, and cmdwrap's own standard
// input passed on to the child.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cmdwrap_run.h"
#include "support/line_ends.h"
#include "support/sanitizers.h"

namespace pt::test {
namespace {

TEST(Output, NoOutputLeavesAnEmptyFile) {
  auto result = run_child_through_wrapper("exit=0\n");
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, "");
  EXPECT_EQ(result.run.err, "");
}

TEST(Output, StandardErrorIsCollectedWithStandardOutputInOrder) {
  auto result = run_child_through_wrapper("err=" + hex("only error\n") + "\n");
  EXPECT_EQ(result.file, "only error\r\n");
  EXPECT_EQ(result.run.err, "");  // the child's standard error is not cmdwrap's

  result = run_child_through_wrapper("out=" + hex("1\n") + "\nerr=" + hex("2\n") +
                                     "\nout=" + hex("3\n") + "\n");
  EXPECT_EQ(result.file, "1\r\n2\r\n3\r\n");
}

TEST(Output, BinaryBytesPassWithOnlyLfWrittenAsCrLf) {
  std::string bytes("\0\r\n\n\x1a\xff\r\r\n\x80 end", 14);
  auto result = run_child_through_wrapper("out=" + hex(bytes) + "\n");
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, with_crlf(bytes));
  EXPECT_EQ(result.file, std::string("\0\r\r\n\r\n\x1a\xff\r\r\r\n\x80 end", 17));
}

// The memory stream grows its text 4 KiB at a time; where realloc copies every time (the
// sanitizers' allocators, the Windows heap, a memory checker) that costs time in proportion to
// the square of the size, so those runs check fewer bytes. Any of these is far more than a
// pipe holds.
std::size_t large_output_size() {
  if (under_launcher())
    return std::size_t{1} << 20;
  return sanitized_build ? std::size_t{8} << 20 : std::size_t{32} << 20;
}

TEST(Output, TensOfMebibytesArriveWhole) {
  // The pattern has no LF, so the file holds exactly the bytes.
  const std::size_t size = large_output_size();
  auto result = run_child_through_wrapper("fill=" + std::to_string(size) + "\nexit=5\n");
  EXPECT_EQ(result.run.status, 5u);
  std::string expected;
  expected.reserve(size);
  while (expected.size() < size)
    expected.append("0123456789abcdef", std::min<std::size_t>(16, size - expected.size()));
  ASSERT_EQ(result.file.size(), size);
  auto difference = std::mismatch(expected.begin(), expected.end(), result.file.begin());
  EXPECT_EQ(difference.first, expected.end())
      << "first difference at " << (difference.first - expected.begin());
}

TEST(Output, TheRunLastsUntilAGrandchildHasClosedTheOutput) {
  // The child ends at once with its own code; the grandchild writes 300 ms later and ends
  // with 0. The output is whole and the status is the child's.
  auto result = run_child_through_wrapper("grandchild=300\nout=" + hex("child ") + "\nexit=9\n");
  EXPECT_EQ(result.run.status, 9u);
  EXPECT_EQ(result.file, "child late");
  EXPECT_EQ(result.run.err, "");

  // A child that crashes while its grandchild holds the pipe: the output still waits for the
  // grandchild, and the note follows it.
  result = run_child_through_wrapper("grandchild=300\nout=" + hex("child ") + "\ncrash\n");
  EXPECT_EQ(result.run.status, status_of(-1));
  EXPECT_EQ(result.file.substr(0, 6), "child ");
  EXPECT_NE(result.file.find("late"), std::string::npos) << result.file;
  const std::string tail = "\r\nReturned Win32 exception 0xc0000005\r\n";
  ASSERT_GE(result.file.size(), tail.size());
  EXPECT_EQ(result.file.substr(result.file.size() - tail.size()), tail);
}

TEST(Output, TheChildReadsCmdwrapsOwnStandardInput) {
  wrapper_options options;
  options.input = std::string("from standard input\n\0\x1a", 22);
  auto result = run_child_through_wrapper("stdin\n", options);
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, with_crlf(options.input));
}

}  // namespace
}  // namespace pt::test
