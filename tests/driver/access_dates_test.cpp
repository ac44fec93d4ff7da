// Date/Time values: Jet's stored form against the linear one, the calendar to the millisecond
// at the range's ends and on leap days, and the date forms Access reads (numbers, month names,
// the two-digit year pivot, AM/PM, dates before 1899-12-30 with times) beside the ISO forms.
#include "driver/sql/access_dates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace mdbodbc::sql {
namespace {

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
