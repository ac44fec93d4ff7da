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

inline std::string RoadName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Wide" : "Narrow";
}

}  // namespace drivertest
