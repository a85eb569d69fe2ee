// A batch file as the child (Windows): every line reaches it as one parameter and nothing in a
// line runs or expands; lines cmd.exe cannot carry, and a line too long for it, refuse the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cmdwrap_run.h"
#include "support/marked_text.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

class BatchFile : public testing::Test {
 protected:
  // A batch file that hands its parameters (%*) on to the helper child, so that with hex-args
  // first the result file shows what a program reads from them. It sets OS anew, so that a
  // parameter expanded inside the batch can be told from one expanded on the command line.
  void SetUp() override {
    if (!on_windows())
      GTEST_SKIP() << "batch files run on Windows only";
    std::filesystem::create_directory(folder.path());
    std::string child = ORTO_TEST_CHILD;
    std::replace(child.begin(), child.end(), '/', '\\');
    std::ofstream(batch, std::ios::binary)
        << "@echo off\r\nset OS=batch\r\n\"" << child << "\" %*\r\n";
  }
  void TearDown() override { std::filesystem::remove_all(folder.path()); }

  scratch_file folder{"batch-folder"};
  std::string batch = (std::filesystem::path(folder.path()) / "forward.Bat").string();
};

TEST_F(BatchFile, EveryLineIsOneParameterAndNothingInItRuns) {
  const std::string pwned = (std::filesystem::path(folder.path()) / "pwned.txt").string();
  const std::vector<std::string> lines = {"hello world", R"(C:\dir\)",
                                          "x\" & echo pwned> " + pwned + " & rem \"",
                                          R"(say "hi" a&b|c<d>e^f(g) !x!)", R"(a\"b)"};
  auto result = run_child_through_wrapper(hex_args_file(lines), {}, batch);
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result(lines));
  EXPECT_FALSE(std::filesystem::exists(pwned));

  // Never expanded on the command line (Windows_NT). Windows passes %OS% on as it stands;
  // wine's cmd.exe expands a parameter's text once more inside the batch, where OS is "batch".
  result = run_child_through_wrapper(hex_args_file({"%OS%"}), {}, batch);
  EXPECT_TRUE(result.file == hex_args_result({"%OS%"}) || result.file == hex_args_result({"batch"}))
      << result.file;
}

// A marked file reaches the batch on its wide command line, every character whole, with every
// guarantee of a file without a mark.
TEST_F(BatchFile, AMarkedFileKeepsEveryGuarantee) {
  const std::string pwned = (std::filesystem::path(folder.path()) / "pwned.txt").string();
  const std::vector<std::string> lines = {"w\xC3\xB6rld \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
                                          "x\" & echo pwned> " + pwned + " & rem \"",
                                          R"(say "hi" a&b|c<d>e^f(g) C:\dir\)"};
  std::vector<std::string> file_lines = lines;
  file_lines.insert(file_lines.begin(), "hex-utf8-args");
  auto result = run_child_through_wrapper(marked_lines(text_mark::utf16_le, file_lines), {}, batch);
  EXPECT_EQ(result.run.status, 0u) << result.run.err;
  EXPECT_EQ(result.file, hex_args_result(lines));
  EXPECT_FALSE(std::filesystem::exists(pwned));

  result = run_child_through_wrapper(marked_text(text_mark::utf8, "fine\na\rb\n"), {}, batch);
  EXPECT_EQ(result.run.err, "Error: Couldn't run '" + batch + "' error 160\n");
}

TEST_F(BatchFile, ALineCmdCannotCarryRefusesTheStart) {
  // Also by a name that Windows resolves to the batch file, its trailing dots and spaces
  // dropped (wine would not run it; the refusal comes before the start).
  for (const std::string& name : {batch, batch + ". ."}) {
    auto result = run_child_through_wrapper(hex_args_file({"fine", "a\rb"}), {}, name);
    EXPECT_EQ(result.run.status, status_of(-1));
    EXPECT_EQ(result.file, "Returned Win32 exception 0xffffffff\r\n");
    EXPECT_EQ(result.run.err, "Error: Couldn't run '" + name + "' error 160\n");  // bad arguments
  }
  // More than the 8191 characters cmd.exe reads on a line.
  auto result = run_child_through_wrapper(hex_args_file({std::string(8200, 'a')}), {}, batch);
  EXPECT_EQ(result.run.err, "Error: Couldn't run '" + batch + "' error 206\n");
}

}  // namespace
}  // namespace pt::test
