// Date/Time values as calendar dates: a stored day number counted from 1899-12-30, its
// fraction the time of day (on a negative day number, the time still counts forward).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

struct DateTimeParts {
  int year = 0;
  unsigned month = 0;  // 1..12
  unsigned day = 0;    // 1..31
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned millisecond = 0;  // the time is rounded to the nearest millisecond
};

// The calendar date and time of a day number in 0100-01-01..9999-12-31 (see DateInRange).
DateTimeParts SplitDateTime(double days);

// Writes "YYYY-MM-DD HH:MM:SS" (kDateTimeTextSize characters, no terminating zero): the whole
// seconds of the time SplitDateTime gives, its milliseconds left out.
inline constexpr std::size_t kDateTimeTextSize = 19;
void PutDateTimeText(double days, char* out);
// "YYYY-MM-DD HH:MM:SS", followed by ".fff" when the time has milliseconds.
std::string DateTimeText(double days);

}  // namespace jet
