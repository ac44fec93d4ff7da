// A file made by Access itself, which the project's writer did not make.
#include "odbc_session.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace drivertest {
namespace {

TEST(AccessMadeFileTest, ReadsEveryRowOfTheDateTable) {
  if (!std::filesystem::exists(std::string(FIXTURES_DIR) + "/access-made-jet4.mdb")) {
    GTEST_SKIP() << "access-made-jet4.mdb not found in \"" FIXTURES_DIR
                    "\"; configure with -DDRAVON_FIXTURES_DIR=<folder>";
  }
  TestFolder folder;
  std::filesystem::copy_file(std::string(FIXTURES_DIR) + "/access-made-jet4.mdb", folder.database());
  folder.Enter();
  OdbcSession session;
  ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
  SQLHSTMT stmt = session.AllocStmt();
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  ASSERT_EQ(session.Prepare(stmt, "SELECT IDCol, DateTimeCol, LongTextCol, ShortTextCol FROM DateTest"),
            SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  EXPECT_EQ(session.Describe(stmt, 3)->type, SQL_WLONGVARCHAR);
  EXPECT_EQ(session.Describe(stmt, 4)->type, SQL_WVARCHAR);
  EXPECT_EQ(session.Describe(stmt, 4)->size, 255u);
  std::vector<std::u16string> ids, dates, longTexts, shortTexts;
  SQLULEN rows = 0;
  SQLUSMALLINT status = 0;
  while (SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status) == SQL_SUCCESS) {
    ids.push_back(ReadWide(stmt, 1).value_or(u"NULL"));
    dates.push_back(ReadWide(stmt, 2).value_or(u"NULL"));
    longTexts.push_back(ReadWide(stmt, 3, 4).value_or(u"NULL"));
    shortTexts.push_back(ReadWide(stmt, 4, 4).value_or(u"NULL"));
  }
  EXPECT_EQ(ids, (std::vector<std::u16string>{u"1", u"2", u"3", u"4", u"5", u"6"}));
  EXPECT_EQ(dates[0], u"2021-12-02 00:00:00");
  EXPECT_EQ(dates[1], u"9999-01-01 00:00:00");
  EXPECT_EQ(dates[2], u"1898-01-01 00:00:00");
  EXPECT_EQ(longTexts[1], u"Year 9999");
  EXPECT_EQ(shortTexts[1], u"Year 1999");
  EXPECT_EQ(longTexts[5], u"New line\r\nin field");
  EXPECT_EQ(shortTexts[2], u"Pre-1900 years");
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
}

}  // namespace
}  // namespace drivertest
