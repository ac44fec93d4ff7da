// The calendar arithmetic behind Access's date functions and its date formats: days counted
// from 1899-12-30 (day 0) in the proleptic Gregorian calendar, a moment as a day and the
// millisecond of that day, the intervals of DateAdd, DateDiff and DatePart, and the US English
// names of months and days.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mdbodbc::sql {

struct CivilDay {
  int year;
  int month;  // 1..12
  int day;    // 1..31
};

// A moment of the range 0100-01-01 .. 9999-12-31, to the millisecond.
struct Moment {
  std::int64_t day = 0;  // days since 1899-12-30
  std::int64_t ms = 0;   // 0 .. 86,399,999
};

inline constexpr std::int64_t kMsPerDay = 86'400'000;
inline constexpr std::int64_t kFirstDay = -657'434;  // 0100-01-01
inline constexpr std::int64_t kLastDay = 2'958'465;  // 9999-12-31

// The day of a date, and the date of a day (the ones of the range; the arithmetic is the small
// inline kind, because the date functions run once a row).
inline std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const auto mp = static_cast<unsigned>(m > 2 ? m - 3 : m + 9);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 719468 days from 0000-03-01 to 1970-01-01, 25569 from 1899-12-30 to 1970-01-01.
  return era * 146097 + doe - 719468 + 25569;
}

inline CivilDay CivilFromDays(std::int64_t day) {
  // Days from 0000-03-01; the range of the calendar keeps every count positive and within 32
  // bits, where the divisions are cheapest.
  const auto z = static_cast<std::uint32_t>(day - 25569 + 719468 + 146097 * 4);
  const std::uint32_t era = z / 146097;
  const std::uint32_t doe = z - era * 146097;
  const std::uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::uint32_t mp = (5 * doy + 2) / 153;
  CivilDay c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400) - 1600 + (c.month <= 2 ? 1 : 0);
  return c;
}

bool IsLeapYear(std::int64_t year);
int DaysInMonth(std::int64_t year, int month);

// 1 (Sunday) .. 7 (Saturday).
int WeekdayOf(std::int64_t day);
// 1..7 counted from `firstDayOfWeek` (1 Sunday .. 7 Saturday).
int DayOfWeek(std::int64_t day, int firstDayOfWeek);
// The week of the year, 1..54: `firstWeekOfYear` 1 starts week 1 with the week of January 1,
// 2 with the first week of four days or more in the year, 3 with the first whole week. A day
// before week 1 belongs to the last week of the year before; a day of the last days of December
// that lies in the next year's week 1 (possible with 2) is in week 1.
int WeekOfYear(std::int64_t day, int firstDayOfWeek, int firstWeekOfYear);

inline bool MomentInRange(const Moment& m) { return m.day >= kFirstDay && m.day <= kLastDay; }

// A linear date (see access_dates.h) rounded to the millisecond; false outside the range.
inline bool SplitMoment(double linear, Moment& out) {
  // Beyond a billion days a value is far outside the range, and its day would not fit.
  if (!(linear > -1e9 && linear < 1e9)) return false;
  auto whole = static_cast<std::int64_t>(linear);
  if (static_cast<double>(whole) > linear) --whole;
  // The fraction is exact, and so is its rounding half up to the millisecond.
  double fraction = (linear - static_cast<double>(whole)) * static_cast<double>(kMsPerDay);
  auto ms = static_cast<std::int64_t>(fraction);
  if (fraction - static_cast<double>(ms) >= 0.5) ++ms;
  if (ms >= kMsPerDay) {
    ++whole;
    ms -= kMsPerDay;
  }
  out.day = whole;
  out.ms = ms;
  return MomentInRange(out);
}

inline double LinearOf(const Moment& m) {
  return static_cast<double>(m.day) + static_cast<double>(m.ms) / static_cast<double>(kMsPerDay);
}

std::string_view MonthName(int month, bool abbreviated);   // "January", "Jan"
std::string_view DayName(int weekday, bool abbreviated);   // 1: "Sunday", "Sun"

// The interval codes of DateAdd, DateDiff and DatePart, and ODBC's fractions of a second.
enum class DateInterval : int {
  Year = 1,   // yyyy
  Quarter,    // q
  Month,      // m
  DayOfYear,  // y
  Day,        // d
  Weekday,    // w
  Week,       // ww
  Hour,       // h
  Minute,     // n
  Second,     // s
  Millisecond,
};

// Access's interval code, in any letter case; nothing for another text.
std::optional<DateInterval> ParseInterval(std::string_view text);
// `count` intervals after `from` (before it when negative): months keep the day of the month
// where the month has it and take the month's last day otherwise; y, d and w add days, ww
// weeks. False when the result lies outside the range.
bool AddInterval(const Moment& from, DateInterval interval, std::int64_t count, Moment& out);
// How many boundaries of the interval lie after `a` up to `b` (negative when b is earlier):
// calendar years, quarters, months, days, hours, minutes, seconds; w counts whole weeks and ww
// the first days of the week.
std::int64_t IntervalsBetween(const Moment& a, const Moment& b, DateInterval interval, int firstDayOfWeek);

}  // namespace mdbodbc::sql
