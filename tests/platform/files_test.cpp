// The C streams of files.h: a long path opens and is rewritten wherever the platform can name
// it; on Windows through its \\?\ form, which is what a plain open lacks there without a
// manifest (wine opens both: the probe shows which one the open was given).
#include "ortolib/platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/file_open_probe.h"
#include "support/scratch_file.h"

namespace pt::test {
namespace {

TEST(CFile, APathPastTheLimitOpensThroughItsLongForm) {
  const deep_path file("argument-file", 300);
  file_open_probe probe;
  std::FILE* written = c_file_rewrite(file.c_str(), text_encoding::utf8);
  ASSERT_NE(written, nullptr) << last_c_file_error();
  EXPECT_EQ(std::fwrite("text", 1, 4, written), 4u);
  EXPECT_EQ(std::fclose(written), 0);
  std::FILE* read = c_file_open(file.c_str(), "rb", text_encoding::utf8);
  ASSERT_NE(read, nullptr) << last_c_file_error();
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, read), 4u);
  EXPECT_EQ(std::fclose(read), 0);
  EXPECT_STREQ(text, "text");
  if (probe.recording()) {
    const std::wstring long_form = L"\\\\?\\" + std::filesystem::absolute(file.path()).wstring();
    EXPECT_EQ(probe.names(), (std::vector<std::wstring>{long_form, long_form}));
  }
}

}  // namespace
}  // namespace pt::test
