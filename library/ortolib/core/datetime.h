// Calendar arithmetic on timestamps: milliseconds since 1 January of the year 1, 00:00, on the
// proleptic Gregorian calendar (day 0 is a Monday). No clock, no time zones: a timestamp is
// split as it stands. Out-of-range input is reported by the result, never raised.
#pragma once

#include "ortolib/config.h"

#include <cstdint>
#include <ctime>

namespace pt {

using timestamp = std::int64_t;

inline constexpr std::int64_t ms_per_day = 86400000;
inline constexpr std::int64_t ms_per_hour = 3600000;
inline constexpr std::int64_t ms_per_minute = 60000;
inline constexpr std::int64_t ms_per_second = 1000;

// The last valid timestamp: 31 December 9999, 23:59:59.999 (day 3652058).
inline constexpr timestamp max_timestamp = 315537897599999;
inline constexpr std::int32_t max_day_number = 3652058;

// True for 0 to max_timestamp; negative timestamps are invalid.
bool timestamp_valid(timestamp t);

// The Gregorian rule; false for years of 0 or less.
bool year_is_leap(std::int32_t year);

// Days from the start of year to the end of month (1 to 12); 0 for any other month, so month 0
// gives the days before January.
std::int32_t days_through_month(std::int32_t year, std::int32_t month);

// 0 (Sunday) to 6 (Saturday), from the day number t / ms_per_day truncated toward zero.
std::int32_t weekday_of(timestamp t);

// Year, month (1 to 12) and day (1 to 31) of the day number t / ms_per_day (truncated, so
// -1 ms still lies on day 0). False with all three 0 when that day is outside 0 to 3652058.
bool split_date(timestamp t, std::int32_t& year, std::int32_t& month, std::int32_t& day);

// Time of day; the millisecond is stored when its pointer is not null. False with every output
// 0 when t is not valid.
bool split_time(timestamp t, std::int32_t& hour, std::int32_t& minute, std::int32_t& second,
                std::int32_t* millisecond = nullptr);

// Fills record (every field reset first; daylight saving 0) and returns it, or returns null
// when t is not valid (the record may then already hold the date).
std::tm* to_calendar(timestamp t, std::tm& record);

}  // namespace pt
