// std_error on a scratch file for the duration of a test.
#include "captured_std_error.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "streams/standard_streams.h"

namespace pt::test {

captured_std_error::captured_std_error() : file_("std-error") {
  platform::handle file = platform::file_open(file_.c_str(), platform::file_access::write_truncate);
  EXPECT_NE(file, platform::no_handle) << "error " << platform::last_error();
  std_error.attach_handle(file);
  std_error.open_stream();
}

captured_std_error::~captured_std_error() {
  std_error.attach_handle(dup_std_handle(platform::std_handle_id::error));
  std_error.open_stream();
}

std::string captured_std_error::text() const { return file_.read(); }

int occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace pt::test
