// A small client that makes the access layer's whole run through the driver manager and the
// driver: connect, information queries, a static cursor over the brand table, three rows read
// as wide text, and every handle freed. Run under valgrind to find leaks in the driver.
// Exits 0 when every call answered as expected.
#include "odbc_session.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace drivertest {
namespace {

TEST(RoadClient, ProgramRoadFromConnectToFree) {
  TestFolder folder;
  mkmdb::WriteDatabase(folder.database(), BrandTables());
  folder.Enter();
  OdbcSession session;
  ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
  EXPECT_EQ(session.InfoShort(SQL_ODBC_API_CONFORMANCE), SQL_OAC_LEVEL1);
  EXPECT_EQ(session.InfoText(SQL_DBMS_NAME), "ACCESS");
  SQLHSTMT stmt = session.AllocStmt();
  SQLSMALLINT count = 0;
  EXPECT_EQ(SQLNumResultCols(stmt, &count), SQL_ERROR);
  EXPECT_EQ(session.Errors(stmt).size(), 1u);
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_QUERY_TIMEOUT, 15), SQL_SUCCESS);
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  EXPECT_EQ(SQLSetStmtOption(stmt, SQL_CONCURRENCY, SQL_CONCUR_ROWVER), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(session.Errors(stmt).size(), 1u);
  ASSERT_EQ(session.Prepare(stmt, "SELECT marque FROM avion "), SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  EXPECT_TRUE(session.Describe(stmt, 1).has_value());
  const char16_t* expected[] = {u"Airbus", u"Boeing", u"Dassault Aviation"};
  for (const char16_t* brand : expected) {
    SQLULEN rows = 0;
    SQLUSMALLINT status = 0;
    ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status), SQL_SUCCESS);
    EXPECT_EQ(ReadWide(stmt, 1, 4), std::u16string(brand));
  }
  EXPECT_EQ(session.Prepare(stmt, "SELECT marque FROM missing"), SQL_ERROR);
  EXPECT_EQ(session.Errors(stmt).size(), 1u);
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
}

TEST(RoadClient, FailedConnectLeavesNothingBehind) {
  TestFolder folder;
  testsupport::WriteFile(folder.database(), std::string(20000, 'x'));
  folder.Enter();
  OdbcSession session;
  EXPECT_EQ(session.Connect(kProgramConnect), SQL_ERROR);
  EXPECT_EQ(session.Errors().size(), 1u);
}

}  // namespace
}  // namespace drivertest
