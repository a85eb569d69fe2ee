// The stream error numbers and their texts.
#include "ortolib/streams/stream_errors.h"

#include <gtest/gtest.h>

#include <string>

namespace pt {
namespace {

TEST(StreamErrors, EveryNumberOfTheTableHasItsText) {
  const struct {
    std::int32_t number;
    const char* text;
  } table[] = {
      {2, "No such file or directory"},
      {9, "Invalid file descriptor"},
      {12, "Not enough memory"},
      {13, "Access denied"},
      {17, "File already exists"},
      {19, "No such device"},
      {24, "Too many open files"},
      {27, "File too large"},
      {28, "Disk full"},
      {29, "Can not seek on this device"},
      {30, "Read-only file system"},
      {32, "Broken pipe"},
  };
  for (const auto& row : table) {
    ASSERT_NE(stream_error_text(row.number), nullptr) << row.number;
    EXPECT_EQ(std::string(stream_error_text(row.number)), row.text) << row.number;
  }
}

TEST(StreamErrors, OtherNumbersHaveNoTextSoTheRaisersWordsAreUsed) {
  for (std::int32_t number : {-1, 0, 1, 3, 5, 22, 31, 33, 109})
    EXPECT_EQ(stream_error_text(number), nullptr) << number;
}

}  // namespace
}  // namespace pt
