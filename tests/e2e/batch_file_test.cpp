// A batch file as the child (Windows): every line reaches it as one parameter and nothing in a
// line runs or expands; lines cmd.exe cannot carry, and a line too long for it, refuse the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cmdwrap_run.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

// A batch file in a scratch folder that hands its parameters (%*) on to the helper child, so
// that with hex-args first the result file shows what a program reads from them.
class forwarding_batch {
 public:
  explicit forwarding_batch(const std::string& name) : folder_("batch-folder") {
    std::filesystem::create_directory(folder_.path());
    path_ = (std::filesystem::path(folder_.path()) / name).string();
    std::string child = ORTO_TEST_CHILD;
    std::replace(child.begin(), child.end(), '/', '\\');
    // OS is set anew so that a parameter that expands it inside the batch can be told from one
    // that was expanded on the command line.
    std::ofstream(path_, std::ios::binary)
        << "@echo off\r\nset OS=batch\r\n\"" << child << "\" %*\r\n";
  }
  ~forwarding_batch() { std::filesystem::remove_all(folder_.path()); }
  forwarding_batch(const forwarding_batch&) = delete;
  forwarding_batch& operator=(const forwarding_batch&) = delete;

  const std::string& path() const { return path_; }
  std::filesystem::path folder() const { return folder_.path(); }

 private:
  scratch_file folder_;
  std::string path_;
};

class BatchFile : public testing::Test {
 protected:
  void SetUp() override {
    if (!on_windows())
      GTEST_SKIP() << "batch files run on Windows only";
  }
};

TEST_F(BatchFile, EveryLineIsOneParameterAndNothingInItRuns) {
  forwarding_batch batch("forward.Bat");
  const std::string pwned = (batch.folder() / "pwned.txt").string();
  const std::vector<std::string> lines = {"hello world", R"(C:\dir\)",
                                          "x\" & echo pwned> " + pwned + " & rem \"",
                                          R"(say "hi" a&b|c<d>e^f(g) !x!)", R"(a\"b)"};
  auto result = run_child_through_wrapper(hex_args_file(lines), {}, batch.path());
  EXPECT_EQ(result.run.status, 0u);
  EXPECT_EQ(result.file, hex_args_result(lines));
  EXPECT_FALSE(std::filesystem::exists(pwned));

  // Not expanded on the command line (Windows_NT). Windows passes %OS% on as it stands; wine's
  // cmd.exe expands a parameter's text once more inside the batch, where OS is "batch".
  result = run_child_through_wrapper(hex_args_file({"%OS%"}), {}, batch.path());
  EXPECT_TRUE(result.file == hex_args_result({"%OS%"}) || result.file == hex_args_result({"batch"}))
      << result.file;
}

TEST_F(BatchFile, ALineCmdCannotCarryRefusesTheStart) {
  // Also under a name that Windows resolves to the batch file: trailing dots and spaces drop.
  // (wine does not run such a name; the refusal comes before the start.)
  forwarding_batch batch("forward.CMD");
  for (const std::string& name : {batch.path(), batch.path() + ". ."}) {
    auto result = run_child_through_wrapper(hex_args_file({"fine", "a\rb"}), {}, name);
    EXPECT_EQ(result.run.status, status_of(-1));
    EXPECT_EQ(result.file, "Returned Win32 exception 0xffffffff\r\n");
    EXPECT_EQ(result.run.err, "Error: Couldn't run '" + name + "' error 160\n");  // bad arguments
  }
  // More than the 8191 characters cmd.exe reads on a line.
  auto result =
      run_child_through_wrapper(hex_args_file({std::string(8200, 'a')}), {}, batch.path());
  EXPECT_EQ(result.run.status, status_of(-1));
  EXPECT_EQ(result.run.err, "Error: Couldn't run '" + batch.path() + "' error 206\n");
}

}  // namespace
}  // namespace pt::test
