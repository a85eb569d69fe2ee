// A log file on a scratch file for the duration of a test.
#include "support/captured_log.h"

#include <gtest/gtest.h>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/streams/standard_streams.h"

namespace pt::test {

captured_log::captured_log(logfile& stream, platform::std_handle_id which)
    : stream_(stream), which_(which), file_("captured-log") {
  platform::handle file = platform::file_open(file_.c_str(), platform::file_access::write_truncate);
  EXPECT_NE(file, platform::no_handle) << "error " << platform::last_error();
  stream_.attach_handle(file);
  stream_.open_stream();
}

captured_log::~captured_log() {
  stream_.attach_handle(dup_std_handle(which_));
  stream_.open_stream();
}

std::string captured_log::text() const { return file_.read(); }

captured_std_error::captured_std_error()
    : captured_log(std_error, platform::std_handle_id::error) {}

int occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

}  // namespace pt::test
