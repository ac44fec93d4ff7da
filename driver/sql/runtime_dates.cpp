// Access's date functions as engine functions, with those of ODBC's {fn ...}: the parts of a
// date (DatePart and its short forms, with the first day of the week and the first week of
// the year), DateAdd and DateDiff by interval, DateSerial and TimeSerial with Access's carrying
// of parts out of range, DateValue and TimeValue, and the names of months and days in US
// English. Dates arrive in linear form (see access_dates.h), so days before 1899-12-30 count as
// the calendar does; the calendar is the proleptic Gregorian one of years 100 to 9999.
#include "access_dates.h"
#include "calendar.h"
#include "runtime.h"
#include "runtime_arguments.h"

#include <sqlite3.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <string>

namespace mdbodbc::sql {

namespace {

// ---- Reading the arguments ----

void OutsideRange(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22008", what + " lies outside 0100-01-01..9999-12-31 (datetime field overflow)"});
}

// A date argument the translator converted to Date/Time; false (after raising when it is out
// of range) when there is none.
bool DateArgument(sqlite3_context* context, sqlite3_value* value, Moment& out) {
  if (IsNullArgument(value)) return false;
  if (!SplitMoment(sqlite3_value_double(value), out)) {
    OutsideRange(context, "the date");
    return false;
  }
  return true;
}

void DropInterval(void* interval) { sqlite3_free(interval); }

bool IntervalArgument(sqlite3_context* context, sqlite3_value* value, const char* function, DateInterval& out) {
  // An interval that is the same on every row is read once: the engine keeps it with the call.
  if (const auto* kept = static_cast<const DateInterval*>(sqlite3_get_auxdata(context, 0))) {
    out = *kept;
    return true;
  }
  if (IsNullArgument(value)) {
    NullNotAllowed(context, std::string(function) + "'s interval cannot be Null");
    return false;
  }
  std::optional<DateInterval> interval = ParseInterval(TextArgument(value));
  if (!interval) {
    InvalidArgument(context, std::string(function) + ": '" + std::string(TextArgument(value)) +
                                 "' is no interval (yyyy, q, m, y, d, w, ww, h, n, s)");
    return false;
  }
  out = *interval;
  if (auto* keep = static_cast<DateInterval*>(sqlite3_malloc(sizeof(DateInterval)))) {
    *keep = out;
    sqlite3_set_auxdata(context, 0, keep, DropInterval);
  }
  return true;
}

// firstdayofweek: 1 (Sunday) .. 7 (Saturday), 0 the system's, which is Sunday in US English.
bool FirstDayArgument(sqlite3_context* context, sqlite3_value* value, const char* function, int& out) {
  std::int64_t n = 0;
  if (!LongArgument(context, value, {function, "first day of the week"}, n)) return false;
  if (n < 0 || n > 7) {
    InvalidArgument(context, std::string(function) + "'s first day of the week must be 0 to 7");
    return false;
  }
  out = n == 0 ? 1 : static_cast<int>(n);
  return true;
}

// firstweekofyear: 1 the week of January 1, 2 the first with four days, 3 the first whole
// week; 0 the system's, which is 1 in US English.
bool FirstWeekArgument(sqlite3_context* context, sqlite3_value* value, const char* function, int& out) {
  std::int64_t n = 0;
  if (!LongArgument(context, value, {function, "first week of the year"}, n)) return false;
  if (n < 0 || n > 3) {
    InvalidArgument(context, std::string(function) + "'s first week of the year must be 0 to 3");
    return false;
  }
  out = n == 0 ? 1 : static_cast<int>(n);
  return true;
}

void ResultMoment(sqlite3_context* context, const Moment& m) {
  if (!MomentInRange(m)) return OutsideRange(context, "the result");
  sqlite3_result_double(context, LinearOf(m));
}

// ---- Now and the parts of a date ----

// Now (0), Date (1) and Time (2), in local time, to the second; Timer (3), the seconds since
// midnight, to the hundredth.
void Now(sqlite3_context* context, int, sqlite3_value** argv) {
  int part = sqlite3_value_int(argv[0]);
  timespec clock{};
  clock_gettime(CLOCK_REALTIME, &clock);
  std::time_t now = clock.tv_sec;
  std::tm local{};
  localtime_r(&now, &local);
  if (part == 3) {
    double seconds = (local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec;
    return sqlite3_result_double(context, seconds + static_cast<double>(clock.tv_nsec / 10'000'000) / 100);
  }
  Moment m{DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
           ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * std::int64_t{1000}};
  if (part == 1) m.ms = 0;
  if (part == 2) m.day = 0;
  ResultMoment(context, m);
}

int PartOf(const Moment& m, DateInterval interval, int firstDayOfWeek, int firstWeekOfYear) {
  CivilDay c = CivilFromDays(m.day);
  switch (interval) {
    case DateInterval::Year: return c.year;
    case DateInterval::Quarter: return (c.month - 1) / 3 + 1;
    case DateInterval::Month: return c.month;
    case DateInterval::DayOfYear: return static_cast<int>(m.day - DaysFromCivil(c.year, 1, 1)) + 1;
    case DateInterval::Day: return c.day;
    case DateInterval::Weekday: return DayOfWeek(m.day, firstDayOfWeek);
    case DateInterval::Week: return WeekOfYear(m.day, firstDayOfWeek, firstWeekOfYear);
    case DateInterval::Hour: return static_cast<int>(m.ms / 3'600'000);
    case DateInterval::Minute: return static_cast<int>(m.ms / 60'000 % 60);
    case DateInterval::Second: return static_cast<int>(m.ms / 1000 % 60);
    case DateInterval::Millisecond: return static_cast<int>(m.ms % 1000);
  }
  return 0;
}

// Year, Month, Day, Hour, Minute, Second and ODBC's QUARTER, DAYOFYEAR, WEEK, DAYOFWEEK.
template <DateInterval Interval>
void Part(sqlite3_context* context, int, sqlite3_value** argv) {
  Moment m;
  if (!DateArgument(context, argv[0], m)) return;
  sqlite3_result_int(context, PartOf(m, Interval, 1, 1));
}

// Weekday(date, firstdayofweek).
void Weekday(sqlite3_context* context, int, sqlite3_value** argv) {
  int first = 1;
  if (!FirstDayArgument(context, argv[1], "Weekday", first)) return;
  Moment m;
  if (!DateArgument(context, argv[0], m)) return;
  sqlite3_result_int(context, DayOfWeek(m.day, first));
}

// DatePart(interval, date, firstdayofweek, firstweekofyear).
void DatePart(sqlite3_context* context, int, sqlite3_value** argv) {
  DateInterval interval{};
  int first = 1, week = 1;
  if (!IntervalArgument(context, argv[0], "DatePart", interval) || !FirstDayArgument(context, argv[2], "DatePart", first) ||
      !FirstWeekArgument(context, argv[3], "DatePart", week)) {
    return;
  }
  Moment m;
  if (!DateArgument(context, argv[1], m)) return;
  sqlite3_result_int(context, PartOf(m, interval, first, week));
}

// DateAdd(interval, number, date): the number rounded to a whole one, half to even.
void AddAndReport(sqlite3_context* context, DateInterval interval, sqlite3_value* number, sqlite3_value* date,
                  const char* function) {
  if (IsNullArgument(number)) return NullNotAllowed(context, std::string(function) + "'s number cannot be Null");
  double n = sqlite3_value_double(number);
  if (!(n > -9e18 && n < 9e18)) return OutsideRange(context, "the result of " + std::string(function));
  auto count = static_cast<std::int64_t>(std::nearbyint(n));
  Moment m, out;
  if (!DateArgument(context, date, m)) return;
  if (!AddInterval(m, interval, count, out)) return OutsideRange(context, "the result of " + std::string(function));
  ResultMoment(context, out);
}

void DateAdd(sqlite3_context* context, int, sqlite3_value** argv) {
  DateInterval interval{};
  if (!IntervalArgument(context, argv[0], "DateAdd", interval)) return;
  AddAndReport(context, interval, argv[1], argv[2], "DateAdd");
}

void ReportDifference(sqlite3_context* context, sqlite3_value* from, sqlite3_value* to, DateInterval interval,
                      int firstDay, const char* function) {
  Moment a, b;
  bool haveA = DateArgument(context, from, a);
  if (!haveA && !IsNullArgument(from)) return;
  bool haveB = DateArgument(context, to, b);
  if (!haveA || !haveB) return;
  std::int64_t n = IntervalsBetween(a, b, interval, firstDay);
  if (interval != DateInterval::Millisecond &&
      (n > std::numeric_limits<std::int32_t>::max() || n < std::numeric_limits<std::int32_t>::min())) {
    return OutOfRange(context, std::string(function) + ": the difference does not fit a Long");
  }
  sqlite3_result_int64(context, n);
}

// DateDiff(interval, date1, date2, firstdayofweek, firstweekofyear): the boundaries of the
// interval crossed from date1 to date2 (w: whole weeks; ww: first days of the week).
void DateDiff(sqlite3_context* context, int, sqlite3_value** argv) {
  DateInterval interval{};
  int first = 1, week = 1;
  if (!IntervalArgument(context, argv[0], "DateDiff", interval) || !FirstDayArgument(context, argv[3], "DateDiff", first) ||
      !FirstWeekArgument(context, argv[4], "DateDiff", week)) {
    return;
  }
  ReportDifference(context, argv[1], argv[2], interval, first, "DateDiff");
}

// {fn TIMESTAMPADD} and {fn TIMESTAMPDIFF}: the interval as the code the translator chose from
// the SQL_TSI_ keyword (FRAC_SECOND counts billionths of a second, kept to the millisecond).
void TimestampAdd(sqlite3_context* context, int, sqlite3_value** argv) {
  auto interval = static_cast<DateInterval>(sqlite3_value_int(argv[0]));
  if (interval != DateInterval::Millisecond) return AddAndReport(context, interval, argv[1], argv[2], "TIMESTAMPADD");
  if (IsNullArgument(argv[1])) return;
  std::int64_t nanoseconds = sqlite3_value_int64(argv[1]);
  Moment m, out;
  if (!DateArgument(context, argv[2], m)) return;
  if (!AddInterval(m, DateInterval::Millisecond, nanoseconds / 1'000'000, out)) {
    return OutsideRange(context, "the result of TIMESTAMPADD");
  }
  ResultMoment(context, out);
}

void TimestampDiff(sqlite3_context* context, int, sqlite3_value** argv) {
  auto interval = static_cast<DateInterval>(sqlite3_value_int(argv[0]));
  Moment a, b;
  bool haveA = DateArgument(context, argv[1], a);
  if (!haveA && !IsNullArgument(argv[1])) return;
  bool haveB = DateArgument(context, argv[2], b);
  if (!haveA || !haveB) return;
  std::int64_t n = IntervalsBetween(a, b, interval, 1);
  if (interval == DateInterval::Millisecond) {
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1'000'000;
    if (n > kLimit || n < -kLimit) {
      return OutOfRange(context, "TIMESTAMPDIFF: the difference does not fit");
    }
    n *= 1'000'000;
  } else if (n > std::numeric_limits<std::int32_t>::max() || n < std::numeric_limits<std::int32_t>::min()) {
    return OutOfRange(context, "TIMESTAMPDIFF: the difference does not fit an INTEGER");
  }
  sqlite3_result_int64(context, n);
}

// ---- Making dates ----

bool IntegerArgument(sqlite3_context* context, sqlite3_value* value, ArgumentName what, std::int64_t& out) {
  if (!LongArgument(context, value, what, out)) return false;
  if (out < -32768 || out > 32767) {
    OutOfRange(context, what.Text() + " must lie between -32768 and 32767");
    return false;
  }
  return true;
}

// DateSerial(year, month, day): a year 0..99 is 2000..2029 or 1930..1999; a month or day out of
// its range carries into the year or month (DateSerial(2000, 14, 35) is 2001-03-07).
void DateSerial(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t year = 0, month = 0, day = 0;
  if (!IntegerArgument(context, argv[0], {"DateSerial", "year"}, year) ||
      !IntegerArgument(context, argv[1], {"DateSerial", "month"}, month) ||
      !IntegerArgument(context, argv[2], {"DateSerial", "day"}, day)) {
    return;
  }
  if (year >= 0 && year <= 99) year += year < 30 ? 2000 : 1900;
  std::int64_t total = year * 12 + (month - 1);
  std::int64_t y = total >= 0 ? total / 12 : (total - 11) / 12;
  int m = static_cast<int>(total - y * 12) + 1;
  Moment out{DaysFromCivil(y, m, 1) + (day - 1), 0};
  ResultMoment(context, out);
}

// TimeSerial(hour, minute, second): the seconds of the three as a fraction of a day, Access's
// stored form (a negative total is a time on 1899-12-30 counted back, as Access keeps it).
void TimeSerial(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t hour = 0, minute = 0, second = 0;
  if (!IntegerArgument(context, argv[0], {"TimeSerial", "hour"}, hour) ||
      !IntegerArgument(context, argv[1], {"TimeSerial", "minute"}, minute) ||
      !IntegerArgument(context, argv[2], {"TimeSerial", "second"}, second)) {
    return;
  }
  std::int64_t seconds = hour * 3600 + minute * 60 + second;
  double linear = LinearFromStored(static_cast<double>(seconds) / 86'400.0);
  Moment m;
  if (!SplitMoment(linear, m)) return OutsideRange(context, "TimeSerial's time");
  ResultMoment(context, m);
}

// DateValue(value) and TimeValue(value), typed: the date or the time of a date, or of a text
// that holds one (a text of a time alone has the date 1899-12-30; a date alone the time 0).
template <bool Time>
void DateOrTimeValue(sqlite3_context* context, int, sqlite3_value** argv) {
  Variant in = TypedArgument(argv, 0);
  const char* name = Time ? "TimeValue" : "DateValue";
  if (in.IsNull()) return NullNotAllowed(context, std::string(name) + " takes a date, not Null");
  Variant date;
  SqlError error;
  if (!ConvertVariant(in, MakeType(JetType::DateTime), date, error)) return Raise(context, error);
  Moment m;
  if (!SplitMoment(date.real, m)) return OutsideRange(context, "the date");
  if (Time) {
    m.day = 0;
  } else {
    m.ms = 0;
  }
  ResultMoment(context, m);
}

// jet_dateonly(date) and jet_timeonly(date): {fn CONVERT} to SQL_DATE and SQL_TIME.
template <bool Time>
void KeepPart(sqlite3_context* context, int, sqlite3_value** argv) {
  Moment m;
  if (!DateArgument(context, argv[0], m)) return;
  if (Time) {
    m.day = 0;
  } else {
    m.ms = 0;
  }
  ResultMoment(context, m);
}

// ---- Names ----

// MonthName(month, abbreviate).
void MonthNameOf(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t month = 0;
  if (!LongArgument(context, argv[0], {"MonthName", "month"}, month)) return;
  if (month < 1 || month > 12) return InvalidArgument(context, "MonthName takes a month from 1 to 12");
  bool abbreviate = !IsNullArgument(argv[1]) && sqlite3_value_int64(argv[1]) != 0;
  ResultText(context, MonthName(static_cast<int>(month), abbreviate));
}

// WeekdayName(weekday, abbreviate, firstdayofweek): `weekday` counts from the first day.
void WeekdayNameOf(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t weekday = 0;
  int first = 1;
  if (!LongArgument(context, argv[0], {"WeekdayName", "weekday"}, weekday) ||
      !FirstDayArgument(context, argv[2], "WeekdayName", first)) {
    return;
  }
  if (weekday < 1 || weekday > 7) return InvalidArgument(context, "WeekdayName takes a weekday from 1 to 7");
  bool abbreviate = !IsNullArgument(argv[1]) && sqlite3_value_int64(argv[1]) != 0;
  ResultText(context, DayName(static_cast<int>((weekday - 1 + first - 1) % 7) + 1, abbreviate));
}

// {fn MONTHNAME(date)} and {fn DAYNAME(date)}.
template <bool Month>
void NameOfDate(sqlite3_context* context, int, sqlite3_value** argv) {
  Moment m;
  if (!DateArgument(context, argv[0], m)) return;
  if (Month) return ResultText(context, MonthName(CivilFromDays(m.day).month, false));
  ResultText(context, DayName(WeekdayOf(m.day), false));
}

const RuntimeFunction kDates[] = {
    {"jet_now", 1, Now, nullptr, nullptr, false},
    {"jet_year", 1, Part<DateInterval::Year>, nullptr, nullptr, true},
    {"jet_quarter", 1, Part<DateInterval::Quarter>, nullptr, nullptr, true},
    {"jet_month", 1, Part<DateInterval::Month>, nullptr, nullptr, true},
    {"jet_dayofyear", 1, Part<DateInterval::DayOfYear>, nullptr, nullptr, true},
    {"jet_day", 1, Part<DateInterval::Day>, nullptr, nullptr, true},
    {"jet_dayofweek", 1, Part<DateInterval::Weekday>, nullptr, nullptr, true},
    {"jet_week", 1, Part<DateInterval::Week>, nullptr, nullptr, true},
    {"jet_hour", 1, Part<DateInterval::Hour>, nullptr, nullptr, true},
    {"jet_minute", 1, Part<DateInterval::Minute>, nullptr, nullptr, true},
    {"jet_second", 1, Part<DateInterval::Second>, nullptr, nullptr, true},
    {"jet_weekday", 2, Weekday, nullptr, nullptr, true},
    {"jet_datepart", 4, DatePart, nullptr, nullptr, true},
    {"jet_dateadd", 3, DateAdd, nullptr, nullptr, true},
    {"jet_datediff", 5, DateDiff, nullptr, nullptr, true},
    {"jet_timestampadd", 3, TimestampAdd, nullptr, nullptr, true},
    {"jet_timestampdiff", 3, TimestampDiff, nullptr, nullptr, true},
    {"jet_dateserial", 3, DateSerial, nullptr, nullptr, true},
    {"jet_timeserial", 3, TimeSerial, nullptr, nullptr, true},
    {"jet_datevalue", 2, DateOrTimeValue<false>, nullptr, nullptr, true},
    {"jet_timevalue", 2, DateOrTimeValue<true>, nullptr, nullptr, true},
    {"jet_dateonly", 1, KeepPart<false>, nullptr, nullptr, true},
    {"jet_timeonly", 1, KeepPart<true>, nullptr, nullptr, true},
    {"jet_monthname", 2, MonthNameOf, nullptr, nullptr, true},
    {"jet_weekdayname", 3, WeekdayNameOf, nullptr, nullptr, true},
    {"jet_odbc_monthname", 1, NameOfDate<true>, nullptr, nullptr, true},
    {"jet_dayname", 1, NameOfDate<false>, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> DateFunctions() { return kDates; }

}  // namespace mdbodbc::sql
