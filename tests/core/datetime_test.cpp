// Calendar arithmetic, every valid day checked against <chrono>.
#include "ortolib/core/datetime.h"

#include <gtest/gtest.h>

#include <chrono>

namespace pt {
namespace {

namespace chrono = std::chrono;

TEST(Datetime, EveryDayMatchesTheProlepticGregorianCalendar) {
  const chrono::sys_days day_zero = chrono::year{1} / chrono::January / 1;
  for (std::int32_t d = 0; d <= max_day_number; ++d) {
    const chrono::sys_days day = day_zero + chrono::days{d};
    const chrono::year_month_day date{day};
    const timestamp t = d * ms_per_day + (d % 86400) * 1000 + d % 1000;

    std::int32_t year, month, mday;
    ASSERT_TRUE(split_date(t, year, month, mday)) << d;
    ASSERT_EQ(year, static_cast<int>(date.year())) << d;
    ASSERT_EQ(month, static_cast<int>(static_cast<unsigned>(date.month()))) << d;
    ASSERT_EQ(mday, static_cast<int>(static_cast<unsigned>(date.day()))) << d;

    std::tm record;
    ASSERT_EQ(to_calendar(t, record), &record) << d;
    ASSERT_EQ(record.tm_wday, static_cast<int>(chrono::weekday{day}.c_encoding())) << d;
    const chrono::sys_days new_year = date.year() / chrono::January / 1;
    ASSERT_EQ(record.tm_yday, (day - new_year).count()) << d;
    ASSERT_EQ(record.tm_year, year - 1900);
    ASSERT_EQ(record.tm_mon, month - 1);
    ASSERT_EQ(record.tm_sec, d % 86400 % 60);
  }
}

TEST(Datetime, FirstAndLastValidInstants) {
  std::tm record;
  ASSERT_NE(to_calendar(0, record), nullptr);
  EXPECT_EQ(record.tm_year, -1899);
  EXPECT_EQ(record.tm_mon, 0);
  EXPECT_EQ(record.tm_mday, 1);
  EXPECT_EQ(record.tm_yday, 0);
  EXPECT_EQ(record.tm_wday, 1);  // a Monday
  EXPECT_EQ(record.tm_isdst, 0);

  ASSERT_NE(to_calendar(max_timestamp, record), nullptr);
  EXPECT_EQ(record.tm_year, 9999 - 1900);
  EXPECT_EQ(record.tm_mon, 11);
  EXPECT_EQ(record.tm_mday, 31);
  EXPECT_EQ(record.tm_hour, 23);
  EXPECT_EQ(record.tm_min, 59);
  EXPECT_EQ(record.tm_sec, 59);
  EXPECT_EQ(record.tm_wday, 5);  // a Friday
  EXPECT_EQ(record.tm_yday, 364);

  std::int32_t hour, minute, second, millisecond;
  EXPECT_TRUE(split_time(max_timestamp, hour, minute, second, &millisecond));
  EXPECT_EQ(millisecond, 999);
}

TEST(Datetime, OutOfRange) {
  std::int32_t year = 1, month = 1, day = 1, hour = 1, minute = 1, second = 1, ms = 1;
  std::tm record;
  EXPECT_FALSE(timestamp_valid(max_timestamp + 1));
  EXPECT_FALSE(split_date(max_timestamp + 1, year, month, day));
  EXPECT_EQ(year + month + day, 0);
  EXPECT_EQ(to_calendar(max_timestamp + 1, record), nullptr);

  // -1 ms truncates to day 0, so the date splits, but the time does not.
  EXPECT_FALSE(timestamp_valid(-1));
  EXPECT_TRUE(split_date(-1, year, month, day));
  EXPECT_EQ(year * 10000 + month * 100 + day, 10101);
  EXPECT_FALSE(split_time(-1, hour, minute, second, &ms));
  EXPECT_EQ(hour + minute + second + ms, 0);
  EXPECT_EQ(to_calendar(-1, record), nullptr);
  EXPECT_FALSE(split_date(-ms_per_day, year, month, day));
  EXPECT_FALSE(timestamp_valid(INT64_MIN));

  for (timestamp t : {timestamp{-1}, -ms_per_day, -8 * ms_per_day, timestamp{INT64_MIN}})
    EXPECT_TRUE(weekday_of(t) >= 0 && weekday_of(t) <= 6) << t;
}

TEST(Datetime, ADayIn2024) {
  const timestamp t = 63844895109000;  // 1 March 2024, 13:05:09.000
  std::tm record;
  ASSERT_NE(to_calendar(t, record), nullptr);
  EXPECT_EQ(record.tm_year, 124);
  EXPECT_EQ(record.tm_mon, 2);
  EXPECT_EQ(record.tm_mday, 1);
  EXPECT_EQ(record.tm_hour, 13);
  EXPECT_EQ(record.tm_min, 5);
  EXPECT_EQ(record.tm_sec, 9);
  EXPECT_EQ(record.tm_wday, 5);
  EXPECT_EQ(record.tm_yday, 60);
  EXPECT_EQ(weekday_of(t), 5);
}

TEST(Datetime, LeapYearsAndMonthTotals) {
  for (std::int32_t year : {2000, 2024, 4, 400})
    EXPECT_TRUE(year_is_leap(year)) << year;
  for (std::int32_t year : {1900, 2023, 0, -4, 100, 1})
    EXPECT_FALSE(year_is_leap(year)) << year;

  EXPECT_EQ(days_through_month(2024, 2), 60);
  EXPECT_EQ(days_through_month(2023, 2), 59);
  EXPECT_EQ(days_through_month(2024, 1), 31);
  EXPECT_EQ(days_through_month(2024, 12), 366);
  EXPECT_EQ(days_through_month(2023, 12), 365);
  EXPECT_EQ(days_through_month(2024, 0), 0);
  EXPECT_EQ(days_through_month(2024, 13), 0);
  EXPECT_EQ(days_through_month(2024, -1), 0);
}

}  // namespace
}  // namespace pt
