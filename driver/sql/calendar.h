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

std::int64_t DaysFromCivil(std::int64_t year, int month, int day);
CivilDay CivilFromDays(std::int64_t day);
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

// A linear date (see access_dates.h) rounded to the millisecond; false outside the range.
bool SplitMoment(double linear, Moment& out);
bool MomentInRange(const Moment& m);
double LinearOf(const Moment& m);

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
