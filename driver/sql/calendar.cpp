#include "calendar.h"

#include "access_dates.h"

#include <string>

namespace mdbodbc::sql {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kFirstDay = -657'434;  // 0100-01-01
constexpr std::int64_t kLastDay = 2'958'465;  // 9999-12-31

constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

}  // namespace

std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const auto mp = static_cast<unsigned>(m > 2 ? m - 3 : m + 9);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 719468 days from 0000-03-01 to 1970-01-01, 25569 from 1899-12-30 to 1970-01-01.
  return era * 146097 + doe - 719468 + 25569;
}

CivilDay CivilFromDays(std::int64_t day) {
  const std::int64_t z = day - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  CivilDay c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

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

bool SplitMoment(double linear, Moment& out) {
  if (!InDateRange(linear)) return false;
  auto whole = static_cast<std::int64_t>(linear);
  if (static_cast<double>(whole) > linear) --whole;
  double fraction = (linear - static_cast<double>(whole)) * static_cast<double>(kMsPerDay);
  auto ms = static_cast<std::int64_t>(fraction + 0.5);
  if (ms >= kMsPerDay) {
    ++whole;
    ms -= kMsPerDay;
  }
  out.day = whole;
  out.ms = ms;
  return true;
}

bool MomentInRange(const Moment& m) { return m.day >= kFirstDay && m.day <= kLastDay; }

double LinearOf(const Moment& m) {
  return static_cast<double>(m.day) + static_cast<double>(m.ms) / static_cast<double>(kMsPerDay);
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
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (lower == "yyyy") return DateInterval::Year;
  if (lower == "q") return DateInterval::Quarter;
  if (lower == "m") return DateInterval::Month;
  if (lower == "y") return DateInterval::DayOfYear;
  if (lower == "d") return DateInterval::Day;
  if (lower == "w") return DateInterval::Weekday;
  if (lower == "ww") return DateInterval::Week;
  if (lower == "h") return DateInterval::Hour;
  if (lower == "n") return DateInterval::Minute;
  if (lower == "s") return DateInterval::Second;
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
      std::int64_t months = interval == DateInterval::Year ? count * 12 : interval == DateInterval::Quarter ? count * 3 : count;
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
