// Moving over the rows with SQLExtendedFetch and SQLFetch, and reading columns with
// SQLGetData: pieces, NULL, second reads and reads without a current row.
#include <cstring>

#include "test_support.h"

using namespace fakeodbc_test;
using fakeodbc::Answer;
using fakeodbc::Column;
using fakeodbc::Fn;
using fakeodbc::ResultSet;

namespace {

class FetchTest : public FakeOdbcTest {
 protected:
  // Fetches with rowsets of one row and returns the value of column 1 of the row reached,
  // or the return code as text when no row was reached.
  std::u16string fetch(SQLUSMALLINT orientation, SQLLEN offset = 0) {
    SQLULEN fetched = 99;
    SQLUSMALLINT status[1] = {77};
    const SQLRETURN rc = SQLExtendedFetch(stmt, orientation, offset, &fetched, status);
    if (rc == SQL_NO_DATA) {
      EXPECT_EQ(fetched, 0u);
      return u"<no data>";
    }
    EXPECT_EQ(rc, SQL_SUCCESS);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
    return readColumn1();
  }

  std::u16string readColumn1() {
    SQLWCHAR value[64] = {};
    SQLLEN length = 0;
    const SQLRETURN rc = SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length);
    EXPECT_EQ(rc, SQL_SUCCESS);
    if (length == SQL_NULL_DATA) return u"<null>";
    EXPECT_EQ(static_cast<std::size_t>(length), text(value).size() * 2);
    return text(value);
  }

  void openWith(ResultSet result) {
    fakeodbc::setResult(std::move(result));
    openStatement();
  }

  static ResultSet numbers(int count) {
    ResultSet result{{Column{u"n", SQL_WVARCHAR, 10}}, {}};
    for (int i = 1; i <= count; ++i) result.rows.push_back({std::u16string(1, u'0' + i)});
    return result;
  }
};

TEST_F(FetchTest, EveryDirectionOverFiveRows) {
  openWith(numbers(5));
  EXPECT_EQ(fetch(SQL_FETCH_PRIOR), u"<no data>");  // before the start already
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"2");
  EXPECT_EQ(fetch(SQL_FETCH_LAST), u"5");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");  // stays after the end
  EXPECT_EQ(fetch(SQL_FETCH_PRIOR), u"5");
  EXPECT_EQ(fetch(SQL_FETCH_PRIOR), u"4");
  EXPECT_EQ(fetch(SQL_FETCH_FIRST), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_PRIOR), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");  // from before the start
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, 3), u"3");
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, -1), u"5");
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, -5), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, -6), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, 2), u"2");  // from before the start: absolute
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, 2), u"4");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, -3), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, 0), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, 5), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, -2), u"4");  // from after the end
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, 6), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_ABSOLUTE, 0), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_RELATIVE, -1), u"<no data>");  // from before the start
  freeAll();
}

TEST_F(FetchTest, FetchDirectionsAreLoggedWithTheirOffsets) {
  openWith(numbers(2));
  fakeodbc::clearLog();
  fetch(SQL_FETCH_ABSOLUTE, -2);
  fetch(SQL_FETCH_RELATIVE, 1);
  const auto lines = fakeodbc::callLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "SQLExtendedFetch(stmt#1, SQL_FETCH_ABSOLUTE, -2) -> SQL_SUCCESS");
  EXPECT_EQ(lines[1], "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 128) -> SQL_SUCCESS");
  EXPECT_EQ(lines[2], "SQLExtendedFetch(stmt#1, SQL_FETCH_RELATIVE, 1) -> SQL_SUCCESS");
  freeAll();
}

TEST_F(FetchTest, RowsetsLargerThanOneRowReportCountAndStatus) {
  openWith(numbers(5));
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 3), SQL_SUCCESS);
  SQLULEN fetched = 0;
  SQLUSMALLINT status[3] = {9, 9, 9};
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status), SQL_SUCCESS);
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(status[2], SQL_ROW_SUCCESS);
  EXPECT_EQ(readColumn1(), u"1");
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status), SQL_SUCCESS);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[1], SQL_ROW_SUCCESS);
  EXPECT_EQ(status[2], SQL_ROW_NOROW);
  EXPECT_EQ(readColumn1(), u"4");
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status), SQL_NO_DATA);
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_PRIOR, 1, &fetched, status), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"3");  // the last full rowset
  freeAll();
}

TEST_F(FetchTest, SQLFetchMovesForwardOnly) {
  openWith(numbers(2));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"1");
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"2");
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  freeAll();
}

TEST_F(FetchTest, UnknownOrientationIsRefusedWithoutMoving) {
  openWith(numbers(3));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");
  SQLULEN fetched = 0;
  SQLUSMALLINT status[1];
  EXPECT_EQ(SQLExtendedFetch(stmt, 42, 0, &fetched, status), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1106");
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_BOOKMARK, 0, &fetched, status), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1C00");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"2");
  freeAll();
}

TEST_F(FetchTest, FetchBeforeExecuteIsAFunctionSequenceError) {
  connect();
  ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1010");
  freeAll();
}

TEST_F(FetchTest, ReadWithoutACurrentRowIsAnInvalidCursorState) {
  openWith(numbers(1));
  SQLWCHAR value[8];
  SQLLEN length = 0;
  // Before the first fetch.
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_ERROR);
  auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "24000");
  EXPECT_EQ(records[0].message, u"[unixODBC][Driver Manager]Invalid cursor state");
  // After the end.
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "24000");
  freeAll();
}

TEST_F(FetchTest, EmptyResultHasNoRowToRead) {
  openWith(numbers(0));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_FIRST), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_LAST), u"<no data>");
  SQLWCHAR value[8];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "24000");
  freeAll();
}

TEST_F(FetchTest, NullReadsAsNullDataOnceThenNoData) {
  openWith(ResultSet{{Column{u"a"}, Column{u"b"}}, {{std::nullopt, u"x"}}});
  ASSERT_EQ(fetch(SQL_FETCH_NEXT), u"<null>");
  SQLWCHAR value[8];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_NO_DATA);
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);
  EXPECT_EQ(text(value), u"x");
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, nullptr), SQL_NO_DATA);
  freeAll();
}

TEST_F(FetchTest, NullWithoutIndicatorIsAnError) {
  openWith(ResultSet{{Column{u"a"}}, {{std::nullopt}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLWCHAR value[8];
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, nullptr), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "22002");
  freeAll();
}

TEST_F(FetchTest, SecondReadOfAColumnReadWholeIsNoData) {
  openStatement();
  ASSERT_EQ(fetch(SQL_FETCH_NEXT), u"Airbus");
  SQLWCHAR value[64];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_NO_DATA);
  EXPECT_TRUE(readErrors(env, dbc, stmt).empty());
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"Boeing");  // a move makes the columns readable again
  freeAll();
}

TEST_F(FetchTest, LongWideValueIsReadInPiecesWithRemainingLengthsInBytes) {
  std::u16string value;
  for (int i = 0; i < 1000; ++i) value += static_cast<char16_t>(u'a' + i % 26);
  openWith(ResultSet{{Column{u"memo", SQL_WLONGVARCHAR, 1073741823}}, {{value}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);

  // The layer's way: a first read of one character to learn the length, then the rest.
  std::u16string read(1001, u'\0');
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, read.data(), 4, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 2000);
  EXPECT_EQ(read[0], u'a');
  EXPECT_EQ(read[1], u'\0');
  auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "01004");

  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, read.data() + 1, 2000, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 1998);
  read.resize(1000);
  EXPECT_EQ(read, value);
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, read.data(), 2000, &length), SQL_NO_DATA);
  freeAll();
}

TEST_F(FetchTest, PiecesEndOnWholeCharactersAndOddBuffersLoseAByte) {
  openWith(ResultSet{{Column{u"a"}}, {{u"abcdef"}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  char16_t buffer[8];
  SQLLEN length = 0;
  std::u16string pieces;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, 7, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 12);
  pieces += buffer;  // two characters fit next to the terminator in 7 bytes
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, 7, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 8);
  pieces += buffer;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, 7, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 4);
  pieces += buffer;
  EXPECT_EQ(pieces, u"abcdef");
  freeAll();
}

TEST_F(FetchTest, NarrowTextIsUtf8InPiecesWithLengthsInBytes) {
  openWith(ResultSet{{Column{u"a", SQL_VARCHAR, 20}}, {{u"Zoë Airways"}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  char buffer[6];
  SQLLEN length = 0;
  std::string pieces;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(length, 12);  // "Zoë Airways" is 12 bytes in UTF-8
  pieces += buffer;
  while (SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &length) != SQL_NO_DATA) {
    pieces += buffer;
    ASSERT_LT(pieces.size(), 20u);
  }
  EXPECT_EQ(pieces, "Zo\xC3\xAB Airways");
  freeAll();
}

TEST_F(FetchTest, NumbersConvertToIntegerAndDoubleCTypes) {
  openWith(ResultSet{
      {Column{u"n", SQL_INTEGER, 10}, Column{u"x", SQL_DOUBLE, 15}, Column{u"t", SQL_VARCHAR, 10}},
      {{u"-42", u"2.5", u"abc"}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQLINTEGER number = 0;
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &number, 0, &length), SQL_SUCCESS);
  EXPECT_EQ(number, -42);
  EXPECT_EQ(length, 4);
  SQLDOUBLE real = 0;
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_DOUBLE, &real, 0, &length), SQL_SUCCESS);
  EXPECT_EQ(real, 2.5);
  EXPECT_EQ(SQLGetData(stmt, 3, SQL_C_SLONG, &number, 0, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "22005");
  EXPECT_EQ(SQLGetData(stmt, 3, 1234, &number, 0, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1003");
  EXPECT_EQ(SQLGetData(stmt, 4, SQL_C_CHAR, &number, 4, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1002");
  freeAll();
}

TEST_F(FetchTest, FetchCanWarnAndStillMove) {
  openStatement();
  fakeodbc::answer(Fn::SQLExtendedFetch, 2,
                   Answer::withInfo({{"01004", 0, u"[FakeODBC][Driver]Data truncated"}}));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"Airbus");
  SQLULEN fetched = 0;
  SQLUSMALLINT status[1] = {};
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(fetched, 1u);
  const auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "01004");
  EXPECT_EQ(readColumn1(), u"Boeing");
  freeAll();
}

TEST_F(FetchTest, ScriptedFetchOutputsWithoutWork) {
  openStatement();
  Answer deleted;
  deleted.number = 1;
  deleted.rowStatus = SQL_ROW_DELETED;
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, deleted);
  SQLULEN fetched = 0;
  SQLUSMALLINT status[1] = {};
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status), SQL_SUCCESS);
  EXPECT_EQ(status[0], SQL_ROW_DELETED);
  EXPECT_EQ(fetched, 1u);
  SQLWCHAR value[8];
  SQLLEN length = 0;
  // The cursor did not move.
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "24000");
  freeAll();
}

TEST_F(FetchTest, ScriptedReadHandsOutTheGivenTextOrIndicator) {
  openStatement();
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  Answer total;
  total.text = u"replaced";
  total.length = SQL_NO_TOTAL;
  total.rc = SQL_SUCCESS_WITH_INFO;
  fakeodbc::answer(Fn::SQLGetData, 1, total);
  SQLWCHAR value[5];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(text(value), u"repl");
  EXPECT_EQ(length, SQL_NO_TOTAL);
  freeAll();
}

}  // namespace
