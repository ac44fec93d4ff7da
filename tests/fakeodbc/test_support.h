// Helpers shared by the fake's own tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_odbc.h"

namespace fakeodbc_test {

// A wide literal as the ODBC API takes it.
inline SQLWCHAR* w(const char16_t* text) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text));
}

inline std::u16string text(const SQLWCHAR* buffer) {
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

// Every pending record of the given handles, read with SQLErrorW until it stops answering
// SQL_SUCCESS / SQL_SUCCESS_WITH_INFO.
std::vector<fakeodbc::Diag> readErrors(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt);

// Resets the fake before and after every test.
class FakeOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override { fakeodbc::reset(); }
  void TearDown() override { fakeodbc::reset(); }

  // SQLAllocEnv, SQLAllocConnect and SQLDriverConnectW, all expected to succeed.
  void connect();
  // connect(), then SQLAllocStmt and SQLExecDirectW of a SELECT.
  void openStatement();
  // Drops the statement (if any), disconnects and frees the connection and environment.
  void freeAll();

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

// What one run of the access layer's ODBC sequence saw.
struct RoadResult {
  std::vector<fakeodbc::Diag> errors;  // records read after failed calls
  std::vector<std::u16string> values;  // column 1 of each row read
  bool completed = false;              // no unexpected failure
};

// Runs the ODBC calls the brand listing makes (connect, capability queries, statement setup,
// prepare, execute, describe, three rows read, free everything). After an unexpected failure it
// reads the diagnostics, skips the rest and frees what it allocated.
RoadResult runRoad();

}  // namespace fakeodbc_test
