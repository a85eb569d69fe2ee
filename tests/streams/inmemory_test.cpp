// Input read from a string: blocks, lines, the end of the data, reopening, and a text changed
// while the stream is open.
#include "ortolib/streams/inmemory.h"

#include <gtest/gtest.h>

#include <string>

#include "support/stream_error.h"

namespace pt {
namespace {

std::string read_string(instm& in, std::int32_t count) {
  std::string bytes(static_cast<std::size_t>(count), '\0');
  bytes.resize(static_cast<std::size_t>(in.read_block(bytes.data(), count)));
  return bytes;
}

TEST(Inmemory, ReadsEveryByteOfItsTextInBlocksOrLinesThenEnds) {
  const std::string data("ab\0c\r\n\x1a\xff", 8);
  inmemory in(data.data(), static_cast<std::int32_t>(data.size()));
  EXPECT_EQ(in.kind_code(), kind_inmemory);
  in.open_stream();
  EXPECT_FALSE(in.at_end());
  EXPECT_EQ(read_string(in, 3), data.substr(0, 3));
  EXPECT_EQ(read_string(in, 100), data.substr(3));
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.position, 8);

  inmemory lines("a\nb\r\n\nc");
  lines.open_stream();
  string line;
  std::string read;
  while (lines.read_line(line))
    read += std::string(line.text()) + "|";
  EXPECT_EQ(read, "a|b||c|");

  inmemory empty;
  empty.open_stream();
  EXPECT_TRUE(empty.at_end());
  EXPECT_EQ(read_string(empty, 4), "");
}

TEST(Inmemory, EachOpenReadsFromTheStartAndANewTextWaitsForTheNextOpen) {
  inmemory in("first");
  in.open_stream();
  EXPECT_EQ(read_string(in, 2), "fi");
  in.text = "second";  // the open stream keeps its text
  in.text.append("!");
  EXPECT_EQ(read_string(in, 10), "rst");
  in.open_stream();
  EXPECT_EQ(read_string(in, 10), "second!");
  in.close_stream();
  EXPECT_EQ(test::stream_error_raised_by([&] { in.read_block(nullptr, 1); }).message,
            "Stream inactive [mem]");
}

}  // namespace
}  // namespace pt
