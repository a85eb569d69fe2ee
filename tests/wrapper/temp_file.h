// Scratch files for the wrapper's file tests: a unique path in the system temp folder, removed
// when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace pt::test {

class temp_file {
 public:
  // A fresh unique path; the file itself is not created.
  temp_file();
  ~temp_file();
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;

  const char* path() const { return path_string_.c_str(); }

  // Replaces the file's content with bytes, unchanged.
  void write(std::string_view bytes) const;
  // The file's bytes, unchanged.
  std::string read() const;

 private:
  std::filesystem::path path_;
  std::string path_string_;
};

}  // namespace pt::test
