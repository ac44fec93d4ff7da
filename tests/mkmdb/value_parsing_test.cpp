// Reading the text forms of values and column types.
#include <gtest/gtest.h>

#include <cmath>

#include "mdb_writer.h"
#include "value_parser.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::ValueError;

TEST(LongValues, ReadsTheWholeRangeAndRefusesAnythingElse) {
  EXPECT_EQ(mkmdb::ParseLong("0"), 0);
  EXPECT_EQ(mkmdb::ParseLong("-42"), -42);
  EXPECT_EQ(mkmdb::ParseLong("2147483647"), 2147483647);
  EXPECT_EQ(mkmdb::ParseLong("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "2147483648", "-2147483649", "12x", " 1", "1 ", "+1", "1.0", "0x10",
                          "--1"}) {
    EXPECT_THROW(mkmdb::ParseLong(bad), ValueError) << bad;
  }
}

TEST(DoubleValues, ReadsDecimalAndExponentFormsButOnlyFiniteNumbers) {
  EXPECT_EQ(mkmdb::ParseDouble("3.25"), 3.25);
  EXPECT_EQ(mkmdb::ParseDouble("-1e-3"), -0.001);
  EXPECT_EQ(mkmdb::ParseDouble("12"), 12.0);
  EXPECT_EQ(mkmdb::ParseDouble("1.7976931348623157e308"), 1.7976931348623157e308);
  EXPECT_EQ(mkmdb::ParseDouble("0.1"), 0.1);
  for (const char* bad : {"", "abc", "1e999", "nan", "inf", "-inf", "1,5", " 1", "1.5x", "+2"}) {
    EXPECT_THROW(mkmdb::ParseDouble(bad), ValueError) << bad;
  }
}

TEST(YesNoValues, AcceptsDigitsAndWordsInAnyCase) {
  for (const char* yes : {"1", "true", "TRUE", "Yes", "yes"}) EXPECT_TRUE(mkmdb::ParseYesNo(yes));
  for (const char* no : {"0", "false", "False", "NO", "no"}) EXPECT_FALSE(mkmdb::ParseYesNo(no));
  for (const char* bad : {"", "2", "y", "oui", "-1", "truex"}) {
    EXPECT_THROW(mkmdb::ParseYesNo(bad), ValueError) << bad;
  }
}

// Anchors of the day count: day 0 is 1899-12-30, 1900-01-01 is day 2, 2000-01-01 is day 36526
// (100 years of 365 days plus 25 leap days, plus the 2 days of 1899), and 1800-01-01 is 36522
// days before day 0 (36524 days from 1800-01-01 to 1900-01-01, less 2).
TEST(DateTimeValues, CountDaysFrom1899December30WithTheTimeAsFraction) {
  EXPECT_EQ(mkmdb::ParseDateTime("1899-12-30"), 0.0);
  EXPECT_EQ(mkmdb::ParseDateTime("1900-01-01"), 2.0);
  EXPECT_EQ(mkmdb::ParseDateTime("2000-01-01"), 36526.0);
  EXPECT_EQ(mkmdb::ParseDateTime("2000-01-01 12:00:00"), 36526.5);
  EXPECT_EQ(mkmdb::ParseDateTime("2000-01-01T18:00:00"), 36526.75);
  EXPECT_EQ(mkmdb::ParseDateTime("1800-01-01"), -36522.0);
  EXPECT_DOUBLE_EQ(mkmdb::ParseDateTime("2000-01-01 00:00:01"), 36526.0 + 1.0 / 86400.0);
}

TEST(DateTimeValues, BeforeDayZeroTheFractionStillCountsForward) {
  EXPECT_EQ(mkmdb::ParseDateTime("1899-12-29 06:00:00"), -1.25);
  EXPECT_EQ(mkmdb::ParseDateTime("1899-12-28 18:00:00"), -2.75);
}

TEST(DateTimeValues, RefusesImpossibleDatesAndOtherShapes) {
  for (const char* bad : {"", "2021-02-29", "2000-13-01", "2000-00-10", "2000-01-32", "2000-1-1",
                          "21-01-01", "2000-01-01 24:00:00", "2000-01-01 12:60:00",
                          "2000-01-01 12:00:60", "2000-01-01 12:00", "2000/01/01",
                          "0099-12-31", "2000-01-01  12:00:00", "10000-01-01"}) {
    EXPECT_THROW(mkmdb::ParseDateTime(bad), ValueError) << bad;
  }
  EXPECT_NO_THROW(mkmdb::ParseDateTime("2000-02-29"));
  EXPECT_NO_THROW(mkmdb::ParseDateTime("0100-01-01"));
  EXPECT_NO_THROW(mkmdb::ParseDateTime("9999-12-31 23:59:59"));
}

TEST(ColumnSpecs, ReadNameAndTypeInAnyLetterCase) {
  auto text = mkmdb::ParseColumnSpec("marque:text(50)");
  EXPECT_EQ(text.name, "marque");
  EXPECT_EQ(text.type, ColumnType::Text);
  EXPECT_EQ(text.size, 50);
  EXPECT_EQ(mkmdb::ParseColumnSpec("a:TEXT(255)").size, 255);
  EXPECT_EQ(mkmdb::ParseColumnSpec("n:Long").type, ColumnType::Long);
  EXPECT_EQ(mkmdb::ParseColumnSpec("m:memo").type, ColumnType::Memo);
  EXPECT_EQ(mkmdb::ParseColumnSpec("d:double").type, ColumnType::Double);
  EXPECT_EQ(mkmdb::ParseColumnSpec("t:datetime").type, ColumnType::DateTime);
  EXPECT_EQ(mkmdb::ParseColumnSpec("b:yesno").type, ColumnType::YesNo);
  EXPECT_EQ(mkmdb::ParseColumnSpec("b:boolean").type, ColumnType::YesNo);
  // The name runs up to the last colon.
  EXPECT_EQ(mkmdb::ParseColumnSpec("heure:minute:long").name, "heure:minute");
}

TEST(ColumnSpecs, TypeNamesReadBackAsTheSameType) {
  for (const char* written : {"a:text(1)", "a:text(255)", "a:memo", "a:long", "a:double",
                           "a:datetime", "a:yesno"}) {
    auto column = mkmdb::ParseColumnSpec(written);
    auto again = mkmdb::ParseColumnSpec("a:" + mkmdb::ColumnTypeName(column));
    EXPECT_EQ(again.type, column.type) << written;
    EXPECT_EQ(again.size, column.size) << written;
  }
}

TEST(ColumnSpecs, RefuseUnknownTypesAndBadSizes) {
  for (const char* bad : {"marque", "marque:", "marque:varchar(5)", "marque:text", "marque:text()",
                          "marque:text(0)", "marque:text(256)", "marque:text(5", "marque:text(x)",
                          "marque:integer"}) {
    EXPECT_THROW(mkmdb::ParseColumnSpec(bad), mkmdb::WriterError) << bad;
  }
  try {
    mkmdb::ParseColumnSpec("marque:varchar(5)");
  } catch (const mkmdb::WriterError& e) {
    EXPECT_NE(std::string(e.what()).find("marque"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("varchar(5)"), std::string::npos) << e.what();
  }
}

}  // namespace
