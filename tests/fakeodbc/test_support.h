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

// An ASCII text of a buffer (SQLSTATEs, plain messages), character by character.
inline std::string ascii(const SQLWCHAR* buffer) {
  const std::u16string wide = text(buffer);
  return std::string(wide.begin(), wide.end());
}

// Every pending record of the given handles, read with SQLErrorW until it stops answering
// SQL_SUCCESS / SQL_SUCCESS_WITH_INFO.
inline std::vector<Diag> readErrors(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  std::vector<Diag> records;
  for (;;) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLErrorW(env, dbc, stmt, state, &native, message, 511, &length);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    records.push_back({ascii(state), native, text(message)});
    if (records.size() > 100) break;  // a fake that never runs dry must not hang the test
  }
  return records;
}

// Names a parameterised case after the `name` of its row.
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

// Resets the fake before and after every test, and frees what a test leaves allocated. The
// steps up to an open statement are expected to succeed.
class FakeOdbcTest : public ::testing::Test {
 protected:
  void SetUp() override { fakeodbc::reset(); }
  void TearDown() override {
    if (env != SQL_NULL_HENV) freeAll();
    fakeodbc::reset();
  }

  void allocate() {
    ASSERT_EQ(SQLAllocEnv(&env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocConnect(env, &dbc), SQL_SUCCESS);
  }
  void connect() {
    allocate();
    ASSERT_EQ(driverConnect(u"DRIVER={Fake};DBQ=x.mdb"), SQL_SUCCESS);
  }
  void allocateStatement() {
    connect();
    ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
  }
  void openStatement() {
    allocateStatement();
    ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT marque FROM avion"), SQL_NTS), SQL_SUCCESS);
  }
  // Drops the statement (if any), disconnects (unless not connected) and frees the connection
  // and environment.
  void freeAll(bool connected = true) {
    if (stmt != SQL_NULL_HSTMT) {
      EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
    }
    if (connected) {
      EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
    }
    EXPECT_EQ(SQLFreeConnect(dbc), SQL_SUCCESS);
    EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
    stmt = SQL_NULL_HSTMT;
    dbc = SQL_NULL_HDBC;
    env = SQL_NULL_HENV;
  }

  // The pending records of the statement, else of the connection, else of the environment.
  std::vector<Diag> errors() { return readErrors(env, dbc, stmt); }
  // Whether rc is SQL_ERROR and the first of errors() has this state.
  ::testing::AssertionResult failed(SQLRETURN rc, const std::string& state) {
    const auto records = errors();
    const std::string first = records.empty() ? "(none)" : records[0].state;
    if (rc == SQL_ERROR && first == state) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << fakeodbc::returnCodeName(rc) << ", first record "
                                         << first << ", expected SQL_ERROR and " << state;
  }
  // The states of errors(), each followed by a blank.
  std::string states() {
    std::string text;
    for (const Diag& record : errors()) text += record.state + " ";
    return text;
  }

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
    Column column;
    SQLSMALLINT nameLength = -1;
  };
  Description describe(SQLUSMALLINT column, SQLSMALLINT capacity = 32) {
    Description described;
    std::vector<SQLWCHAR> name(static_cast<std::size_t>(capacity) + 1, 0);
    Column& out = described.column;
    described.rc = SQLDescribeColW(stmt, column, name.data(), capacity, &described.nameLength,
                                   &out.sqlType, &out.size, &out.decimalDigits, &out.nullable);
    out.name = text(name.data());
    return described;
  }

  // Column 1 of the current row read whole as SQL_C_WCHAR; "<null>" for NULL.
  std::u16string readColumn1() {
    SQLWCHAR value[64] = {};
    SQLLEN length = 0;
    EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);
    if (length == SQL_NULL_DATA) return u"<null>";
    EXPECT_EQ(static_cast<std::size_t>(length), text(value).size() * 2);
    return text(value);
  }

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

}  // namespace fakeodbc_test

// Failure messages show records and columns by their fields.
namespace fakeodbc {
inline void PrintTo(const Diag& diag, std::ostream* out) {
  *out << "{" << diag.state << ", " << diag.native << ", " << ::testing::PrintToString(diag.message)
       << "}";
}
inline void PrintTo(const Column& column, std::ostream* out) {
  *out << "{" << ::testing::PrintToString(column.name) << ", type " << column.sqlType << ", size "
       << column.size << ", digits " << column.decimalDigits << ", nullable " << column.nullable
       << "}";
}
}  // namespace fakeodbc
