// Helpers shared by the fake's own tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_odbc.h"

namespace fakeodbc_test {

using fakeodbc::Answer;
using fakeodbc::Column;
using fakeodbc::Diag;
using fakeodbc::Fn;
using fakeodbc::InfoValue;
using fakeodbc::ResultSet;

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

// Names a parameterised case after the `name` of its row.
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

// Resets the fake before and after every test, and frees what a test leaves allocated.
class FakeOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override { fakeodbc::reset(); }
  void TearDown() override {
    if (env != SQL_NULL_HENV) freeAll();
    fakeodbc::reset();
  }

  // SQLAllocEnv and SQLAllocConnect, expected to succeed.
  void allocate();
  // allocate(), then SQLDriverConnectW, expected to succeed.
  void connect();
  // connect(), then SQLAllocStmt.
  void allocateStatement();
  // allocateStatement(), then SQLExecDirectW of a SELECT.
  void openStatement();
  // Drops the statement (if any), disconnects and frees the connection and environment.
  void freeAll();

  // The pending records of the statement, else of the connection, else of the environment.
  std::vector<fakeodbc::Diag> errors() { return readErrors(env, dbc, stmt); }
  // Whether rc is SQL_ERROR and the first of errors() has this state.
  ::testing::AssertionResult failed(SQLRETURN rc, const std::string& state);
  // The states of errors(), each followed by a blank.
  std::string states();

  // SQLDriverConnectW of `in` on the connection, the completed string to `out`.
  SQLRETURN driverConnect(const char16_t* in, SQLWCHAR* out = nullptr, SQLSMALLINT capacity = 0,
                          SQLSMALLINT* length = nullptr,
                          SQLUSMALLINT completion = SQL_DRIVER_NOPROMPT) {
    return SQLDriverConnectW(dbc, nullptr, w(in), SQL_NTS, out, capacity, length, completion);
  }

  // SQLDescribeColW of a column of the statement, the name in a buffer of `capacity`
  // characters.
  struct Description {
    SQLRETURN rc = SQL_ERROR;
    fakeodbc::Column column;
    SQLSMALLINT nameLength = -1;
  };
  Description describe(SQLUSMALLINT column, SQLSMALLINT capacity = 32);

  // Column 1 of the current row read whole as SQL_C_WCHAR; "<null>" for NULL.
  std::u16string readColumn1();

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

// Failure messages show records and columns by their fields.
namespace fakeodbc {
void PrintTo(const Diag& diag, std::ostream* out);
void PrintTo(const Column& column, std::ostream* out);
}  // namespace fakeodbc
