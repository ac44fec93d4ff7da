// What a test observes: the call log, the handle balance and fault injection by call index,
// over the whole ODBC sequence of the brand listing; and the records SQLErrorW hands out: which
// handle's records it reads, one per call and consumed, cut messages, scripted answers, and the
// clearing of records by the next call on a handle.
#include <array>

#include "test_support.h"

using namespace fakeodbc_test;

namespace {

// What one run of the access layer's ODBC sequence saw.
struct RoadResult {
  std::vector<Diag> errors;            // records read after failed calls
  std::vector<std::u16string> values;  // column 1 of each row read
  bool completed = false;              // no unexpected failure
};

// Runs the ODBC calls the brand listing makes (connect, capability queries, statement setup,
// prepare, execute, describe, three rows read, free everything). After an unexpected failure it
// reads the diagnostics, skips the rest and frees what it allocated.
class Road {
 public:
  RoadResult run() {
    if (!SQL_SUCCEEDED(SQLAllocEnv(&env_))) return result_;
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
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return true;
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

class CallLogTest : public FakeOdbcTest {};

const std::vector<std::string> roadLines = {
    "SQLAllocEnv(&env#1) -> SQL_SUCCESS",
    "SQLAllocConnect(env#1, &dbc#1) -> SQL_SUCCESS",
    "SQLSetConnectOptionW(dbc#1, SQL_LOGIN_TIMEOUT, 15) -> SQL_SUCCESS",
    "SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS, 1) -> SQL_SUCCESS",
    "SQLDriverConnectW(dbc#1, hwnd, \"DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';"
    "DBQ=../../bd2.mdb\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_ODBC_API_CONFORMANCE, 2) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_ODBC_SQL_CONFORMANCE, 2) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_POS_OPERATIONS, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_POSITIONED_STATEMENTS, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_TXN_CAPABLE, 2) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_CURSOR_COMMIT_BEHAVIOR, 2) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_CURSOR_ROLLBACK_BEHAVIOR, 2) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_BOOKMARK_PERSISTENCE, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_GETDATA_EXTENSIONS, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_DATA_SOURCE_READ_ONLY, 20) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_IDENTIFIER_QUOTE_CHAR, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_DBMS_NAME, 128) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_DBMS_VER, 128) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_ODBC_VER, 128) -> SQL_SUCCESS",
    "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS",
    "SQLNumResultCols(stmt#1) -> SQL_ERROR",
    "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS",
    "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA",
    "SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS",
    "SQLGetFunctions(dbc#1, SQL_API_SQLEXTENDEDFETCH) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_ODBC_VER, 60) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_SCROLL_OPTIONS, 4) -> SQL_SUCCESS",
    "SQLGetInfoW(dbc#1, SQL_SCROLL_CONCURRENCY, 4) -> SQL_SUCCESS",
    "SQLSetStmtOption(stmt#1, SQL_CURSOR_TYPE, 3) -> SQL_SUCCESS",
    "SQLSetStmtOption(stmt#1, SQL_CONCURRENCY, 2) -> SQL_SUCCESS",
    "SQLPrepareW(stmt#1, \"SELECT marque FROM avion \", SQL_NTS) -> SQL_SUCCESS",
    "SQLExecute(stmt#1) -> SQL_SUCCESS",
    "SQLNumResultCols(stmt#1) -> SQL_SUCCESS",
    "SQLDescribeColW(stmt#1, 1, 256) -> SQL_SUCCESS",
    "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS",
    "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS",
    "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS",
    "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS",
    "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS",
    "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS",
    "SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
    "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
    "SQLFreeConnect(dbc#1) -> SQL_SUCCESS",
    "SQLFreeEnv(env#1) -> SQL_SUCCESS",
};

TEST_F(CallLogTest, HealthyRunIsLoggedCallByCallAndBalanced) {
  const RoadResult road = Road().run();

  EXPECT_TRUE(road.completed);
  EXPECT_TRUE(road.errors.empty());
  EXPECT_EQ(road.values, (std::vector<std::u16string>{u"Airbus", u"Boeing", u"Cessna"}));
  EXPECT_EQ(fakeodbc::callLines(), roadLines);
  EXPECT_EQ(fakeodbc::callCount(), roadLines.size());

  const auto calls = fakeodbc::calls();
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].index, i + 1);
  EXPECT_EQ(calls.front().fn, Fn::SQLAllocEnv);
  EXPECT_EQ(fakeodbc::callNames().back(), "SQLFreeEnv");

  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_TRUE(balance.balanced()) << balance.text();
  EXPECT_EQ(balance.text(),
            "env allocated=1 freed=1 live=0\n"
            "dbc allocated=1 freed=1 live=0\n"
            "stmt allocated=1 freed=1 live=0 released-by-disconnect=0\n"
            "invalid-handle-uses=0\n"
            "live: -\n");
}

TEST_F(CallLogTest, ClearLogForgetsLinesButKeepsCountingAndHandles) {
  connect();
  fakeodbc::clearLog();
  EXPECT_TRUE(fakeodbc::callLines().empty());
  EXPECT_EQ(fakeodbc::callCount(), 3u);

  SQLHSTMT statement = SQL_NULL_HSTMT;
  ASSERT_EQ(SQLAllocStmt(dbc, &statement), SQL_SUCCESS);
  const auto calls = fakeodbc::calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].index, 4u);
  EXPECT_EQ(calls[0].line(), "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS");
  EXPECT_EQ(SQLFreeStmt(statement, SQL_DROP), SQL_SUCCESS);
}

TEST_F(CallLogTest, StatementTextsAreLoggedAsQuotedUtf8) {
  allocateStatement();
  ASSERT_EQ(SQLPrepareW(stmt, w(u"SELECT \"Zoë\" FROM t\n"), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLPrepareW(stmt, w(u"SELECT 1 FROM t"), 8), SQL_SUCCESS);
  const auto lines = fakeodbc::callLines();
  EXPECT_EQ(lines[lines.size() - 2],
            "SQLPrepareW(stmt#1, \"SELECT \\\"Zo\xC3\xAB\\\" FROM t\\n\", SQL_NTS) -> SQL_SUCCESS");
  EXPECT_EQ(lines.back(), "SQLPrepareW(stmt#1, \"SELECT 1\", 8) -> SQL_SUCCESS");
}

TEST_F(CallLogTest, FreedAndUnknownHandlesAnswerInvalidHandleAndAreCounted) {
  openStatement();
  SQLHSTMT dropped = stmt;
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
  stmt = SQL_NULL_HSTMT;
  fakeodbc::clearLog();

  EXPECT_EQ(SQLExecute(dropped), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLFetch(reinterpret_cast<SQLHSTMT>(0x1234)), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLNumResultCols(SQL_NULL_HSTMT, nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLExecute(dbc), SQL_INVALID_HANDLE);  // a connection is not a statement

  EXPECT_EQ(fakeodbc::logText(), R"(SQLExecute(stmt#1) -> SQL_INVALID_HANDLE
SQLFetch(unknown) -> SQL_INVALID_HANDLE
SQLNumResultCols(NULL) -> SQL_INVALID_HANDLE
SQLExecute(dbc#1) -> SQL_INVALID_HANDLE
)");

  freeAll();
  const auto balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.invalidHandleUses, 4);
  EXPECT_FALSE(balance.balanced());
  EXPECT_EQ(balance.stmt.freed, 1);
}

TEST_F(CallLogTest, StatementsLeftToDisconnectAreReportedAndUnbalanced) {
  openStatement();
  SQLHSTMT second = SQL_NULL_HSTMT;
  ASSERT_EQ(SQLAllocStmt(dbc, &second), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeStmt(second, SQL_DROP), SQL_SUCCESS);

  auto balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.liveHandles, (std::vector<std::string>{"env#1", "dbc#1", "stmt#1"}));

  ASSERT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);  // stmt#1 still allocated
  ASSERT_EQ(SQLFreeConnect(dbc), SQL_SUCCESS);
  ASSERT_EQ(SQLFreeEnv(env), SQL_SUCCESS);

  balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.stmt.allocated, 2);
  EXPECT_EQ(balance.stmt.freed, 1);
  EXPECT_EQ(balance.stmt.live, 0);
  EXPECT_EQ(balance.stmtsReleasedByDisconnect, 1);
  EXPECT_FALSE(balance.balanced());
  EXPECT_EQ(SQLExecute(stmt), SQL_INVALID_HANDLE);
  env = dbc = stmt = SQL_NULL_HANDLE;
}

TEST_F(CallLogTest, FreeingInTheWrongOrderIsRefusedLikeTheDriverManager) {
  connect();
  EXPECT_EQ(SQLFreeEnv(env), SQL_ERROR);  // a connection is still allocated
  EXPECT_EQ(readErrors(env, SQL_NULL_HDBC, SQL_NULL_HSTMT).at(0).state, "S1010");
  EXPECT_EQ(SQLFreeConnect(dbc), SQL_ERROR);  // still connected
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "S1010");
  EXPECT_EQ(fakeodbc::handleBalance().liveHandles, (std::vector<std::string>{"env#1", "dbc#1"}));
  freeAll();
  EXPECT_TRUE(fakeodbc::handleBalance().balanced());
}

// Every call of the run fails once, in turn (the parameter is its index); the run before it is
// unchanged, the failing call does none of its work, its record reaches whoever reads the
// diagnostics, and the cleanup never touches a handle that a failed allocation did not hand out.
class FailingCallTest : public FakeOdbcTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(FailingCallTest, EveryCallOfTheRunCanFailOnceByItsIndex) {
  const std::size_t k = GetParam();
  Road().run();
  const auto baseline = fakeodbc::calls();
  ASSERT_EQ(baseline.size(), roadLines.size());
  SCOPED_TRACE("failing call " + baseline[k - 1].line());
  fakeodbc::reset();
  const Diag injected{"S1000", 77, u"[FakeODBC][Driver]Injected failure"};
  fakeodbc::failCall(k, SQL_ERROR, injected);

  const RoadResult road = Road().run();
  const auto calls = fakeodbc::calls();

  ASSERT_GE(calls.size(), k);
  for (std::size_t i = 0; i + 1 < k; ++i) EXPECT_EQ(calls[i].line(), baseline[i].line());
  const Fn failed = baseline[k - 1].fn;
  EXPECT_EQ(calls[k - 1].fn, failed);
  EXPECT_EQ(calls[k - 1].rc, SQL_ERROR);
  if (failed == Fn::SQLAllocEnv || failed == Fn::SQLAllocConnect || failed == Fn::SQLAllocStmt) {
    EXPECT_TRUE(calls[k - 1].args.ends_with("&NULL")) << calls[k - 1].args;
  } else {
    EXPECT_EQ(calls[k - 1].args, baseline[k - 1].args);
  }

  if (calls.size() > k && calls[k].fn == Fn::SQLErrorW && failed != Fn::SQLErrorW) {
    ASSERT_FALSE(road.errors.empty());
    EXPECT_EQ(road.errors.front(), injected);
  }

  const auto balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.invalidHandleUses, 0);
  // A statement left by a failed SQLFreeStmt goes with SQLDisconnect. A connection still
  // connected or still allocated makes the frees after it be refused.
  EXPECT_EQ(balance.stmtsReleasedByDisconnect, failed == Fn::SQLFreeStmt ? 1 : 0);
  using Names = std::vector<std::string>;
  EXPECT_EQ(balance.liveHandles,
            (failed == Fn::SQLDisconnect || failed == Fn::SQLFreeConnect ? Names{"env#1", "dbc#1"}
             : failed == Fn::SQLFreeEnv                                  ? Names{"env#1"}
                                                                         : Names{}))
      << balance.text();
}

INSTANTIATE_TEST_SUITE_P(CallLog, FailingCallTest,
                         ::testing::Range<std::size_t>(1, roadLines.size() + 1),
                         [](const auto& info) { return "Call" + std::to_string(info.param); });

TEST_F(CallLogTest, AnInjectedFailureHappensOnlyOnce) {
  openStatement();
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
  ASSERT_EQ(SQLPrepareW(stmt, w(u"SELECT 1"), SQL_NTS), SQL_SUCCESS);
  fakeodbc::failCall(fakeodbc::callCount() + 1, SQL_ERROR);

  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(errors(), (std::vector<Diag>{{"S1000", 0, fakeodbc::messages::injectedFailure}}));
  EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS);  // the failed call did not open the cursor
}

TEST_F(CallLogTest, AFailedAllocationHandsOutANullHandle) {
  fakeodbc::answer(Fn::SQLAllocEnv, 1, Answer::fail(SQL_ERROR));
  SQLHENV environment = reinterpret_cast<SQLHENV>(0x1);
  EXPECT_EQ(SQLAllocEnv(&environment), SQL_ERROR);
  EXPECT_EQ(environment, nullptr);
  EXPECT_EQ(fakeodbc::callLines().back(), "SQLAllocEnv(&NULL) -> SQL_ERROR");
  EXPECT_EQ(fakeodbc::handleBalance().env.allocated, 0);
}

class DiagnosticsTest : public FakeOdbcTest {
 protected:
  // Opens a statement whose first fetch fails with these records.
  void failFetchWith(std::vector<Diag> records) {
    openStatement();
    fakeodbc::answer(Fn::SQLFetch, 1, Answer::fail(SQL_ERROR, std::move(records)));
    ASSERT_EQ(SQLFetch(stmt), SQL_ERROR);
  }

  // One SQLErrorW on the statement, the message in a buffer of `capacity` characters, as
  // "return code, state, native error, message, length".
  std::string nextRecord(SQLSMALLINT capacity) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[64] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLErrorW(env, dbc, stmt, state, &native, message, capacity, &length);
    return fakeodbc::returnCodeName(rc) + ", " + ascii(state) + ", " + std::to_string(native) +
           ", " + ascii(message) + ", " + std::to_string(length);
  }
};

TEST_F(DiagnosticsTest, RecordsAreHandedOutOneByOneInOrderAndConsumed) {
  failFetchWith({{"S1000", 5, u"[A][B] First"}, {"01004", -1, u"Second"}});
  EXPECT_EQ(fakeodbc::pendingDiags(stmt).size(), 2u);

  EXPECT_EQ(nextRecord(64), "SQL_SUCCESS, S1000, 5, [A][B] First, 12");
  EXPECT_EQ(nextRecord(64), "SQL_SUCCESS, 01004, -1, Second, 6");
  EXPECT_EQ(nextRecord(64), "SQL_NO_DATA, , 0, , 0");
  EXPECT_TRUE(fakeodbc::pendingDiags(stmt).empty());
}

TEST_F(DiagnosticsTest, StatementRecordsComeFirstThenConnectionThenEnvironment) {
  openStatement();
  fakeodbc::answer(Fn::SQLFreeEnv, 1, Answer::fail(SQL_ERROR, {{"E0001", 0, u"env"}}));
  fakeodbc::answer(Fn::SQLGetInfoW, 1, Answer::fail(SQL_ERROR, {{"D0001", 0, u"dbc"}}));
  fakeodbc::answer(Fn::SQLExecute, 1, Answer::fail(SQL_ERROR, {{"S0001", 0, u"stmt"}}));
  SQLFreeEnv(env);
  SQLGetInfoW(dbc, SQL_DBMS_NAME, nullptr, 0, nullptr);
  SQLExecute(stmt);

  EXPECT_EQ(errors().at(0).message, u"stmt");
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).message, u"dbc");
  EXPECT_EQ(readErrors(env, SQL_NULL_HDBC, SQL_NULL_HSTMT).at(0).message, u"env");
  EXPECT_TRUE(readErrors(env, dbc, SQL_NULL_HSTMT).empty());

  SQLWCHAR state[6];
  EXPECT_EQ(
      SQLErrorW(SQL_NULL_HENV, SQL_NULL_HDBC, SQL_NULL_HSTMT, state, nullptr, nullptr, 0, nullptr),
      SQL_INVALID_HANDLE);
}

TEST_F(DiagnosticsTest, EveryOtherCallClearsItsHandlesRecordsFirst) {
  openStatement();
  SQLSMALLINT columns = 0;
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::fail(SQL_ERROR, {{"S1000", 0, u"old"}}));
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_TRUE(errors().empty());

  // A call on another handle leaves them alone.
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::fail(SQL_ERROR, {{"S1000", 0, u"kept"}}));
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  SQLUSMALLINT supported = 0;
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_SQLFETCH, &supported), SQL_SUCCESS);
  EXPECT_EQ(errors().at(0).message, u"kept");
}

TEST_F(DiagnosticsTest, LongMessageIsCutToCapacityMinusOneWithWarningAndConsumed) {
  failFetchWith({{"S1000", 0, u"0123456789"}, {"S1001", 0, u"next"}});
  EXPECT_EQ(nextRecord(5), "SQL_SUCCESS_WITH_INFO, S1000, 0, 0123, 10");
  // Room for three characters and the terminator.
  EXPECT_EQ(nextRecord(4), "SQL_SUCCESS_WITH_INFO, S1001, 0, nex, 4");
  EXPECT_EQ(nextRecord(4), "SQL_NO_DATA, , 0, , 0");
}

TEST_F(DiagnosticsTest, MessageOfExactlyCapacityMinusOneFitsWithoutWarning) {
  failFetchWith({{"S1000", 0, u"abcd"}});
  SQLWCHAR message[8];
  EXPECT_EQ(SQLErrorW(env, dbc, stmt, nullptr, nullptr, message, 5, nullptr), SQL_SUCCESS);
  EXPECT_EQ(text(message), u"abcd");
}

TEST_F(DiagnosticsTest, AStateOf00000CanBeInjectedAsAnyRecord) {
  failFetchWith({{"00000", 0, u"nothing"}, {"S1000", 0, u"after"}});
  EXPECT_EQ(nextRecord(16), "SQL_SUCCESS, 00000, 0, nothing, 7");
  EXPECT_EQ(fakeodbc::pendingDiags(stmt).at(0).message, u"after");
}

TEST_F(DiagnosticsTest, SQLErrorWItselfCanAnswerErrorOrInvalidHandleWithoutConsuming) {
  openStatement();
  SQLSMALLINT columns = 0;
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::fail(SQL_ERROR, {{"S1000", 0, u"kept"}}));
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  fakeodbc::answer(Fn::SQLErrorW, 1, Answer::fail(SQL_ERROR));
  fakeodbc::answer(Fn::SQLErrorW, 2, Answer::fail(SQL_INVALID_HANDLE));
  EXPECT_EQ(nextRecord(64), "SQL_ERROR, , 0, , 0");
  EXPECT_EQ(nextRecord(64), "SQL_INVALID_HANDLE, , 0, , 0");
  EXPECT_EQ(errors().at(0).message, u"kept");
}

TEST_F(DiagnosticsTest, ScriptedSQLErrorWHandsOutTheGivenRecord) {
  connect();
  fakeodbc::answer(Fn::SQLErrorW, 1, Answer::fail(SQL_SUCCESS, {{"00000", 0, u"[x]stop"}}));
  // The given record, then the connection has nothing left.
  EXPECT_EQ(errors(), (std::vector<Diag>{{"00000", 0, u"[x]stop"}}));
}

TEST_F(DiagnosticsTest, ScriptedRecordsAddToTheNormalOnesWhenNoReturnCodeIsGiven) {
  allocateStatement();
  fakeodbc::loadScript(
      "answer SQLNumResultCols 1 default diag 01000 0 \"[FakeODBC][Driver]General warning\"");
  SQLSMALLINT columns = 0;
  EXPECT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  EXPECT_EQ(states(), "S1010 01000 ");
}

}  // namespace
