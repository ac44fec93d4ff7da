// Statements: options, prepare and execute, result description and the scripted answers of
// these calls.
#include <cstring>

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
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
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
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);
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

}  // namespace
