// Date/Time values as the SQL engine sees them: ISO text "YYYY-MM-DD HH:MM:SS", which sorts and
// compares in time order, converted from and to the stored day numbers and the literal forms
// that statements use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mdbodbc::sql {

struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// A stored Date/Time (days since 1899-12-30, the time of day as the fraction, negative days
// keeping a positive time), rounded to the second. Nothing when it is not a finite number or
// lies outside 0100-01-01..9999-12-31.
std::optional<DateTime> FromDayNumber(double days);

// "YYYY-MM-DD HH:MM:SS".
std::string IsoText(const DateTime& value);

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fraction]]" (also with a T) and "HH:MM[:SS]" (a
// time alone is a time of 1899-12-30, as Access keeps it). Checks the calendar.
std::optional<DateTime> ParseIso(std::string_view text);

// The text between the # of an Access date literal: "M/D/YYYY", "YYYY-MM-DD" or
// "YYYY/MM/DD", each optionally followed by "H:MM[:SS]" and AM or PM; or a time alone.
std::optional<DateTime> ParseAccessLiteral(std::string_view text);

// Orders two texts as date and time values when both read as such; a text that does not read
// as one sorts after every one that does, and two such texts compare by their bytes.
int CompareDateTexts(std::string_view a, std::string_view b);

}  // namespace mdbodbc::sql
