#include "date_time.h"

#include <cmath>

namespace jet {
namespace {

// Days from 1970-01-01 to 1899-12-30.
constexpr std::int64_t kEpochShift = -25569;
// 9999-12-31 as a day number.
constexpr std::int64_t kLastCalendarDay = 2958465;

// The proleptic Gregorian date of a day counted from 1970-01-01.
void CivilFromDays(std::int64_t z, int& year, unsigned& month, unsigned& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

DateTimeParts SplitDateTime(double days) {
  DateTimeParts parts;
  const double whole = std::trunc(days);
  auto calendarDay = static_cast<std::int64_t>(whole);
  constexpr std::int64_t kDay = 86400000;  // milliseconds
  auto time = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * kDay));
  if (time >= kDay) {
    // Rounded up into the next day, unless that would leave the calendar's last day.
    if (calendarDay < kLastCalendarDay) {
      time -= kDay;
      calendarDay += 1;
    } else {
      time = kDay - 1;
    }
  }
  CivilFromDays(calendarDay + kEpochShift, parts.year, parts.month, parts.day);
  parts.hour = static_cast<unsigned>(time / 3600000);
  parts.minute = static_cast<unsigned>(time / 60000 % 60);
  parts.second = static_cast<unsigned>(time / 1000 % 60);
  parts.millisecond = static_cast<unsigned>(time % 1000);
  return parts;
}

void PutDateTimeText(double days, char* out) {
  const DateTimeParts p = SplitDateTime(days);
  const auto two = [](unsigned value, char* at) {
    at[0] = static_cast<char>('0' + value / 10 % 10);
    at[1] = static_cast<char>('0' + value % 10);
  };
  const auto year = static_cast<unsigned>(p.year);  // 100..9999
  two(year / 100, out);
  two(year % 100, out + 2);
  out[4] = '-';
  two(p.month, out + 5);
  out[7] = '-';
  two(p.day, out + 8);
  out[10] = ' ';
  two(p.hour, out + 11);
  out[13] = ':';
  two(p.minute, out + 14);
  out[16] = ':';
  two(p.second, out + 17);
}

std::string DateTimeText(double days) {
  std::string text(kDateTimeTextSize, '\0');
  PutDateTimeText(days, text.data());
  const unsigned millisecond = SplitDateTime(days).millisecond;
  if (millisecond != 0) {
    text += '.';
    text += static_cast<char>('0' + millisecond / 100);
    text += static_cast<char>('0' + millisecond / 10 % 10);
    text += static_cast<char>('0' + millisecond % 10);
  }
  return text;
}

}  // namespace jet
