// Date/Time values as the SQL engine holds them: a double of days since 1899-12-30 in linear
// form, the day number and the time of day both counting forward (-0.75 is 1899-12-29 06:00).
// Jet stores days before 1899-12-30 otherwise, the day counting back and the time forward
// (that same moment is -1.25 in the file). Here: the conversion between the two, the calendar
// parts of a value to the millisecond, its text, and the date forms Access reads in SQL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mdbodbc::sql {

struct DateParts {
  int year;         // 100..9999
  int month;        // 1..12
  int day;          // 1..31
  int hour;         // 0..23
  int minute;       // 0..59
  int second;       // 0..59
  int millisecond;  // 0..999
};

// Date/Time Extended ticks: per day, and at 1899-12-30 (day 0 of Date/Time).
inline constexpr std::int64_t kTicksPerDay = 864000000000;
inline constexpr std::int64_t kTicksAtDayZero = 693593 * kTicksPerDay;

// Date/Time Extended ticks (100 ns since 0001-01-01) -> linear days, and back (rounded to the
// tick; the linear value must be in range).
double LinearFromTicks(std::int64_t ticks);
std::int64_t TicksFromLinear(double linear);

// Jet's stored double -> linear, and back.
double LinearFromStored(double jetStored);
double StoredFromLinear(double linear);
// True for a finite value that, rounded to the millisecond, lies in
// 0100-01-01 00:00:00.000 .. 9999-12-31 23:59:59.999.
bool InDateRange(double linear);
// The calendar parts (proleptic Gregorian, as Access counts) rounded to the millisecond;
// nothing outside the range or for a value that is not finite.
std::optional<DateParts> SplitLinear(double linear);
// The value of the parts; nothing when they are no date and time of the calendar (2000-02-29
// is one, 1900-02-29 is not) or lie outside the range.
std::optional<double> LinearFromParts(const DateParts& p);
// "YYYY-MM-DD HH:MM:SS", with ".fff" only when the milliseconds are not 0; empty outside the
// range.
std::string DateTimeText(double linear);

// The text of an Access #...# literal or of CDate/DateValue, in the US English forms Access
// takes in SQL: m/d/yyyy, m/d/yy, m-d-yyyy (with the day and month exchanged when the first
// number cannot be a month, as Access does), yyyy-mm-dd, yyyy/mm/dd, d-mmm-yyyy, mmm d, yyyy,
// d mmmm yyyy, month names and their three-letter abbreviations in any case; a year of one or
// two digits is 2000-2029 for 00-29 and 1930-1999 for 30-99. A time H:MM, H:MM:SS with
// optional fractions of a second, and optional AM/PM ("1 PM" also), before or after the date or
// alone (then on 1899-12-30, linear 0 plus the time). Blanks around. Nothing for any other
// text, an impossible date or time, or a date outside the range.
std::optional<double> ParseAccessDate(std::string_view text);
// The ISO forms of ODBC escapes and bound text: "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.fff...]"
// (also with a T, and without the seconds), "HH:MM:SS[.f...]" (a time of 1899-12-30).
// Fractions are rounded to the millisecond.
std::optional<double> ParseIsoDate(std::string_view text);

}  // namespace mdbodbc::sql
