#include "calendar.h"

#include <string>

namespace mdbodbc::sql {

namespace {

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

}  // namespace

bool IsLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(std::int64_t y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
}

int WeekdayOf(std::int64_t day) {
  // 1899-12-30, day 0, was a Saturday.
  std::int64_t r = (day + 6) % 7;
  return static_cast<int>(r < 0 ? r + 7 : r) + 1;
}

int DayOfWeek(std::int64_t day, int firstDayOfWeek) { return (WeekdayOf(day) - firstDayOfWeek + 7) % 7 + 1; }

namespace {

// The first day of the week that holds `day`.
std::int64_t WeekStart(std::int64_t day, int firstDayOfWeek) { return day - (DayOfWeek(day, firstDayOfWeek) - 1); }

// The first day of week 1 of `year`.
std::int64_t FirstWeekStart(std::int64_t year, int firstDayOfWeek, int firstWeekOfYear) {
  std::int64_t january1 = DaysFromCivil(year, 1, 1);
  std::int64_t start = WeekStart(january1, firstDayOfWeek);
  switch (firstWeekOfYear) {
    case 2: return january1 - start <= 3 ? start : start + 7;  // four days or more in the year
    case 3: return start == january1 ? start : start + 7;      // a whole week in the year
    default: return start;                                      // the week of January 1
  }
}

}  // namespace

int WeekOfYear(std::int64_t day, int firstDayOfWeek, int firstWeekOfYear) {
  int year = CivilFromDays(day).year;
  std::int64_t start = FirstWeekStart(year, firstDayOfWeek, firstWeekOfYear);
  if (day < start) start = FirstWeekStart(year - 1, firstDayOfWeek, firstWeekOfYear);
  // Only the rule of four days can start the next year's week 1 in December.
  if (firstWeekOfYear == 2 && year < 9999 && day >= FirstWeekStart(year + 1, firstDayOfWeek, firstWeekOfYear)) return 1;
  return static_cast<int>((day - start) / 7 + 1);
}

std::string_view MonthName(int month, bool abbreviated) {
  std::string_view name = kMonthNames[month - 1];
  return abbreviated ? name.substr(0, 3) : name;
}

std::string_view DayName(int weekday, bool abbreviated) {
  std::string_view name = kDayNames[weekday - 1];
  return abbreviated ? name.substr(0, 3) : name;
}

std::optional<DateInterval> ParseInterval(std::string_view text) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  if (text.size() == 1) {
    switch (lower(text[0])) {
      case 'q': return DateInterval::Quarter;
      case 'm': return DateInterval::Month;
      case 'y': return DateInterval::DayOfYear;
      case 'd': return DateInterval::Day;
      case 'w': return DateInterval::Weekday;
      case 'h': return DateInterval::Hour;
      case 'n': return DateInterval::Minute;
      case 's': return DateInterval::Second;
      default: return std::nullopt;
    }
  }
  if (text.size() == 2 && lower(text[0]) == 'w' && lower(text[1]) == 'w') return DateInterval::Week;
  if (text.size() == 4 && lower(text[0]) == 'y' && lower(text[1]) == 'y' && lower(text[2]) == 'y' &&
      lower(text[3]) == 'y') {
    return DateInterval::Year;
  }
  return std::nullopt;
}

bool AddInterval(const Moment& from, DateInterval interval, std::int64_t count, Moment& out) {
  // Far beyond every date of the range: refused before any arithmetic can overflow.
  if (count > 4'000'000'000'000 || count < -4'000'000'000'000) return false;
  out = from;
  switch (interval) {
    case DateInterval::Year:
    case DateInterval::Quarter:
    case DateInterval::Month: {
      std::int64_t months = interval == DateInterval::Year      ? count * 12
                            : interval == DateInterval::Quarter ? count * 3
                                                                : count;
      if (months > 200'000 || months < -200'000) return false;
      CivilDay c = CivilFromDays(from.day);
      std::int64_t total = static_cast<std::int64_t>(c.year) * 12 + (c.month - 1) + months;
      std::int64_t year = total >= 0 ? total / 12 : (total - 11) / 12;
      int month = static_cast<int>(total - year * 12) + 1;
      if (year < 100 || year > 9999) return false;
      int day = c.day < DaysInMonth(year, month) ? c.day : DaysInMonth(year, month);
      out.day = DaysFromCivil(year, month, day);
      break;
    }
    case DateInterval::DayOfYear:
    case DateInterval::Day:
    case DateInterval::Weekday:
    case DateInterval::Week: {
      std::int64_t days = interval == DateInterval::Week ? count * 7 : count;
      if (days > kLastDay - kFirstDay || days < kFirstDay - kLastDay) return false;
      out.day = from.day + days;
      break;
    }
    default: {
      std::int64_t unit = interval == DateInterval::Hour ? 3'600'000 : interval == DateInterval::Minute ? 60'000
                        : interval == DateInterval::Second ? 1000 : 1;
      std::int64_t limit = (kLastDay - kFirstDay + 1) * kMsPerDay / unit;
      if (count > limit || count < -limit) return false;
      std::int64_t total = from.day * kMsPerDay + from.ms + count * unit;
      out.day = total >= 0 ? total / kMsPerDay : (total - (kMsPerDay - 1)) / kMsPerDay;
      out.ms = total - out.day * kMsPerDay;
    }
  }
  return MomentInRange(out);
}

std::int64_t IntervalsBetween(const Moment& a, const Moment& b, DateInterval interval, int firstDayOfWeek) {
  CivilDay ca = CivilFromDays(a.day), cb = CivilFromDays(b.day);
  switch (interval) {
    case DateInterval::Year: return cb.year - ca.year;
    case DateInterval::Quarter: return (cb.year - ca.year) * 4 + (cb.month - 1) / 3 - (ca.month - 1) / 3;
    case DateInterval::Month: return (cb.year - ca.year) * 12 + cb.month - ca.month;
    case DateInterval::DayOfYear:
    case DateInterval::Day: return b.day - a.day;
    case DateInterval::Weekday: return (b.day - a.day) / 7;
    case DateInterval::Week: return (WeekStart(b.day, firstDayOfWeek) - WeekStart(a.day, firstDayOfWeek)) / 7;
    case DateInterval::Hour: return (b.day * 24 + b.ms / 3'600'000) - (a.day * 24 + a.ms / 3'600'000);
    case DateInterval::Minute: return (b.day * 1440 + b.ms / 60'000) - (a.day * 1440 + a.ms / 60'000);
    case DateInterval::Second: return (b.day * 86'400 + b.ms / 1000) - (a.day * 86'400 + a.ms / 1000);
    case DateInterval::Millisecond: return (b.day - a.day) * kMsPerDay + b.ms - a.ms;
  }
  return 0;
}

}  // namespace mdbodbc::sql
