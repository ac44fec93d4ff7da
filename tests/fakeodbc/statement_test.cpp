// Statements: options, prepare and execute, result description and the scripted answers of
// these calls.
#include <cstring>

#include "test_support.h"

using namespace fakeodbc_test;
using fakeodbc::Answer;
using fakeodbc::Column;
using fakeodbc::Fn;
using fakeodbc::ResultSet;

namespace {

class StatementTest : public FakeOdbcTest {
 protected:
  void allocateStatement() {
    connect();
    ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
  }
};

TEST_F(StatementTest, ColumnCountOfANeverExecutedStatementIsAFunctionSequenceError) {
  allocateStatement();
  SQLSMALLINT columns = 42;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  EXPECT_EQ(columns, 42);
  const auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "S1010");
  EXPECT_EQ(records[0].native, 0);
  EXPECT_EQ(records[0].message, u"[unixODBC][Driver Manager]Function sequence error");
  freeAll();
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

  SQLWCHAR name[16];
  SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 2, name, 16, &nameLength, &type, &size, &digits, &nullable),
            SQL_SUCCESS);
  EXPECT_EQ(text(name), u"price");
  EXPECT_EQ(nameLength, 5);
  EXPECT_EQ(type, SQL_DECIMAL);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(digits, 2);
  EXPECT_EQ(nullable, SQL_NULLABLE);

  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);  // the cursor is open
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "24000");
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS);  // still prepared after the close
  freeAll();
}

TEST_F(StatementTest, OtherTextsGetTheDefaultResult) {
  fakeodbc::setResultFor(u"SELECT a FROM b", ResultSet{{Column{u"a"}}, {}});
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT a FROM b "), SQL_NTS), SQL_SUCCESS);
  SQLWCHAR name[16];
  SQLSMALLINT nameLength = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 1, name, 16, &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(text(name), u"marque");  // the trailing blank makes it another text
  freeAll();
}

TEST_F(StatementTest, ColumnNameIsCutToTheBufferAndTheFullLengthReported) {
  fakeodbc::setResult(ResultSet{{Column{u"a_rather_long_column_name"}}, {}});
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
  SQLWCHAR name[8];
  SQLSMALLINT nameLength = 0;
  EXPECT_EQ(SQLDescribeColW(stmt, 1, name, 8, &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(text(name), u"a_rathe");
  EXPECT_EQ(nameLength, 25);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "01004");

  EXPECT_EQ(SQLDescribeColW(stmt, 2, name, 8, &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1002");
  freeAll();
}

TEST_F(StatementTest, ExecuteWithoutPrepareIsAFunctionSequenceError) {
  allocateStatement();
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1010");
  EXPECT_EQ(SQLPrepareW(stmt, nullptr, SQL_NTS), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1009");
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), -7), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1090");
  freeAll();
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

  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_ROW_NUMBER, 1), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1092");
  freeAll();
}

TEST_F(StatementTest, CursorTypeAndConcurrencyTheDriverLacksAreReplacedWithWarning) {
  fakeodbc::setInfo(SQL_SCROLL_OPTIONS,
                    fakeodbc::InfoValue::int32(SQL_SO_FORWARD_ONLY | SQL_SO_KEYSET_DRIVEN));
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY,
                    fakeodbc::InfoValue::int32(SQL_SCCO_READ_ONLY | SQL_SCCO_OPT_VALUES));
  allocateStatement();
  struct Case {
    SQLUSMALLINT option;
    SQLULEN asked;
    SQLULEN kept;
  };
  const Case cases[] = {
      {SQL_CURSOR_TYPE, SQL_CURSOR_KEYSET_DRIVEN, SQL_CURSOR_KEYSET_DRIVEN},
      {SQL_CURSOR_TYPE, SQL_CURSOR_DYNAMIC, SQL_CURSOR_KEYSET_DRIVEN},
      {SQL_CURSOR_TYPE, SQL_CURSOR_STATIC, SQL_CURSOR_FORWARD_ONLY},
      {SQL_CONCURRENCY, SQL_CONCUR_VALUES, SQL_CONCUR_VALUES},
      {SQL_CONCURRENCY, SQL_CONCUR_LOCK, SQL_CONCUR_READ_ONLY},
      {SQL_CONCURRENCY, SQL_CONCUR_ROWVER, SQL_CONCUR_READ_ONLY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.option) + " " + std::to_string(c.asked));
    const SQLRETURN rc = SQLSetStmtOption(stmt, c.option, c.asked);
    const auto records = readErrors(env, dbc, stmt);
    if (c.kept == c.asked) {
      EXPECT_EQ(rc, SQL_SUCCESS);
      EXPECT_TRUE(records.empty());
    } else {
      EXPECT_EQ(rc, SQL_SUCCESS_WITH_INFO);
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].state, "01S02");
    }
    EXPECT_EQ(fakeodbc::statementOption(stmt, c.option), c.kept);
  }
  freeAll();
}

TEST_F(StatementTest, ADriverCanSubstituteAnOptionValueWithWarning) {
  allocateStatement();
  Answer changed = Answer::withInfo({{"01S02", 0, u"[FakeODBC][Driver]Option value changed"}});
  changed.number = SQL_CONCUR_READ_ONLY;
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, changed);

  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_LOCK), SQL_SUCCESS_WITH_INFO);
  const auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "01S02");
  SQLULEN value = 0;
  ASSERT_EQ(SQLGetStmtOption(stmt, SQL_CONCURRENCY, &value), SQL_SUCCESS);
  EXPECT_EQ(value, SQL_CONCUR_READ_ONLY);
  freeAll();
}

TEST_F(StatementTest, PrepareCanBeMadeToFailWithDriverRecords) {
  allocateStatement();
  fakeodbc::answer(Fn::SQLPrepareW, 1,
                   Answer::fail(SQL_ERROR, {{"S1C00", 0, u"[FakeODBC][Driver]Driver not capable"},
                                            {"01000", 3, u"second record"}}));
  EXPECT_EQ(SQLPrepareW(stmt, w(u"SELECT marque FROM avion "), SQL_NTS), SQL_ERROR);
  const auto records = readErrors(env, dbc, stmt);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].state, "S1C00");
  EXPECT_EQ(records[1].native, 3);
  EXPECT_EQ(records[1].message, u"second record");
  // Nothing was prepared.
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(SQLPrepareW(stmt, w(u"SELECT marque FROM avion "), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  freeAll();
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
  freeAll();
}

TEST_F(StatementTest, StillExecutingCanEndInAScriptedFailure) {
  allocateStatement();
  Answer answer = Answer::fail(SQL_ERROR, {{"S1T00", 0, u"[FakeODBC][Driver]Timeout expired"}});
  answer.stillExecuting = 2;
  fakeodbc::answer(Fn::SQLExecDirectW, 1, answer);
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);
  EXPECT_TRUE(readErrors(env, dbc, stmt).empty());
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, stmt).at(0).state, "S1T00");
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
  freeAll();
}

TEST_F(StatementTest, ScriptedColumnDescriptionReplacesTheResultsOne) {
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
  Answer answer;
  answer.runDefault = true;
  answer.column = Column{u"other", SQL_WLONGVARCHAR, 1000000, 0, SQL_NO_NULLS};
  fakeodbc::answer(Fn::SQLDescribeColW, 1, answer);
  SQLWCHAR name[16];
  SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  ASSERT_EQ(SQLDescribeColW(stmt, 1, name, 16, &nameLength, &type, &size, &digits, &nullable),
            SQL_SUCCESS);
  EXPECT_EQ(text(name), u"other");
  EXPECT_EQ(type, SQL_WLONGVARCHAR);
  EXPECT_EQ(size, 1000000u);
  EXPECT_EQ(nullable, SQL_NO_NULLS);
  freeAll();
}

TEST_F(StatementTest, RowsMustMatchTheColumns) {
  ResultSet bad{{Column{u"a"}, Column{u"b"}}, {{u"only one"}}};
  EXPECT_THROW(fakeodbc::setResult(bad), std::invalid_argument);
  EXPECT_THROW(fakeodbc::setResultFor(u"x", bad), std::invalid_argument);
}

}  // namespace
