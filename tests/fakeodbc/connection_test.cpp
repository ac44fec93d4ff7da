// Environment and connection: connecting, connection options, information queries and
// supported functions.
#include <cstring>

#include "test_support.h"

using namespace fakeodbc_test;

namespace {

class ConnectionTest : public FakeOdbcTest {};

TEST_F(ConnectionTest, DriverConnectReturnsTheInputAsCompletedStringByDefault) {
  allocate();
  SQLWCHAR out[64];
  SQLSMALLINT length = 0;
  ASSERT_EQ(driverConnect(u"DRIVER={X};DBQ=a.mdb", out, 64, &length, SQL_DRIVER_COMPLETE),
            SQL_SUCCESS);
  EXPECT_EQ(text(out), u"DRIVER={X};DBQ=a.mdb");
  EXPECT_EQ(length, 20);
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
  EXPECT_EQ(errors(), (std::vector<Diag>{{"01004", 0, fakeodbc::messages::stringTruncated}}));
}

TEST_F(ConnectionTest, SecondConnectIsRefusedAsConnectionInUse) {
  connect();
  EXPECT_EQ(driverConnect(u"DSN=y"), SQL_ERROR);
  EXPECT_EQ(errors(), (std::vector<Diag>{{"08002", 0, fakeodbc::messages::connectionInUse}}));
}

TEST_F(ConnectionTest, ScriptedConnectCanBeCancelledByTheUser) {
  allocate();
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_NO_DATA));
  EXPECT_EQ(driverConnect(u"DSN=x", nullptr, 0, nullptr, SQL_DRIVER_PROMPT), SQL_NO_DATA);
  // No work was done: the connection is not open.
  SQLSMALLINT level = 0;
  EXPECT_TRUE(failed(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, nullptr), "08003"));
  EXPECT_EQ(SQLDisconnect(dbc), SQL_ERROR);
  freeAll(false);
}

TEST_F(ConnectionTest, ConnectionOptionsAreRememberedAndCursorLibraryOnlyBeforeConnecting) {
  allocate();
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_LOGIN_TIMEOUT, 15), SQL_SUCCESS);
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_ODBC_CURSORS, SQL_CUR_USE_ODBC), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_LOGIN_TIMEOUT), 15u);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ODBC_CURSORS), SQL_CUR_USE_ODBC);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ACCESS_MODE), std::nullopt);
  EXPECT_TRUE(failed(SQLSetConnectOptionW(dbc, 999, 1), "S1092"));

  ASSERT_EQ(driverConnect(u"DSN=x"), SQL_SUCCESS);
  EXPECT_TRUE(failed(SQLSetConnectOptionW(dbc, SQL_ODBC_CURSORS, SQL_CUR_USE_DRIVER), "S1011"));
  EXPECT_EQ(SQLSetConnectOptionW(dbc, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::connectionOption(dbc, SQL_ACCESS_MODE), SQL_MODE_READ_ONLY);
}

TEST_F(ConnectionTest, StatementOptionsSetOnTheConnectionBecomeStatementDefaults) {
  connect();
  ASSERT_EQ(SQLSetConnectOptionW(dbc, SQL_QUERY_TIMEOUT, 30), SQL_SUCCESS);
  ASSERT_EQ(SQLAllocStmt(dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::statementOption(stmt, SQL_QUERY_TIMEOUT), 30u);
}

// A healthy driver's information answers: 16-bit and 32-bit numbers written in their width,
// texts with their length in bytes.
struct InfoCase {
  const char* name;
  SQLUSMALLINT type;
  int width;  // 2 or 4 for a number, 0 for a text
  std::uint32_t number;
  std::u16string text;
};

const InfoCase healthyInfoCases[] = {
    {"ApiConformance", SQL_ODBC_API_CONFORMANCE, 2, SQL_OAC_LEVEL1, u""},
    {"SqlConformance", SQL_ODBC_SQL_CONFORMANCE, 2, SQL_OSC_CORE, u""},
    {"TxnCapable", SQL_TXN_CAPABLE, 2, SQL_TC_ALL, u""},
    {"CursorCommitBehavior", SQL_CURSOR_COMMIT_BEHAVIOR, 2, SQL_CB_PRESERVE, u""},
    {"CursorRollbackBehavior", SQL_CURSOR_ROLLBACK_BEHAVIOR, 2, SQL_CB_PRESERVE, u""},
    {"PosOperations", SQL_POS_OPERATIONS, 4,
     SQL_POS_POSITION | SQL_POS_REFRESH | SQL_POS_UPDATE | SQL_POS_DELETE | SQL_POS_ADD, u""},
    {"PositionedStatements", SQL_POSITIONED_STATEMENTS, 4, 0, u""},
    {"BookmarkPersistence", SQL_BOOKMARK_PERSISTENCE, 4, SQL_BP_SCROLL, u""},
    {"GetDataExtensions", SQL_GETDATA_EXTENSIONS, 4,
     SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND, u""},
    {"ScrollOptions", SQL_SCROLL_OPTIONS, 4, SQL_SO_FORWARD_ONLY | SQL_SO_STATIC, u""},
    {"ScrollConcurrency", SQL_SCROLL_CONCURRENCY, 4, SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK, u""},
    {"LockTypes", SQL_LOCK_TYPES, 4, SQL_LCK_NO_CHANGE | SQL_LCK_EXCLUSIVE | SQL_LCK_UNLOCK, u""},
    {"DataSourceReadOnly", SQL_DATA_SOURCE_READ_ONLY, 0, 0, u"N"},
    {"IdentifierQuoteChar", SQL_IDENTIFIER_QUOTE_CHAR, 0, 0, u"\""},
    {"DbmsName", SQL_DBMS_NAME, 0, 0, u"FakeDB"}, {"DbmsVer", SQL_DBMS_VER, 0, 0, u"01.00.0000"},
    {"OdbcVer", SQL_ODBC_VER, 0, 0, u"03.80.0000"},
};

class HealthyInfoTest : public FakeOdbcTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(HealthyInfoTest, AnswerHasItsWidthAndLength) {
  const InfoCase& c = GetParam();
  connect();
  alignas(SQLWCHAR) unsigned char buffer[128];
  std::memset(buffer, 0xEE, sizeof buffer);
  SQLSMALLINT length = -1;
  const SQLSMALLINT room = c.width == 0 ? sizeof buffer : 4;
  ASSERT_EQ(SQLGetInfoW(dbc, c.type, buffer, room, &length), SQL_SUCCESS);
  if (c.width == 0) {
    EXPECT_EQ(text(reinterpret_cast<SQLWCHAR*>(buffer)), c.text);
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(c.text.size() * 2));  // bytes
    return;
  }
  EXPECT_EQ(length, c.width);
  SQLUSMALLINT narrow = 0;
  std::uint32_t wide = 0;
  std::memcpy(c.width == 2 ? static_cast<void*>(&narrow) : &wide, buffer, c.width);
  EXPECT_EQ(c.width == 2 ? narrow : wide, c.number);
  EXPECT_EQ(buffer[c.width], 0xEE);  // nothing written past the value
}

INSTANTIATE_TEST_SUITE_P(Connection, HealthyInfoTest, ::testing::ValuesIn(healthyInfoCases),
                         rowName);

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
  EXPECT_EQ(errors(), (std::vector<Diag>{{"01004", 0, fakeodbc::messages::stringTruncated}}));

  SQLSMALLINT level = 0;
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_ODBC_SQL_CONFORMANCE, &level, 2, nullptr), SQL_SUCCESS);
  EXPECT_EQ(level, -1);

  EXPECT_EQ(SQLGetInfoW(dbc, SQL_IDENTIFIER_QUOTE_CHAR, buffer, 4, &length), SQL_ERROR);
  EXPECT_EQ(errors(),
            (std::vector<Diag>{
                {"S1096", 0, u"[unixODBC][Driver Manager]Information type out of range"}}));
}

TEST_F(ConnectionTest, ScriptedInformationAnswerOverridesTheTableOnce) {
  connect();
  fakeodbc::loadScript("answer SQLGetInfoW 1 number 0");
  SQLSMALLINT level = 7;
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, &length), SQL_SUCCESS);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_ODBC_API_CONFORMANCE, &level, 2, &length), SQL_SUCCESS);
  EXPECT_EQ(level, SQL_OAC_LEVEL1);
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
}

TEST_F(ConnectionTest, ConnectionCallsNeedAnOpenConnection) {
  allocate();
  SQLHSTMT statement = SQL_NULL_HSTMT;
  EXPECT_EQ(SQLAllocStmt(dbc, &statement), SQL_ERROR);
  EXPECT_EQ(statement, nullptr);
  EXPECT_EQ(errors().at(0).state, "08003");
  SQLUSMALLINT supported = 0;
  EXPECT_TRUE(failed(SQLGetFunctions(dbc, SQL_API_SQLFETCH, &supported), "S1010"));
  freeAll(false);
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
