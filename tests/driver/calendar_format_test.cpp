// Date/Time values and the calendar behind Access's date functions: Jet's stored form against
// the linear one, the calendar to the millisecond at the range's ends and on leap days, the
// date forms Access reads (numbers, month names, the two-digit year pivot, AM/PM, dates before
// 1899-12-30 with times) beside the ISO forms, each calendar rule against an independent
// computation over whole ranges of days (ISO 8601's weeks, counting back what was added); and
// Access's Format on the forms the driver tests leave out.
#include "sql/access_dates.h"
#include "sql/access_format.h"
#include "sql/calendar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>

namespace mdbodbc::sql {
namespace {

constexpr std::int64_t kFirst = -657'434;  // 0100-01-01
constexpr std::int64_t kLast = 2'958'465;  // 9999-12-31

TEST(CalendarTest, DaysAndDatesAgreeWithTheDateFormsOverTheWholeRange) {
  for (std::int64_t day = kFirst; day <= kLast; ++day) {
    CivilDay c = CivilFromDays(day);
    std::optional<DateParts> parts = SplitLinear(static_cast<double>(day));
    ASSERT_TRUE(parts) << day;
    ASSERT_EQ(c.year, parts->year) << day;
    ASSERT_EQ(c.month, parts->month) << day;
    ASSERT_EQ(c.day, parts->day) << day;
    ASSERT_EQ(DaysFromCivil(c.year, c.month, c.day), day);
  }
}

// ISO 8601: weeks from Monday, week 1 the one with the year's first Thursday.
int IsoWeek(std::int64_t day) {
  CivilDay c = CivilFromDays(day);
  int weekday = (WeekdayOf(day) + 5) % 7 + 1;  // Monday 1 .. Sunday 7
  auto ordinal = static_cast<int>(day - DaysFromCivil(c.year, 1, 1)) + 1;
  int week = (ordinal - weekday + 10) / 7;
  auto weeksIn = [](int year) {
    auto thursdayJan1 = WeekdayOf(DaysFromCivil(year, 1, 1)) == 5;
    auto thursdayDec31 = WeekdayOf(DaysFromCivil(year, 12, 31)) == 5;
    return thursdayJan1 || thursdayDec31 ? 53 : 52;
  };
  if (week < 1) return weeksIn(c.year - 1);
  if (week > weeksIn(c.year)) return 1;
  return week;
}

TEST(CalendarTest, WeeksOfTheYearFollowEachRule) {
  for (std::int64_t day = DaysFromCivil(1801, 1, 1); day <= DaysFromCivil(2199, 12, 31); ++day) {
    CivilDay c = CivilFromDays(day);
    auto ordinal = static_cast<int>(day - DaysFromCivil(c.year, 1, 1));  // 0-based
    // The week of January 1, weeks from Sunday.
    int january1 = WeekdayOf(DaysFromCivil(c.year, 1, 1)) - 1;
    ASSERT_EQ(WeekOfYear(day, 1, 1), (ordinal + january1) / 7 + 1) << day;
    // Four days or more, weeks from Monday: ISO 8601.
    ASSERT_EQ(WeekOfYear(day, 2, 2), IsoWeek(day)) << c.year << "-" << c.month << "-" << c.day;
    // The first whole week, weeks from Sunday: days before it belong to the year before's last.
    std::int64_t firstSunday = DaysFromCivil(c.year, 1, 1) + (7 - january1) % 7;
    if (day >= firstSunday) ASSERT_EQ(WeekOfYear(day, 1, 3), (day - firstSunday) / 7 + 1) << day;
    else ASSERT_EQ(WeekOfYear(day, 1, 3), WeekOfYear(day - 7, 1, 3) + 1) << day;
  }
}

TEST(CalendarTest, MonthsAddedKeepTheDayOrTakeTheMonthsLastAndCountBack) {
  for (std::int64_t day = DaysFromCivil(1899, 1, 1); day <= DaysFromCivil(1901, 12, 31); ++day) {
    Moment from{day, 3'600'000};
    CivilDay c = CivilFromDays(day);
    for (int months = -40; months <= 40; months += 3) {
      Moment to;
      ASSERT_TRUE(AddInterval(from, DateInterval::Month, months, to));
      CivilDay r = CivilFromDays(to.day);
      int total = c.year * 12 + c.month - 1 + months;
      ASSERT_EQ(r.year * 12 + r.month - 1, total);
      ASSERT_EQ(r.day, std::min(c.day, DaysInMonth(r.year, r.month)));
      ASSERT_EQ(to.ms, from.ms);
      ASSERT_EQ(IntervalsBetween(from, to, DateInterval::Month, 1), months);
    }
  }
}

TEST(CalendarTest, TimesAddedCountBackAndRefuseTheRangesEnds) {
  const std::int64_t counts[] = {-1'000, -61, -1, 0, 1, 59, 3'601};
  const DateInterval units[] = {DateInterval::Hour, DateInterval::Minute, DateInterval::Second, DateInterval::Day,
                                DateInterval::Week, DateInterval::Year, DateInterval::Quarter};
  Moment from{-1, 6 * 3'600'000};  // 1899-12-29 06:00, before the stored form's zero
  for (DateInterval unit : units) {
    for (std::int64_t n : counts) {
      Moment to;
      ASSERT_TRUE(AddInterval(from, unit, n, to));
      EXPECT_EQ(IntervalsBetween(from, to, unit, 1), n);
    }
  }
  Moment out;
  EXPECT_FALSE(AddInterval(Moment{kLast, 0}, DateInterval::Day, 1, out));
  EXPECT_FALSE(AddInterval(Moment{kFirst, 0}, DateInterval::Second, -1, out));
  EXPECT_FALSE(AddInterval(Moment{kFirst, 0}, DateInterval::Year, 9'900, out));
}

struct FormatCase { const char* format; double value; const char* text; };

// Numbers: sections, placeholders, grouping and scaling, exponents, and the value's rounding.
const FormatCase kNumbers[] = {
    {"#,##0.00;(#,##0.00);\\-", -1234567.005, "(1,234,567.01)"},
    {"#,##0.00;(#,##0.00);\\-", 0, "-"}, {"0.00;;\"zero\"", -2.5, "-2.50"},
    {"#,##0,,\" M\"", 123456789, "123 M"}, {"0.0%", 0.12345, "12.3%"}, {"00-00", 5, "00-05"},
    {"#,##0", 1234567, "1,234,567"}, {"0,000", 5, "0,005"}, {"#.###", 0.0004, "."},
    {"#.###", 0.0005, ".001"}, {"0.00E+00", 9.996, "1.00E+01"}, {"0.00e-00", 0.000123, "1.23e-04"},
    {"##0.0E+0", 0, "0.0E+0"}, {"$#,##0.00", 1e15, "$1,000,000,000,000,000.00"},
    {"fixed", 1.005, "1.01"}, {"STANDARD", -0.004, "-0.00"}, {"Scientific", 0, "0.00E+00"},
};

// Each case's value, of type `type`, in its format.
void CheckFormats(std::span<const FormatCase> cases, JetType type) {
  for (const FormatCase& c : cases) {
    Variant v;
    v.type = MakeType(type);
    v.real = c.value;
    EXPECT_EQ(DisplayFormat(c.format).Apply(v).value_or("<Null>"), c.text) << c.format << " " << c.value;
  }
}

TEST(FormatTest, NumbersTakeTheirSectionAndPlaces) { CheckFormats(kNumbers, JetType::Double); }

// Dates: every part, twelve hours, and the forms made of others; 2000-02-29 13:05:09 and
// 1899-12-30 00:00:00, the day the stored form starts.
const FormatCase kDates[] = {
    {"yyyy yy y q", 36585.5452430556, "2000 00 60 1"},
    {"d dd ddd dddd", 36585.5452430556, "29 29 Tue Tuesday"},
    {"m mm mmm mmmm", 36585.5452430556, "2 02 Feb February"},
    {"h:n:s hh:nn:ss", 36585.5452430556, "13:5:9 13:05:09"},
    {"h:mm AMPM", 36585.5452430556, "1:05 PM"},
    {"hh AM/PM am/pm A/P a/p", 36585.0202430556, "12 AM am A a"},
    {"dddddd", 36585.5452430556, "Tuesday, February 29, 2000"},
    {"ddddd ttttt", 0, "12/30/1899 12:00:00 AM"}, {"c", 0, "12:00:00 AM"},
    {"c", 0.75, "6:00:00 PM"}, {"w ww", 36585.5452430556, "3 10"},
    {"\"Q\"q \\y\\y", 36585.5452430556, "Q1 yy"}, {"mmm-yy;;;\"none\"", 36585, "Feb-00"},
};

TEST(FormatTest, DatesWriteEachPart) {
  CheckFormats(kDates, JetType::DateTime);
  Variant null;
  null.type = MakeType(JetType::Null);
  EXPECT_EQ(DisplayFormat("mmm-yy;;;\"none\"").Apply(null), "none");
  EXPECT_EQ(DisplayFormat("mmm-yy").Apply(null), std::nullopt);
}

TEST(FormatTest, TextsFillTheirPlaces) {
  const std::pair<const char*, const char*> cases[][2] = {
      {{"(@@@) @@@-@@@@", "5551234567"}, {"", "(555) 123-4567"}},
      {{"!@@@@;\"-\"", "ab"}, {"", "ab  "}}, {{"!@@", "abcd"}, {"", "abcd"}},
      {{"@@@@@@", "\u00E9t\u00E9"}, {"", "   \u00E9t\u00E9"}},
      {{">@@", "\u00E9t\u00E9"}, {"", "\u00C9T\u00C9"}}, {{"&&-&&", "abc"}, {"", "a-bc"}},
  };
  for (const auto& c : cases) {
    Variant v;
    v.type = MakeType(JetType::Text);
    v.text = c[0].second;
    EXPECT_EQ(DisplayFormat(c[0].first).Apply(v).value_or("<Null>"), c[1].second) << c[0].first;
  }
}

TEST(FormatTest, FormatNumberAndItsKind) {
  Variant v;
  v.type = MakeType(JetType::Currency);
  v.integer = -12'345'678;  // -1234.5678
  std::string out;
  NumberLayout layout;
  ASSERT_TRUE(FormatAsNumber(v, layout, out));
  EXPECT_EQ(out, "-1,234.57");
  layout.style = NumberStyle::Currency;
  layout.parentheses = true;
  layout.digits = 3;
  ASSERT_TRUE(FormatAsNumber(v, layout, out));
  EXPECT_EQ(out, "($1,234.568)");
  layout = NumberLayout{NumberStyle::Percent, 0, false, false, false};
  v.integer = 5'000;  // 0.5
  ASSERT_TRUE(FormatAsNumber(v, layout, out));
  EXPECT_EQ(out, "50%");
  v.type = MakeType(JetType::Text);
  v.text = "no number";
  EXPECT_FALSE(FormatAsNumber(v, layout, out));
}

constexpr double kLastMoment = 2958465 + 86399999 / 86400000.0;  // 9999-12-31 23:59:59.999

// The text of a parsed value, or "none".
std::string Shown(const std::optional<double>& v) { return v ? DateTimeText(*v) : "none"; }

TEST(AccessDatesTest, StoredAndLinearForms) {
  struct Case { double stored; double linear; bool both; };
  // -0.25 in the file is day 0 ("-0") at 06:00, the same moment as 0.25, which is stored as it is.
  const Case cases[] = {{36526.5, 36526.5, true}, {-1.25, -0.75, true}, {-1.0, -1.0, true}, {-2.5, -1.5, true},
                        {-657434.0, -657434.0, true}, {0.0, 0.0, true}, {-0.25, 0.25, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(LinearFromStored(c.stored), c.linear) << c.stored;
    if (c.both) { EXPECT_EQ(StoredFromLinear(c.linear), c.stored) << c.linear; }
  }
  EXPECT_TRUE(std::isnan(LinearFromStored(std::nan(""))));
}

TEST(AccessDatesTest, ValuesSplitToTheMillisecond) {
  struct Case { double linear; const char* text; };
  const Case cases[] = {
      {0, "1899-12-30 00:00:00"}, {-0.75, "1899-12-29 06:00:00"}, {-1.5, "1899-12-28 12:00:00"},
      {36526, "2000-01-01 00:00:00"}, {36585.5, "2000-02-29 12:00:00"}, {-657434, "0100-01-01 00:00:00"},
      {kLastMoment, "9999-12-31 23:59:59.999"}, {36526 + 1.0 / 86400000, "2000-01-01 00:00:00.001"},
      // Rounded to the millisecond: into the next day, or out of the range at either end.
      {36526 - 0.1 / 86400000, "2000-01-01 00:00:00"}, {2958466 - 0.1 / 86400000, ""},
      {-657434 - 1e-8, ""}, {2958466, ""}, {-657435, ""}, {1e300, ""},
      {std::numeric_limits<double>::quiet_NaN(), ""}, {HUGE_VAL, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(DateTimeText(c.linear), c.text) << c.linear;
    EXPECT_EQ(InDateRange(c.linear), *c.text != '\0') << c.linear;
    EXPECT_EQ(SplitLinear(c.linear).has_value(), *c.text != '\0') << c.linear;
  }
}

TEST(AccessDatesTest, PartsMakeValuesOnlyOnTheCalendar) {
  struct Case { DateParts parts; std::optional<double> linear; };
  const Case cases[] = {
      {{2000, 2, 29, 0, 0, 0, 0}, 36585},           {{1900, 2, 29, 0, 0, 0, 0}, std::nullopt},
      {{2100, 2, 29, 0, 0, 0, 0}, std::nullopt},    {{2400, 2, 29, 0, 0, 0, 0}, 182682},
      {{100, 1, 1, 0, 0, 0, 0}, -657434},           {{9999, 12, 31, 23, 59, 59, 999}, kLastMoment},
      {{1899, 12, 29, 6, 0, 0, 0}, -0.75},          {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
      {{99, 12, 31, 0, 0, 0, 0}, std::nullopt},     {{10000, 1, 1, 0, 0, 0, 0}, std::nullopt},
      {{2000, 13, 1, 0, 0, 0, 0}, std::nullopt},    {{2000, 4, 31, 0, 0, 0, 0}, std::nullopt},
      {{2000, 1, 0, 0, 0, 0, 0}, std::nullopt},     {{2000, 1, 1, 24, 0, 0, 0}, std::nullopt},
      {{2000, 1, 1, 0, 60, 0, 0}, std::nullopt},    {{2000, 1, 1, 0, 0, 60, 0}, std::nullopt},
      {{2000, 1, 1, 0, 0, 0, 1000}, std::nullopt},  {{2000, 1, 1, 0, 0, 0, -1}, std::nullopt}};
  for (const Case& c : cases) {
    const DateParts& p = c.parts;
    SCOPED_TRACE(std::to_string(p.year) + "-" + std::to_string(p.month) + "-" + std::to_string(p.day));
    const std::optional<double> got = LinearFromParts(p);
    ASSERT_EQ(got.has_value(), c.linear.has_value());
    if (!got) continue;
    EXPECT_EQ(*got, *c.linear);
    const std::optional<DateParts> back = SplitLinear(*got);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(std::tie(back->year, back->month, back->day, back->hour, back->minute, back->second, back->millisecond),
              std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond));
  }
}

TEST(AccessDatesTest, AccessDateForms) {
  struct Case { const char* text; const char* value; };
  const Case cases[] = {
      {"1/2/2000", "2000-01-02 00:00:00"}, {"01/02/00", "2000-01-02 00:00:00"}, {"1-2-2000", "2000-01-02 00:00:00"},
      {"2000-01-02", "2000-01-02 00:00:00"}, {"2000/1/2", "2000-01-02 00:00:00"}, {"  1/2/2000  ", "2000-01-02 00:00:00"},
      {"1/2/29", "2029-01-02 00:00:00"}, {"1/2/30", "1930-01-02 00:00:00"}, {"12/31/99", "1999-12-31 00:00:00"},
      {"13/1/2000", "2000-01-13 00:00:00"}, {"13/13/2000", "none"}, {"12/5/2000", "2000-12-05 00:00:00"},
      {"5/12/2000", "2000-05-12 00:00:00"}, {"12/13/2000", "2000-12-13 00:00:00"}, {"1/1/100", "0100-01-01 00:00:00"},
      {"1/1/0100", "0100-01-01 00:00:00"}, {"12/31/9999 23:59:59", "9999-12-31 23:59:59"}, {"1/1/10000", "none"},
      {"2/29/2000", "2000-02-29 00:00:00"}, {"2/29/1900", "none"}, {"2/30/2000", "none"},
      {"2-Jan-2000", "2000-01-02 00:00:00"}, {"02-JAN-00", "2000-01-02 00:00:00"}, {"Jan 2, 2000", "2000-01-02 00:00:00"},
      {"January 2, 2000", "2000-01-02 00:00:00"}, {"january 2 2000", "2000-01-02 00:00:00"},
      {"2 January 2000", "2000-01-02 00:00:00"}, {"2000-Jan-02", "2000-01-02 00:00:00"}, {"Sep 30, 1999", "1999-09-30 00:00:00"},
      {"Janu 2, 2000", "none"}, {"Jan 2,, 2000", "none"}, {"Jan Feb 2000", "none"}, {"Jan 2", "none"},
      {"10:30", "1899-12-30 10:30:00"}, {"1 PM", "1899-12-30 13:00:00"}, {"12 AM", "1899-12-30 00:00:00"},
      {"12 PM", "1899-12-30 12:00:00"}, {"12:30 am", "1899-12-30 00:30:00"}, {"11:59:59 PM", "1899-12-30 23:59:59"},
      {"1pm", "1899-12-30 13:00:00"}, {"13:00 PM", "none"}, {"0 PM", "none"}, {"24:00", "none"}, {"10:60", "none"},
      {"1/2/2000 10:30:15", "2000-01-02 10:30:15"}, {"10:30 PM 1/2/2000", "2000-01-02 22:30:00"},
      {"1/2/2000 10:30:15.250", "2000-01-02 10:30:15.250"}, {"1/2/2000 10:30:15.5", "2000-01-02 10:30:15.500"},
      {"Jan 2, 2000 3 PM", "2000-01-02 15:00:00"}, {"12/29/1899 6:00 AM", "1899-12-29 06:00:00"},
      {"1/2", "none"}, {"", "none"}, {"   ", "none"}, {"abc", "none"}, {"1/2-2000", "none"}, {"1/2/2000 10", "none"},
      {"10:", "none"}, {"1/2/2000 #", "none"}, {"1/2/2000 10:30 1/2/2000", "none"}, {"1/2/2000 10:30 5", "none"},
      {"1234567890/1/2000", "none"}, {"1/2/2000 10:30:15.", "none"}};
  for (const Case& c : cases) EXPECT_EQ(Shown(ParseAccessDate(c.text)), c.value) << c.text;
  // Before 1899-12-30 the day counts back and the time forward: 06:00 of the day before is -0.75.
  EXPECT_EQ(ParseAccessDate("12/29/1899 6:00"), -0.75);
  EXPECT_EQ(ParseAccessDate("6:00 PM"), 0.75);
}

TEST(AccessDatesTest, IsoForms) {
  struct Case { const char* text; const char* value; };
  const Case cases[] = {
      {"2000-01-02", "2000-01-02 00:00:00"}, {"2000-01-02 10:30:15", "2000-01-02 10:30:15"},
      {"2000-01-02 10:30:15.123456", "2000-01-02 10:30:15.123"}, {"2000-01-02T10:30", "2000-01-02 10:30:00"},
      {"10:30:15", "1899-12-30 10:30:15"}, {"10:30:15.9996", "1899-12-30 10:30:16"},
      {"9999-12-31 23:59:59.999", "9999-12-31 23:59:59.999"}, {"9999-12-31 23:59:59.9996", "none"},
      {"0100-01-01", "0100-01-01 00:00:00"}, {"0099-12-31", "none"}, {"2000-02-30", "none"}, {"2000-1-2", "2000-01-02 00:00:00"},
      {"00-01-02", "none"}, {"2000-01-02 25:00:00", "none"}, {"2000-01-02x", "none"}, {"", "none"}, {"1/2/2000", "none"},
      {" 2000-01-02 ", "2000-01-02 00:00:00"}, {"2000-01-02 10:30:", "none"}, {"10:3", "none"}};
  for (const Case& c : cases) EXPECT_EQ(Shown(ParseIsoDate(c.text)), c.value) << c.text;
}

}  // namespace
}  // namespace mdbodbc::sql
