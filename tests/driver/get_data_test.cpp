// SQLGetData by the ODBC rules: pieces with 01004 and the remaining length, NULL, non-ASCII
// text in UTF-16 and UTF-8, numbers and dates as text, and the states without a current row
// or once a column is used up.
#include "driver_fixture.h"

#include <cstring>

namespace drivertest {
namespace {

class GetDataTest : public BothRoadsTest {
 protected:
  void SetUp() override {
    BothRoadsTest::SetUp();
    session = std::make_unique<OdbcSession>(wide());
    ASSERT_EQ(session->Connect(kProgramConnect), SQL_SUCCESS);
    stmt = session->AllocStmt();
    ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
    ASSERT_EQ(session->Prepare(stmt, "SELECT marque, id, prix, vol, actif, notes FROM avion"),
              SQL_SUCCESS);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  }
  void GoTo(int row) {
    SQLULEN rows = 0;
    SQLUSMALLINT status = 0;
    ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_ABSOLUTE, row, &rows, &status), SQL_SUCCESS);
  }
  std::unique_ptr<OdbcSession> session;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

TEST_P(GetDataTest, ShortTextArrivesInPiecesThenNoData) {
  GoTo(3);  // "Dassault Aviation", 17 characters
  char16_t wide[6] = {};
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, wide, sizeof wide, &indicator), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(indicator, 34);
  EXPECT_EQ(std::u16string(wide), u"Dassa");
  std::vector<Diag> errors = session->Errors(stmt);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].state, "01004");
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, wide, sizeof wide, &indicator), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(indicator, 24);
  EXPECT_EQ(std::u16string(wide), u"ult A");
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, wide, sizeof wide, &indicator), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(indicator, 14);
  EXPECT_EQ(std::u16string(wide), u"viati");
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, wide, sizeof wide, &indicator), SQL_SUCCESS);
  EXPECT_EQ(indicator, 4);
  EXPECT_EQ(std::u16string(wide), u"on");
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, wide, sizeof wide, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, NarrowTextArrivesInPiecesThenNoData) {
  GoTo(2);  // "Boeing"
  char narrow[4] = {};
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, narrow, sizeof narrow, &indicator), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(indicator, 6);
  EXPECT_STREQ(narrow, "Boe");
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, narrow, sizeof narrow, &indicator), SQL_SUCCESS);
  EXPECT_EQ(indicator, 3);
  EXPECT_STREQ(narrow, "ing");
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, narrow, sizeof narrow, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, LongMemoReadTheWayTheLayerReadsIt) {
  GoTo(7);
  std::u16string expected = Wide(LongMemo());
  // First a buffer of two characters: one character and the terminator, and the whole length.
  std::u16string value(2, u'\0');
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data(), 4, &indicator), SQL_SUCCESS_WITH_INFO);
  ASSERT_EQ(indicator, static_cast<SQLLEN>(expected.size() * 2));
  // Then the rest into a buffer that holds it and its terminator.
  size_t whole = expected.size();
  value.resize(whole + 1);
  ASSERT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data() + 1, static_cast<SQLLEN>(whole * 2), &indicator),
            SQL_SUCCESS);
  EXPECT_EQ(indicator, static_cast<SQLLEN>((whole - 1) * 2));
  value.resize(whole);
  EXPECT_EQ(value, expected);
  EXPECT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data(), 4, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, LongMemoInSmallPieces) {
  GoTo(7);
  EXPECT_EQ(ReadWide(stmt, 6, 7), Wide(LongMemo()));
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_RELATIVE, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 6, 5), LongMemo());
}

TEST_P(GetDataTest, NullValuesHaveTheNullIndicator) {
  GoTo(5);
  for (SQLUSMALLINT column : {1, 3, 4, 6}) {
    char16_t buffer[8] = {u'x'};
    SQLLEN indicator = 0;
    ASSERT_EQ(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_SUCCESS);
    EXPECT_EQ(indicator, SQL_NULL_DATA) << column;
    EXPECT_EQ(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_NO_DATA);
  }
  char buffer[8];
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, nullptr), SQL_NO_DATA);
}

TEST_P(GetDataTest, EmptyTextIsNotNull) {
  GoTo(6);
  char16_t buffer[4] = {u'x'};
  SQLLEN indicator = -5;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_SUCCESS);
  EXPECT_EQ(indicator, 0);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, NonAsciiTextArrivesAsStored) {
  GoTo(4);
  EXPECT_EQ(ReadWide(stmt, 1, 3), u"Überflügel Ælfred 日本語 😀");
  EXPECT_EQ(ReadWide(stmt, 6, 3), u"Überflügel Ælfred 日本語 😀");
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_RELATIVE, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 1, 4), kNonAscii);
}

TEST_P(GetDataTest, NumbersDatesAndYesNoAsText) {
  GoTo(1);
  EXPECT_EQ(ReadWide(stmt, 2), u"1");
  EXPECT_EQ(ReadWide(stmt, 3), u"3.25");
  EXPECT_EQ(ReadWide(stmt, 4), u"2021-12-02 13:45:07");
  EXPECT_EQ(ReadWide(stmt, 5), u"1");
  GoTo(2);
  EXPECT_EQ(ReadNarrow(stmt, 3), "-0.001");
  EXPECT_EQ(ReadNarrow(stmt, 4), "1999-01-31 00:00:00");
  EXPECT_EQ(ReadNarrow(stmt, 5), "0");
  GoTo(6);
  EXPECT_EQ(ReadWide(stmt, 4), u"1850-06-15 12:00:00");
  GoTo(8);
  EXPECT_EQ(ReadWide(stmt, 2), u"8");
  EXPECT_EQ(ReadWide(stmt, 3), u"-42");
  EXPECT_EQ(ReadWide(stmt, 4), u"9999-12-31 23:59:59");
  GoTo(9);
  EXPECT_EQ(ReadWide(stmt, 4), u"0100-01-01 00:00:00");
}

TEST_P(GetDataTest, NumbersAndDatesIntoTheirOwnTypes) {
  GoTo(7);
  SQLINTEGER id = 0;
  SQLDOUBLE prix = 0;
  SQL_TIMESTAMP_STRUCT vol{};
  SQLCHAR actif = 9;
  SQLLEN indicator = 0;
  SQLSMALLINT small = 0;
  EXPECT_EQ(SQLGetData(stmt, 3, SQL_C_SSHORT, &small, 0, &indicator), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "22003");
  ASSERT_EQ(SQLGetData(stmt, 2, SQL_C_SLONG, &id, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(id, 7);
  ASSERT_EQ(SQLGetData(stmt, 3, SQL_C_DOUBLE, &prix, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(prix, 2.5e10);
  ASSERT_EQ(SQLGetData(stmt, 4, SQL_C_TIMESTAMP, &vol, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(vol.year, 2000);
  EXPECT_EQ(vol.month, 2);
  EXPECT_EQ(vol.day, 29);
  EXPECT_EQ(vol.hour, 23);
  EXPECT_EQ(vol.minute, 59);
  EXPECT_EQ(vol.second, 59);
  ASSERT_EQ(SQLGetData(stmt, 5, SQL_C_BIT, &actif, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(actif, 1);
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_SLONG, &id, 0, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, ColumnsInAnyOrder) {
  GoTo(1);
  EXPECT_EQ(ReadWide(stmt, 6), u"short memo");
  EXPECT_EQ(ReadWide(stmt, 1), u"Airbus");
  EXPECT_EQ(ReadWide(stmt, 2), u"1");
}

TEST_P(GetDataTest, NoCurrentRowIsAnInvalidCursorState) {
  char16_t buffer[16];
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_LAST, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, nullptr, nullptr), SQL_NO_DATA);
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_ERROR);
  std::vector<Diag> errors = session->Errors(stmt);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].state, "24000");
}

TEST_P(GetDataTest, ColumnOutsideTheResultIsAnError) {
  GoTo(1);
  char16_t buffer[16];
  SQLLEN indicator = 0;
  EXPECT_EQ(SQLGetData(stmt, 7, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "S1002");
}

INSTANTIATE_TEST_SUITE_P(Roads, GetDataTest, ::testing::Bool(), RoadName);

}  // namespace
}  // namespace drivertest
