#include "test_support.h"

#include <array>

namespace fakeodbc_test {

std::vector<fakeodbc::Diag> readErrors(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  std::vector<fakeodbc::Diag> records;
  for (;;) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[512] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLErrorW(env, dbc, stmt, state, &native, message, 511, &length);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    std::string narrowState;
    for (const SQLWCHAR* c = state; *c != 0; ++c) narrowState += static_cast<char>(*c);
    records.push_back({narrowState, native, text(message)});
    if (records.size() > 100) break;  // a fake that never runs dry must not hang the test
  }
  return records;
}

void FakeOdbcTest::allocate() {
  ASSERT_EQ(SQLAllocEnv(&env), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocConnect(env, &dbc), SQL_SUCCESS);
}

void FakeOdbcTest::connect() {
  allocate();
  ASSERT_EQ(driverConnect(u"DRIVER={Fake};DBQ=x.mdb"), SQL_SUCCESS);
}

void FakeOdbcTest::allocateStatement() {
  connect();
  ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
}

void FakeOdbcTest::openStatement() {
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT marque FROM avion"), SQL_NTS), SQL_SUCCESS);
}

void FakeOdbcTest::freeAll() {
  if (stmt != SQL_NULL_HSTMT) {
    EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
  }
  EXPECT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeConnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
  stmt = SQL_NULL_HSTMT;
  dbc = SQL_NULL_HDBC;
  env = SQL_NULL_HENV;
}

::testing::AssertionResult FakeOdbcTest::failed(SQLRETURN rc, const std::string& state) {
  const auto records = errors();
  const std::string first = records.empty() ? "(none)" : records[0].state;
  if (rc == SQL_ERROR && first == state) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fakeodbc::returnCodeName(rc) << ", first record " << first
                                       << ", expected SQL_ERROR and " << state;
}

std::string FakeOdbcTest::states() {
  std::string text;
  for (const fakeodbc::Diag& record : errors()) text += record.state + " ";
  return text;
}

FakeOdbcTest::Description FakeOdbcTest::describe(SQLUSMALLINT column, SQLSMALLINT capacity) {
  Description described;
  std::vector<SQLWCHAR> name(static_cast<std::size_t>(capacity) + 1, 0);
  fakeodbc::Column& out = described.column;
  described.rc = SQLDescribeColW(stmt, column, name.data(), capacity, &described.nameLength,
                                 &out.sqlType, &out.size, &out.decimalDigits, &out.nullable);
  out.name = text(name.data());
  return described;
}

std::u16string FakeOdbcTest::readColumn1() {
  SQLWCHAR value[64] = {};
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);
  if (length == SQL_NULL_DATA) return u"<null>";
  EXPECT_EQ(static_cast<std::size_t>(length), text(value).size() * 2);
  return text(value);
}

namespace {

bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

class Road {
 public:
  RoadResult run() {
    if (!succeeded(SQLAllocEnv(&env_))) return result_;
    if (check(SQLAllocConnect(env_, &dbc_))) {
      connectAndRead();
      if (connected_) SQLDisconnect(dbc_);
      SQLFreeConnect(dbc_);
    }
    SQLFreeEnv(env_);
    return result_;
  }

 private:
  bool check(SQLRETURN rc, SQLHSTMT stmt = SQL_NULL_HSTMT) {
    if (succeeded(rc) || rc == SQL_NO_DATA) return true;
    for (auto& record : readErrors(env_, dbc_, stmt)) result_.errors.push_back(record);
    return false;
  }

  bool info(SQLUSMALLINT type, SQLSMALLINT bytes) {
    std::array<char, 256> buffer{};
    SQLSMALLINT length = 0;
    return check(SQLGetInfoW(dbc_, type, buffer.data(), bytes, &length));
  }

  void connectAndRead() {
    SQLSetConnectOptionW(dbc_, SQL_LOGIN_TIMEOUT, 15);
    SQLSetConnectOptionW(dbc_, SQL_ODBC_CURSORS, SQL_CUR_USE_ODBC);
    SQLWCHAR out[1024] = {};
    SQLSMALLINT outLength = 0;
    int desktop = 0;
    if (!check(SQLDriverConnectW(
            dbc_, &desktop, w(u"DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb"),
            SQL_NTS, out, 1024, &outLength, SQL_DRIVER_COMPLETE))) {
      return;
    }
    connected_ = true;
    if (!info(SQL_ODBC_API_CONFORMANCE, 2) || !info(SQL_ODBC_SQL_CONFORMANCE, 2)) return;
    // Capability queries never stop the road.
    for (const auto& [type, bytes] : std::initializer_list<std::pair<SQLUSMALLINT, SQLSMALLINT>>{
             {SQL_POS_OPERATIONS, 4}, {SQL_POSITIONED_STATEMENTS, 4}, {SQL_TXN_CAPABLE, 2},
             {SQL_CURSOR_COMMIT_BEHAVIOR, 2}, {SQL_CURSOR_ROLLBACK_BEHAVIOR, 2},
             {SQL_BOOKMARK_PERSISTENCE, 4}, {SQL_GETDATA_EXTENSIONS, 4},
             {SQL_DATA_SOURCE_READ_ONLY, 20}, {SQL_IDENTIFIER_QUOTE_CHAR, 4}, {SQL_DBMS_NAME, 128},
             {SQL_DBMS_VER, 128}, {SQL_ODBC_VER, 128}}) {
      info(type, bytes);
    }
    if (!check(SQLAllocStmt(dbc_, &stmt_))) return;
    statementRoad();
    SQLFreeStmt(stmt_, SQL_DROP);
  }

  void statementRoad() {
    SQLSMALLINT columns = 0;
    if (SQLNumResultCols(stmt_, &columns) == SQL_ERROR) {
      const auto records = readErrors(env_, dbc_, stmt_);
      // A statement that was never executed answers S1010; anything else is a failure.
      if (records.size() != 1 || records[0].state != "S1010") {
        result_.errors.insert(result_.errors.end(), records.begin(), records.end());
        return;
      }
    }
    SQLUSMALLINT supported = 0;
    SQLWCHAR name[257] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!check(SQLSetStmtOption(stmt_, SQL_QUERY_TIMEOUT, 15), stmt_) ||
        !check(SQLGetFunctions(dbc_, SQL_API_SQLEXTENDEDFETCH, &supported)) ||
        !info(SQL_ODBC_VER, 60) || !info(SQL_SCROLL_OPTIONS, 4) ||
        !info(SQL_SCROLL_CONCURRENCY, 4) ||
        !check(SQLSetStmtOption(stmt_, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), stmt_) ||
        !check(SQLSetStmtOption(stmt_, SQL_CONCURRENCY, SQL_CONCUR_LOCK), stmt_) ||
        !check(SQLPrepareW(stmt_, w(u"SELECT marque FROM avion "), SQL_NTS), stmt_) ||
        !check(SQLExecute(stmt_), stmt_) || !check(SQLNumResultCols(stmt_, &columns), stmt_) ||
        !check(SQLDescribeColW(stmt_, 1, name, 256, &nameLength, &type, &size, &digits,
                               &nullable),
               stmt_)) {
      return;
    }
    SQLULEN fetched = 0;
    SQLUSMALLINT status[1] = {};
    for (int row = 0; row < 3; ++row) {
      SQLWCHAR value[51] = {};
      SQLLEN length = 0;
      if (!check(SQLExtendedFetch(stmt_, SQL_FETCH_NEXT, 1, &fetched, status), stmt_) ||
          !check(SQLGetData(stmt_, 1, SQL_C_WCHAR, value, sizeof value, &length), stmt_)) {
        return;
      }
      result_.values.push_back(text(value));
    }
    result_.completed = true;
  }

  RoadResult result_;
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  bool connected_ = false;
};

}  // namespace

RoadResult runRoad() { return Road().run(); }

}  // namespace fakeodbc_test

namespace fakeodbc {

void PrintTo(const Diag& diag, std::ostream* out) {
  *out << "{" << diag.state << ", " << diag.native << ", " << ::testing::PrintToString(diag.message)
       << "}";
}

void PrintTo(const Column& column, std::ostream* out) {
  *out << "{" << ::testing::PrintToString(column.name) << ", type " << column.sqlType << ", size "
       << column.size << ", digits " << column.decimalDigits << ", nullable " << column.nullable
       << "}";
}

}  // namespace fakeodbc
