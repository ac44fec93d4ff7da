// The common setting of the driver tests: a database at <root>/bd2.mdb, the working directory
// at <root>/a/b, and a connection to the database with a statement on it.
#pragma once

#include "odbc_session.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace drivertest {

class DriverTest : public ::testing::Test {
 protected:
  // Writes `tables` as the database and makes <root>/a/b the working directory.
  void Write(const std::vector<mkmdb::TableSpec>& tables) {
    mkmdb::WriteDatabase(folder.database(), tables);
    folder.Enter();
  }
  // Connects with the program's connect string (ODBC 3 behaviour when `odbc3`) and allocates
  // `stmt`.
  void Connect(bool wide = true, bool odbc3 = false) {
    session = std::make_unique<OdbcSession>(wide, odbc3);
    ASSERT_EQ(session->Connect(kProgramConnect), SQL_SUCCESS);
    stmt = session->AllocStmt();
  }
  TestFolder folder;
  std::unique_ptr<OdbcSession> session;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

// The brand database written by the project's writer.
class BrandDatabaseTest : public DriverTest {
 protected:
  void SetUp() override { Write(BrandTables()); }
};

// Run once on the wide road (W entry points) and once on the narrow one.
class BothRoadsTest : public BrandDatabaseTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool wide() const { return GetParam(); }
};

// Both roads, each connected.
class ConnectedRoadsTest : public BothRoadsTest {
 protected:
  void SetUp() override {
    BothRoadsTest::SetUp();
    Connect(wide());
  }
};

// The one diagnostic record of a statement (or of the connection): a failure when there are
// none or several.
inline Diag OnlyDiag(OdbcSession& session, SQLHSTMT stmt = SQL_NULL_HSTMT) {
  const std::vector<Diag> errors = session.Errors(stmt);
  EXPECT_EQ(errors.size(), 1u);
  return errors.empty() ? Diag{"none", ""} : errors[0];
}

inline std::string RoadName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Wide" : "Narrow";
}

}  // namespace drivertest
