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
bool starts(const std::vector<std::string>& arguments, os_error& error) {
  const std::string text = test::test_child_arguments(arguments);
  process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = text.c_str();
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

TEST(CommandLineRoom, TakesWhatStartsAndRefusesWhatTheOSRefuses) {
  // Arguments of a size every platform takes one of, as long as the room has them, then the
  // longest last one that still fits.
  command_line_room room(ORTO_TEST_CHILD);
  std::vector<std::string> arguments;
  const std::string piece(20000, 'a');
  for (command_line_room trial = room; trial.add_argument(piece) && trial.could_take(piece.size());
       trial = room) {
    room = trial;
    arguments.push_back(piece);
  }
  std::size_t fits = 0, too_long = 300000;
  while (too_long - fits > 1) {
    const std::size_t length = (fits + too_long) / 2;
    command_line_room trial = room;
    (trial.add_argument(std::string(length, 'b')) ? fits : too_long) = length;
  }
  ASSERT_GT(fits, 0u);
  EXPECT_TRUE(room.could_take(fits));
  EXPECT_FALSE(room.could_take(fits + 1));

  arguments.push_back(std::string(fits, 'b'));
  os_error error = 0;
  EXPECT_TRUE(starts(arguments, error)) << "error " << error;
  arguments.back() += 'b';
  EXPECT_FALSE(starts(arguments, error));
  EXPECT_EQ(error, command_line_too_long);

  // A NUL ends an argument on a command line: what follows it takes no room.
  command_line_room with_nul = room;
  EXPECT_TRUE(with_nul.add_argument(std::string(fits, 'b') + '\0' + std::string(fits, 'c')));
}

}  // namespace
}  // namespace pt::platform
