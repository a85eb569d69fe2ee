// Splitting timestamps by the 400-, 100-, 4- and 1-year cycles of the Gregorian calendar.
#include "ortolib/core/datetime.h"

#include <cstring>

namespace pt {

namespace {

constexpr std::int32_t days_per_400_years = 146097;
constexpr std::int32_t days_per_100_years = 36524;
constexpr std::int32_t days_per_4_years = 1461;
constexpr std::int32_t days_per_year = 365;

// Days from the start of a common year to the end of each month.
constexpr std::int32_t days_through[12] = {31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

}  // namespace

bool timestamp_valid(timestamp t) {
  return static_cast<std::uint64_t>(t) <= static_cast<std::uint64_t>(max_timestamp);
}

bool year_is_leap(std::int32_t year) {
  return year > 0 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

std::int32_t days_through_month(std::int32_t year, std::int32_t month) {
  if (month < 1 || month > 12)
    return 0;
  return days_through[month - 1] + (month >= 2 && year_is_leap(year) ? 1 : 0);
}

std::int32_t weekday_of(timestamp t) {
  std::int64_t weekday = (t / ms_per_day + 1) % 7;
  // Before day 0 the remainder is negative; the week goes on backwards.
  return static_cast<std::int32_t>(weekday < 0 ? weekday + 7 : weekday);
}

bool split_date(timestamp t, std::int32_t& year, std::int32_t& month, std::int32_t& day) {
  std::int64_t day_number = t / ms_per_day;
  if (day_number < 0 || day_number > max_day_number) {
    year = month = day = 0;
    return false;
  }
  auto d = static_cast<std::int32_t>(day_number);
  std::int32_t y = 400 * (d / days_per_400_years) + 1;
  std::int32_t r = d % days_per_400_years;

  std::int32_t centuries = r / days_per_100_years;
  r %= days_per_100_years;
  if (centuries == 4) {  // the last day of a 400-year cycle
    centuries = 3;
    r += days_per_100_years;
  }
  y += 100 * centuries;

  y += 4 * (r / days_per_4_years);
  r %= days_per_4_years;

  std::int32_t years = r / days_per_year;
  r %= days_per_year;
  if (years == 4) {  // the last day of a 4-year cycle
    years = 3;
    r += days_per_year;
  }
  y += years;

  // r is the day of the year from 0. No month is shorter than 29 days, so r / 29 is the month
  // index or one too many.
  std::int32_t m = r / 29;
  if (r < days_through_month(y, m))
    --m;
  year = y;
  month = m + 1;
  day = r - days_through_month(y, m) + 1;
  return true;
}

bool split_time(timestamp t, std::int32_t& hour, std::int32_t& minute, std::int32_t& second,
                std::int32_t* millisecond) {
  if (!timestamp_valid(t)) {
    hour = minute = second = 0;
    if (millisecond != nullptr)
      *millisecond = 0;
    return false;
  }
  auto ms = static_cast<std::int32_t>(t % ms_per_day);
  hour = ms / static_cast<std::int32_t>(ms_per_hour);
  minute = ms % static_cast<std::int32_t>(ms_per_hour) / static_cast<std::int32_t>(ms_per_minute);
  second = ms % static_cast<std::int32_t>(ms_per_minute) / static_cast<std::int32_t>(ms_per_second);
  if (millisecond != nullptr)
    *millisecond = ms % static_cast<std::int32_t>(ms_per_second);
  return true;
}

std::tm* to_calendar(timestamp t, std::tm& record) {
  std::memset(&record, 0, sizeof record);
  if (!split_date(t, record.tm_year, record.tm_mon, record.tm_mday))
    return nullptr;
  if (!split_time(t, record.tm_hour, record.tm_min, record.tm_sec))
    return nullptr;
  record.tm_mon -= 1;
  record.tm_yday = days_through_month(record.tm_year, record.tm_mon) + record.tm_mday - 1;
  record.tm_wday = weekday_of(t);
  record.tm_year -= 1900;
  return &record;
}

}  // namespace pt
