// Expecting a stream error: what an action raised, read and deleted in one place, so that a
// test states the error number and message it expects instead of a try/catch of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ortolib/streams/estream.h"

namespace pt::test {

struct raised_stream_error {
  bool raised = false;
  std::int32_t number = -1;        // estream::error_code
  std::string message;             // the composed message
  const iobase* source = nullptr;  // estream::source_stream
};

// Runs action and reports the stream error it raised (deleting it); raised is false when it
// raised none. Any other exception passes on.
template <class action_type>
raised_stream_error stream_error_raised_by(action_type action) {
  raised_stream_error result;
  try {
    action();
  } catch (estream* error) {
    result = {true, error->error_code, error->get_message().text(), error->source_stream};
    delete error;
  }
  return result;
}

// The error number of the stream error action raised (deleting it), or -1 when none.
template <class action_type>
std::int32_t stream_error_of(action_type action) {
  return stream_error_raised_by(action).number;
}

}  // namespace pt::test

// Expects statement to raise a stream error with this number and message.
#define EXPECT_STREAM_ERROR(statement, expected_number, expected_message)        \
  do {                                                                           \
    const ::pt::test::raised_stream_error raised_error =                         \
        ::pt::test::stream_error_raised_by([&] { statement; });                  \
    EXPECT_TRUE(raised_error.raised) << #statement << " raised no stream error"; \
    EXPECT_EQ(raised_error.number, expected_number) << #statement;               \
    EXPECT_EQ(raised_error.message, expected_message) << #statement;             \
  } while (false)
