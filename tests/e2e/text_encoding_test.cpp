// Text beyond the ANSI code page: argument files with a byte-order mark reach the child whole,
// a file that does not decode is refused intact, files without a mark keep their bytes, and
// cmdwrap's own paths may hold any character.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "cmdwrap_run.h"
#include "ortolib/platform/text_encoding.h"
#include "support/marked_text.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

// Lines with characters from outside every single-byte code page, a quote, a trailing
// backslash and one beyond U+FFFF.
const std::vector<std::string> unicode_lines = {
    "hello", "w\xC3\xB6rld", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E text",
    "\xCE\xA9mega \"quoted\" back\\", "emoji \xF0\x9F\x98\x80"};

std::vector<std::string> with_command(const char* command, std::vector<std::string> lines) {
  lines.insert(lines.begin(), command);
  return lines;
}

TEST(MarkedArgumentFile, EveryCharacterReachesTheChild) {
  for (const text_mark mark : {text_mark::utf8, text_mark::utf16_le, text_mark::utf16_be}) {
    auto result =
        run_child_through_wrapper(marked_lines(mark, with_command("hex-utf8-args", unicode_lines)));
    EXPECT_EQ(result.run.status, 0u) << result.run.err;
    EXPECT_EQ(result.file, hex_args_result(unicode_lines)) << static_cast<int>(mark);
  }
}

TEST(MarkedArgumentFile, OneThatDoesNotDecodeIsRefusedIntact) {
  const std::string bytes = marked_lines(text_mark::utf16_le, {"exit=3"}) + "x";
  auto result = run_child_through_wrapper(bytes);
  EXPECT_EQ(result.run.status, status_of(-1));
  EXPECT_EQ(result.file, bytes);
  EXPECT_EQ(result.run.err, "Error: Couldn't read '" + result.argument_file +
                                "' - UTF-16 text of an odd number of bytes\n");
}

// UTF-32 is not read: both of its marks are refused before anything happens.
TEST(MarkedArgumentFile, AUtf32MarkIsRefusedIntact) {
  using namespace std::string_literals;
  for (const auto& [bytes, order] :
       {std::pair{"\xFF\xFE\0\0e\0\0\0"s, "LE"}, std::pair{"\0\0\xFE\xFF\0\0\0e"s, "BE"}}) {
    auto result = run_child_through_wrapper(bytes);
    EXPECT_EQ(result.run.status, status_of(-1));
    EXPECT_EQ(result.file, bytes);
    EXPECT_EQ(result.run.err, "Error: Couldn't read '" + result.argument_file + "' - UTF-32 " +
                                  order + " byte-order mark: only UTF-8 and UTF-16 are read\n");
  }
}

// The 16 MiB bound counts the text after the mark, and a U+001A right after it ends the data
// as a byte 0x1A after 16 MiB of bytes does (the reader's tests check the other forms).
TEST(MarkedArgumentFile, SixteenMiBOfTextBeforeTheEndOfDataRuns) {
  std::string text = "exit=3\n";
  text.append((std::size_t{8} << 20) - text.size(), '\n');  // 16 MiB of UTF-16
  auto result =
      run_child_through_wrapper(marked_text(text_mark::utf16_le, text + "\x1A\nexit=4\n"));
  EXPECT_EQ(result.run.status, 3u) << result.run.err;
}

// A program that reads its ANSI command line gets a look-alike for a character the code page
// lacks (Windows). One that would move an argument boundary there refuses the run before the
// file is touched: a quote inside a line, a backslash before the closing quote.
TEST(MarkedArgumentFile, ALineThatTheAnsiViewWouldSplitOtherwiseIsRefusedIntact) {
  for (const auto& [line, character, code] :
       {std::tuple{"a\uFF02 \uFF02b", "\uFF02", "FF02"}, std::tuple{"dir\uFF3C", "\uFF3C", "FF3C"},
        std::tuple{"yen\u00A5", "\u00A5", "00A5"}}) {
    const std::string bytes = marked_lines(text_mark::utf16_le, {"hex-utf8-args", "", line});
    auto result = run_child_through_wrapper(bytes);
    const std::string becomes = ansi_text(character, text_encoding::utf8);
    if (!on_windows() || (becomes != "\"" && becomes != "\\")) {  // a character of its own
      EXPECT_EQ(result.run.status, 0u) << result.run.err;
      EXPECT_EQ(result.file, hex_args_result({line}));
      continue;
    }
    EXPECT_EQ(result.run.status, status_of(-1));
    EXPECT_EQ(result.file, bytes);
    EXPECT_EQ(result.run.err, "Error: Couldn't use '" + result.argument_file + "' - line 3: U+" +
                                  code + " becomes '" + becomes +
                                  "' on the ANSI command line and would change the arguments\n");
  }
}

// Characters that only lose detail in the ANSI view, and look-alikes that move no boundary (a
// backslash or a blank inside a line), run.
TEST(MarkedArgumentFile, LinesThatOnlyLoseDetailInTheAnsiViewRun) {
  const std::vector<std::string> lines = {"caf\u00E9", "\u65E5\u672C", "emoji \U0001F600",
                                          "a\uFF3Cb", "a\u3000b"};
  auto result = run_child_through_wrapper(
      marked_lines(text_mark::utf8, with_command("hex-utf8-args", lines)));
  EXPECT_EQ(result.run.status, 0u) << result.run.err;
  EXPECT_EQ(result.file, hex_args_result(lines));
}

// Without a mark a line is bytes of the ANSI code page: on Windows the child finds their
// characters on its wide command line (its ANSI one gives back the bytes: Arguments tests).
TEST(ArgumentFileWithoutAMark, ReachesTheChildThroughTheCodePage) {
  const std::string cafe = "caf\xE9", cafe_utf8 = "caf\xC3\xA9";
  if (on_windows() && ansi_text(cafe_utf8, text_encoding::utf8) != cafe)
    GTEST_SKIP() << "the ANSI code page has no \xC3\xA9 at 0xE9";
  auto result = run_child_through_wrapper("hex-utf8-args\n" + cafe + "\n");
  EXPECT_EQ(result.file, hex_args_result({on_windows() ? cafe_utf8 : cafe}));
}

std::string utf8_of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A folder named in characters that no single-byte code page holds, with the executable and
// the argument file in it: found, started, read and rewritten.
TEST(CmdwrapsOwnPaths, MayHoldAnyCharacter) {
  scratch_file base("unicode-paths");
  const std::filesystem::path folder = std::filesystem::path(base.path()) /
                                       std::filesystem::path(u8"\u5F20\u4F1F \u03A9");
  std::filesystem::create_directories(folder);
  const std::filesystem::path child =
      folder / (u8"\u5B50 " + std::filesystem::path(ORTO_TEST_CHILD).filename().u8string());
  std::filesystem::copy_file(ORTO_TEST_CHILD, child);
  const std::filesystem::path arguments = folder / u8"\u5F15\u6570.args";
  std::ofstream(arguments, std::ios::binary)
      << marked_lines(text_mark::utf8, {"hex-utf8-args", "\xCE\xA9"});

  wrapper_options options;
  options.arguments_encoding = text_encoding::utf8;
  const wrapper_run run = run_cmdwrap({utf8_of(child), utf8_of(arguments)}, options);
  std::ifstream in(arguments, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove_all(folder);
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_EQ(file, hex_args_result({"\xCE\xA9"}));
}

// An argument file deeper than MAX_PATH (260 characters) is read and rewritten: on Windows
// through the long form of its path, without a manifest (platform tests see the open).
TEST(CmdwrapsOwnPaths, AnArgumentFileOnALongPathRuns) {
  const deep_path arguments("run.args", 300);
  std::ofstream(arguments.path(), std::ios::binary) << hex_args_file({"x y"});
  const wrapper_run run = run_cmdwrap({ORTO_TEST_CHILD, arguments.path()});
  std::ifstream in(arguments.path(), std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(run.status, 0u) << run.err;
  EXPECT_EQ(file, hex_args_result({"x y"}));
}

}  // namespace
}  // namespace pt::test
