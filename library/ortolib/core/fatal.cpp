// The fatal-error path and its default report, which goes through the platform layer.
#include "ortolib/core/fatal.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "ortolib/platform/private/report.h"

namespace pt {

fatal_routine fatal_handler = show_fatal_message;

void fatal_error(std::uint32_t code, const char* message) {
  fatal_routine handler = fatal_handler;
  if (handler != nullptr)
    handler(code, message);
  // exit, not a quicker end: the clean-ups registered at start-up run as at any normal end.
  // NOLINTNEXTLINE(concurrency-mt-unsafe): any thread may end the process, by contract
  std::exit(static_cast<int>(code));
}

namespace {

struct fatal_row {
  std::uint32_t code;
  const char* message;
};

constexpr fatal_row fatal_rows[] = {
#define ORTO_FATAL_ROW(name, code, message) {code, message},
    ORTO_FATAL_ERRORS(ORTO_FATAL_ROW)
#undef ORTO_FATAL_ROW
};

}  // namespace

std::uint32_t fatal_code(fatal which) { return fatal_rows[static_cast<int>(which)].code; }

const char* fatal_message(fatal which) { return fatal_rows[static_cast<int>(which)].message; }

void fatal_error(fatal which) { fatal_error(fatal_code(which), fatal_message(which)); }

void fatal_error_at_once(std::uint32_t code, const char* message) {
  fatal_routine handler = fatal_handler;
  if (handler != nullptr)
    handler(code, message);
  std::_Exit(static_cast<int>(code));
}

namespace {

// Appends as much of piece as fits before the last byte of the buffer.
void append_bounded(char* text, int& length, int capacity, const char* piece, std::size_t size) {
  std::size_t room = static_cast<std::size_t>(capacity - 1 - length);
  if (size > room)
    size = room;
  std::memcpy(text + length, piece, size);
  length += static_cast<int>(size);
}

}  // namespace

int format_fatal_text(char (&text)[fatal_text_size], std::uint32_t code, const char* message) {
  char digits[16];
  auto converted = std::to_chars(digits, digits + sizeof digits, code, 16);
  auto digit_count = static_cast<std::size_t>(converted.ptr - digits);

  int length = 0;
  append_bounded(text, length, fatal_text_size, "Fatal [", 7);
  for (std::size_t padding = digit_count; padding < 5; ++padding)
    append_bounded(text, length, fatal_text_size, "0", 1);
  append_bounded(text, length, fatal_text_size, digits, digit_count);
  append_bounded(text, length, fatal_text_size, "]: ", 3);
  if (message != nullptr)
    append_bounded(text, length, fatal_text_size, message, std::strlen(message));
  text[length] = '\0';
  return length;
}

void show_fatal_message(std::uint32_t code, const char* message) {
  char text[fatal_text_size];
  format_fatal_text(text, code, message);
  platform::fatal_message_show(text, fatal_caption);
}

}  // namespace pt
