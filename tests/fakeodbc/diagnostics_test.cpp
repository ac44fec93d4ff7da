// SQLErrorW: which handle's records it reads, one per call and consumed, cut messages,
// scripted answers, and the clearing of records by the next call on a handle.
#include "test_support.h"

using namespace fakeodbc_test;

namespace {

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
    std::string shown = fakeodbc::returnCodeName(rc) + ", ";
    for (const SQLWCHAR* c = state; *c != 0; ++c) shown += static_cast<char>(*c);
    shown += ", " + std::to_string(native) + ", ";
    for (const SQLWCHAR* c = message; *c != 0; ++c) shown += static_cast<char>(*c);
    return shown + ", " + std::to_string(length);
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
  SQLWCHAR state[6];
  SQLWCHAR message[16];
  ASSERT_EQ(SQLErrorW(env, dbc, stmt, state, nullptr, message, 16, nullptr), SQL_SUCCESS);
  EXPECT_EQ(text(state), u"00000");
  EXPECT_EQ(fakeodbc::pendingDiags(stmt).at(0).message, u"after");
}

TEST_F(DiagnosticsTest, SQLErrorWItselfCanAnswerErrorOrInvalidHandleWithoutConsuming) {
  openStatement();
  SQLSMALLINT columns = 0;
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::fail(SQL_ERROR, {{"S1000", 0, u"kept"}}));
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_ERROR);
  fakeodbc::answer(Fn::SQLErrorW, 1, Answer::fail(SQL_ERROR));
  fakeodbc::answer(Fn::SQLErrorW, 2, Answer::fail(SQL_INVALID_HANDLE));
  SQLWCHAR state[6];
  EXPECT_EQ(SQLErrorW(env, dbc, stmt, state, nullptr, nullptr, 0, nullptr), SQL_ERROR);
  EXPECT_EQ(SQLErrorW(env, dbc, stmt, state, nullptr, nullptr, 0, nullptr), SQL_INVALID_HANDLE);
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
