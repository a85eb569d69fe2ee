// Reading the argument file: text-mode translation and line splitting on real files, files
// that cannot be read, large files across chunk boundaries, and access shared with others.
#include "argument_file.h"

#include "support/marked_text.h"
#include "support/scratch_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace cmdwrap {
namespace {

using namespace std::string_literals;
using lines = std::vector<std::string>;

// The lines read for a child named "child", within the room of its command line.
argument_lines read_for_child(const char* path, std::uint64_t byte_bound = argument_file_bound) {
  pt::command_line_room room("child");
  return read_argument_lines(path, room, byte_bound);
}

struct lines_row {
  const char* name;
  std::string bytes;
  lines expected;
};

void PrintTo(const lines_row& row, std::ostream* out) { *out << row.name; }

class ArgumentLines : public testing::TestWithParam<lines_row> {};

TEST_P(ArgumentLines, TranslatesAndSplits) {
  pt::test::scratch_file file("argument-file");
  file.write(GetParam().bytes);
  const argument_lines read = read_for_child(file.c_str());
  EXPECT_TRUE(read.opened);
  EXPECT_EQ(read.lines, GetParam().expected);
  // Reading leaves the file as it was.
  EXPECT_EQ(file.read(), GetParam().bytes);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, ArgumentLines,
    testing::Values(
        lines_row{"empty", "", {}},
        lines_row{"only_line_ends", "\n\r\n\n\r\n", {}},
        lines_row{"no_final_line_end", "abc", {"abc"}},
        lines_row{"crlf_and_empty_line", "a\r\n\r\nb\n", {"a", "b"}},
        lines_row{"cr_before_crlf_stays", "a\r\r\n", {"a\r"}},
        lines_row{"lone_cr_inside", "a\rb\n", {"a\rb"}},
        lines_row{"lone_cr_at_end_of_file", "a\r", {"a\r"}},
        lines_row{"line_of_one_cr", "\r\n\r\r\n", {"\r"}},
        lines_row{"spaces_and_tabs_kept", "   \n\t x \t\n", {"   ", "\t x \t"}},
        lines_row{"end_of_data_byte", "a\nb\x1A" "c\n", {"a", "b"}},
        lines_row{"end_of_data_first", "\x1A" "abc\n", {}},
        lines_row{"cr_before_end_of_data_stays", "a\r\x1A\n", {"a\r"}},
        lines_row{"lf_cr_is_not_a_pair", "a\n\rb", {"a", "\rb"}},
        lines_row{"other_bytes_unchanged", "\x01\x7f\x80\xff\"\\\n"s + "x\0y"s,
                  {"\x01\x7f\x80\xff\"\\", "x\0y"s}},
        // A byte-order mark makes the rest text of its encoding, read as UTF-8 lines.
        lines_row{"utf8_mark", "\xEF\xBB\xBFh\xC3\xB6\r\n\r\n\xF0\x9F\x98\x80\x1A\xFF",
                  {"h\xC3\xB6", "\xF0\x9F\x98\x80"}},
        lines_row{"utf16_le_mark", "\xFF\xFEh\0\xF6\0\r\0\n\0\x3D\xD8\x00\xDE\r\0"s,
                  {"h\xC3\xB6", "\xF0\x9F\x98\x80\r"}},
        lines_row{"utf16_be_mark", "\xFE\xFF\0a\0\0\0b\0\n\x65\xE5\0\x1A\xD8"s,
                  {"a\0b"s, "\xE6\x97\xA5"}},
        lines_row{"utf16_unit_holding_0x1a_or_lf", "\xFF\xFE\x1A\x04\x0A\x01"s,
                  {"\xD0\x9A\xC4\x8A"}},
        lines_row{"mark_alone", "\xFF\xFE", {}},
        lines_row{"too_short_for_a_mark", "\xEF\xBB", {"\xEF\xBB"}}),
    [](const testing::TestParamInfo<lines_row>& info) { return std::string(info.param.name); });
// clang-format on

// A marked file that holds no valid text is refused whole, with the reason, and kept as it is.
TEST(ReadArgumentLines, MarkedFileThatDoesNotDecodeIsRefused) {
  const std::pair<std::string, std::string> rows[] = {
      {"\xFF\xFE"
       "a\0b"s,
       "UTF-16 text of an odd number of bytes"},
      {"\xFF\xFE"
       "a\0\x3D\xD8"s,
       "UTF-16 surrogate without its partner at offset 4"},
      {"\xFE\xFF\xD8\x3D\0a"s, "UTF-16 surrogate without its partner at offset 2"},
      {"\xFF\xFE\x00\xDE"s, "UTF-16 surrogate without its partner at offset 2"},
      {"\xEF\xBB\xBFok\n\xC0\x80", "invalid UTF-8 at offset 6"},      // overlong
      {"\xEF\xBB\xBF\xED\xA0\x80", "invalid UTF-8 at offset 3"},      // a surrogate
      {"\xEF\xBB\xBF\xF4\x90\x80\x80", "invalid UTF-8 at offset 3"},  // past U+10FFFF
      {"\xEF\xBB\xBF"
       "ab\xE6\x97",
       "invalid UTF-8 at offset 5"},  // cut short
      // UTF-32: not UTF-16 LE text beginning with U+0000, nor bytes beginning with a NUL.
      {"\xFF\xFE\0\0a\0\0\0"s, "UTF-32 LE byte-order mark: only UTF-8 and UTF-16 are read"},
      {"\0\0\xFE\xFF\0\0\0a"s, "UTF-32 BE byte-order mark: only UTF-8 and UTF-16 are read"},
  };
  for (const auto& [bytes, reason] : rows) {
    pt::test::scratch_file file("argument-file");
    file.write(bytes);
    const argument_lines read = read_for_child(file.c_str());
    EXPECT_FALSE(read.opened) << reason;
    EXPECT_EQ(read.undecodable, reason);
    EXPECT_TRUE(read.lines.empty());
    EXPECT_EQ(file.read(), bytes);
  }
}

// Characters, and CR LF pairs, split between two reads of the file decode whole.
TEST(ReadArgumentLines, MarkedTextAcrossTheReadsOfTheFile) {
  using pt::test::text_mark;
  for (const text_mark mark : {text_mark::utf8, text_mark::utf16_le}) {
    for (std::size_t shift = 0; shift < 4; ++shift) {
      // The reads take 64 KiB; the emoji, and for UTF-16 its CR LF, end up across the first end.
      const std::string filler(mark == text_mark::utf8 ? 65533 - shift : 32767 - shift, 'x');
      pt::test::scratch_file file("argument-file");
      file.write(pt::test::marked_text(mark, filler + "\xF0\x9F\x98\x80\r\n\xE6\x97\xA5"));
      pt::command_line_room room("child", std::uint64_t{1} << 20);
      const argument_lines read = read_argument_lines(file.c_str(), room);
      EXPECT_EQ(read.encoding, pt::text_encoding::utf8);
      EXPECT_EQ(read.lines, (lines{filler + "\xF0\x9F\x98\x80", "\xE6\x97\xA5"})) << shift;
    }
  }
}

// What follows the last line, when it fills the command line to the last character, takes no
// room: line ends, empty lines and the end of data after it still let it start.
TEST(ReadArgumentLines, ALastLineThatFitsFitsWithAnythingEmptyAfterIt) {
  // A total below Linux's limit on one argument, so that the total is what the line fills.
  const pt::command_line_room empty_room("child", std::uint64_t{1} << 16);
  std::size_t fits = 0, too_long = 200000;
  while (too_long - fits > 1) {
    const std::size_t length = (fits + too_long) / 2;
    pt::command_line_room trial = empty_room;
    (trial.add_argument(std::string(length, 'a')) ? fits : too_long) = length;
  }
  const std::string line(fits, 'a');
  for (const std::string rest : {"", "\n", "\r\n\n\n", "\n\x1A",
                                 "\x1A"
                                 "b"}) {
    pt::test::scratch_file file("argument-file");
    file.write(line + rest);
    pt::command_line_room room = empty_room;
    const argument_lines read = read_argument_lines(file.c_str(), room);
    EXPECT_FALSE(read.too_long) << testing::PrintToString(rest);
    EXPECT_EQ(read.lines, lines{line});
  }
  pt::test::scratch_file file("argument-file");
  file.write(line + "a\n");
  pt::command_line_room room = empty_room;
  EXPECT_TRUE(read_argument_lines(file.c_str(), room).too_long);
}

TEST(ReadArgumentLines, MissingFileIsNotOpened) {
  pt::test::scratch_file file("argument-file");  // never created
  const argument_lines read = read_for_child(file.c_str());
  EXPECT_FALSE(read.opened);
  EXPECT_TRUE(read.lines.empty());
  EXPECT_FALSE(std::filesystem::exists(file.c_str()));
}

// A directory opens on Linux but fails at the first read; elsewhere it fails to open. Either
// way no child may be started on what was read.
TEST(ReadArgumentLines, FileThatFailsToReadIsNotOpened) {
  const auto directory = std::filesystem::temp_directory_path();
  const argument_lines read = read_for_child(directory.string().c_str());
  EXPECT_FALSE(read.opened);
  EXPECT_TRUE(read.lines.empty());
}

// The reference rules, written the plain way: cut at 0x1A, CR LF to LF, split, drop empties.
lines reference_lines(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
      text += bytes[i];
  lines result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    if (end > start)
      result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

TEST(ReadArgumentLines, LargeFileMatchesTheReferenceRules) {
  // Several chunks of short lines rich in CR and LF, so that pairs fall on every kind of
  // boundary; a CR LF pair is also put exactly across the first 64 KiB boundary.
  std::mt19937 random(99);
  std::uniform_int_distribution<int> pick(0, 15);
  std::string bytes(65535, 'x');
  bytes += "\r\n";
  while (bytes.size() < 600000) {
    const int choice = pick(random);
    if (choice == 0)
      bytes += '\r';
    else if (choice == 1)
      bytes += '\n';
    else if (choice == 2)
      bytes += "\r\n";
    else
      bytes += static_cast<char>('a' + choice);
  }
  pt::test::scratch_file file("argument-file");
  file.write(bytes);
  // More lines than a Windows command line holds: room for them, to see every one.
  pt::command_line_room room("child", std::uint64_t{16} << 20);
  const argument_lines read = read_argument_lines(file.c_str(), room);
  ASSERT_TRUE(read.opened);
  const lines expected = reference_lines(bytes);
  ASSERT_EQ(read.lines.size(), expected.size());
  EXPECT_TRUE(read.lines == expected);
  EXPECT_EQ(read.lines.front(), std::string(65535, 'x'));
}

TEST(ReadArgumentLines, StopsAtItsBoundsWithNoLines) {
  // A line longer than a command line of any platform holds, with lines before and after it.
  pt::test::scratch_file file("argument-file");
  file.write("first\n" + std::string(200000, 'a') + "\nlast\n");
  argument_lines read = read_for_child(file.c_str());
  EXPECT_TRUE(read.opened);
  EXPECT_TRUE(read.too_long);
  EXPECT_TRUE(read.lines.empty());

  // More bytes than the bound, though the lines would fit; the bound itself, and an end of data
  // within it, do not count as more.
  file.write(std::string(1000, '\n') + "x");
  EXPECT_TRUE(read_for_child(file.c_str(), 1000).too_long);
  read = read_for_child(file.c_str(), 1001);
  EXPECT_FALSE(read.too_long);
  EXPECT_EQ(read.lines, lines{"x"});
  file.write("x\x1A" + std::string(5000, 'y'));
  read = read_for_child(file.c_str(), 1000);
  EXPECT_FALSE(read.too_long);
  EXPECT_EQ(read.lines, lines{"x"});

  // A marked file's bound is on its text, the mark aside, and the end of data right after the
  // bound is seen whole, also when it is a UTF-16 unit.
  using pt::test::text_mark;
  for (const text_mark mark : {text_mark::utf8, text_mark::utf16_le, text_mark::utf16_be}) {
    const std::uint64_t text_bytes = mark == text_mark::utf8 ? 1001 : 2002;
    file.write(pt::test::marked_text(mark, std::string(1000, '\n') + "x\x1Ayz"));
    read = read_for_child(file.c_str(), text_bytes);
    EXPECT_FALSE(read.too_long) << static_cast<int>(mark);
    EXPECT_EQ(read.lines, lines{"x"});
    EXPECT_TRUE(read_for_child(file.c_str(), text_bytes - 1).too_long);
  }
}

TEST(ReadArgumentLines, ReadsWhileAnotherHandleHoldsTheFileForReadAndWrite) {
  pt::test::scratch_file file("argument-file");
  file.write("one\r\ntwo words\r\n");
  std::FILE* other = std::fopen(file.c_str(), "r+b");
  ASSERT_NE(other, nullptr);
  const argument_lines read = read_for_child(file.c_str());
  EXPECT_TRUE(read.opened);
  EXPECT_EQ(read.lines, (lines{"one", "two words"}));
  std::fclose(other);
}

}  // namespace
}  // namespace cmdwrap
