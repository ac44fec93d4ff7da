// Environment and connection: connecting, connection options, information queries and
// supported functions.
#include <cstring>

#include "test_support.h"

using namespace fakeodbc_test;
using fakeodbc::Fn;
using fakeodbc::InfoValue;

namespace {

class ConnectionTest : public FakeOdbcTest {
 protected:
  void allocate() {
    ASSERT_EQ(SQLAllocEnv(&env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocConnect(env, &dbc), SQL_SUCCESS);
  }
};

TEST_F(ConnectionTest, DriverConnectReturnsTheInputAsCompletedStringByDefault) {
  allocate();
  SQLWCHAR out[64];
  SQLSMALLINT length = 0;
  ASSERT_EQ(SQLDriverConnectW(dbc, nullptr, w(u"DRIVER={X};DBQ=a.mdb"), SQL_NTS, out, 64, &length,
                              SQL_DRIVER_COMPLETE),
            SQL_SUCCESS);
  EXPECT_EQ(text(out), u"DRIVER={X};DBQ=a.mdb");
  EXPECT_EQ(length, 20);
  freeAll();
}

TEST_F(ConnectionTest, CompletedStringIsConfigurableAndCutToTheBufferWithWarning) {
  fakeodbc::setCompletedConnectString(u"DRIVER={Fake};DBQ=/data/bd2.mdb;UID=admin");
  allocate();
  SQLWCHAR out[10];
  std::memset(out, 0xAB, sizeof out);
  SQLSMALLINT length = 0;
  ASSERT_EQ(SQLDriverConnectW(dbc, nullptr, w(u"DSN=x"), 5, out, 10, &length, SQL_DRIVER_NOPROMPT),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(text(out), u"DRIVER={F");  // 9 characters and the terminator
  EXPECT_EQ(length, 41);
  const auto records = readErrors(env, dbc, SQL_NULL_HSTMT);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "01004");
  freeAll();
}

TEST_F(ConnectionTest, SecondConnectIsRefusedAsConnectionInUse) {
  connect();
  EXPECT_EQ(SQLDriverConnectW(dbc, nullptr, w(u"DSN=y"), SQL_NTS, nullptr, 0, nullptr,
                              SQL_DRIVER_NOPROMPT),
            SQL_ERROR);
  const auto records = readErrors(env, dbc, SQL_NULL_HSTMT);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "08002");
  EXPECT_EQ(records[0].message, fakeodbc::messages::connectionInUse);
  freeAll();
}

TEST_F(ConnectionTest, ScriptedConnectCanBeCancelledByTheUser) {
  allocate();
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, fakeodbc::Answer::fail(SQL_NO_DATA));
  EXPECT_EQ(
      SQLDriverConnectW(dbc, nullptr, w(u"DSN=x"), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_PROMPT),
      SQL_NO_DATA);
  // No work was done: the connection is not open.
  SQLSMALLINT level = 0;
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, nullptr), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "08003");
  EXPECT_EQ(SQLDisconnect(dbc), SQL_ERROR);
  EXPECT_EQ(SQLFreeConnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
}

TEST_F(ConnectionTest, ConnectionOptionsAreRememberedAndCursorLibraryOnlyBeforeConnecting) {
  allocate();
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_LOGIN_TIMEOUT, 15), SQL_SUCCESS);
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_ODBC_CURSORS, SQL_CUR_USE_ODBC), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_LOGIN_TIMEOUT), 15u);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ODBC_CURSORS), SQL_CUR_USE_ODBC);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ACCESS_MODE), std::nullopt);
  EXPECT_EQ(SQLSetConnectOptionW(dbc, 999, 1), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "S1092");

  ASSERT_EQ(SQLDriverConnectW(dbc, nullptr, w(u"DSN=x"), SQL_NTS, nullptr, 0, nullptr,
                              SQL_DRIVER_NOPROMPT),
            SQL_SUCCESS);
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_ODBC_CURSORS, SQL_CUR_USE_DRIVER), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "S1011");
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ACCESS_MODE), SQL_MODE_READ_ONLY);
  freeAll();
}

TEST_F(ConnectionTest, StatementOptionsSetOnTheConnectionBecomeStatementDefaults) {
  connect();
  ASSERT_EQ(SQLSetConnectOptionW(dbc, SQL_QUERY_TIMEOUT, 30), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::statementOption(stmt, SQL_QUERY_TIMEOUT), 30u);
  freeAll();
}

TEST_F(ConnectionTest, HealthyInformationAnswersHaveTheirWidthAndLength) {
  connect();
  struct Expected {
    SQLUSMALLINT type;
    int width;
    std::uint32_t value;
  };
  const Expected numbers[] = {
      {SQL_ODBC_API_CONFORMANCE, 2, SQL_OAC_LEVEL1},
      {SQL_ODBC_SQL_CONFORMANCE, 2, SQL_OSC_CORE},
      {SQL_TXN_CAPABLE, 2, SQL_TC_ALL},
      {SQL_CURSOR_COMMIT_BEHAVIOR, 2, SQL_CB_PRESERVE},
      {SQL_CURSOR_ROLLBACK_BEHAVIOR, 2, SQL_CB_PRESERVE},
      {SQL_POS_OPERATIONS, 4,
       SQL_POS_POSITION | SQL_POS_REFRESH | SQL_POS_UPDATE | SQL_POS_DELETE | SQL_POS_ADD},
      {SQL_POSITIONED_STATEMENTS, 4, 0},
      {SQL_BOOKMARK_PERSISTENCE, 4, SQL_BP_SCROLL},
      {SQL_GETDATA_EXTENSIONS, 4, SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND},
      {SQL_SCROLL_OPTIONS, 4, SQL_SO_FORWARD_ONLY | SQL_SO_STATIC},
      {SQL_SCROLL_CONCURRENCY, 4, SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK},
      {SQL_LOCK_TYPES, 4, SQL_LCK_NO_CHANGE | SQL_LCK_EXCLUSIVE | SQL_LCK_UNLOCK},
  };
  for (const Expected& expected : numbers) {
    SCOPED_TRACE(expected.type);
    unsigned char buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    SQLSMALLINT length = -1;
    ASSERT_EQ(SQLGetInfoW(dbc, expected.type, buffer, 4, &length), SQL_SUCCESS);
    EXPECT_EQ(length, expected.width);
    std::uint32_t value = 0;
    if (expected.width == 2) {
      SQLUSMALLINT narrow = 0;
      std::memcpy(&narrow, buffer, 2);
      value = narrow;
      EXPECT_EQ(buffer[2], 0xEE);  // nothing written past the 16-bit value
    } else {
      std::memcpy(&value, buffer, 4);
    }
    EXPECT_EQ(value, expected.value);
  }

  const std::pair<SQLUSMALLINT, std::u16string> texts[] = {
      {SQL_DATA_SOURCE_READ_ONLY, u"N"}, {SQL_IDENTIFIER_QUOTE_CHAR, u"\""},
      {SQL_DBMS_NAME, u"FakeDB"},        {SQL_DBMS_VER, u"01.00.0000"},
      {SQL_ODBC_VER, u"03.80.0000"},
  };
  for (const auto& [type, expected] : texts) {
    SQLWCHAR buffer[64];
    SQLSMALLINT length = 0;
    ASSERT_EQ(SQLGetInfoW(dbc, type, buffer, sizeof buffer, &length), SQL_SUCCESS);
    EXPECT_EQ(text(buffer), expected);
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(expected.size() * 2));  // bytes
  }
  freeAll();
}

TEST_F(ConnectionTest, InformationTableIsSettableAndTextIsCutWithWarning) {
  fakeodbc::setInfo(SQL_DATA_SOURCE_READ_ONLY, InfoValue::string(u"Y"));
  fakeodbc::setInfo(SQL_DBMS_NAME, InfoValue::string(u"A rather long DBMS name"));
  fakeodbc::setInfo(SQL_ODBC_SQL_CONFORMANCE, InfoValue::int16(0xFFFF));
  fakeodbc::removeInfo(SQL_IDENTIFIER_QUOTE_CHAR);
  connect();

  SQLWCHAR buffer[10];
  SQLSMALLINT length = 0;
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_DATA_SOURCE_READ_ONLY, buffer, 20, &length), SQL_SUCCESS);
  EXPECT_EQ(text(buffer), u"Y");

  ASSERT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, buffer, 8, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(text(buffer), u"A r");  // 8 bytes: three characters and the terminator
  EXPECT_EQ(length, 46);
  auto records = readErrors(env, dbc, SQL_NULL_HSTMT);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "01004");

  SQLSMALLINT level = 0;
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_ODBC_SQL_CONFORMANCE, &level, 2, nullptr), SQL_SUCCESS);
  EXPECT_EQ(level, -1);

  EXPECT_EQ(SQLGetInfoW(dbc, SQL_IDENTIFIER_QUOTE_CHAR, buffer, 4, &length), SQL_ERROR);
  records = readErrors(env, dbc, SQL_NULL_HSTMT);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].state, "S1096");
  freeAll();
}

TEST_F(ConnectionTest, ScriptedInformationAnswerOverridesTheTableOnce) {
  connect();
  fakeodbc::Answer answer;
  answer.number = 0;
  fakeodbc::answer(Fn::SQLGetInfoW, 1, answer);
  SQLSMALLINT level = 7;
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, &length), SQL_SUCCESS);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, &length), SQL_SUCCESS);
  EXPECT_EQ(level, SQL_OAC_LEVEL1);
  freeAll();
}

TEST_F(ConnectionTest, GetFunctionsReportsTheSettableSet) {
  connect();
  SQLUSMALLINT supported = 99;
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &supported), SQL_SUCCESS);
  EXPECT_EQ(supported, SQL_TRUE);

  fakeodbc::setFunctionSupported(SQL_API_SQLEXTENDEDFETCH, false);
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &supported), SQL_SUCCESS);
  EXPECT_EQ(supported, SQL_FALSE);

  SQLUSMALLINT all[100] = {};
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_ALL_FUNCTIONS, all), SQL_SUCCESS);
  EXPECT_EQ(all[SQL_API_SQLEXTENDEDFETCH], SQL_FALSE);
  EXPECT_EQ(all[SQL_API_SQLGETDATA], SQL_TRUE);
  EXPECT_EQ(all[25], SQL_FALSE);  // no ODBC function has this number

  SQLUSMALLINT bitmap[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE] = {};
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_ODBC3_ALL_FUNCTIONS, bitmap), SQL_SUCCESS);
  EXPECT_EQ(SQL_FUNC_EXISTS(bitmap, SQL_API_SQLEXTENDEDFETCH), SQL_FALSE);
  EXPECT_EQ(SQL_FUNC_EXISTS(bitmap, SQL_API_SQLFETCHSCROLL), SQL_TRUE);
  EXPECT_EQ(SQL_FUNC_EXISTS(bitmap, SQL_API_SQLDESCRIBECOL), SQL_TRUE);
  freeAll();
}

TEST_F(ConnectionTest, ConnectionCallsNeedAnOpenConnection) {
  allocate();
  SQLHSTMT statement = SQL_NULL_HSTMT;
  EXPECT_EQ(SQLAllocStmt(dbc, &statement), SQL_ERROR);
  EXPECT_EQ(statement, nullptr);
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "08003");
  SQLUSMALLINT supported = 0;
  EXPECT_EQ(SQLGetFunctions(dbc, SQL_API_SQLFETCH, &supported), SQL_ERROR);
  EXPECT_EQ(readErrors(env, dbc, SQL_NULL_HSTMT).at(0).state, "S1010");
  EXPECT_EQ(SQLFreeConnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
  EXPECT_TRUE(fakeodbc::handleBalance().balanced());
}

TEST_F(ConnectionTest, SeveralEnvironmentsAndConnectionsAreNumberedInOrder) {
  SQLHENV firstEnv, secondEnv;
  SQLHDBC first, second;
  ASSERT_EQ(SQLAllocEnv(&firstEnv), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocEnv(&secondEnv), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocConnect(secondEnv, &first), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocConnect(secondEnv, &second), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::handleName(firstEnv), "env#1");
  EXPECT_EQ(fakeodbc::handleName(secondEnv), "env#2");
  EXPECT_EQ(fakeodbc::handleName(second), "dbc#2");
  EXPECT_NE(first, second);
  EXPECT_EQ(SQLFreeConnect(first), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(secondEnv), SQL_ERROR);  // dbc#2 still allocated
  EXPECT_EQ(SQLFreeConnect(second), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(secondEnv), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(firstEnv), SQL_SUCCESS);
  const auto balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.env.allocated, 2);
  EXPECT_EQ(balance.dbc.freed, 2);
  EXPECT_TRUE(balance.balanced());
}

}  // namespace
