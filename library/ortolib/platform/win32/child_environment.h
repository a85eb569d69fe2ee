// Windows backend, private: the working directory and environment block that CreateProcessW
// gives a child (process_request). Only the files of this backend include it.
#pragma once

#include <string>

#include "ortolib/platform/private/process.h"

namespace pt::platform::win32 {

// What CreateProcessW takes as lpCurrentDirectory and lpEnvironment: null, the process's own.
class child_environment {
 public:
  // False from ready() when a text is not valid UTF-8 (ERROR_NO_UNICODE_TRANSLATION recorded).
  explicit child_environment(const process_request& request);

  bool ready() const { return ready_; }
  const wchar_t* directory() const { return has_directory ? directory_.c_str() : nullptr; }
  // A block of UTF-16 entries, each ended by a NUL, and a NUL after the last
  // (CREATE_UNICODE_ENVIRONMENT).
  void* block() { return has_block ? block_.data() : nullptr; }

 private:
  bool make_directory(const process_request& request);
  bool make_block(const process_request& request);

  std::wstring directory_;
  std::wstring block_;
  bool has_directory = false;
  bool has_block = false;
  bool ready_ = true;
};

}  // namespace pt::platform::win32
