// Files whose content is damaged after a valid header: the driver reads what it can, reports
// errors as diagnostics, never crashes and never prints.
#include "driver_fixture.h"
#include "tests/support/file_edit.h"

namespace drivertest {
namespace {

// Connects and reads every row and column both forward and backward; returns what was printed.
std::string ReadEverything(bool wide) {
  CapturedOutput output;
  {
    OdbcSession session(wide);
    if (SQL_SUCCEEDED(session.Connect(kProgramConnect))) {
      SQLHSTMT stmt = session.AllocStmt();
      SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC);
      if (SQL_SUCCEEDED(session.ExecDirect(stmt, "SELECT * FROM avion"))) {
        for (SQLUSMALLINT direction : {SQL_FETCH_NEXT, SQL_FETCH_PRIOR}) {
          for (int row = 0; row < 20; ++row) {
            SQLRETURN rc = SQLExtendedFetch(stmt, direction, 0, nullptr, nullptr);
            if (rc != SQL_SUCCESS) break;
            for (SQLUSMALLINT column = 1; column <= 6; ++column) {
              char16_t buffer[300];
              SQLLEN indicator = 0;
              while (SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator) ==
                     SQL_SUCCESS_WITH_INFO) {
              }
            }
          }
        }
      }
      session.Errors(stmt);
      SQLFreeStmt(stmt, SQL_DROP);
    }
    session.Errors();
  }
  return output.Finish();
}

class DamagedFileTest : public DriverTest {
 protected:
  void SetUp() override {
    Write(BrandTables());
    original = testsupport::ReadFile(folder.database());
  }
  std::string original;
};

TEST_F(DamagedFileTest, TruncatedAfterTheCatalogReadsWithoutCrashOrOutput) {
  for (size_t pages : {4, 5, 6, 7}) {
    testsupport::FileEdit edit(original);
    edit.Cut(pages * edit.PageSize() + 100);
    edit.Save(folder.database());
    EXPECT_EQ(ReadEverything(true), "") << pages << " pages";
  }
}

TEST_F(DamagedFileTest, RandomDamageToTheDataReadsWithoutCrashOrOutput) {
  unsigned state = 2024;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 60; ++round) {
    testsupport::FileEdit edit(original);
    // Damage only after the first page, so the header check lets the file through.
    for (int i = 0; i < 24; ++i) {
      size_t at = edit.PageSize() + next() % (original.size() - edit.PageSize());
      edit.Byte(at) = static_cast<std::uint8_t>(next());
    }
    edit.Save(folder.database());
    EXPECT_EQ(ReadEverything(round % 2 == 0), "") << "round " << round;
  }
}

}  // namespace
}  // namespace drivertest
