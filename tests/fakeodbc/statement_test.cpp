// Statements: options, prepare and execute, result description and the scripted answers of
// these calls; moving over the rows with SQLExtendedFetch and SQLFetch, and reading columns
// with SQLGetData: pieces, NULL, second reads and reads without a current row.
#include <algorithm>
#include <cstring>
#include <gmock/gmock.h>

#include "test_support.h"

using namespace fakeodbc_test;

namespace {

class StatementTest : public FakeOdbcTest {};

TEST_F(StatementTest, ColumnCountOfANeverExecutedStatementIsAFunctionSequenceError) {
  allocateStatement();
  SQLSMALLINT columns = 42;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  EXPECT_EQ(columns, 42);
  EXPECT_EQ(
      errors(),
      (std::vector<Diag>{{"S1010", 0, u"[unixODBC][Driver Manager]Function sequence error"}}));
}

TEST_F(StatementTest, PreparedStatementDescribesItsColumnsAndExecutes) {
  ResultSet result;
  result.columns = {Column{u"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                    Column{u"price", SQL_DECIMAL, 12, 2, SQL_NULLABLE}};
  result.rows = {{u"1", u"9.50"}};
  fakeodbc::setResultFor(u"SELECT id, price FROM t", result);
  allocateStatement();

  ASSERT_EQ(SQLPrepareW(stmt, w(u"SELECT id, price FROM t"), SQL_NTS), SQL_SUCCESS);
  SQLSMALLINT columns = 0;
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(columns, 2);

  const Description price = describe(2, 16);
  ASSERT_EQ(price.rc, SQL_SUCCESS);
  EXPECT_EQ(price.column, result.columns[1]);
  EXPECT_EQ(price.nameLength, 5);

  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  EXPECT_TRUE(failed(SQLExecute(stmt), "24000"));  // the cursor is open
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS);  // still prepared after the close
}

TEST_F(StatementTest, OtherTextsGetTheDefaultResult) {
  fakeodbc::setResultFor(u"SELECT a FROM b", ResultSet{{Column{u"a"}}, {}});
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT a FROM b "), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(describe(1, 16).column.name, u"marque");  // the trailing blank makes it another text
}

TEST_F(StatementTest, ColumnNameIsCutToTheBufferAndTheFullLengthReported) {
  fakeodbc::setResult(ResultSet{{Column{u"a_rather_long_column_name"}}, {}});
  openStatement();
  const Description cut = describe(1, 8);
  EXPECT_EQ(cut.rc, SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(cut.column.name, u"a_rathe");
  EXPECT_EQ(cut.nameLength, 25);
  EXPECT_EQ(errors().at(0).state, "01004");
  EXPECT_TRUE(failed(describe(2, 8).rc, "S1002"));
}

TEST_F(StatementTest, ExecuteWithoutPrepareIsAFunctionSequenceError) {
  allocateStatement();
  EXPECT_TRUE(failed(SQLExecute(stmt), "S1010"));
  EXPECT_TRUE(failed(SQLPrepareW(stmt, nullptr, SQL_NTS), "S1009"));
  EXPECT_TRUE(failed(SQLExecDirectW(stmt, w(u"SELECT"), -7), "S1090"));
}

TEST_F(StatementTest, StatementOptionsAreRememberedAndReadAsSQLULEN) {
  allocateStatement();
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_QUERY_TIMEOUT, 15), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);

  unsigned char buffer[16];
  std::memset(buffer, 0xEE, sizeof buffer);
  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_CURSOR_TYPE, buffer), SQL_SUCCESS);
  SQLULEN value = 0;
  std::memcpy(&value, buffer, sizeof value);
  EXPECT_EQ(value, SQL_CURSOR_STATIC);  // all eight bytes written
  EXPECT_EQ(buffer[sizeof(SQLULEN)], 0xEE);

  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_QUERY_TIMEOUT, &value), SQL_SUCCESS);
  EXPECT_EQ(value, 15u);
  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_CONCURRENCY, &value), SQL_SUCCESS);
  EXPECT_EQ(value, SQL_CONCUR_READ_ONLY);  // never set: the ODBC default
  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_ROWSET_SIZE, &value), SQL_SUCCESS);
  EXPECT_EQ(value, 1u);

  EXPECT_TRUE(failed(SQLSetStmtOption(stmt, SQL_ROW_NUMBER, 1), "S1092"));
}

// Against a driver offering keyset-driven cursors and optimistic concurrency by values: the
// value kept for each one asked, with 01S02 when it is not the one asked.
struct SubstitutionCase {
  const char* name;
  SQLUSMALLINT option;
  SQLULEN asked;
  SQLULEN kept;
};

const SubstitutionCase substitutionCases[] = {
    {"KeysetKept", SQL_CURSOR_TYPE, SQL_CURSOR_KEYSET_DRIVEN, SQL_CURSOR_KEYSET_DRIVEN},
    {"DynamicToKeyset", SQL_CURSOR_TYPE, SQL_CURSOR_DYNAMIC, SQL_CURSOR_KEYSET_DRIVEN},
    {"StaticToForwardOnly", SQL_CURSOR_TYPE, SQL_CURSOR_STATIC, SQL_CURSOR_FORWARD_ONLY},
    {"ValuesKept", SQL_CONCURRENCY, SQL_CONCUR_VALUES, SQL_CONCUR_VALUES},
    {"LockToReadOnly", SQL_CONCURRENCY, SQL_CONCUR_LOCK, SQL_CONCUR_READ_ONLY},
    {"RowVersionToReadOnly", SQL_CONCURRENCY, SQL_CONCUR_ROWVER, SQL_CONCUR_READ_ONLY},
};

class SubstitutionTest : public FakeOdbcTest,
                         public ::testing::WithParamInterface<SubstitutionCase> {};

TEST_P(SubstitutionTest, OptionValuesTheDriverLacksAreReplacedWithWarning) {
  const SubstitutionCase& c = GetParam();
  fakeodbc::setInfo(SQL_SCROLL_OPTIONS,
                    InfoValue::int32(SQL_SO_FORWARD_ONLY | SQL_SO_KEYSET_DRIVEN));
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY,
                    InfoValue::int32(SQL_SCCO_READ_ONLY | SQL_SCCO_OPT_VALUES));
  allocateStatement();
  const SQLRETURN rc = SQLSetStmtOption(stmt, c.option, c.asked);
  EXPECT_EQ(rc, c.kept == c.asked ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(states(), c.kept == c.asked ? "" : "01S02 ");
  EXPECT_EQ(fakeodbc::statementOption(stmt, c.option), c.kept);
}

INSTANTIATE_TEST_SUITE_P(Statement, SubstitutionTest, ::testing::ValuesIn(substitutionCases),
                         rowName);

TEST_F(StatementTest, ADriverCanSubstituteAnOptionValueWithWarning) {
  allocateStatement();
  Answer changed = Answer::withInfo({{"01S02", 0, u"[FakeODBC][Driver]Option value changed"}});
  changed.number = SQL_CONCUR_READ_ONLY;
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, changed);

  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_LOCK), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(errors(), changed.diags);
  SQLULEN value = 0;
  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_CONCURRENCY, &value), SQL_SUCCESS);
  EXPECT_EQ(value, SQL_CONCUR_READ_ONLY);
}

TEST_F(StatementTest, PrepareCanBeMadeToFailWithDriverRecords) {
  allocateStatement();
  fakeodbc::answer(Fn::SQLPrepareW, 1,
                   Answer::fail(SQL_ERROR, {{"S1C00", 0, u"[FakeODBC][Driver]Driver not capable"},
                                            {"01000", 3, u"second record"}}));
  EXPECT_EQ(SQLPrepareW(stmt, w(u"SELECT marque FROM avion "), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(errors(), (std::vector<Diag>{{"S1C00", 0, u"[FakeODBC][Driver]Driver not capable"},
                                         {"01000", 3, u"second record"}}));
  // Nothing was prepared.
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(SQLPrepareW(stmt, w(u"SELECT marque FROM avion "), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS);
}

TEST_F(StatementTest, StillExecutingIsAnsweredTheScriptedNumberOfTimes) {
  allocateStatement();
  ASSERT_EQ(SQLPrepareW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
  fakeodbc::answer(Fn::SQLExecute, 1, Answer::still(3));
  fakeodbc::answer(Fn::SQLNumResultCols, 2, Answer::still(1));
  fakeodbc::clearLog();

  int calls = 0;
  SQLRETURN rc;
  while ((rc = SQLExecute(stmt)) == SQL_STILL_EXECUTING) ++calls;
  EXPECT_EQ(rc, SQL_SUCCESS);
  EXPECT_EQ(calls, 3);

  SQLSMALLINT columns = 0;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_STILL_EXECUTING);
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(columns, 1);

  EXPECT_EQ(fakeodbc::callNames(),
            (std::vector<std::string>{"SQLExecute", "SQLExecute", "SQLExecute", "SQLExecute",
                                      "SQLNumResultCols", "SQLNumResultCols", "SQLNumResultCols"}));
  EXPECT_EQ(fakeodbc::callLines().front(), "SQLExecute(stmt#1) -> SQL_STILL_EXECUTING");
}

TEST_F(StatementTest, StillExecutingCanEndInAScriptedFailure) {
  allocateStatement();
  Answer answer = Answer::fail(SQL_ERROR, {{"S1T00", 0, u"[FakeODBC][Driver]Timeout expired"}});
  answer.stillExecuting = 2;
  fakeodbc::answer(Fn::SQLExecDirectW, 1, answer);
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);
  EXPECT_TRUE(failed(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), "S1T00"));
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
}

TEST_F(StatementTest, ScriptedColumnDescriptionReplacesTheResultsOne) {
  openStatement();
  Answer answer;
  answer.runDefault = true;
  answer.column = Column{u"other", SQL_WLONGVARCHAR, 1000000, 0, SQL_NO_NULLS};
  fakeodbc::answer(Fn::SQLDescribeColW, 1, answer);
  const Description other = describe(1, 16);
  ASSERT_EQ(other.rc, SQL_SUCCESS);
  EXPECT_EQ(other.column, *answer.column);
}

TEST_F(StatementTest, RowsMustMatchTheColumns) {
  ResultSet bad{{Column{u"a"}, Column{u"b"}}, {{u"only one"}}};
  EXPECT_THROW(fakeodbc::setResult(bad), std::invalid_argument);
  EXPECT_THROW(fakeodbc::setResultFor(u"x", bad), std::invalid_argument);
}

class FetchTest : public FakeOdbcTest {
 protected:
  // Fetches with rowsets of one row and returns the value of column 1 of the row reached,
  // or the return code as text when no row was reached.
  std::u16string fetch(SQLUSMALLINT orientation, SQLLEN offset = 0) {
    const SQLRETURN rc = extendedFetch(orientation, offset);
    if (rc == SQL_NO_DATA) {
      EXPECT_EQ(fetched, 0u);
      return u"<no data>";
    }
    EXPECT_EQ(rc, SQL_SUCCESS);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(status[0], SQL_ROW_SUCCESS);
    return readColumn1();
  }

  // SQLExtendedFetch into `fetched` and `status`, which hold marks the call must overwrite.
  SQLRETURN extendedFetch(SQLUSMALLINT orientation, SQLLEN offset = 1) {
    fetched = 99;
    std::fill(std::begin(status), std::end(status), 77);
    return SQLExtendedFetch(stmt, orientation, offset, &fetched, status);
  }

  // SQLGetData of a column as SQL_C_WCHAR into `value`, said to hold `capacity` bytes.
  SQLRETURN getData(SQLUSMALLINT column = 1, SQLLEN capacity = 16) {
    SQLLEN length = 0;
    return SQLGetData(stmt, column, SQL_C_WCHAR, value, capacity, &length);
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

  SQLWCHAR value[64] = {};
  SQLULEN fetched = 0;
  SQLUSMALLINT status[3] = {};
};

// Each move and the row it reaches ("-" for none). PRIOR and NEXT start from before the start
// (at first, and after FIRST then PRIOR), stay after the end and come back from it; RELATIVE
// from before the start counts like ABSOLUTE, and from after the end back from the end.
TEST_F(FetchTest, EveryDirectionOverFiveRows) {
  openWith(numbers(5));
  const std::pair<SQLUSMALLINT, SQLLEN> moves[] = {
      {SQL_FETCH_PRIOR, 0},     {SQL_FETCH_NEXT, 0},      {SQL_FETCH_NEXT, 0},
      {SQL_FETCH_LAST, 0},      {SQL_FETCH_NEXT, 0},      {SQL_FETCH_NEXT, 0},
      {SQL_FETCH_PRIOR, 0},     {SQL_FETCH_PRIOR, 0},     {SQL_FETCH_FIRST, 0},
      {SQL_FETCH_PRIOR, 0},     {SQL_FETCH_NEXT, 0},      {SQL_FETCH_ABSOLUTE, 3},
      {SQL_FETCH_ABSOLUTE, -1}, {SQL_FETCH_ABSOLUTE, -5}, {SQL_FETCH_ABSOLUTE, -6},
      {SQL_FETCH_RELATIVE, 2},  {SQL_FETCH_RELATIVE, 2},  {SQL_FETCH_RELATIVE, -3},
      {SQL_FETCH_RELATIVE, 0},  {SQL_FETCH_RELATIVE, 5},  {SQL_FETCH_RELATIVE, -2},
      {SQL_FETCH_ABSOLUTE, 6},  {SQL_FETCH_ABSOLUTE, 0},  {SQL_FETCH_RELATIVE, -1},
  };
  std::u16string reached;
  for (const auto& [orientation, offset] : moves) {
    const std::u16string row = fetch(orientation, offset);
    reached += (row == u"<no data>" ? u"-" : row) + u" ";
  }
  EXPECT_EQ(reached, u"- 1 2 5 - - 5 4 1 - 1 3 5 1 - 2 4 1 1 - 4 - - - ");
}

TEST_F(FetchTest, FetchDirectionsAreLoggedWithTheirOffsets) {
  openWith(numbers(2));
  fakeodbc::clearLog();
  fetch(SQL_FETCH_ABSOLUTE, -2);
  fetch(SQL_FETCH_RELATIVE, 1);
  EXPECT_EQ(fakeodbc::logText(), R"(SQLExtendedFetch(stmt#1, SQL_FETCH_ABSOLUTE, -2) -> SQL_SUCCESS
SQLGetData(stmt#1, 1, SQL_C_WCHAR, 128) -> SQL_SUCCESS
SQLExtendedFetch(stmt#1, SQL_FETCH_RELATIVE, 1) -> SQL_SUCCESS
SQLGetData(stmt#1, 1, SQL_C_WCHAR, 128) -> SQL_SUCCESS
)");
}

TEST_F(FetchTest, RowsetsLargerThanOneRowReportCountAndStatus) {
  openWith(numbers(5));
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 3), SQL_SUCCESS);
  ASSERT_EQ(extendedFetch(SQL_FETCH_NEXT), SQL_SUCCESS);
  EXPECT_EQ(fetched, 3u);
  EXPECT_THAT(status, ::testing::ElementsAre(SQL_ROW_SUCCESS, SQL_ROW_SUCCESS, SQL_ROW_SUCCESS));
  EXPECT_EQ(readColumn1(), u"1");
  ASSERT_EQ(extendedFetch(SQL_FETCH_NEXT), SQL_SUCCESS);
  EXPECT_EQ(fetched, 2u);
  EXPECT_THAT(status, ::testing::ElementsAre(SQL_ROW_SUCCESS, SQL_ROW_SUCCESS, SQL_ROW_NOROW));
  EXPECT_EQ(readColumn1(), u"4");
  EXPECT_EQ(extendedFetch(SQL_FETCH_NEXT), SQL_NO_DATA);
  ASSERT_EQ(extendedFetch(SQL_FETCH_PRIOR), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"3");  // the last full rowset
}

TEST_F(FetchTest, SQLFetchMovesForwardOnly) {
  openWith(numbers(2));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"1");
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(readColumn1(), u"2");
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(FetchTest, UnknownOrientationIsRefusedWithoutMoving) {
  openWith(numbers(3));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");
  EXPECT_TRUE(failed(extendedFetch(42, 0), "S1106"));
  EXPECT_TRUE(failed(extendedFetch(SQL_FETCH_BOOKMARK, 0), "S1C00"));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"2");
}

TEST_F(FetchTest, FetchBeforeExecuteIsAFunctionSequenceError) {
  allocateStatement();
  EXPECT_TRUE(failed(SQLFetch(stmt), "S1010"));
}

TEST_F(FetchTest, ReadWithoutACurrentRowIsAnInvalidCursorState) {
  openWith(numbers(1));
  EXPECT_EQ(getData(), SQL_ERROR);  // before the first fetch
  EXPECT_EQ(errors(),
            (std::vector<Diag>{{"24000", 0, u"[unixODBC][Driver Manager]Invalid cursor state"}}));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"1");
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");
  EXPECT_TRUE(failed(getData(), "24000"));  // after the end
}

TEST_F(FetchTest, EmptyResultHasNoRowToRead) {
  openWith(numbers(0));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_FIRST), u"<no data>");
  EXPECT_EQ(fetch(SQL_FETCH_LAST), u"<no data>");
  EXPECT_TRUE(failed(getData(), "24000"));
}

TEST_F(FetchTest, NullReadsAsNullDataOnceThenNoData) {
  openWith(ResultSet{{Column{u"a"}, Column{u"b"}}, {{std::nullopt, u"x"}}});
  ASSERT_EQ(fetch(SQL_FETCH_NEXT), u"<null>");
  EXPECT_EQ(getData(), SQL_NO_DATA);
  EXPECT_EQ(getData(2), SQL_SUCCESS);
  EXPECT_EQ(text(value), u"x");
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, 16, nullptr), SQL_NO_DATA);
}

TEST_F(FetchTest, NullWithoutIndicatorIsAnError) {
  openWith(ResultSet{{Column{u"a"}}, {{std::nullopt}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_TRUE(failed(SQLGetData(stmt, 1, SQL_C_WCHAR, value, 16, nullptr), "22002"));
}

TEST_F(FetchTest, SecondReadOfAColumnReadWholeIsNoData) {
  openStatement();
  ASSERT_EQ(fetch(SQL_FETCH_NEXT), u"Airbus");
  EXPECT_EQ(getData(1, 128), SQL_NO_DATA);
  EXPECT_TRUE(errors().empty());
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"Boeing");  // a move makes the columns readable again
}

// A value read in pieces: each read's buffer size, answer and indicator (the length left in
// bytes), and the pieces put together.
struct PiecesCase {
  const char* name;
  Column column;
  std::u16string value;
  SQLSMALLINT cType;
  struct Read {
    SQLLEN capacity;
    SQLRETURN rc;
    SQLLEN indicator;
  };
  std::vector<Read> reads;
  std::string whole;  // the bytes of the pieces up to their terminators
};

std::u16string alphabet1000() {
  std::u16string value;
  for (int i = 0; i < 1000; ++i) value += static_cast<char16_t>(u'a' + i % 26);
  return value;
}

std::string bytesOf(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

const PiecesCase piecesCases[] = {
    // The layer's way: a first read of one character to learn the length, then the rest.
    {"LongWideValueWithRemainingLengthsInBytes", Column{u"memo", SQL_WLONGVARCHAR, 1073741823},
     alphabet1000(), SQL_C_WCHAR,
     {{4, SQL_SUCCESS_WITH_INFO, 2000}, {2000, SQL_SUCCESS, 1998}, {2000, SQL_NO_DATA, 0}},
     bytesOf(alphabet1000())},
    // Two characters fit next to the terminator in 7 bytes.
    {"PiecesEndOnWholeCharactersAndOddBuffersLoseAByte", Column{u"a"}, u"abcdef", SQL_C_WCHAR,
     {{7, SQL_SUCCESS_WITH_INFO, 12}, {7, SQL_SUCCESS_WITH_INFO, 8}, {7, SQL_SUCCESS, 4}},
     bytesOf(u"abcdef")},
    // "Zoë Airways" is 12 bytes in UTF-8.
    {"NarrowTextIsUtf8InPiecesWithLengthsInBytes", Column{u"a", SQL_VARCHAR, 20}, u"Zoë Airways",
     SQL_C_CHAR,
     {{6, SQL_SUCCESS_WITH_INFO, 12}, {6, SQL_SUCCESS_WITH_INFO, 7}, {6, SQL_SUCCESS, 2},
      {6, SQL_NO_DATA, 0}},
     "Zo\xC3\xAB Airways"},
};

class PiecesTest : public FetchTest, public ::testing::WithParamInterface<PiecesCase> {};

TEST_P(PiecesTest, ReadsEachPieceWithTheLengthLeft) {
  const PiecesCase& c = GetParam();
  openWith(ResultSet{{c.column}, {{c.value}}});
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  const std::size_t unit = c.cType == SQL_C_WCHAR ? 2 : 1;
  std::string whole;
  for (const PiecesCase::Read& read : c.reads) {
    SCOPED_TRACE("read after " + std::to_string(whole.size()) + " bytes");
    std::string buffer(static_cast<std::size_t>(read.capacity), '\x7F');
    SQLLEN indicator = 0;
    ASSERT_EQ(SQLGetData(stmt, 1, c.cType, buffer.data(), read.capacity, &indicator), read.rc);
    if (read.rc == SQL_NO_DATA) continue;
    EXPECT_EQ(indicator, read.indicator);
    std::size_t end = 0;
    while (end + unit <= buffer.size() && buffer.compare(end, unit, std::string(unit, '\0'))) {
      end += unit;
    }
    ASSERT_LT(end, buffer.size()) << "no terminator";
    whole += buffer.substr(0, end);
    EXPECT_EQ(states(), read.rc == SQL_SUCCESS_WITH_INFO ? "01004 " : "");
  }
  EXPECT_EQ(whole, c.whole);
}

INSTANTIATE_TEST_SUITE_P(Fetch, PiecesTest, ::testing::ValuesIn(piecesCases), rowName);

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
  EXPECT_TRUE(failed(SQLGetData(stmt, 3, SQL_C_SLONG, &number, 0, &length), "22005"));
  EXPECT_TRUE(failed(SQLGetData(stmt, 3, 1234, &number, 0, &length), "S1003"));
  EXPECT_TRUE(failed(SQLGetData(stmt, 4, SQL_C_CHAR, &number, 4, &length), "S1002"));
}

TEST_F(FetchTest, FetchCanWarnAndStillMove) {
  openStatement();
  fakeodbc::answer(Fn::SQLExtendedFetch, 2,
                   Answer::withInfo({{"01004", 0, u"[FakeODBC][Driver]Data truncated"}}));
  EXPECT_EQ(fetch(SQL_FETCH_NEXT), u"Airbus");
  EXPECT_EQ(extendedFetch(SQL_FETCH_NEXT), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(states(), "01004 ");
  EXPECT_EQ(readColumn1(), u"Boeing");
}

TEST_F(FetchTest, ScriptedFetchOutputsWithoutWork) {
  openStatement();
  fakeodbc::loadScript("answer SQLExtendedFetch 1 number 1 rowstatus SQL_ROW_DELETED");
  EXPECT_EQ(extendedFetch(SQL_FETCH_NEXT), SQL_SUCCESS);
  EXPECT_EQ(status[0], SQL_ROW_DELETED);
  EXPECT_EQ(fetched, 1u);
  EXPECT_TRUE(failed(getData(), "24000"));  // the cursor did not move
}

TEST_F(FetchTest, ScriptedReadHandsOutTheGivenTextOrIndicator) {
  openStatement();
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  fakeodbc::loadScript(
      "answer SQLGetData 1 rc SQL_SUCCESS_WITH_INFO text \"replaced\" length SQL_NO_TOTAL");
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, 10, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(text(value), u"repl");
  EXPECT_EQ(length, SQL_NO_TOTAL);
}

}  // namespace
