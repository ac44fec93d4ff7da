// Preparing and running statements: the options the access layer sets, the description of the
// result, names in any form, and the errors of missing tables, missing columns and writes.
#include "driver_fixture.h"

namespace drivertest {
namespace {

class StatementTest : public ConnectedRoadsTest {
 protected:
  void TearDown() override { EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS); }
  // The statement's one diagnostic, "STATE message".
  std::string OnlyError() {
    const Diag error = OnlyDiag(*session, stmt);
    return error.state + " " + error.message;
  }
};

TEST_P(StatementTest, NeverExecutedStatementHasNoResultColumns) {
  SQLSMALLINT count = -1;
  EXPECT_EQ(SQLNumResultCols(stmt, &count), SQL_ERROR);
  EXPECT_EQ(OnlyError(), "S1010 [unixODBC][Driver Manager]Function sequence error");
}

TEST_P(StatementTest, OptionsOfTheLayerAreAcceptedOrReplacedWithAWarning) {
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_QUERY_TIMEOUT, 15), SQL_SUCCESS);
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_READ_ONLY), SQL_SUCCESS);

  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_ROWVER), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(OnlyDiag(*session, stmt).state, "01S02");
  SQLULEN value = 0;
  EXPECT_EQ(SQLGetStmtOption(stmt, SQL_CONCURRENCY, &value), SQL_SUCCESS);
  EXPECT_EQ(value, static_cast<SQLULEN>(SQL_CONCUR_READ_ONLY));

  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_KEYSET_DRIVEN), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "01S02");
  EXPECT_EQ(SQLGetStmtOption(stmt, SQL_CURSOR_TYPE, &value), SQL_SUCCESS);
  EXPECT_EQ(value, static_cast<SQLULEN>(SQL_CURSOR_STATIC));

  // Rowsets of more than one row are delivered as asked.
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 10), SQL_SUCCESS);
  EXPECT_EQ(SQLGetStmtOption(stmt, SQL_ROWSET_SIZE, &value), SQL_SUCCESS);
  EXPECT_EQ(value, 10u);
}

TEST_P(StatementTest, ProgramStatementDescribesItsTextColumn) {
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  ASSERT_EQ(session->Prepare(stmt, "SELECT marque FROM avion "), SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumResultCols(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 1);
  std::optional<OdbcSession::Column> column = session->Describe(stmt, 1);
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(column->name, "marque");
  EXPECT_EQ(column->type, SQL_WVARCHAR);
  EXPECT_EQ(column->size, 50u);
  EXPECT_EQ(column->nullable, SQL_NULLABLE);
}

TEST_P(StatementTest, EveryColumnTypeHasItsSqlType) {
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT * FROM avion"), SQL_SUCCESS);
  struct Expected { const char* name; SQLSMALLINT type; };
  // An ODBC 2 application sees the date and time type by its ODBC 2 code.
  const Expected expected[] = {{"marque", SQL_WVARCHAR}, {"id", SQL_INTEGER},
                               {"prix", SQL_DOUBLE},     {"vol", SQL_TIMESTAMP},
                               {"actif", SQL_BIT},       {"notes", SQL_WLONGVARCHAR}};
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumResultCols(stmt, &count), SQL_SUCCESS);
  ASSERT_EQ(count, 6);
  for (SQLUSMALLINT i = 0; i < 6; ++i) {
    std::optional<OdbcSession::Column> column = session->Describe(stmt, i + 1);
    ASSERT_TRUE(column.has_value());
    EXPECT_EQ(column->name, expected[i].name);
    EXPECT_EQ(column->type, expected[i].type) << expected[i].name;
  }
  EXPECT_EQ(session->Describe(stmt, 7), std::nullopt);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "S1002");
}

TEST_P(StatementTest, NamesMatchInAnyCaseBareBracketedOrQuoted) {
  for (const char* text : {"SELECT MARQUE FROM AVION", "select Marque from Avion",
                           "SELECT [marque] FROM [avion]", "SELECT `Marque` FROM `AVION`"}) {
    ASSERT_EQ(session->ExecDirect(stmt, text), SQL_SUCCESS) << text;
    SQLULEN rows = 0;
    SQLUSMALLINT status = 0;
    ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status), SQL_SUCCESS) << text;
    EXPECT_EQ(ReadWide(stmt, 1), u"Airbus") << text;
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  }
}

TEST_P(StatementTest, MissingTableIsAnErrorAtPrepareWithTheLibraryMessage) {
  EXPECT_EQ(session->Prepare(stmt, "SELECT marque FROM avions"), SQL_ERROR);
  EXPECT_EQ(OnlyError(),
            "S0002 [mdbodbc]avions is not a table or query in this database (at offset 19)");
}

TEST_P(StatementTest, MissingColumnIsAnErrorAtExecDirectWithTheLibraryMessage) {
  EXPECT_EQ(session->ExecDirect(stmt, "SELECT nope FROM avion"), SQL_ERROR);
  EXPECT_EQ(OnlyError(), "S0022 [mdbodbc]Column nope not found (at offset 7)");
}

TEST_P(StatementTest, SyntaxErrorIsReportedWithoutPrinting) {
  CapturedOutput output;
  SQLRETURN rc = session->ExecDirect(stmt, "SELECT FROM WHERE");
  EXPECT_EQ(output.Finish(), "");
  EXPECT_EQ(rc, SQL_ERROR);
  const Diag error = OnlyDiag(*session, stmt);
  EXPECT_EQ(error.state, "37000");
  EXPECT_NE(error.message.find("syntax error"), std::string::npos) << error.message;
}

TEST_P(StatementTest, WritingStatementsAreRefused) {
  for (const char* text : {"INSERT INTO avion (marque) VALUES ('X')", "UPDATE avion SET id = 1",
                           "DELETE FROM avion", "DROP TABLE avion", "CREATE TABLE t (a INT)"}) {
    EXPECT_EQ(session->ExecDirect(stmt, text), SQL_ERROR) << text;
    const Diag error = OnlyDiag(*session, stmt);
    EXPECT_EQ(error.state, "37000") << text;
    EXPECT_NE(error.message.find("read-only"), std::string::npos) << error.message;
  }
}

TEST_P(StatementTest, PreparedStatementRunsAgainAfterClose) {
  ASSERT_EQ(session->Prepare(stmt, "SELECT id FROM avion"), SQL_SUCCESS);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    int rows = 0;
    while (SQLFetch(stmt) == SQL_SUCCESS) ++rows;
    EXPECT_EQ(rows, 10);
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  }
}

TEST_P(StatementTest, WhereClauseAndEmptyTable) {
  SQLLEN count = 0;
  EXPECT_EQ(SQLRowCount(stmt, &count), SQL_ERROR);  // nothing executed yet
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT marque FROM avion WHERE id > 8"), SQL_SUCCESS);
  ASSERT_EQ(SQLRowCount(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, -1);  // a SELECT's count is not known before its rows are read
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(ReadWide(stmt, 1), u"Piper");
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(ReadWide(stmt, 1), u"Sukhoi");
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT nom FROM vide"), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

INSTANTIATE_TEST_SUITE_P(Roads, StatementTest, ::testing::Bool(), RoadName);

}  // namespace
}  // namespace drivertest
