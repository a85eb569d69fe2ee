// Scratch files in the temp folder, named uniquely so that parallel test programs never meet.
#include "temp_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>

namespace pt::test {
namespace {

std::string unique_name() {
  static std::atomic<unsigned> counter{0};
  static const unsigned long long run_id = [] {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) | device();
  }();
  return "cmdwrap_test_" + std::to_string(run_id) + "_" + std::to_string(counter++) + ".txt";
}

}  // namespace

temp_file::temp_file()
    : path_(std::filesystem::temp_directory_path() / unique_name()), path_string_(path_.string()) {}

temp_file::~temp_file() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

void temp_file::write(std::string_view bytes) const {
  std::FILE* file = std::fopen(path(), "wb");
  ASSERT_NE(file, nullptr) << path();
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  EXPECT_EQ(std::fclose(file), 0);
}

std::string temp_file::read() const {
  std::string bytes;
  std::FILE* file = std::fopen(path(), "rb");
  if (file == nullptr) {
    ADD_FAILURE() << "cannot open " << path();
    return bytes;
  }
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    bytes.append(chunk, got);
  EXPECT_EQ(std::ferror(file), 0);
  std::fclose(file);
  return bytes;
}

}  // namespace pt::test
