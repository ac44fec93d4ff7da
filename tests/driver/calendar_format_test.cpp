// The calendar behind Access's date functions, each rule against an independent computation
// over whole ranges of days (the date forms' own calendar in access_dates, ISO 8601's weeks,
// counting back what was added), and Access's Format on the forms the driver tests leave out.
#include "sql/access_dates.h"
#include "sql/access_format.h"
#include "sql/calendar.h"

#include <gtest/gtest.h>

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

struct FormatCase {
  const char* format;
  double value;
  const char* text;
};

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
      {{"!@@@@;\"-\"", "ab"}, {"", "ab  "}},
      {{"!@@", "abcd"}, {"", "abcd"}},
      {{"@@@@@@", "\u00E9t\u00E9"}, {"", "   \u00E9t\u00E9"}},
      {{">@@", "\u00E9t\u00E9"}, {"", "\u00C9T\u00C9"}},
      {{"&&-&&", "abc"}, {"", "a-bc"}},
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

}  // namespace
}  // namespace mdbodbc::sql
