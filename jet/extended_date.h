// Date/Time Extended values (type 0x14 of Access 2019 and later files): a moment of
// 0001-01-01 00:00:00 .. 9999-12-31 23:59:59.9999999 to the 100 ns, which a row keeps as ASCII
// text of 42 bytes: the days since 0001-01-01, the seconds since midnight and the seven digits
// of the second's fraction, each a run of decimal digits, separated by colons
// ("00000000000000738000:0000000043200:1234500" is 2021-07-22 12:00:00.12345).
// The reader takes fields of any width and a fraction of up to 7 digits, and ignores NUL or
// blank bytes after the text; anything else is an error saying what is wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jet {

inline constexpr std::size_t kExtendedDateSize = 42;
inline constexpr std::int64_t kTicksPerSecond = 10000000;
inline constexpr std::int64_t kTicksPerDay = 86400 * kTicksPerSecond;
// 9999-12-31 is day 3652058 counted from 0001-01-01.
inline constexpr std::int64_t kExtendedLastDay = 3652058;
inline constexpr std::int64_t kExtendedTickLimit = (kExtendedLastDay + 1) * kTicksPerDay;
// Day 0 of Date/Time (1899-12-30) counted from 0001-01-01.
inline constexpr std::int64_t kDateTimeEpochDay = 693593;

struct ExtendedDateParts {
  int year = 1;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::int64_t fraction = 0;  // 100-ns ticks within the second, 0..9999999
};

// The ticks of a stored value; nothing with `error` saying what is wrong (`outOfRange`: a
// well-formed value past the last day or second).
std::optional<std::int64_t> ParseExtendedDate(const std::uint8_t* data, std::size_t size,
                                              std::string& error, bool& outOfRange);
// The stored form of `ticks` (0 <= ticks < kExtendedTickLimit), kExtendedDateSize bytes.
std::string StoredExtendedDate(std::int64_t ticks);

// Calendar parts (proleptic Gregorian) of ticks in range, and back; nothing for parts that are
// no moment of 0001-01-01..9999-12-31.
ExtendedDateParts SplitTicks(std::int64_t ticks);
std::optional<std::int64_t> TicksFromParts(const ExtendedDateParts& parts);
// Days from 0001-01-01 of a calendar date (no range check).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day);

// "YYYY-MM-DD HH:MM:SS", then '.' and the fraction's digits without trailing zeros when it has
// one.
std::string ExtendedDateText(std::int64_t ticks);
// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD HH:MM:SS.f..." (1 to 7 digits; 'T'
// may replace the blank), years 1 to 9999.
std::optional<std::int64_t> ParseExtendedDateText(std::string_view text);

}  // namespace jet
