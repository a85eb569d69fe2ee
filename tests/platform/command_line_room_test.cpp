// The room of a command line against the start of a child, at its very edge: what the room
// takes starts, one byte more the OS refuses as well.
#include "ortolib/platform/command_line_room.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/process.h"
#include "support/child_run.h"

namespace pt::platform {
namespace {

// Starts the helper child with these arguments (it ends at once: they are no commands of its).
bool starts(const std::vector<std::string>& arguments, text_encoding encoding, os_error& error) {
  const std::string text = test::test_child_arguments(arguments);
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = text.c_str();
  request.arguments_encoding = encoding;
  process_info child;
  if (!process_start(request, child)) {
    error = last_error();
    return false;
  }
  std::uint32_t code = 0;
  EXPECT_TRUE(process_wait(child.process, code));
  process_close(child.thread);
  process_close(child.process);
  return true;
}

// An argument of count characters: bytes in ANSI; in UTF-8 characters of three bytes that are
// one UTF-16 unit each, so that Windows counts units where Linux counts bytes.
std::string characters(std::size_t count, char ansi, text_encoding encoding) {
  if (encoding == text_encoding::ansi)
    return std::string(count, ansi);
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text += ansi == 'a' ? "\xE6\x97\xA5" : "\xE6\x9C\xAC";
  return text;
}

class CommandLineRoom : public testing::TestWithParam<text_encoding> {};

TEST_P(CommandLineRoom, TakesWhatStartsAndRefusesWhatTheOSRefuses) {
  const text_encoding encoding = GetParam();
  // Arguments of a size every platform takes one of, as long as the room has them, then the
  // longest last one that still fits.
  command_line_room room(ORTO_TEST_CHILD);
  std::vector<std::string> arguments;
  const std::string piece = characters(20000, 'a', encoding);
  for (command_line_room trial = room;
       trial.add_argument(piece, encoding) && trial.could_take(piece.size(), encoding);
       trial = room) {
    room = trial;
    arguments.push_back(piece);
  }
  std::size_t fits = 0, too_long = 300000;
  while (too_long - fits > 1) {
    const std::size_t length = (fits + too_long) / 2;
    command_line_room trial = room;
    (trial.add_argument(characters(length, 'b', encoding), encoding) ? fits : too_long) = length;
  }
  ASSERT_GT(fits, 0u);
  const std::string longest = characters(fits, 'b', encoding);
  EXPECT_TRUE(room.could_take(longest.size(), encoding));
  if (encoding == text_encoding::ansi) {  // a UTF-8 length only bounds its units from below
    EXPECT_FALSE(room.could_take(fits + 1, encoding));
  }

  arguments.push_back(longest);
  os_error error = 0;
  EXPECT_TRUE(starts(arguments, encoding, error)) << "error " << error;
  arguments.back() += characters(1, 'b', encoding);
  EXPECT_FALSE(starts(arguments, encoding, error));
  EXPECT_EQ(error, command_line_too_long);

  // A NUL ends an argument on a command line: what follows it takes no room.
  command_line_room with_nul = room;
  EXPECT_TRUE(with_nul.add_argument(longest + '\0' + longest, encoding));
}

INSTANTIATE_TEST_SUITE_P(Encodings, CommandLineRoom,
                         testing::Values(text_encoding::ansi, text_encoding::utf8),
                         [](const testing::TestParamInfo<text_encoding>& info) {
                           return info.param == text_encoding::ansi ? "ansi" : "utf8";
                         });

}  // namespace
}  // namespace pt::platform
