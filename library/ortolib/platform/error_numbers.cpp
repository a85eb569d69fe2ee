// The names and texts of the library's error numbers, read from their one table.
#include "ortolib/platform/error_numbers.h"

namespace pt {
namespace {

struct error_row {
  std::int32_t number;
  const char* name;
  const char* text;
};

#define ORTO_ERROR_ROW(constant, number, posix_name, text) {(number), (posix_name), (text)},
constexpr error_row error_rows[] = {ORTO_ERROR_NUMBERS(ORTO_ERROR_ROW)};
#undef ORTO_ERROR_ROW

const error_row* row_of(std::int32_t number) {
  for (const error_row& row : error_rows)
    if (row.number == number)
      return &row;
  return nullptr;
}

}  // namespace

const char* error_number_name(std::int32_t number) {
  const error_row* row = row_of(number);
  return row != nullptr ? row->name : nullptr;
}

const char* error_number_text(std::int32_t number) {
  const error_row* row = row_of(number);
  return row != nullptr ? row->text : nullptr;
}

}  // namespace pt
