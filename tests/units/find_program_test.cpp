// Finding the program that a command name stands for, along PATH (and PATHEXT on Windows).
#include "ortolib/units/find_program.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "support/on_windows.h"

namespace pt {
namespace {

std::string text_of(const string& s) { return std::string(s.text(), s.length()); }

TEST(FindProgram, FindsTheSystemsShellAlongPath) {
  const std::string shell = test::on_windows() ? "cmd" : "sh";
  const std::filesystem::path found = text_of(find_program(shell.c_str()));
  ASSERT_FALSE(found.empty());
  EXPECT_TRUE(std::filesystem::is_regular_file(found)) << found;
  std::string name = found.filename().string();
  for (char& c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(name, test::on_windows() ? "cmd.exe" : "sh");
}

TEST(FindProgram, ANameWithADirectoryIsThatPathAloneAndWindowsAddsTheExtension) {
  std::filesystem::path child = ORTO_TEST_CHILD;
  const std::string stem = (child.parent_path() / child.stem()).string();
  const std::filesystem::path found = text_of(find_program(stem.c_str()));
  ASSERT_FALSE(found.empty()) << stem;
  EXPECT_TRUE(std::filesystem::equivalent(found, child)) << found;
  // A name alone is looked for along PATH, not in the current directory.
  const std::filesystem::path was = std::filesystem::current_path();
  std::filesystem::current_path(child.parent_path());
  EXPECT_EQ(text_of(find_program(child.filename().string().c_str())), "");
  std::filesystem::current_path(was);
  EXPECT_EQ(text_of(find_program("no-such-program-anywhere")), "");
  EXPECT_EQ(text_of(find_program("")), "");
  EXPECT_EQ(text_of(find_program(child.parent_path().string().c_str())), "") << "a directory";
}

}  // namespace
}  // namespace pt
