// The common setting of the driver tests: the brand database written by the project's writer
// at <root>/bd2.mdb and the working directory at <root>/a/b.
#pragma once

#include "odbc_session.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace drivertest {

class BrandDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkmdb::WriteDatabase(folder.database(), BrandTables());
    folder.Enter();
  }
  TestFolder folder;
};

// Run once on the wide road (W entry points) and once on the narrow one.
class BothRoadsTest : public BrandDatabaseTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool wide() const { return GetParam(); }
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
