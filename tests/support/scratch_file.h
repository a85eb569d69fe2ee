// Files for tests in the system's temporary folder, with names no other run uses.
#pragma once

#include <string>
#include <string_view>

namespace pt::test {

// A path in the temporary folder, unique to this object; the file (or empty folder) there is
// removed when the object is destroyed. Nothing is created until a test does so.
class scratch_file {
 public:
  explicit scratch_file(std::string_view name);
  ~scratch_file();
  scratch_file(const scratch_file&) = delete;
  scratch_file& operator=(const scratch_file&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }

  // The whole file as bytes, read and written by the standard library (binary mode), as an
  // oracle independent of the platform layer. read() gives "" for a missing file.
  std::string read() const;
  void write(std::string_view bytes) const;

 private:
  std::string path_;
};

// A path in the temporary folder of at least length characters: file_name in folders nested
// under a scratch folder, made with the object. The file, if a test made one, and the folders
// are removed with the object, deepest first (a recursive removal cannot list folders this deep
// on Windows).
class deep_path {
 public:
  deep_path(std::string_view file_name, std::size_t length);
  ~deep_path();
  deep_path(const deep_path&) = delete;
  deep_path& operator=(const deep_path&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }

 private:
  scratch_file root_;
  std::string path_;
};

}  // namespace pt::test
